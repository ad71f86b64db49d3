// A sound layer that plays nothing: it answers each read of the position from a script
// and records the calls made to it.
#pragma once
#include <string>
#include <vector>

#include "music/music.h"

class ScriptedSound final : public SoundLayer {
 public:
  std::vector<MusicPosition> script;  // one entry per position read (get_row advances)
  std::vector<std::string> calls;
  float version = SOUND_LAYER_VERSION;
  bool loads = true;
  int reads = 0;
  MusicPosition now{0, 0, 0};

  float get_version() override { return log("version"), version; }
  void set_output(int output) override { log("output " + std::to_string(output)); }
  void set_file_callbacks(const SoundFileCallbacks&) override { log("file callbacks"); }
  void set_memory_system(void* pool, int length, const SoundMemoryCallbacks&) override {
    log(std::string("memory ") + (pool ? "pool " : "null ") + std::to_string(length));
  }
  void set_driver(int driver) override { log("driver " + std::to_string(driver)); }
  int init(int rate, int channels, int flags) override {
    log("init " + std::to_string(rate) + " " + std::to_string(channels) + " " + std::to_string(flags));
    return 1;
  }
  bool load_song(const char* path) override { return log(std::string("load ") + path), loads; }
  void set_master_volume(int volume) override { log("volume " + std::to_string(volume)); }
  void set_looping(bool looping) override { log(looping ? "looping on" : "looping off"); }
  void play_song() override { log("play"); }
  signed char set_order(int32_t order) override { return log("order " + std::to_string(order)), 1; }
  // Each read starts with the row: it takes the next entry, and the last one repeats.
  int32_t get_row() override {
    const int last = static_cast<int>(script.size()) - 1;
    now = last < 0 ? MusicPosition{0, 0, 0} : script[reads < last ? reads : last];
    ++reads;
    return now.row;
  }
  int32_t get_order() override { return now.order; }
  int32_t get_time() override { return now.time; }
  void stop_song() override { log("stop"); }
  void free_song() override { log("free"); }
  void close() override { log("close"); }

 private:
  void log(const std::string& call) { calls.push_back(call); }
};

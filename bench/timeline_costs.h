// The drawing cost of every phase of the timeline, per frame, measured the same way by the
// native benchmark and by the page's: the production is first played offline at 60 fps by
// the program's own player while every position read is recorded, then replayed from that
// record with no sound at all, so the time between two presented frames is drawing alone.
#pragma once
#include <cstddef>
#include <map>
#include <vector>

#include "music/music.h"

// A sound layer that passes everything to another and keeps every position it reports;
// after_read, when set, sees each read as it happens.
class RecordingLayer final : public SoundLayer {
 public:
  explicit RecordingLayer(SoundLayer* inner) : inner_(inner) {}
  std::vector<MusicPosition> reads;
  void (*after_read)(const MusicPosition& read) = nullptr;

  float get_version() override { return inner_->get_version(); }
  void set_output(int o) override { inner_->set_output(o); }
  void set_file_callbacks(const SoundFileCallbacks& c) override { inner_->set_file_callbacks(c); }
  void set_memory_system(void* p, int n, const SoundMemoryCallbacks& c) override { inner_->set_memory_system(p, n, c); }
  void set_driver(int d) override { inner_->set_driver(d); }
  int init(int rate, int channels, int flags) override { return inner_->init(rate, channels, flags); }
  bool load_song(const char* path) override { return inner_->load_song(path); }
  void set_master_volume(int v) override { inner_->set_master_volume(v); }
  void set_looping(bool l) override { inner_->set_looping(l); }
  void play_song() override { inner_->play_song(); }
  signed char set_order(int32_t o) override { return inner_->set_order(o); }
  int32_t get_row() override {
    reads.push_back({0, inner_->get_row(), 0});
    return reads.back().row;
  }
  int32_t get_order() override { return reads.back().order = inner_->get_order(); }
  int32_t get_time() override {
    reads.back().time = inner_->get_time();
    if (after_read) after_read(reads.back());
    return reads.back().time;
  }
  void stop_song() override { inner_->stop_song(); }
  void free_song() override { inner_->free_song(); }
  void close() override { inner_->close(); }
  void frame_presented() override { inner_->frame_presented(); }
  int64_t cue(int32_t order) override { return inner_->cue(order); }
  bool rehearsal(MusicPosition* next) override { return inner_->rehearsal(next); }

 private:
  SoundLayer* inner_;
};

// Loads the pictures, and sets the display and the sound offline at 60 fps.
void prepare_measurements();

// After prepare_measurements. now_us is the clock to time with. Returns microseconds per
// frame for phases 1 to 16.
std::map<int, std::vector<double>> measure_phase_costs(double (*now_us)());

// The whole production as the program plays it offline at 60 fps, audio mixed, nothing
// recorded: music seconds per wall second.
double whole_production_speed(double (*now_us)());

// What a start at an order costs until its first frame is shown: the music mixed silently
// up to it, then the earlier frames rehearsed. Offline at 60 fps, after
// prepare_measurements.
struct StartCost {
  double cue_ms;
  double rehearsal_ms;
  int64_t rehearsed_frames;
};
StartCost measure_start(int order, double (*now_us)());

struct CostSummary {
  size_t frames;
  double median_us;
  double max_us;
};
CostSummary summarize(std::vector<double> costs);

// Inside the music folder: the module mixer that every player of the program shares.
// libopenmpt reads the module through the clock's file callbacks and mixes it; a table
// of position marks maps each mixed sample back to the order and row it belongs to.
// No audio output here: players hand the samples to a device, a file or nothing.
#pragma once
#include <cstdint>
#include <mutex>

#include "music/music.h"

struct openmpt_module;

// From `sample` on (until the next mark), the mixed audio belongs to this order and row.
struct PositionMark {
  int64_t sample;
  int32_t order;
  int32_t row;
};

// Reported once the module has ended: the order list's end mark, past every order of any
// module the scenes could follow, so that a short module ends the production too.
constexpr int32_t END_ORDER = 255;

class ModuleMixer {
 public:
  // Takes its tables from the memory callbacks; false when they cannot be had.
  bool init(const SoundMemoryCallbacks& memory, int rate);
  // Loads the module through the file callbacks; false (and nothing loaded) for a file
  // that is missing, truncated or not a module the mixer plays.
  bool load(const SoundFileCallbacks& files, const char* path);
  void unload();
  void release();  // unload, and give the tables back
  bool loaded() const { return module_ != nullptr; }

  void set_volume(int volume);  // 0..256 of full scale
  void set_looping(bool looping);
  // Back to the first sample: nothing mixed, position at the module's start.
  void restart();
  // Jumps to the order's first row, which starts at from_sample (no later than mixed()):
  // what was mixed past it is forgotten, for players that mix ahead of what is heard.
  // False for an order the module does not have.
  bool set_order(int32_t order, int64_t from_sample);
  // Mixes frames of interleaved 16-bit stereo; silence once the module has ended.
  void mix(int16_t* out, int frames);

  int64_t mixed() const { return mixed_; }  // samples mixed since restart
  bool ended() const { return ended_; }
  // The mark of the row that holds `sample`; exact for samples already mixed.
  PositionMark mark_at(int64_t sample);
  // The earliest mark mixed so far whose order is `order` or later (the module's end
  // included); a sample of -1 when there is none yet.
  PositionMark first_mark_from(int32_t order);
  // Whether every row change since the restart is still kept, so that mark_at answers
  // for every sample mixed.
  bool marks_from_start();
  double duration_seconds() const { return duration_; }

 private:
  void mix_piece(int16_t* out, int frames);
  void note_position(int64_t sample, int32_t order, int32_t row);
  static size_t stream_read(void* stream, void* dst, size_t bytes);
  static int stream_seek(void* stream, int64_t offset, int whence);
  static int64_t stream_tell(void* stream);

  SoundMemoryCallbacks memory_{};
  SoundFileCallbacks files_{};
  void* stream_handle_ = nullptr;
  int rate_ = 44100;
  openmpt_module* module_ = nullptr;
  int32_t order_count_ = 0;
  double duration_ = 0;

  int64_t mixed_ = 0;
  int64_t tick_end_ = 0;  // first sample of the next tick, as far as the tempo tells
  bool ended_ = false;

  PositionMark* marks_ = nullptr;  // ring of the latest MARK_CAPACITY row changes
  int64_t mark_count_ = 0;
  std::mutex marks_mutex_;  // marks are written while mixing and read by the clock
};

#include "music/mixer.h"

#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "music/it_check.h"

namespace {

constexpr int CHUNK_FRAMES = 128;  // longest single read: 2.9 ms at 44.1 kHz
// Read first at a tick's start, before the tick's length is known; shorter than any tick
// (a tick lasts 110 samples at the fastest tempo any module format allows).
constexpr int TICK_FIRST_FRAMES = 64;
constexpr int MARK_CAPACITY = 8192;  // row changes kept: over 15 minutes of rows

// The mixer steps through the patterns only at the start of a tick, and in the tempo mode
// of tracker modules a tick lasts rate × 2.5 / tempo samples, truncated. Reads that never
// cross a tick boundary each lie inside one row, so every row's first sample is exact.
int64_t tick_frames(int rate, int32_t tempo) {
  if (tempo <= 0) return CHUNK_FRAMES;
  return std::max<int64_t>(1, int64_t{rate} * 5 / (int64_t{tempo} * 2));
}

}  // namespace

bool ModuleMixer::init(const SoundMemoryCallbacks& memory, int rate) {
  memory_ = memory;
  rate_ = rate > 0 ? rate : 44100;
  if (!marks_ && memory_.alloc)
    marks_ = static_cast<PositionMark*>(memory_.alloc(static_cast<int>(sizeof(PositionMark) * MARK_CAPACITY)));
  return marks_ != nullptr;
}

bool ModuleMixer::load(const SoundFileCallbacks& files, const char* path) {
  unload();
  files_ = files;
  if (!files_.open || !marks_) return false;
  void* handle = files_.open(path);
  if (!handle) return false;
  bool ok = it_structure_ok(files_, handle) && files_.seek(handle, 0, 0) == 0;
  if (ok) {
    const openmpt_stream_callbacks stream{stream_read, stream_seek, stream_tell};
    stream_handle_ = handle;
    int error = 0;
    module_ = openmpt_module_create2(stream, this, openmpt_log_func_silent, nullptr, openmpt_error_func_ignore, nullptr,
                                     &error, nullptr, nullptr);
    ok = module_ && openmpt_module_get_num_orders(module_) > 0 && openmpt_module_get_duration_seconds(module_) > 0.0;
  }
  files_.close(handle);
  stream_handle_ = nullptr;
  if (!ok) {
    unload();
    return false;
  }
  // The same sound every run (no randomly seeded dither), and the end where the last tick
  // ends rather than after a fade of the mixer's own.
  openmpt_module_ctl_set_integer(module_, "dither", 0);
  openmpt_module_ctl_set_text(module_, "play.at_end", "stop");
  order_count_ = openmpt_module_get_num_orders(module_);
  duration_ = openmpt_module_get_duration_seconds(module_);
  restart();
  return true;
}

void ModuleMixer::unload() {
  if (module_) openmpt_module_destroy(module_);
  module_ = nullptr;
  order_count_ = 0;
  duration_ = 0;
}

void ModuleMixer::release() {
  unload();
  if (marks_ && memory_.free) memory_.free(marks_);
  marks_ = nullptr;
}

void ModuleMixer::set_volume(int volume) {
  if (!module_) return;
  const double gain = volume > 0 ? 20.0 * std::log10(volume / 256.0) : -100.0;
  openmpt_module_set_render_param(module_, OPENMPT_MODULE_RENDER_MASTERGAIN_MILLIBEL,
                                  static_cast<int32_t>(std::lround(gain * 100.0)));
}

void ModuleMixer::set_looping(bool looping) {
  if (module_) openmpt_module_set_repeat_count(module_, looping ? -1 : 0);
}

void ModuleMixer::restart() {
  std::lock_guard<std::mutex> lock(marks_mutex_);
  mixed_ = 0;
  tick_end_ = 0;
  ended_ = false;
  mark_count_ = 0;
  if (module_) openmpt_module_set_position_order_row(module_, 0, 0);
}

bool ModuleMixer::set_order(int32_t order, int64_t from_sample) {
  if (!module_ || order < 0 || order >= order_count_) return false;
  openmpt_module_set_position_order_row(module_, order, 0);
  std::lock_guard<std::mutex> lock(marks_mutex_);
  if (from_sample >= 0 && from_sample < mixed_) {
    mixed_ = from_sample;
    const int64_t oldest = std::max<int64_t>(0, mark_count_ - MARK_CAPACITY);
    while (mark_count_ > oldest && marks_[(mark_count_ - 1) % MARK_CAPACITY].sample >= from_sample) --mark_count_;
  }
  // The jump starts a new tick; earlier marks still describe the audio mixed before it.
  ended_ = false;
  tick_end_ = mixed_;
  return true;
}

void ModuleMixer::mix(int16_t* out, int frames) {
  while (frames > 0) {
    int n = std::min(frames, CHUNK_FRAMES);
    n = static_cast<int>(mixed_ >= tick_end_ ? std::min(n, TICK_FIRST_FRAMES)
                                             : std::min<int64_t>(n, tick_end_ - mixed_));
    mix_piece(out, n);
    out += 2 * n;
    frames -= n;
  }
}

void ModuleMixer::mix_piece(int16_t* out, int frames) {
  const bool tick_start = mixed_ >= tick_end_;
  size_t got = 0;
  if (module_ && !ended_)
    got = openmpt_module_read_interleaved_stereo(module_, rate_, static_cast<size_t>(frames), out);
  if (got < static_cast<size_t>(frames)) {
    std::memset(out + got * 2, 0, (static_cast<size_t>(frames) - got) * 2 * sizeof(int16_t));
    // The mixer's position after its last read is not the song's: only the end counts.
    if (!ended_) {
      ended_ = true;
      note_position(mixed_ + static_cast<int64_t>(got), END_ORDER, 0);
    }
  } else {
    if (tick_start) tick_end_ = mixed_ + tick_frames(rate_, openmpt_module_get_current_tempo(module_));
    note_position(mixed_, openmpt_module_get_current_order(module_), openmpt_module_get_current_row(module_));
  }
  mixed_ += frames;
}

void ModuleMixer::note_position(int64_t sample, int32_t order, int32_t row) {
  std::lock_guard<std::mutex> lock(marks_mutex_);
  if (mark_count_ > 0) {
    const PositionMark& last = marks_[(mark_count_ - 1) % MARK_CAPACITY];
    if (last.order == order && last.row == row) return;
  }
  marks_[mark_count_ % MARK_CAPACITY] = PositionMark{sample, order, row};
  ++mark_count_;
}

PositionMark ModuleMixer::mark_at(int64_t sample) {
  std::lock_guard<std::mutex> lock(marks_mutex_);
  if (mark_count_ == 0) return PositionMark{0, 0, 0};
  const int64_t oldest = std::max<int64_t>(0, mark_count_ - MARK_CAPACITY);
  for (int64_t i = mark_count_ - 1; i > oldest; --i) {
    const PositionMark& m = marks_[i % MARK_CAPACITY];
    if (m.sample <= sample) return m;
  }
  return marks_[oldest % MARK_CAPACITY];
}

PositionMark ModuleMixer::first_mark_from(int32_t order) {
  std::lock_guard<std::mutex> lock(marks_mutex_);
  for (int64_t i = std::max<int64_t>(0, mark_count_ - MARK_CAPACITY); i < mark_count_; ++i) {
    const PositionMark& m = marks_[i % MARK_CAPACITY];
    if (m.order >= order) return m;
  }
  return PositionMark{-1, 0, 0};
}

bool ModuleMixer::marks_from_start() {
  std::lock_guard<std::mutex> lock(marks_mutex_);
  return mark_count_ <= MARK_CAPACITY;
}

size_t ModuleMixer::stream_read(void* stream, void* dst, size_t bytes) {
  auto* self = static_cast<ModuleMixer*>(stream);
  size_t total = 0;
  while (total < bytes) {
    const int want = static_cast<int>(std::min<size_t>(bytes - total, 1 << 20));
    const int got = self->files_.read(static_cast<char*>(dst) + total, want, self->stream_handle_);
    if (got <= 0) break;
    total += static_cast<size_t>(got);
  }
  return total;
}

int ModuleMixer::stream_seek(void* stream, int64_t offset, int whence) {
  auto* self = static_cast<ModuleMixer*>(stream);
  if (offset < INT32_MIN || offset > INT32_MAX) return -1;
  return self->files_.seek(self->stream_handle_, static_cast<int>(offset), static_cast<signed char>(whence)) == 0 ? 0
                                                                                                                  : -1;
}

int64_t ModuleMixer::stream_tell(void* stream) {
  auto* self = static_cast<ModuleMixer*>(stream);
  return self->files_.tell(self->stream_handle_);
}

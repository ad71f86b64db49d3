// The program's own module player: libopenmpt mixes, SDL audio plays, and a table of
// position marks maps the sample being heard back to the order and row it came from.
#include <SDL.h>
#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>

#include <fcntl.h>
#include <unistd.h>

#include "music/it_check.h"
#include "music/music.h"
#include "music/wav_writer.h"

namespace {

constexpr int CHUNK_FRAMES = 128;   // position resolution: 2.9 ms at 44.1 kHz
constexpr int MARK_CAPACITY = 8192; // 24 s of marks, far more than any device buffer
constexpr int DEVICE_FRAMES = 1024;
// Reported once the module has ended: the order list's end mark, past every order of
// any module the scenes could follow, so that a short module ends the production too.
constexpr int32_t END_ORDER = 255;

struct Mark {
  int64_t sample;  // first sample of the chunk
  int32_t order;
  int32_t row;
};

int64_t now_ns() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

class OpenmptPlayer final : public SoundLayer {
 public:
  void configure(const SoundSettings& s) { settings_ = s; }
  SoundOutput output() const { return output_; }
  bool wav_ok() const { return wav_.ok(); }
  int32_t length_ms() const { return static_cast<int32_t>(duration_ * 1000); }

  float get_version() override { return SOUND_LAYER_VERSION; }
  void set_output(int) override {}
  void set_file_callbacks(const SoundFileCallbacks& callbacks) override { files_ = callbacks; }
  void set_memory_system(void*, int, const SoundMemoryCallbacks& callbacks) override { memory_ = callbacks; }
  void set_driver(int) override {}

  int init(int rate, int channels, int) override {
    rate_ = rate > 0 ? rate : 44100;
    (void)channels;  // the mixer picks its own voice count
    marks_ = static_cast<Mark*>(memory_.alloc(static_cast<int>(sizeof(Mark) * MARK_CAPACITY)));
    scratch_ = static_cast<int16_t*>(memory_.alloc(CHUNK_FRAMES * 2 * static_cast<int>(sizeof(int16_t))));
    if (!marks_ || !scratch_) return 0;
    if (settings_.mode == SoundMode::Offline) {
      output_ = SoundOutput::Offline;
      if (settings_.wav_path && !wav_.open(settings_.wav_path, rate_)) wav_failed_ = true;
      return 1;
    }
    output_ = open_device() ? SoundOutput::Device : SoundOutput::Silent;
    return 1;
  }

  bool load_song(const char* path) override {
    if (!files_.open || !marks_) return false;
    void* handle = files_.open(path);
    if (!handle) return false;
    bool ok = it_structure_ok(files_, handle) && files_.seek(handle, 0, 0) == 0;
    if (ok) {
      openmpt_stream_callbacks stream{stream_read, stream_seek, stream_tell};
      stream_handle_ = handle;
      int error = 0;
      module_ = openmpt_module_create2(stream, this, openmpt_log_func_silent, nullptr, openmpt_error_func_ignore,
                                       nullptr, &error, nullptr, nullptr);
      ok = module_ && openmpt_module_get_num_orders(module_) > 0 &&
           openmpt_module_get_duration_seconds(module_) > 0.0;
    }
    files_.close(handle);
    stream_handle_ = nullptr;
    if (!ok) {
      if (module_) openmpt_module_destroy(module_);
      module_ = nullptr;
      return false;
    }
    order_count_ = openmpt_module_get_num_orders(module_);
    duration_ = openmpt_module_get_duration_seconds(module_);
    return true;
  }

  void set_master_volume(int volume) override {
    if (!module_) return;
    const double gain = volume > 0 ? 20.0 * std::log10(volume / 256.0) : -100.0;
    with_module([&] {
      openmpt_module_set_render_param(module_, OPENMPT_MODULE_RENDER_MASTERGAIN_MILLIBEL,
                                      static_cast<int32_t>(std::lround(gain * 100.0)));
    });
  }

  void set_looping(bool looping) override {
    if (module_) with_module([&] { openmpt_module_set_repeat_count(module_, looping ? -1 : 0); });
  }

  void play_song() override {
    if (!module_) return;
    rendered_ = 0;
    heard_ = 0;
    mark_count_ = 0;
    frames_ = 0;
    ended_ = false;
    playing_ = true;
    end_sample_ = static_cast<int64_t>(duration_ * rate_);
    push_mark(0);
    play_start_ns_ = now_ns();
    if (output_ == SoundOutput::Device) SDL_PauseAudioDevice(device_, 0);
  }

  signed char set_order(int32_t order) override {
    if (!module_ || order < 0 || order >= order_count_) return 0;
    with_module([&] {
      const double at = openmpt_module_set_position_order_row(module_, order, 0);
      ended_ = false;
      end_sample_ = rendered_ + static_cast<int64_t>((duration_ - at) * rate_);
      // What is mixed from now on starts at the new order; marks already queued still
      // describe the audio in the device buffer.
      std::lock_guard<std::mutex> lock(marks_mutex_);
      if (mark_count_ > 0 && marks_[(mark_count_ - 1) % MARK_CAPACITY].sample == rendered_) --mark_count_;
      push_mark_locked(rendered_);
    });
    return 1;
  }

  int32_t get_row() override {
    const Mark m = mark_at(heard_sample());
    return m.row;
  }

  int32_t get_order() override {
    const Mark m = mark_at(heard_sample());
    return m.order;
  }

  int32_t get_time() override {
    return static_cast<int32_t>(heard_sample() * 1000 / rate_);
  }

  void stop_song() override {
    if (!module_) return;
    heard_sample();  // freeze the clock where it is
    playing_ = false;
    if (output_ == SoundOutput::Device) SDL_PauseAudioDevice(device_, 1);
  }

  void free_song() override {
    if (output_ == SoundOutput::Device) {
      SDL_CloseAudioDevice(device_);
      device_ = 0;
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      output_ = SoundOutput::None;
    }
    if (module_) openmpt_module_destroy(module_);
    module_ = nullptr;
    playing_ = false;
  }

  void close() override {
    wav_.close();
    if (output_ == SoundOutput::Device) {
      SDL_CloseAudioDevice(device_);
      device_ = 0;
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    output_ = SoundOutput::None;
    if (memory_.free) {
      memory_.free(marks_);
      memory_.free(scratch_);
    }
    marks_ = nullptr;
    scratch_ = nullptr;
  }

  void frame_presented() override {
    if (output_ != SoundOutput::Offline || !module_ || !playing_) return;
    ++frames_;
    const int64_t target = frames_ * rate_ / (settings_.fps > 0 ? settings_.fps : 60);
    while (rendered_ < target) {
      const int frames = static_cast<int>(std::min<int64_t>(CHUNK_FRAMES, target - rendered_));
      render(scratch_, frames);
      if (!wav_failed_ && wav_.is_open()) wav_.write(scratch_, frames);
      if (settings_.audio_sink) settings_.audio_sink(scratch_, frames);
    }
    heard_ = rendered_;
  }

 private:
  template <typename F>
  void with_module(F&& f) {
    if (output_ == SoundOutput::Device) SDL_LockAudioDevice(device_);
    f();
    if (output_ == SoundOutput::Device) SDL_UnlockAudioDevice(device_);
  }

  // The sound system's libraries print their complaints about a machine with no sound
  // card; the program shows no messages, so they go nowhere while the device opens.
  bool open_device() {
    const int saved_stderr = dup(2);
    const int null_fd = open("/dev/null", O_WRONLY);
    if (saved_stderr >= 0 && null_fd >= 0) dup2(null_fd, 2);
    const bool ok = open_device_quietly();
    if (saved_stderr >= 0) {
      dup2(saved_stderr, 2);
      ::close(saved_stderr);
    }
    if (null_fd >= 0) ::close(null_fd);
    return ok;
  }

  bool open_device_quietly() {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    SDL_AudioSpec want{};
    want.freq = rate_;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = DEVICE_FRAMES;
    want.callback = audio_callback;
    want.userdata = this;
    SDL_AudioSpec have{};
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device_ == 0) {
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      return false;
    }
    device_latency_ = have.samples;
    return true;
  }

  static void audio_callback(void* user, Uint8* stream, int length) {
    auto* self = static_cast<OpenmptPlayer*>(user);
    auto* out = reinterpret_cast<int16_t*>(stream);
    const int frames = length / 4;
    const int64_t delivered = self->rendered_;
    int done = 0;
    while (done < frames) {
      const int n = std::min(CHUNK_FRAMES, frames - done);
      self->render(out + done * 2, n);
      done += n;
    }
    std::lock_guard<std::mutex> lock(self->marks_mutex_);
    self->callback_ns_ = now_ns();
    self->callback_delivered_ = delivered;
    self->callback_frames_ = frames;
    self->callbacks_seen_ = true;
  }

  // Mixes n frames (n <= CHUNK_FRAMES); silence once the module has ended. The end is
  // where the mixer's own song length says: past it the mixer goes on for a moment
  // with its position back at the start.
  void render(int16_t* out, int n) {
    size_t got = 0;
    if (!ended_) {
      const int64_t left = end_sample_ - rendered_;
      const size_t want = static_cast<size_t>(std::max<int64_t>(0, std::min<int64_t>(n, left)));
      got = want ? openmpt_module_read_interleaved_stereo(module_, rate_, want, out) : 0;
      if (got < static_cast<size_t>(n)) ended_ = true;
    }
    if (got < static_cast<size_t>(n)) std::memset(out + got * 2, 0, (n - got) * 2 * sizeof(int16_t));
    rendered_ += n;
    push_mark(rendered_);
  }

  // Records the position of the next sample to be mixed.
  void push_mark(int64_t sample) {
    std::lock_guard<std::mutex> lock(marks_mutex_);
    push_mark_locked(sample);
  }

  void push_mark_locked(int64_t sample) {
    Mark m{sample, std::max(order_count_, END_ORDER), 0};
    if (!ended_) {
      m.order = openmpt_module_get_current_order(module_);
      m.row = openmpt_module_get_current_row(module_);
    }
    if (mark_count_ > 0) {
      const Mark& last = marks_[(mark_count_ - 1) % MARK_CAPACITY];
      if (last.order == m.order && last.row == m.row) return;
    }
    marks_[mark_count_ % MARK_CAPACITY] = m;
    ++mark_count_;
  }

  Mark mark_at(int64_t sample) {
    std::lock_guard<std::mutex> lock(marks_mutex_);
    if (mark_count_ == 0) return Mark{0, 0, 0};
    const int64_t oldest = mark_count_ > MARK_CAPACITY ? mark_count_ - MARK_CAPACITY : 0;
    for (int64_t i = mark_count_ - 1; i >= oldest; --i) {
      const Mark& m = marks_[i % MARK_CAPACITY];
      if (m.sample <= sample) return m;
    }
    return marks_[oldest % MARK_CAPACITY];
  }

  // The sample being heard now; never goes backwards.
  int64_t heard_sample() {
    if (!module_ || !playing_) return heard_;
    int64_t h = heard_;
    switch (output_) {
      case SoundOutput::Device: {
        std::lock_guard<std::mutex> lock(marks_mutex_);
        if (callbacks_seen_) {
          const int64_t since = (now_ns() - callback_ns_) * rate_ / 1000000000;
          const int64_t start = callback_delivered_ - device_latency_;
          h = std::min(start + since, start + callback_frames_);
        }
        break;
      }
      case SoundOutput::Silent: {
        h = (now_ns() - play_start_ns_) * rate_ / 1000000000;
        while (rendered_ < h) render(scratch_, static_cast<int>(std::min<int64_t>(CHUNK_FRAMES, h - rendered_)));
        break;
      }
      default:
        break;
    }
    if (h > heard_) heard_ = h;
    return heard_;
  }

  static size_t stream_read(void* stream, void* dst, size_t bytes) {
    auto* self = static_cast<OpenmptPlayer*>(stream);
    size_t total = 0;
    while (total < bytes) {
      const int want = static_cast<int>(std::min<size_t>(bytes - total, 1 << 20));
      const int got = self->files_.read(static_cast<char*>(dst) + total, want, self->stream_handle_);
      if (got <= 0) break;
      total += static_cast<size_t>(got);
    }
    return total;
  }

  static int stream_seek(void* stream, int64_t offset, int whence) {
    auto* self = static_cast<OpenmptPlayer*>(stream);
    if (offset < INT32_MIN || offset > INT32_MAX) return -1;
    return self->files_.seek(self->stream_handle_, static_cast<int>(offset), static_cast<signed char>(whence)) == 0
               ? 0
               : -1;
  }

  static int64_t stream_tell(void* stream) {
    auto* self = static_cast<OpenmptPlayer*>(stream);
    return self->files_.tell(self->stream_handle_);
  }

  SoundSettings settings_;
  SoundFileCallbacks files_{};
  SoundMemoryCallbacks memory_{};
  SoundOutput output_ = SoundOutput::None;
  WavWriter wav_;
  bool wav_failed_ = false;
  int rate_ = 44100;

  openmpt_module* module_ = nullptr;
  void* stream_handle_ = nullptr;
  int32_t order_count_ = 0;
  double duration_ = 0;
  int64_t end_sample_ = 0;
  bool ended_ = false;
  bool playing_ = false;

  SDL_AudioDeviceID device_ = 0;
  int device_latency_ = 0;

  Mark* marks_ = nullptr;
  int16_t* scratch_ = nullptr;
  int64_t mark_count_ = 0;
  std::mutex marks_mutex_;

  int64_t rendered_ = 0;  // samples mixed so far (audio thread in device mode)
  int64_t heard_ = 0;     // last sample reported (main thread)
  int64_t frames_ = 0;    // offline frames presented
  int64_t play_start_ns_ = 0;
  int64_t callback_ns_ = 0;
  int64_t callback_delivered_ = 0;
  int callback_frames_ = 0;
  bool callbacks_seen_ = false;
};

OpenmptPlayer player;
SoundSettings pending_settings;

}  // namespace

SoundLayer* program_sound_layer() {
  player.configure(pending_settings);
  return &player;
}

void music_configure(const SoundSettings& settings) { pending_settings = settings; }

SoundOutput music_output() { return player.output(); }

bool music_wav_ok() { return player.wav_ok(); }

int32_t music_length_ms() { return player.length_ms(); }

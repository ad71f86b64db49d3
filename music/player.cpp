// The program's own player: the module mixer heard through the platform's audio output,
// or in silent real time when there is none, or offline on a virtual clock of 1/fps a
// frame.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "music/audio.h"
#include "music/mixer.h"
#include "music/music.h"
#include "music/wav_writer.h"

namespace {

constexpr int AHEAD_FRAMES = 128;  // mixed past the heard sample, to know that sample's row

int64_t now_ns() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// ORVEL_CLOCK_LOG=FILE: every read of the clock, for checking it against what the sound
// system really played. A line a read: the steady clock's nanoseconds at the read, the
// order and row reported, how many samples into that row the heard sample lies, and where
// it came from (D device, S silent real time, O offline, R a rehearsal before a start). Kept in memory (no allocation
// while playing) and written when the player closes or the process exits.
class ClockLog {
 public:
  void start() {
    const char* path = std::getenv("ORVEL_CLOCK_LOG");
    if (!path || !*path) return;
    path_ = path;
    entries_.clear();
    entries_.reserve(1 << 18);  // over an hour of reads at 60 a second
    static bool registered = false;
    if (!registered) std::atexit([] { clock_log().write(); });
    registered = true;
  }
  void add(int64_t ns, const PositionMark& mark, int64_t sample, char source) {
    if (path_ && entries_.size() < entries_.capacity())
      entries_.push_back(Entry{ns, mark.order, mark.row, sample - mark.sample, source});
  }
  void write() {
    if (!path_) return;
    if (FILE* f = std::fopen(path_, "wb")) {
      for (const Entry& e : entries_)
        std::fprintf(f, "%lld\t%d\t%d\t%lld\t%c\n", static_cast<long long>(e.ns), e.order, e.row,
                     static_cast<long long>(e.into_row), e.source);
      std::fclose(f);
    }
    path_ = nullptr;
  }
  static ClockLog& clock_log();

 private:
  struct Entry {
    int64_t ns;
    int32_t order, row;
    int64_t into_row;
    char source;
  };
  const char* path_ = nullptr;
  std::vector<Entry> entries_;
};

ClockLog& ClockLog::clock_log() {
  static ClockLog log;
  return log;
}

class OpenmptPlayer final : public SoundLayer {
 public:
  void configure(const SoundSettings& s) { settings_ = s; }
  SoundOutput output() const { return output_; }
  bool wav_ok() const { return !wav_failed_ && wav_.ok(); }
  int32_t length_ms() const { return static_cast<int32_t>(mixer_.duration_seconds() * 1000); }

  float get_version() override { return SOUND_LAYER_VERSION; }
  void set_output(int) override {}
  void set_file_callbacks(const SoundFileCallbacks& callbacks) override { files_ = callbacks; }
  void set_memory_system(void*, int, const SoundMemoryCallbacks& callbacks) override { memory_ = callbacks; }
  void set_driver(int) override {}

  int init(int rate, int, int) override {
    rate_ = rate > 0 ? rate : 44100;
    wav_failed_ = false;
    if (!mixer_.init(memory_, rate_)) return 0;
    if (!ahead_) ahead_ = static_cast<int16_t*>(memory_.alloc(AHEAD_FRAMES * 2 * static_cast<int>(sizeof(int16_t))));
    if (!ahead_) return 0;
    if (settings_.mode == SoundMode::Offline) {
      output_ = SoundOutput::Offline;
      return 1;
    }
    output_ = audio_open(rate_, feed, this) ? SoundOutput::Device : SoundOutput::Silent;
    return 1;
  }

  bool load_song(const char* path) override { return mixer_.load(files_, path); }

  void set_master_volume(int volume) override {
    with_mixer([&] { mixer_.set_volume(volume); });
  }

  void set_looping(bool looping) override {
    with_mixer([&] { mixer_.set_looping(looping); });
  }

  void play_song() override {
    if (!mixer_.loaded()) return;
    // Opened only once there is something to write: a module that does not load leaves
    // the file as it was.
    if (output_ == SoundOutput::Offline && settings_.wav_path && !wav_.is_open() && !wav_failed_)
      wav_failed_ = !wav_.open(settings_.wav_path, rate_);
    with_mixer([&] {
      mixer_.restart();
      ahead_frames_ = 0;
      heard_ = 0;
      heard_base_ = 0;
      frames_ = 0;
      rehearsal_frames_ = 0;
      playing_ = true;
    });
    snapshot_ = PositionMark{0, 0, 0};
    // Live, the device starts with the first read of the clock, so that a cue before it
    // lets nothing of the module's start be heard; the silent clock runs from here.
    play_start_ns_ = now_ns();
    ClockLog::clock_log().start();
    hearing_pending_ = true;
  }

  int64_t cue(int32_t order) override {
    // Only before the first read: nothing mixed, nothing heard yet.
    if (!mixer_.loaded() || !playing_ || order < 0 || mixer_.mixed() > 0 || frames_ > 0) return -1;
    if (order == 0) return 0;
    // Mixed in the blocks a run from the start mixes in, for the same samples.
    PositionMark first;
    while ((first = mixer_.first_mark_from(order)).sample < 0) {
      if (mixer_.ended()) break;
      mix_ahead();
    }
    if (first.sample < 0 || first.order == END_ORDER || !mixer_.marks_from_start()) return -1;
    const int64_t fps = rehearsal_fps();
    rehearsal_frames_ = (first.sample * fps + rate_ - 1) / rate_;  // the first frame at or after it
    frames_ = 0;
    // Offline, the clock then stands where a run from the start has it at that frame's
    // read: the block that holds its sample mixed, the rest of the block still to hear.
    const int64_t shown = sample_of_frame(rehearsal_frames_);
    while (mixer_.mixed() <= shown) mix_ahead();
    const int64_t block_start = mixer_.mixed() - AHEAD_FRAMES;
    ahead_frames_ = static_cast<int>(mixer_.mixed() - shown);
    std::memmove(ahead_, ahead_ + 2 * (shown - block_start), static_cast<size_t>(ahead_frames_) * 2 * sizeof(int16_t));
    heard_ = shown;
    return rehearsal_frames_;
  }

  bool rehearsal(MusicPosition* next) override {
    if (!rehearsing()) return false;
    if (next) {
      const PositionMark m = mixer_.mark_at(sample_of_frame(frames_ + 1));
      *next = MusicPosition{m.order, m.row, static_cast<int32_t>(sample_of_frame(frames_ + 1) * 1000 / rate_)};
    }
    return true;
  }

  signed char set_order(int32_t order) override {
    bool ok = false;
    if (output_ == SoundOutput::Device) {
      // What the device holds is heard as it is; the jump starts with the next mix.
      with_mixer([&] { ok = mixer_.set_order(order, mixer_.mixed()); });
    } else {
      // Mixed ahead but not yet heard: the jump starts at the heard sample.
      ok = mixer_.set_order(order, heard_);
      if (ok) ahead_frames_ = 0;
    }
    return ok ? 1 : 0;
  }

  // One moment per read: the row takes a sample of the heard position, and the order and
  // time that follow answer from that same sample.
  int32_t get_row() override {
    const int64_t heard = heard_sample();
    snapshot_ = mixer_.mark_at(heard);
    snapshot_time_ = static_cast<int32_t>(heard * 1000 / rate_);
    const char source = rehearsing()                     ? 'R'
                        : output_ == SoundOutput::Device ? 'D'
                        : output_ == SoundOutput::Silent ? 'S'
                                                         : 'O';
    ClockLog::clock_log().add(now_ns(), snapshot_, heard, source);
    return snapshot_.row;
  }
  int32_t get_order() override { return snapshot_.order; }
  int32_t get_time() override { return snapshot_time_; }

  void stop_song() override {
    if (!mixer_.loaded()) return;
    heard_sample();  // the clock stays where it is
    with_mixer([&] { playing_ = false; });
    if (output_ == SoundOutput::Device) audio_play(false);
  }

  void free_song() override {
    close_device();
    mixer_.unload();
    playing_ = false;
  }

  void close() override {
    ClockLog::clock_log().write();
    wav_.close();
    close_device();
    output_ = SoundOutput::None;
    mixer_.release();
    if (ahead_ && memory_.free) memory_.free(ahead_);
    ahead_ = nullptr;
  }

  void frame_presented() override {
    if (!mixer_.loaded() || !playing_) return;
    if (rehearsing()) {
      ++frames_;
      return;
    }
    if (output_ != SoundOutput::Offline) return;
    ++frames_;
    const int64_t target = sample_of_frame(frames_);
    while (heard_ < target) {
      if (ahead_frames_ == 0) mix_ahead();
      const int n = static_cast<int>(std::min<int64_t>(ahead_frames_, target - heard_));
      if (!wav_failed_ && wav_.is_open()) wav_.write(ahead_, n);
      if (settings_.audio_sink) settings_.audio_sink(ahead_, n);
      ahead_frames_ -= n;
      std::memmove(ahead_, ahead_ + 2 * n, static_cast<size_t>(ahead_frames_) * 2 * sizeof(int16_t));
      heard_ += n;
    }
  }

 private:
  template <typename F>
  void with_mixer(F&& f) {
    if (output_ == SoundOutput::Device) audio_lock();
    f();
    if (output_ == SoundOutput::Device) audio_unlock();
  }

  static void feed(void* user, int16_t* stereo, int frames) {
    auto* self = static_cast<OpenmptPlayer*>(user);
    if (self->playing_)
      self->mixer_.mix(stereo, frames);
    else
      std::memset(stereo, 0, static_cast<size_t>(frames) * 2 * sizeof(int16_t));
  }

  // Offline, the samples past the heard one wait in ahead_ until their frame is presented;
  // with no device they are only mixed for their position.
  void mix_ahead() {
    ahead_frames_ = AHEAD_FRAMES;
    mixer_.mix(ahead_, AHEAD_FRAMES);
  }

  int64_t rehearsal_fps() const { return settings_.fps > 0 ? settings_.fps : 60; }
  // Frame k of the offline clock, and of a rehearsal, is drawn from this sample.
  int64_t sample_of_frame(int64_t k) const { return k * rate_ / rehearsal_fps(); }
  bool rehearsing() const { return frames_ < rehearsal_frames_; }

  // Live, at the first read after the rehearsal, if any: after a cue what is heard starts
  // where the mixing stands, and now (what was mixed ahead for the rehearsal's clock is not
  // heard: under 3 ms).
  void begin_hearing() {
    hearing_pending_ = false;
    if (output_ != SoundOutput::Device && output_ != SoundOutput::Silent) return;
    if (rehearsal_frames_ > 0) {
      ahead_frames_ = 0;
      heard_ = heard_base_ = mixer_.mixed();
      play_start_ns_ = now_ns();
    }
    if (output_ == SoundOutput::Device) audio_play(true);
  }
  // The mixer's sample index of what the output has played since it started: the module's
  // own time, also when the show started at a later order.
  int64_t mixer_sample(int64_t heard_since_start) const { return heard_base_ + heard_since_start; }

  // The sample being heard now; never goes backwards. Its row is known: the mixer has
  // always mixed past it.
  int64_t heard_sample() {
    if (!mixer_.loaded() || !playing_) return heard_;
    if (rehearsing()) return sample_of_frame(frames_);
    if (hearing_pending_) begin_hearing();
    int64_t h = heard_;
    if (output_ == SoundOutput::Device && audio_lost()) lose_device();
    switch (output_) {
      case SoundOutput::Device:
        h = mixer_sample(audio_heard());
        break;
      case SoundOutput::Silent:
        h = mixer_sample((now_ns() - play_start_ns_) * rate_ / 1000000000);
        if (h > heard_) heard_ = h;
        while (mixer_.mixed() <= heard_) mix_ahead();
        ahead_frames_ = 0;
        break;
      case SoundOutput::Offline:
        if (ahead_frames_ == 0) mix_ahead();
        break;
      default:
        break;
    }
    if (h > heard_) heard_ = h;
    return heard_;
  }

  // The device went away mid-show: the clock goes on in silent real time from the last
  // sample heard, as it does when there is no device at all. What the device had taken but
  // not played is passed over, as it would have been heard.
  void lose_device() {
    audio_close();  // its thread is gone: the mixer is the clock's alone from here
    output_ = SoundOutput::Silent;
    play_start_ns_ = now_ns() - (heard_ - heard_base_) * 1000000000 / rate_;
  }

  void close_device() {
    if (output_ != SoundOutput::Device) return;
    audio_close();
    output_ = SoundOutput::None;
  }

  SoundSettings settings_;
  SoundFileCallbacks files_{};
  SoundMemoryCallbacks memory_{};
  SoundOutput output_ = SoundOutput::None;
  WavWriter wav_;
  bool wav_failed_ = false;
  int rate_ = 44100;
  ModuleMixer mixer_;
  bool playing_ = false;

  int16_t* ahead_ = nullptr;  // mixed, not yet heard (offline)
  int ahead_frames_ = 0;

  PositionMark snapshot_{0, 0, 0};  // the position of the last read
  int32_t snapshot_time_ = 0;

  int64_t heard_ = 0;             // last sample reported (main thread)
  int64_t frames_ = 0;            // frames presented: offline, and those of a rehearsal
  int64_t rehearsal_frames_ = 0;  // the frames before the first one shown, after a cue
  int64_t heard_base_ = 0;        // live: the mixer's sample where the output started
  bool hearing_pending_ = false;  // live: the output starts at the next read
  int64_t play_start_ns_ = 0;
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

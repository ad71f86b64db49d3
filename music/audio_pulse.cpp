// The audio output on a PulseAudio server (or PipeWire's PulseAudio service): a playback
// stream of our own, fed from the server's requests. What is heard comes from the server's
// own timing reports, asked for every few frames: the sample at the sink's output, its
// latency and the device's included, carried forward at the stream's rate. libpulse's own
// interpolation drifts by up to 10 ms on PipeWire between its sparse updates (measured, see
// bench/RESULTS.md); the median of recent reports does not.
#include <pulse/pulseaudio.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>

#include "music/audio_backend.h"
#include "platform/platform.h"

namespace {

// The buffer we ask the server to keep filled: sized by measurement, see bench/RESULTS.md.
// PULSE_LATENCY_MSEC, when set, overrides it as for every PulseAudio client.
constexpr int TARGET_FRAMES = 4096;
// Timing reports: one asked for at most this often, the last REPORTS kept.
constexpr int64_t ASK_EVERY_NS = 20000000;
constexpr int REPORTS = 25;

int64_t now_ns() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

struct Output {
  pa_threaded_mainloop* loop = nullptr;
  pa_context* context = nullptr;
  pa_stream* stream = nullptr;
  AudioFeed feed = nullptr;
  void* user = nullptr;
  int rate = 44100;
  bool lost = false;  // written in the mainloop's thread, under its lock
  int64_t underflows = 0;
  int64_t written = 0;  // frames handed to the stream
  int64_t heard = 0;
  // Where the sink was in the stream at each recent report, as an offset from the steady
  // clock in frames: the sink plays at the stream's rate, so any one of them places the
  // sample heard now; their median stands against the reports' jitter.
  std::array<double, REPORTS> offsets{};
  int reports = 0;
  int next_report = 0;
  bool asking = false;
  int64_t asked_ns = 0;
};
Output* out = nullptr;

void on_context_state(pa_context* context, void*) {
  const pa_context_state_t state = pa_context_get_state(context);
  if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED) out->lost = true;
  pa_threaded_mainloop_signal(out->loop, 0);
}

void on_stream_state(pa_stream* stream, void*) {
  const pa_stream_state_t state = pa_stream_get_state(stream);
  // A stream killed by the server (its sink removed and nowhere to move it) fails.
  if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) out->lost = true;
  pa_threaded_mainloop_signal(out->loop, 0);
}

// The server asks for bytes: runs in the mainloop's thread, with its lock held, so the
// feed never overlaps audio_lock.
void on_write(pa_stream* stream, size_t bytes, void*) {
  static thread_local bool raised = false;
  if (!raised) raise_audio_thread_priority();
  raised = true;
  while (bytes >= 4) {
    void* data = nullptr;
    size_t size = bytes;
    if (pa_stream_begin_write(stream, &data, &size) < 0 || !data || size < 4) return;
    const int frames = static_cast<int>(size / 4);
    out->feed(out->user, static_cast<int16_t*>(data), frames);
    pa_stream_write(stream, data, static_cast<size_t>(frames) * 4, nullptr, 0, PA_SEEK_RELATIVE);
    out->written += frames;
    bytes -= static_cast<size_t>(frames) * 4;
  }
}

// A dropout stops the sink's progress through the stream, which then goes on from a new
// offset: the reports before it no longer place the sample heard.
void on_underflow(pa_stream*, void*) {
  ++out->underflows;
  out->reports = 0;
}

// When the server took the figures of a report, on the steady clock. A server on this
// machine stamps them itself, on the wall clock; another one took them some time between
// the request and the answer.
double report_time(const pa_timing_info& info) {
  const int64_t now = now_ns();
  if (!info.synchronized_clocks) return (static_cast<double>(out->asked_ns) + static_cast<double>(now)) / 2;
  const double wall_now = static_cast<double>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
          .count());
  const double stamped =
      static_cast<double>(info.timestamp.tv_sec) * 1e9 + static_cast<double>(info.timestamp.tv_usec) * 1e3;
  return static_cast<double>(now) - (wall_now - stamped);
}

// Runs in the mainloop's thread with its lock held.
void on_timing(pa_stream* stream, int success, void*) {
  if (!out || stream != out->stream) return;
  out->asking = false;
  const pa_timing_info* info = success ? pa_stream_get_timing_info(stream) : nullptr;
  if (!info || info->read_index_corrupt || !info->playing) return;
  const double at = report_time(*info);
  const double played =
      static_cast<double>(info->read_index / 4) - static_cast<double>(info->sink_usec) * out->rate / 1e6;
  out->offsets[out->next_report] = played - at * out->rate / 1e9;
  out->next_report = (out->next_report + 1) % REPORTS;
  out->reports = std::min(out->reports + 1, REPORTS);
}

void ask_timing(int64_t now) {
  if (out->asking || now - out->asked_ns < ASK_EVERY_NS) return;
  pa_operation* op = pa_stream_update_timing_info(out->stream, on_timing, nullptr);
  if (!op) return;
  pa_operation_unref(op);
  out->asking = true;
  out->asked_ns = now;
}

void close_stream() {
  if (!out->stream) return;
  pa_stream_set_state_callback(out->stream, nullptr, nullptr);
  pa_stream_set_write_callback(out->stream, nullptr, nullptr);
  pa_stream_set_underflow_callback(out->stream, nullptr, nullptr);
  pa_stream_disconnect(out->stream);
  pa_stream_unref(out->stream);
  out->stream = nullptr;
}

void release() {
  if (!out) return;
  if (out->loop) {
    pa_threaded_mainloop_lock(out->loop);
    close_stream();
    if (out->context) {
      pa_context_set_state_callback(out->context, nullptr, nullptr);
      pa_context_disconnect(out->context);
      pa_context_unref(out->context);
    }
    pa_threaded_mainloop_unlock(out->loop);
    pa_threaded_mainloop_stop(out->loop);
    pa_threaded_mainloop_free(out->loop);
  }
  delete out;
  out = nullptr;
}

// Called with the mainloop locked.
bool wait_context() {
  for (;;) {
    const pa_context_state_t state = pa_context_get_state(out->context);
    if (state == PA_CONTEXT_READY) return true;
    if (!PA_CONTEXT_IS_GOOD(state)) return false;
    pa_threaded_mainloop_wait(out->loop);
  }
}

bool open_output(int rate, AudioFeed feed, void* user) {
  release();
  out = new Output;
  out->rate = rate;
  out->feed = feed;
  out->user = user;
  out->loop = pa_threaded_mainloop_new();
  if (!out->loop) {
    release();
    return false;
  }
  out->context = pa_context_new(pa_threaded_mainloop_get_api(out->loop), "orvel");
  bool ok = out->context != nullptr;
  if (ok) {
    QuietOutput quiet;
    pa_context_set_state_callback(out->context, on_context_state, nullptr);
    // No server of its own is started: with none running, the next output is tried.
    ok = pa_context_connect(out->context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0 &&
         pa_threaded_mainloop_start(out->loop) >= 0;
    if (ok) {
      pa_threaded_mainloop_lock(out->loop);
      ok = wait_context();
      pa_threaded_mainloop_unlock(out->loop);
    }
  }
  if (!ok) {
    release();
    return false;
  }
  static bool registered = false;
  if (!registered) std::atexit(release);
  registered = true;
  return true;
}

// Called with the mainloop locked.
bool open_stream() {
  const pa_sample_spec spec{PA_SAMPLE_S16LE, static_cast<uint32_t>(out->rate), 2};
  out->stream = pa_stream_new(out->context, "orvel", &spec, nullptr);
  if (!out->stream) return false;
  pa_stream_set_state_callback(out->stream, on_stream_state, nullptr);
  pa_stream_set_write_callback(out->stream, on_write, nullptr);
  pa_stream_set_underflow_callback(out->stream, on_underflow, nullptr);
  pa_buffer_attr attr;
  attr.maxlength = static_cast<uint32_t>(-1);
  attr.tlength = static_cast<uint32_t>(TARGET_FRAMES * 4);
  attr.prebuf = static_cast<uint32_t>(-1);
  attr.minreq = static_cast<uint32_t>(-1);
  attr.fragsize = static_cast<uint32_t>(-1);
  if (pa_stream_connect_playback(out->stream, nullptr, &attr, PA_STREAM_ADJUST_LATENCY, nullptr, nullptr) < 0)
    return false;
  for (;;) {
    const pa_stream_state_t state = pa_stream_get_state(out->stream);
    if (state == PA_STREAM_READY) return true;
    if (!PA_STREAM_IS_GOOD(state)) return false;
    pa_threaded_mainloop_wait(out->loop);
  }
}

void play(bool on) {
  if (!out) return;
  pa_threaded_mainloop_lock(out->loop);
  close_stream();
  out->heard = 0;
  out->written = 0;
  out->reports = 0;
  out->asking = false;
  if (on && !out->lost && !open_stream()) out->lost = true;
  pa_threaded_mainloop_unlock(out->loop);
}

// Between reports the sample heard moves on with the steady clock. Before the first report
// of a run, and after a dropout until the next, the last good answer stands.
int64_t heard() {
  if (!out) return 0;
  pa_threaded_mainloop_lock(out->loop);
  if (out->stream && !out->lost) {
    const int64_t now = now_ns();
    ask_timing(now);
    if (out->reports > 0) {
      std::array<double, REPORTS> sorted = out->offsets;
      std::nth_element(sorted.begin(), sorted.begin() + out->reports / 2, sorted.begin() + out->reports);
      const double h = sorted[out->reports / 2] + static_cast<double>(now) * out->rate / 1e9;
      // Nothing past what was written has been played.
      const int64_t frames = std::min(static_cast<int64_t>(h), out->written);
      if (frames > out->heard) out->heard = frames;
    }
  }
  const int64_t h = out->heard;
  pa_threaded_mainloop_unlock(out->loop);
  return h;
}

bool lost() {
  if (!out) return false;
  pa_threaded_mainloop_lock(out->loop);
  const bool gone = out->lost;
  pa_threaded_mainloop_unlock(out->loop);
  return gone;
}

void lock() {
  if (out) pa_threaded_mainloop_lock(out->loop);
}

void unlock() {
  if (out) pa_threaded_mainloop_unlock(out->loop);
}

}  // namespace

const AudioBackend pulse_backend = {"pulse", open_output, play, heard, lost, lock, unlock, release};

// The audio output on a PulseAudio server (or PipeWire's PulseAudio service): a playback
// stream of our own, fed from the server's requests. What is heard comes from the server's
// own timing, interpolated between its updates: the sample at the sink's output now, its
// latency and the device's included.
#include <pulse/pulseaudio.h>

#include <cstdint>
#include <cstdlib>

#include "music/audio_backend.h"
#include "platform/platform.h"

namespace {

// The buffer we ask the server to keep filled: sized by measurement, see bench/RESULTS.md.
// PULSE_LATENCY_MSEC, when set, overrides it as for every PulseAudio client.
constexpr int TARGET_FRAMES = 2048;

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

void on_underflow(pa_stream*, void*) { ++out->underflows; }

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
  const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE |
                                                    PA_STREAM_ADJUST_LATENCY);
  if (pa_stream_connect_playback(out->stream, nullptr, &attr, flags, nullptr, nullptr) < 0) return false;
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
  if (on && !out->lost && !open_stream()) out->lost = true;
  pa_threaded_mainloop_unlock(out->loop);
}

// The stream's time is the sample at the sink's output now; the server's timing updates
// come every few milliseconds and libpulse interpolates between them.
int64_t heard() {
  if (!out) return 0;
  pa_threaded_mainloop_lock(out->loop);
  pa_usec_t at = 0;
  if (out->stream && !out->lost && pa_stream_get_time(out->stream, &at) == 0) {
    // A time past what was written is no time the stream has had (libpulse reports such
    // while its timing data is being rebuilt): the last good one stands.
    const int64_t h =
        static_cast<int64_t>(at / 1000) * out->rate / 1000 + static_cast<int64_t>(at % 1000) * out->rate / 1000000;
    if (h > out->heard && h <= out->written) out->heard = h;
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

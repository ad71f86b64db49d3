// The audio output in a web page: Web Audio, on the audio context the page made when the
// show was started (browsers allow sound only after a click or a key). The page has one
// thread, so the samples are fed ahead of the playhead whenever the clock is read, as
// buffers scheduled back to back on the context's own clock; what is heard is the
// context's time less its output latency.
//
// A context that does not run (no sound device, or the browser holds the sound back)
// gets nothing scheduled: the clock then runs silently on the page's own time, as the
// native program's does with no device, and the sound joins in whenever the context
// starts running; a context that stops running hands the clock back to the page's time.
#include <emscripten.h>

#include <algorithm>
#include <cmath>

#include "music/audio.h"

namespace {

constexpr int CHUNK_FRAMES = 2048;  // 46 ms a buffer
// Fed ahead of what is heard; a hidden page is woken less often. Below MIN_LEAD the feed
// catches up at once; above it a read feeds at most FEED_STEP chunks, so that no frame of
// the show does the mixing of many (after a stalled frame, or at the start). Silent, only
// far enough for the position to be known.
constexpr double LEAD_SECONDS = 0.5;
constexpr double MIN_LEAD_SECONDS = 0.2;
constexpr int FEED_STEP_CHUNKS = 2;
constexpr double HIDDEN_LEAD_SECONDS = 3.0;
constexpr int SILENT_LEAD_FRAMES = CHUNK_FRAMES;

struct Output {
  AudioFeed feed = nullptr;
  void* user = nullptr;
  int rate = 44100;
  bool open = false;
  bool playing = false;
  bool sounding = false;  // the context runs and is fed; else the silent clock holds
  int locks = 0;
  int64_t fed = 0;  // samples mixed since playing started
  int64_t heard = 0;
  // The silent clock: sample silent_from was heard at page time silent_since_ms.
  int64_t silent_from = 0;
  double silent_since_ms = 0;
};
Output output;
int16_t chunk[CHUNK_FRAMES * 2];
float left[CHUNK_FRAMES];  // the chunk as Web Audio takes it
float right[CHUNK_FRAMES];

// clang-format off
// Firefox's outputLatency can block the page for good (it waits on its sound server while
// the sound thread waits on it; seen on the first read in 1 of 12 starts, and in most
// starts when read before the context runs): there the clock goes by the context's time
// alone, ahead of the sound by the output latency. (Chromium's user agent says "like
// Gecko", with no slash.)
EM_JS(int, web_audio_open, (), {
  const context = Module.orvelAudioContext;
  if (!context) return 0;
  const gecko = navigator.userAgent.includes('Gecko/');
  Module.orvelAudio = {context: context, start: 0, end: 0, sources: new Set(), free: [],
    latency: gecko ? () => 0 : () => context.outputLatency || context.baseLatency || 0};
  return 1;
});

EM_JS(int, web_audio_running, (), { return Module.orvelAudio.context.state === 'running' ? 1 : 0; });

// Tells the page whether the show is heard, as it starts and whenever that changes.
EM_JS(void, web_audio_report, (int sounding), {
  if (Module.orvelSoundChanged) Module.orvelSoundChanged(sounding !== 0);
});

// Sample `first` plays a moment from now, once the first buffers are scheduled.
EM_JS(void, web_audio_start, (double first, int rate), {
  const audio = Module.orvelAudio;
  audio.start = audio.context.currentTime + 0.1 - first / rate;
});

EM_JS(void, web_audio_stop, (), {
  const audio = Module.orvelAudio;
  if (!audio) return;
  for (const source of audio.sources) source.stop();
  audio.sources.clear();
});

// Seconds of the stream heard so far (negative before it starts).
EM_JS(double, web_audio_heard_seconds, (), {
  const audio = Module.orvelAudio;
  return audio.context.currentTime - audio.latency() - audio.start;
});

// The stream fell behind: what comes next starts now, later than planned by this much.
EM_JS(void, web_audio_delay, (double seconds), { Module.orvelAudio.start += seconds; });

EM_JS(int, web_audio_hidden, (), { return document.hidden ? 1 : 0; });

// Buffers come back to a pool when their sound has played: a new one for each chunk would
// leave the collector a steady stream of them.
EM_JS(void, web_audio_schedule, (const float* left, const float* right, int frames, double first, int rate), {
  const audio = Module.orvelAudio;
  const buffer = audio.free.pop() || audio.context.createBuffer(2, frames, rate);
  buffer.copyToChannel(HEAPF32.subarray(left >> 2, (left >> 2) + frames), 0);
  buffer.copyToChannel(HEAPF32.subarray(right >> 2, (right >> 2) + frames), 1);
  const source = audio.context.createBufferSource();
  source.buffer = buffer;
  source.connect(audio.context.destination);
  source.onended = () => {
    audio.sources.delete(source);
    audio.free.push(buffer);
  };
  audio.sources.add(source);
  source.start(audio.start + first / rate);
  audio.end = audio.start + (first + frames) / rate;  // the sound scheduled so far runs until then
});
// clang-format on

void go_silent() {
  web_audio_stop();
  output.sounding = false;
  output.silent_from = output.heard;
  output.silent_since_ms = emscripten_get_now();
  web_audio_report(0);
}

// What is mixed next is what the context plays first, a moment from now; the clock waits
// for it rather than jump over what was mixed and not heard.
void go_sounding() {
  output.sounding = true;
  web_audio_start(static_cast<double>(output.fed), output.rate);
  web_audio_report(1);
}

void schedule_chunk() {
  constexpr float scale = 1.0f / 32768;
  for (int i = 0; i < CHUNK_FRAMES; ++i) {
    left[i] = chunk[2 * i] * scale;
    right[i] = chunk[2 * i + 1] * scale;
  }
  web_audio_schedule(left, right, CHUNK_FRAMES, static_cast<double>(output.fed), output.rate);
}

int64_t sounding_heard() {
  int64_t heard = static_cast<int64_t>(std::floor(web_audio_heard_seconds() * output.rate));
  if (heard > output.fed) {
    // Nothing was fed for longer than the lead (a stalled page): the sound stopped where
    // the feed ended and goes on from there, and so does the clock.
    web_audio_delay(static_cast<double>(heard - output.fed) / output.rate);
    heard = output.fed;
  }
  return heard;
}

}  // namespace

bool audio_open(int rate, AudioFeed feed, void* user) {
  audio_close();
  if (!web_audio_open()) return false;
  output.feed = feed;
  output.user = user;
  output.rate = rate;
  output.open = true;
  return true;
}

void audio_play(bool on) {
  if (!output.open || on == output.playing) return;
  output.playing = on;
  if (on) {
    output.fed = 0;
    output.heard = 0;
    // The first buffers go out at the first read of the clock.
    if (web_audio_running())
      go_sounding();
    else
      go_silent();
  } else {
    web_audio_stop();
  }
}

int64_t audio_heard() {
  if (!output.open || !output.playing) return output.heard;
  if (web_audio_running() != (output.sounding ? 1 : 0)) {
    if (output.sounding)
      go_silent();
    else
      go_sounding();
  }
  int64_t heard = 0;
  int64_t wanted = 0;
  if (output.sounding) {
    heard = std::max(output.heard, sounding_heard());
    if (web_audio_hidden()) {
      wanted = heard + static_cast<int64_t>(HIDDEN_LEAD_SECONDS * output.rate);
    } else {
      const int64_t step = output.fed + FEED_STEP_CHUNKS * CHUNK_FRAMES;
      wanted = std::min(heard + static_cast<int64_t>(LEAD_SECONDS * output.rate),
                        std::max(heard + static_cast<int64_t>(MIN_LEAD_SECONDS * output.rate), step));
    }
  } else {
    const double ms = emscripten_get_now() - output.silent_since_ms;
    heard = std::max(output.heard, output.silent_from + static_cast<int64_t>(ms * output.rate / 1000));
    wanted = heard + SILENT_LEAD_FRAMES;
  }
  if (output.locks == 0) {
    while (output.fed < wanted) {
      output.feed(output.user, chunk, CHUNK_FRAMES);
      if (output.sounding) schedule_chunk();
      output.fed += CHUNK_FRAMES;
    }
  }
  output.heard = std::min(heard, output.fed);
  return output.heard;
}

// The page's audio context does not go away while the page lives.
bool audio_lost() { return false; }

// One thread: the feed only runs inside audio_heard, so a lock only holds it back there.
void audio_lock() { ++output.locks; }
void audio_unlock() { --output.locks; }

void audio_close() {
  if (!output.open) return;
  audio_play(false);
  output = Output{};
}

// The audio output in a web page: Web Audio, on the audio context the page made when the
// show was started (browsers allow sound only after a click or a key). The page has one
// thread, so the samples are fed ahead of the playhead whenever the clock is read, as
// buffers scheduled back to back on the context's own clock; what is heard is the
// context's time less its output latency.
#include <emscripten.h>

#include <algorithm>
#include <cmath>

#include "music/audio.h"

namespace {

constexpr int CHUNK_FRAMES = 2048;  // 46 ms a buffer
// Fed ahead of what is heard; a hidden page is woken less often.
constexpr double LEAD_SECONDS = 0.5;
constexpr double HIDDEN_LEAD_SECONDS = 3.0;

struct Output {
  AudioFeed feed = nullptr;
  void* user = nullptr;
  int rate = 44100;
  bool open = false;
  bool playing = false;
  int locks = 0;
  int64_t fed = 0;  // samples scheduled since playing started
  int64_t heard = 0;
};
Output output;
int16_t chunk[CHUNK_FRAMES * 2];

// clang-format off
EM_JS(int, web_audio_open, (), {
  const context = Module.orvelAudioContext;
  if (!context) return 0;
  Module.orvelAudio = {context: context, start: 0, sources: new Set()};
  return 1;
});

// Sample 0 plays a moment from now, once the first buffers are scheduled.
EM_JS(void, web_audio_start, (), {
  const audio = Module.orvelAudio;
  audio.start = audio.context.currentTime + 0.1;
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
  const latency = audio.context.outputLatency || audio.context.baseLatency || 0;
  return audio.context.currentTime - latency - audio.start;
});

// The stream fell behind: what comes next starts now, later than planned by this much.
EM_JS(void, web_audio_delay, (double seconds), { Module.orvelAudio.start += seconds; });

EM_JS(int, web_audio_hidden, (), { return document.hidden ? 1 : 0; });

EM_JS(void, web_audio_schedule, (const int16_t* samples, int frames, double first, int rate), {
  const audio = Module.orvelAudio;
  const buffer = audio.context.createBuffer(2, frames, rate);
  const left = buffer.getChannelData(0);
  const right = buffer.getChannelData(1);
  const pcm = HEAP16.subarray(samples >> 1, (samples >> 1) + frames * 2);
  for (let i = 0; i < frames; i++) {
    left[i] = pcm[2 * i] / 32768;
    right[i] = pcm[2 * i + 1] / 32768;
  }
  const source = audio.context.createBufferSource();
  source.buffer = buffer;
  source.connect(audio.context.destination);
  source.onended = () => audio.sources.delete(source);
  audio.sources.add(source);
  source.start(audio.start + first / rate);
  audio.end = audio.start + (first + frames) / rate;  // the sound scheduled so far runs until then
});
// clang-format on

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
    web_audio_start();  // the first buffers go out at the first read of the clock
  } else {
    web_audio_stop();
  }
}

int64_t audio_heard() {
  if (!output.open || !output.playing) return output.heard;
  int64_t heard = static_cast<int64_t>(std::floor(web_audio_heard_seconds() * output.rate));
  if (heard > output.fed) {
    // Nothing was fed for longer than the lead (a stalled page): the sound stopped where
    // the feed ended and goes on from there, and so does the clock.
    web_audio_delay(static_cast<double>(heard - output.fed) / output.rate);
    heard = output.fed;
  }
  output.heard = std::max(output.heard, heard);
  if (output.locks == 0) {
    const double lead = web_audio_hidden() ? HIDDEN_LEAD_SECONDS : LEAD_SECONDS;
    const int64_t wanted = output.heard + static_cast<int64_t>(lead * output.rate);
    while (output.fed < wanted) {
      output.feed(output.user, chunk, CHUNK_FRAMES);
      web_audio_schedule(chunk, CHUNK_FRAMES, static_cast<double>(output.fed), output.rate);
      output.fed += CHUNK_FRAMES;
    }
  }
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

// The audio output on Linux: OpenAL Soft, which asks the sound system itself what is being
// played (PulseAudio's or PipeWire's interpolated stream latency, ALSA's delay) and reports
// that latency together with the source's position. A thread of ours keeps its queue full.
#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "music/audio_backend.h"
#include "platform/platform.h"

namespace {

// Sized by measurement: see bench/RESULTS.md (dropouts per show against the frames queued).
constexpr int BUFFER_FRAMES = 1024;
constexpr int BUFFER_COUNT = 4;
// How often the feeder looks at the queue: a fraction of one buffer's length.
constexpr auto FEED_PERIOD = std::chrono::milliseconds(5);

struct Output {
  ALCdevice* device = nullptr;
  ALCcontext* context = nullptr;
  ALuint source = 0;
  ALuint buffers[BUFFER_COUNT] = {};
  LPALGETSOURCEI64VSOFT get_source_i64 = nullptr;
  AudioFeed feed = nullptr;
  void* user = nullptr;
  int rate = 44100;

  std::thread feeder;
  std::mutex mutex;  // the queue, the counts and the feed
  std::condition_variable wake;
  bool quit = false;
  bool playing = false;
  int64_t unqueued = 0;  // frames of buffers played and taken off the queue since play
  int64_t fed = 0;       // frames handed to the source since play
  int64_t underruns = 0;
  std::atomic<bool> lost{false};
  int16_t block[BUFFER_FRAMES * 2] = {};
};
Output* out = nullptr;

bool connected(ALCdevice* device) {
  ALCint value = ALC_TRUE;
  alcGetIntegerv(device, ALC_CONNECTED, 1, &value);
  return value == ALC_TRUE;
}

// Called with the mutex held.
void fill_and_queue(ALuint buffer) {
  out->feed(out->user, out->block, BUFFER_FRAMES);
  alBufferData(buffer, AL_FORMAT_STEREO16, out->block, BUFFER_FRAMES * 4, out->rate);
  alSourceQueueBuffers(out->source, 1, &buffer);
  out->fed += BUFFER_FRAMES;
}

void feed_loop() {
  raise_audio_thread_priority();
  std::unique_lock<std::mutex> lock(out->mutex);
  while (!out->quit) {
    out->wake.wait_for(lock, FEED_PERIOD);
    if (out->quit) break;
    if (!connected(out->device)) {
      out->lost = true;
      break;
    }
    if (!out->playing) continue;
    ALint processed = 0;
    alGetSourcei(out->source, AL_BUFFERS_PROCESSED, &processed);
    for (int i = 0; i < processed; ++i) {
      ALuint buffer = 0;
      alSourceUnqueueBuffers(out->source, 1, &buffer);
      out->unqueued += BUFFER_FRAMES;
      fill_and_queue(buffer);
    }
    // Every queued buffer played before the next came: the source stopped, and starts
    // again where the queue now begins.
    ALint state = AL_PLAYING;
    alGetSourcei(out->source, AL_SOURCE_STATE, &state);
    if (state != AL_PLAYING) {
      ++out->underruns;
      alSourcePlay(out->source);
    }
  }
}

// Opens OpenAL's default device; the null output it falls back to when there is no sound
// system counts as no device, so that the player keeps its silent real-time clock.
bool open_device() {
  out->device = alcOpenDevice(nullptr);
  if (!out->device) return false;
  const ALCchar* name = alcGetString(out->device, ALC_DEVICE_SPECIFIER);
  if (name && std::strcmp(name, "No Output") == 0) return false;
  if (!alcIsExtensionPresent(out->device, "ALC_EXT_disconnect")) return false;
  // The module's own rate, no limiter or virtual surround: the mix goes out as it was made.
  const ALCint attributes[] = {ALC_FREQUENCY, out->rate, ALC_HRTF_SOFT, ALC_FALSE, ALC_OUTPUT_LIMITER_SOFT,
                               ALC_FALSE,     0};
  out->context = alcCreateContext(out->device, attributes);
  if (!out->context || !alcMakeContextCurrent(out->context)) return false;
  if (!alIsExtensionPresent("AL_SOFT_source_latency") || !alIsExtensionPresent("AL_SOFT_direct_channels")) return false;
  out->get_source_i64 = reinterpret_cast<LPALGETSOURCEI64VSOFT>(alGetProcAddress("alGetSourcei64vSOFT"));
  if (!out->get_source_i64) return false;
  alGetError();
  alGenSources(1, &out->source);
  alGenBuffers(BUFFER_COUNT, out->buffers);
  alSourcei(out->source, AL_DIRECT_CHANNELS_SOFT, AL_TRUE);
  alSourcei(out->source, AL_SOURCE_RELATIVE, AL_TRUE);
  return alGetError() == AL_NO_ERROR;
}

void release() {
  if (!out) return;
  if (out->feeder.joinable()) {
    {
      std::lock_guard<std::mutex> lock(out->mutex);
      out->quit = true;
    }
    out->wake.notify_all();
    out->feeder.join();
  }
  if (out->context) {
    alSourceStop(out->source);
    alSourcei(out->source, AL_BUFFER, 0);
    alDeleteSources(1, &out->source);
    alDeleteBuffers(BUFFER_COUNT, out->buffers);
    alcMakeContextCurrent(nullptr);
    alcDestroyContext(out->context);
  }
  if (out->device) alcCloseDevice(out->device);
  delete out;
  out = nullptr;
}

bool open_output(int rate, AudioFeed feed, void* user) {
  release();
  // OpenAL Soft reports its troubles on standard error unless told not to; the program
  // shows no messages. A level the user set stays.
  setenv("ALSOFT_LOGLEVEL", "0", 0);
  out = new Output;
  out->rate = rate;
  out->feed = feed;
  out->user = user;
  bool ok;
  {
    // The sound system's own libraries (ALSA's, PulseAudio's) print about a machine with no
    // sound card.
    QuietOutput quiet;
    ok = open_device();
  }
  if (!ok) {
    release();
    return false;
  }
  out->feeder = std::thread(feed_loop);
  // A process that ends while playing (Escape ends it from inside the display) must stop
  // our thread before OpenAL's own clean-up runs, or that clean-up aborts.
  static bool registered = false;
  if (!registered) std::atexit(release);
  registered = true;
  return true;
}

void play(bool on) {
  if (!out) return;
  std::lock_guard<std::mutex> lock(out->mutex);
  if (on == out->playing) return;
  out->playing = on;
  alSourceStop(out->source);
  alSourcei(out->source, AL_BUFFER, 0);  // empties the queue
  out->unqueued = 0;
  out->fed = 0;
  if (!on) return;
  for (ALuint buffer : out->buffers) fill_and_queue(buffer);
  alSourcePlay(out->source);
}

// The source's position and the output's latency come from one query, taken at one moment:
// the sample at the ear is the one the mixer reached, less what the latency still holds.
int64_t heard() {
  if (!out) return 0;
  std::lock_guard<std::mutex> lock(out->mutex);
  if (!out->playing) return 0;
  ALint64SOFT v[2] = {0, 0};
  out->get_source_i64(out->source, AL_SAMPLE_OFFSET_LATENCY_SOFT, v);
  const int64_t position = out->unqueued + (v[0] >> 32);
  const int64_t latency = v[1] * out->rate / 1000000000;
  const int64_t heard = position - latency;
  return heard < 0 ? 0 : (heard > out->fed ? out->fed : heard);
}

bool lost() { return out && out->lost; }

void lock() {
  if (out) out->mutex.lock();
}

void unlock() {
  if (out) out->mutex.unlock();
}

}  // namespace

const AudioBackend openal_backend = {"openal", open_output, play, heard, lost, lock, unlock, release};

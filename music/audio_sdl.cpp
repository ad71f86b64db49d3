// An SDL audio device, fed from SDL's audio thread. SDL cannot tell the sound system's
// latency, so what is heard is estimated from its own buffer alone: the fallback where
// nothing better opens.
#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "music/audio_backend.h"
#include "platform/platform.h"

namespace {

constexpr int DEVICE_FRAMES = 1024;

struct Device {
  SDL_AudioDeviceID id = 0;
  AudioFeed feed = nullptr;
  void* user = nullptr;
  int rate = 44100;
  int latency = 0;  // frames the device holds beyond the one being played
  bool playing = false;
  // The last callback: when it ran, how many samples were fed before it and how many it took.
  int64_t callback_ns = 0;
  int64_t fed_before = 0;
  int callback_frames = 0;
  bool called = false;
};
Device device;

int64_t now_ns() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// SDL runs this with the device locked, so it never overlaps audio_lock or audio_heard.
void callback(void*, Uint8* stream, int length) {
  const int frames = length / 4;
  if (!device.playing) {
    std::memset(stream, 0, static_cast<size_t>(length));
    return;
  }
  // The device asks for the block when it needs it: the time of asking, not of the mix.
  device.callback_ns = now_ns();
  device.feed(device.user, reinterpret_cast<int16_t*>(stream), frames);
  device.fed_before += device.called ? device.callback_frames : 0;
  device.callback_frames = frames;
  device.called = true;
}

bool open_quietly() {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  SDL_AudioSpec want{};
  want.freq = device.rate;
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = DEVICE_FRAMES;
  want.callback = callback;
  SDL_AudioSpec have{};
  device.id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (device.id == 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  device.latency = have.samples;
  return true;
}

void close_device();

bool open_device(int rate, AudioFeed feed, void* user) {
  close_device();
  device.rate = rate;
  device.feed = feed;
  device.user = user;
  QuietOutput quiet;
  return open_quietly();
}

void play(bool on) {
  if (device.id == 0) return;
  SDL_LockAudioDevice(device.id);
  if (on && !device.playing) {
    device.fed_before = 0;
    device.callback_frames = 0;
    device.called = false;
  }
  device.playing = on;
  SDL_UnlockAudioDevice(device.id);
  SDL_PauseAudioDevice(device.id, on ? 0 : 1);
}

// Between callbacks the device plays on in real time: the last callback's samples start
// once the buffer ahead of them has played.
int64_t heard() {
  if (device.id == 0) return 0;
  SDL_LockAudioDevice(device.id);
  int64_t heard = 0;
  if (device.called) {
    const int64_t since = (now_ns() - device.callback_ns) * device.rate / 1000000000;
    const int64_t start = device.fed_before - device.latency;
    heard = std::clamp<int64_t>(start + since, 0, std::max<int64_t>(0, start + device.callback_frames));
  }
  SDL_UnlockAudioDevice(device.id);
  return heard;
}

// SDL stops a device that its back end lost (SDL_AUDIODEVICEREMOVED); a device of ours
// that is playing is never stopped otherwise.
bool lost() { return device.id != 0 && SDL_GetAudioDeviceStatus(device.id) == SDL_AUDIO_STOPPED; }

void lock() {
  if (device.id != 0) SDL_LockAudioDevice(device.id);
}

void unlock() {
  if (device.id != 0) SDL_UnlockAudioDevice(device.id);
}

void close_device() {
  if (device.id == 0) return;
  SDL_CloseAudioDevice(device.id);
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  device = Device{};
}

}  // namespace

const AudioBackend sdl_backend = {"sdl", open_device, play, heard, lost, lock, unlock, close_device};

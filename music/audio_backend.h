// Inside the music folder: one way of making sound on a desktop, for platforms that have
// several to try. Each offers the operations of audio.h; audio_backends.cpp tries the
// platform's list, best first, and forwards to the one that opened.
#pragma once
#include "music/audio.h"

struct AudioBackend {
  const char* name;  // as ORVEL_AUDIO names it
  bool (*open)(int rate, AudioFeed feed, void* user);
  void (*play)(bool on);
  int64_t (*heard)();
  bool (*lost)();
  void (*lock)();
  void (*unlock)();
  void (*close)();
};

// Called once from a backend's own thread that feeds the device: asks the system to run it
// before ordinary work, as sound programs do, so that a busy machine does not starve the
// sound. Without the rights for it, nothing changes.
void raise_audio_thread_priority();

// The platform's list, best first; each platform names its own in a file of its own.
extern const AudioBackend* const audio_backends[];
extern const int audio_backend_count;

// PulseAudio (and PipeWire's PulseAudio service): the server's own timing.
extern const AudioBackend pulse_backend;
// OpenAL Soft: the latency the sound system reports, and its removal events.
extern const AudioBackend openal_backend;
// SDL: its own buffer is all it can tell of the latency.
extern const AudioBackend sdl_backend;

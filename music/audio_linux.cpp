// Linux: OpenAL Soft first, which knows the real latency of PulseAudio, PipeWire and ALSA;
// SDL where OpenAL finds no device.
#include "music/audio_backend.h"

const AudioBackend* const audio_backends[] = {&pulse_backend, &openal_backend, &sdl_backend};
const int audio_backend_count = 3;

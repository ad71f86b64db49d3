// Windows: SDL (WASAPI or DirectSound beneath it), whose own buffer is all it can tell of
// the latency.
#include "music/audio_backend.h"

const AudioBackend* const audio_backends[] = {&sdl_backend};
const int audio_backend_count = 1;

// Linux: PulseAudio's protocol first (PulseAudio, or PipeWire's service), whose stream time
// is what the sink plays; OpenAL Soft where no such server runs (ALSA and the rest, with the
// latency they report); SDL where neither opens.
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include "music/audio_backend.h"

const AudioBackend* const audio_backends[] = {&pulse_backend, &openal_backend, &sdl_backend};
const int audio_backend_count = 3;

// Round-robin realtime at its lowest priority where allowed (root, or an rlimit that grants
// it), else a higher nice value for this thread alone.
void raise_audio_thread_priority() {
  sched_param param{};
  param.sched_priority = sched_get_priority_min(SCHED_RR);
  if (pthread_setschedparam(pthread_self(), SCHED_RR, &param) == 0) return;
  setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), -10);
}

// The audio output of a desktop platform: the first of its backends that opens, or the one
// ORVEL_AUDIO names.
#include <cstdlib>
#include <cstring>

#include "music/audio_backend.h"

namespace {
const AudioBackend* active = nullptr;
}

bool audio_open(int rate, AudioFeed feed, void* user) {
  audio_close();
  const char* only = std::getenv("ORVEL_AUDIO");
  for (int i = 0; i < audio_backend_count; ++i) {
    if (only && *only && std::strcmp(only, audio_backends[i]->name) != 0) continue;
    if (audio_backends[i]->open(rate, feed, user)) {
      active = audio_backends[i];
      return true;
    }
  }
  return false;
}

void audio_play(bool on) {
  if (active) active->play(on);
}
int64_t audio_heard() { return active ? active->heard() : 0; }
bool audio_lost() { return active && active->lost(); }
void audio_lock() {
  if (active) active->lock();
}
void audio_unlock() {
  if (active) active->unlock();
}
void audio_close() {
  if (active) active->close();
  active = nullptr;
}

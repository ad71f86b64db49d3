// No sound device at all: the null platform. The player keeps the silent clock, in real
// time, as it does on a machine with no sound card.
#include "music/audio.h"

bool audio_open(int, AudioFeed, void*) { return false; }
void audio_play(bool) {}
int64_t audio_heard() { return 0; }
bool audio_lost() { return false; }
void audio_lock() {}
void audio_unlock() {}
void audio_close() {}

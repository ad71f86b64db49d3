// Inside the music folder: the platform's audio output beneath the program's player.
// One output per process. It asks the player for samples through the feed, from its own
// thread (desktop) or from audio_heard on the caller's (the web page, which mixes ahead).
#pragma once
#include <cstdint>

using AudioFeed = void (*)(void* user, int16_t* stereo, int frames);

// False when there is no output to play on; the player then keeps silent real time.
bool audio_open(int rate, AudioFeed feed, void* user);
// Starts (or pauses) taking samples from the feed; starting counts them from 0 again.
void audio_play(bool on);
// The number of fed samples heard so far: the one at the listener's ear now, as the sound
// system reports it. Never more than were fed, never less than 0.
int64_t audio_heard();
// True once the output has gone away while open (unplugged, its server gone, its sink
// removed), as the sound system itself reports: nothing more will be heard from it.
bool audio_lost();
// While locked the feed is not called.
void audio_lock();
void audio_unlock();
void audio_close();

// Structural check of an Impulse Tracker file before the mixer sees it: the mixer is
// tolerant and would play a truncated file with parts missing.
#pragma once
#include "music/music.h"

// True when handle holds a whole IT module: signature, and every instrument, sample
// and pattern it points to lies inside the file. Leaves the file position anywhere.
bool it_structure_ok(const SoundFileCallbacks& files, void* handle);

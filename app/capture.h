// Video capture of an offline run.
#pragma once
#include <cstdint>

#include "raster/raster.h"

// False in a build without a video encoder: its options are then left out.
extern const bool capture_built;

// H.264 at fps with the picture scaled by scale, and AAC audio. capture_close is false
// when the file could not be finished, and then removes it if it is a regular file.
bool capture_open(const char* path, int fps, int scale);
void capture_frame(const Pixel* canvas);
void capture_audio(const int16_t* stereo, int frames);
bool capture_close();

// Inside the display folder: the platform's live picture beneath display.h, one per
// process. Each platform offers these in a file of its own (window_sdl.cpp, window_web.cpp,
// window_null.cpp); display.cpp keeps what is the same everywhere, the offline stand-in
// among it.
#pragma once
#include "display/display.h"

// 1 when a picture of width x height is on screen, 0 when there is none to be had; nothing
// half-made stays behind.
int window_open(const char* title, int width, int height, const DisplaySettings& settings);
// Presents the canvas and takes the window system's messages. 1 when the show goes on.
int window_update(const Pixel* canvas);
void window_close();
// Escape or a close request came since the window opened.
bool window_end_requested();
int window_depth();
PixelConverter window_converter();
uint32_t window_format();
// Called for every offline frame: where the host must be given its turn now and then (a
// web page), it is; elsewhere nothing.
void window_offline_frame();

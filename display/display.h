// Display: the presented window (or the offline stand-in) and the pixel format converters.
#pragma once
#include <cstdint>

#include "raster/raster.h"

// ---- pixel format converters ----

// Converts count Pixels into one display row; writes count * bytes-per-pixel bytes.
using PixelConverter = void (*)(const Pixel* source, uint8_t* destination, int32_t count);

// ---- display ----

enum class DisplayMode {
  Live,     // an SDL window: fullscreen, or resizable with --window
  Offline,  // no window at all: frames are only recorded
};

struct DisplaySettings {
  DisplayMode mode = DisplayMode::Live;
  bool windowed = false;  // --window
  int depth = 0;          // --depth: 0 tries 32, 24, 16 in that order
};

// Chosen before display_open; the default is the live fullscreen display.
void display_configure(const DisplaySettings& settings);

// 1 when the display is ready, 0 on failure.
int display_open(const char* title, int width, int height);
// Presents the canvas and pumps the window's messages; Escape or a close request ends
// the process inside this call with status 0. Returns 1 when a frame was presented.
int display_update(const Pixel* canvas);
void display_close();

// Bits per pixel of the open display's format (0 when offline or closed).
int display_depth();

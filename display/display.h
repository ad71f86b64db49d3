// Display: the presented window (or the offline stand-in) and the pixel format converters.
#pragma once
#include <cstdint>

#include "raster/raster.h"

// ---- pixel format converters ----

// Converts count Pixels into one display row; writes count * bytes-per-pixel bytes.
using PixelConverter = void (*)(const Pixel* source, uint8_t* destination, int32_t count);

// The converter for a display format given by its bits per pixel (the storage size:
// 32, 24 or 16) and its exact red, green and blue masks; nullptr for any other format.
PixelConverter select_converter(int bits_per_pixel, uint32_t red_mask, uint32_t green_mask, uint32_t blue_mask);

// Every converter truncates each channel to its kept top bits. Destinations are
// little-endian and need no alignment; a count of 0 or less writes nothing.
void convert_xrgb32(const Pixel* source, uint8_t* destination, int32_t count);  // word as is
void convert_xbgr32(const Pixel* source, uint8_t* destination, int32_t count);  // R low, top 0
void convert_rgb24(const Pixel* source, uint8_t* destination, int32_t count);   // bytes B G R
void convert_bgr24(const Pixel* source, uint8_t* destination, int32_t count);   // bytes R G B
// Where the processor has SSSE3, the 24-bit converters use it (chosen at start); every
// path gives the same bytes. For tests and benchmarks; returns whether it is now in use.
bool converters_use_ssse3(bool on);
void convert_rgb565(const Pixel* source, uint8_t* destination, int32_t count);
void convert_bgr565(const Pixel* source, uint8_t* destination, int32_t count);
void convert_rgb555(const Pixel* source, uint8_t* destination, int32_t count);  // bit 15 zero
void convert_bgr555(const Pixel* source, uint8_t* destination, int32_t count);  // bit 15 zero

// ---- display ----

enum class DisplayMode {
  Live,     // the platform's picture: a window (fullscreen, or resizable with --window), or the page's canvas
  Offline,  // no window at all: frames are only recorded
};

struct DisplaySettings {
  DisplayMode mode = DisplayMode::Live;
  bool windowed = false;  // --window
  int depth = 0;          // --depth: 0 tries 32, 24, 16 in that order
  // When set, only a texture of this converter's layout is tried (for the tests and
  // benchmarks, which run every converter live).
  PixelConverter layout = nullptr;
};

// Chosen before display_open; the default is the live fullscreen display.
void display_configure(const DisplaySettings& settings);

// 1 when the display is ready, 0 on failure (a second open fails too). On a desktop the
// live mode takes only a video driver that shows a picture, unless SDL_VIDEODRIVER names
// one; nothing from SDL or its back ends reaches standard output or error while the
// display opens or closes.
int display_open(const char* title, int width, int height);
// Presents the canvas and takes the window system's messages: focus and minimise set
// whether frames are shown. Returns 1 while the display is open.
int display_update(const Pixel* canvas);
// Whether Escape or a close request came since the display opened: the program then
// ends as it does at the end of the music.
bool display_end_requested();
void display_close();

// Bits per pixel of the open display's format (0 when offline or closed).
int display_depth();
// The converter every presented row goes through, chosen from the texture's masks,
// and the texture's SDL pixel format (nullptr and 0 when offline or closed).
PixelConverter display_converter();
uint32_t display_format();

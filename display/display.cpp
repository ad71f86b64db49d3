// The display as the program sees it: the platform's live picture, or the offline stand-in
// that shows nothing and takes every frame.
#include "display/display.h"

#include "display/window.h"

namespace {
DisplaySettings settings;
bool offline_open = false;
bool live_open = false;
}  // namespace

void display_configure(const DisplaySettings& s) { settings = s; }

int display_open(const char* title, int width, int height) {
  if (width != SCREEN_WIDTH || height != SCREEN_HEIGHT || offline_open || live_open) return 0;
  if (settings.mode == DisplayMode::Offline) {
    offline_open = true;
    return 1;
  }
  live_open = window_open(title != nullptr ? title : "", width, height, settings) != 0;
  return live_open ? 1 : 0;
}

int display_update(const Pixel* canvas) {
  if (offline_open) {
    window_offline_frame();
    return 1;
  }
  return live_open ? window_update(canvas) : 0;
}

void display_close() {
  if (live_open) window_close();
  offline_open = live_open = false;
}

bool display_end_requested() { return live_open && window_end_requested(); }

int display_depth() { return live_open ? window_depth() : 0; }

PixelConverter display_converter() { return live_open ? window_converter() : nullptr; }

uint32_t display_format() { return live_open ? window_format() : 0; }

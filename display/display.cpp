#include "display/display.h"

namespace {
DisplaySettings settings;
bool is_open = false;
}  // namespace

void display_configure(const DisplaySettings& s) { settings = s; }

int display_open(const char*, int width, int height) {
  if (width != SCREEN_WIDTH || height != SCREEN_HEIGHT) return 0;
  if (settings.mode != DisplayMode::Offline) return 0;  // no live display yet
  is_open = true;
  return 1;
}

int display_update(const Pixel*) { return is_open ? 1 : 0; }

void display_close() { is_open = false; }

int display_depth() { return 0; }

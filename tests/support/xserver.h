// A private X server (Xvfb) for tests of the live display, and its screenshots.
#pragma once
#include <cstdint>
#include <string>

#include "support/png_read.h"

bool on_path(const std::string& program);

// Xvfb on the first free display number; it reports the number on a pipe. The
// geometry is WIDTHxHEIGHTxDEPTH, the screen's depth last (24 or 16).
struct XServer {
  int pid = -1;
  std::string display;
  bool start(const char* geometry);
  void stop();
};

// An X window dump (xwd) as 0x00RRGGBB pixels.
bool read_xwd(const std::string& path, Picture& shot);
// A screenshot of the whole screen of display, or of the window of that title alone
// (its pixels as it holds them, at its own depth); false when xwd fails.
bool screenshot(const std::string& display, const std::string& xwd_path, Picture& shot, const std::string& window = "");

// The run as a whole: start-up, the timeline and shut-down.
#pragma once
#include "app/options.h"

constexpr const char* WINDOW_TITLE = "Orvel @ brakovia'11 :: KVL";
constexpr const char* MODULE_PATH = "musica\\XK_TRAM4.IT";

// Start-up, timeline and shut-down; the process exit status.
int run_demo(RunOptions* options);
// Once the module is loaded and the display open: play from order 0, cued at the first
// frame of start_order, and take the first read; false when the music never reaches that
// order. And after the timeline: stop and release the music, close the display.
bool start_playing(int start_order = 0);
void stop_playing();

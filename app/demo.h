// The run as a whole: start-up, the timeline and shut-down.
#pragma once
#include "app/options.h"

constexpr const char* WINDOW_TITLE = "Orvel @ brakovia'11 :: KVL";
constexpr const char* MODULE_PATH = "musica\\XK_TRAM4.IT";

// Start-up, timeline and shut-down; the process exit status.
int run_demo(RunOptions* options);
// Once the module is loaded and the display open: play from order 0 and take the first
// read. And after the timeline: stop and release the music, close the display.
void start_playing();
void stop_playing();

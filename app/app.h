// Demo sequence: start-up, the image assets, the canvases and the scene timeline.
#pragma once
#include <string>
#include <vector>

#include "music/music.h"
#include "raster/raster.h"

// The four working canvases; only screen is presented.
extern Canvas screen;
extern Canvas backdrop;
extern Canvas layer_a;
extern Canvas layer_b;

// ---- options ----

struct SnapshotRequest {
  int order;
  int row;
  std::string path;
  bool written;
};

struct RunOptions {
  bool windowed = false;
  int depth = 0;  // 0: 32, then 24, then 16
  bool offline = false;
  int fps = 60;
  std::string frames_path;
  std::string wav_path;
  std::vector<SnapshotRequest> snapshots;
};

enum class OptionsResult { Run, ExitOk, ExitUsage };
// Parses the command line; prints help or version (ExitOk) or one line of error on
// stderr (ExitUsage).
OptionsResult parse_options(int argc, char** argv, RunOptions* options);

// ---- recording a run ----

// Opens the frame log; false when it cannot be written.
bool record_open(RunOptions* options);
// After each presented frame: the frame log line and any snapshot due at this position.
void record_frame(const Pixel* canvas, const MusicPosition& drawn_from);
void record_close();
// CRC-32 (zlib) of the picture as R, G, B bytes in storage order.
uint32_t picture_crc(const Pixel* canvas);
// 8-bit RGB PNG of a 512x384 canvas; false on failure.
bool write_png(const char* path, const Pixel* canvas);

// ---- the run ----

constexpr const char* WINDOW_TITLE = "Orvel @ brakovia'11 :: KVL";
constexpr const char* MODULE_PATH = "musica\\XK_TRAM4.IT";

// Start-up, timeline and shut-down; the process exit status.
int run_demo(RunOptions* options);

// The timeline's state, shared by all phases.
extern MusicPosition position;
extern int32_t phase_start;
extern int32_t greeting_base_order;

// The sixteen phases, from the position of the first read to the end.
void run_timeline();

// Called after every presented frame with the phase (1..16) that presented it; tests
// watch the timeline through it.
using FrameObserver = void (*)(int phase, const MusicPosition& drawn_from);
void set_frame_observer(FrameObserver observer);

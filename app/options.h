// The command line: what a run is asked to do.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct SnapshotRequest {
  int order;
  int row;
  std::string path;
  bool taken;   // its frame came and a write was tried
  bool failed;  // that write failed
};

struct RunOptions {
  bool windowed = false;
  int depth = 0;  // 0: 32, then 24, then 16
  bool offline = false;
  int fps = 60;
  std::string frames_path;
  std::string wav_path;
  std::vector<SnapshotRequest> snapshots;
  std::string capture_path;
  int capture_scale = 3;
  // Offline with standard error on a terminal: one updating line of progress.
  bool progress = true;
  // Offline, when there is no capture: receives every block of sound as it is mixed.
  void (*audio_sink)(const int16_t* stereo, int frames) = nullptr;
};

enum class OptionsResult { Run, ExitOk, ExitUsage };
// Parses the command line; prints help or version (ExitOk) or one line of error on
// stderr (ExitUsage).
OptionsResult parse_options(int argc, char** argv, RunOptions* options);

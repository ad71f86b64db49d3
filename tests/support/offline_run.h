// An offline run of the program as a child process, with what it recorded: the frame log
// and the sound.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

struct OfflineRun {
  int status = -1;
  std::string err;
  std::vector<std::string> frames;  // the frame log's lines after its header
  std::string samples;              // the WAV's sample data
};

// Runs program --render --fps fps [--start start] in dir, writing the log and the WAV
// there.
OfflineRun run_offline(const std::string& program, const std::string& dir, int fps, int start = 0);

// Field n (0: frame, 1: order, 2: row, 3: time) of a frame log line.
int log_field(const std::string& line, int n);

// Whether a run started at `start` shows exactly what the whole run shows from that
// order's first frame on, frames and sound; a failure says where they part.
::testing::AssertionResult same_from_start(const OfflineRun& whole, const OfflineRun& part, int fps, int start);

// Test helpers that look at a module through libopenmpt directly: load with the
// log captured, render, and measure levels.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct openmpt_module;

struct ProbedModule {
  openmpt_module* mod = nullptr;
  std::vector<std::string> log;  // every message libopenmpt logged while loading
  std::string warnings;          // the "warnings" metadata
};

// mod stays null when libopenmpt refuses the bytes.
ProbedModule probe_module(const std::vector<uint8_t>& bytes);
void release_module(ProbedModule& probed);

// Interleaved stereo at 44.1 kHz, from the current position to the end (at most
// max_seconds), with the given master gain.
std::vector<int16_t> render_stereo(openmpt_module* mod, double max_seconds, int gain_millibel);

// The same in floating point, where overs above full scale stay visible.
std::vector<float> render_stereo_float(openmpt_module* mod, double max_seconds, int gain_millibel);

struct Level {
  double peak_dbfs;
  double rms_dbfs;
};
// Levels of the frames [first, first + count) of interleaved stereo audio.
Level measure_level(const std::vector<int16_t>& stereo, size_t first_frame, size_t frame_count);
Level measure_level(const std::vector<float>& stereo, size_t first_frame, size_t frame_count);

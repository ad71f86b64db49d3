// The command line: what a run is asked to do, and the one table of options from which
// the parser and the usage text are made.
#pragma once
#include <cstdint>
#include <span>
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
  int start_order = 0;  // the show starts at the first frame of this order
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

enum class Applied { Ok, WrongValue, ExitOk };

struct OptionSpec {
  const char* name;   // as typed: "--fps"
  const char* value;  // how the usage and the README name its value; nullptr for a switch
  const char* help;   // the usage text's line
  // Takes the value (nullptr for a switch) into the options.
  Applied (*apply)(const char* value, RunOptions* options);
  // Said of a wrong value: "--fps must be 1 to 1000, not 'x'".
  const char* wrong = nullptr;
  bool names_file = false;      // an empty value is refused as no file name
  const bool* built = nullptr;  // where it points to false, this build leaves the option out
};

// Every option, in the order the usage lists them, those this build leaves out included.
std::span<const OptionSpec> option_table();
bool option_built(const OptionSpec& option);
// The text --help prints: the options of this build, one line each.
std::string usage_text();

enum class OptionsResult { Run, ExitOk, ExitUsage };
// Parses the command line; prints help or version (ExitOk) or one line of error on
// stderr (ExitUsage).
OptionsResult parse_options(int argc, char** argv, RunOptions* options);

#include "app/options.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char* const USAGE =
    "usage: orvel [options]\n"
    "  --window                 a resizable window instead of fullscreen\n"
    "  --depth 32|24|16         ask for that display depth only\n"
    "  --render                 offline: no window, no audio device, a virtual clock\n"
    "  --fps N                  frames per second of music time when offline (default 60)\n"
    "  --frames FILE            write the frame log (frame, order, row, time_ms, crc32)\n"
    "  --snapshot O:R:FILE.png  write the first frame presented at order O, row R (repeatable)\n"
    "  --wav FILE               write the audio of an offline run\n"
    "  --capture FILE.mp4       an offline run encoded as video with its sound\n"
    "  --capture-scale N        the video's pixels per canvas pixel (default 3)\n"
    "  --help, --version\n"
    "Escape or closing the window ends the program.\n";

bool parse_int(const char* text, int low, int high, int* out) {
  if (!text || !*text) return false;
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (*end != '\0' || value < low || value > high) return false;
  *out = static_cast<int>(value);
  return true;
}

bool parse_snapshot(const char* text, SnapshotRequest* out) {
  const char* first = std::strchr(text, ':');
  if (!first) return false;
  const char* second = std::strchr(first + 1, ':');
  if (!second || second[1] == '\0') return false;
  const std::string order(text, first), row(first + 1, second);
  if (!parse_int(order.c_str(), 0, 255, &out->order) || !parse_int(row.c_str(), 0, 255, &out->row)) return false;
  out->path = second + 1;
  out->taken = false;
  out->failed = false;
  return true;
}

OptionsResult usage_error(const char* what, const char* arg) {
  std::fprintf(stderr, "orvel: %s '%s' (try --help)\n", what, arg);
  return OptionsResult::ExitUsage;
}

}  // namespace

OptionsResult parse_options(int argc, char** argv, RunOptions* options) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    auto is = [&](const char* name) { return std::strcmp(arg, name) == 0; };
    if (std::strcmp(arg, "--help") == 0) {
      std::fputs(USAGE, stdout);
      return OptionsResult::ExitOk;
    }
    if (std::strcmp(arg, "--version") == 0) {
      std::printf("orvel %s\n", ORVEL_VERSION);
      return OptionsResult::ExitOk;
    }
    if (std::strcmp(arg, "--window") == 0) {
      options->windowed = true;
    } else if (std::strcmp(arg, "--render") == 0) {
      options->offline = true;
    } else if (is("--depth") || is("--fps") || is("--frames") || is("--snapshot") || is("--wav") || is("--capture") ||
               is("--capture-scale")) {
      if (!value) return usage_error("missing value for", arg);
      ++i;
      const bool names_a_file = is("--frames") || is("--wav") || is("--capture");
      if (names_a_file && *value == '\0') return usage_error("no file name given for", arg);
      if (std::strcmp(arg, "--depth") == 0) {
        if (!parse_int(value, 16, 32, &options->depth) ||
            (options->depth != 16 && options->depth != 24 && options->depth != 32))
          return usage_error("--depth must be 32, 24 or 16, not", value);
      } else if (std::strcmp(arg, "--fps") == 0) {
        if (!parse_int(value, 1, 1000, &options->fps)) return usage_error("--fps must be 1 to 1000, not", value);
      } else if (std::strcmp(arg, "--frames") == 0) {
        options->frames_path = value;
      } else if (std::strcmp(arg, "--wav") == 0) {
        options->wav_path = value;
      } else if (std::strcmp(arg, "--capture") == 0) {
        options->capture_path = value;
        options->offline = true;
      } else if (std::strcmp(arg, "--capture-scale") == 0) {
        if (!parse_int(value, 1, 8, &options->capture_scale))
          return usage_error("--capture-scale must be 1 to 8, not", value);
      } else {
        SnapshotRequest request;
        if (!parse_snapshot(value, &request)) return usage_error("--snapshot wants ORDER:ROW:FILE.png, not", value);
        options->snapshots.push_back(request);
      }
    } else {
      return usage_error("unknown option", arg);
    }
  }
  if (!options->wav_path.empty() && !options->offline) return usage_error("--wav needs", "--render");
  return OptionsResult::Run;
}

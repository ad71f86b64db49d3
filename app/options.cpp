#include "app/options.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/capture.h"
#include "app/timeline.h"

namespace {

bool parse_int(const char* text, int low, int high, int* out) {
  if (!text || !*text) return false;
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (*end != '\0' || value < low || value > high) return false;
  *out = static_cast<int>(value);
  return true;
}

Applied number(const char* text, int low, int high, int* out) {
  return parse_int(text, low, high, out) ? Applied::Ok : Applied::WrongValue;
}

Applied parse_snapshot(const char* text, RunOptions* options) {
  SnapshotRequest request{0, 0, "", false, false};
  const char* first = std::strchr(text, ':');
  if (!first) return Applied::WrongValue;
  const char* second = std::strchr(first + 1, ':');
  if (!second || second[1] == '\0') return Applied::WrongValue;
  const std::string order(text, first), row(first + 1, second);
  if (!parse_int(order.c_str(), 0, 255, &request.order) || !parse_int(row.c_str(), 0, 255, &request.row))
    return Applied::WrongValue;
  request.path = second + 1;
  options->snapshots.push_back(request);
  return Applied::Ok;
}

Applied help(const char*, RunOptions*);

Applied version(const char*, RunOptions*) {
  std::printf("orvel %s\n", ORVEL_VERSION);
  return Applied::ExitOk;
}

const OptionSpec OPTIONS[] = {
    {"--window", nullptr, "a resizable window instead of fullscreen",
     [](const char*, RunOptions* o) { return o->windowed = true, Applied::Ok; }},
    {"--depth", "32|24|16", "ask for that display depth only",
     [](const char* v, RunOptions* o) {
       const Applied a = number(v, 16, 32, &o->depth);
       return o->depth == 16 || o->depth == 24 || o->depth == 32 ? a : Applied::WrongValue;
     },
     "must be 32, 24 or 16"},
    {"--render", nullptr, "offline: no window, no audio device, a virtual clock",
     [](const char*, RunOptions* o) { return o->offline = true, Applied::Ok; }},
    {"--fps", "N", "frames per second of music time when offline (default 60)",
     [](const char* v, RunOptions* o) { return number(v, 1, 1000, &o->fps); }, "must be 1 to 1000"},
    {"--start", "ORDER", "start the show at that order, its frames and sound as in a run from the start",
     [](const char* v, RunOptions* o) { return number(v, 0, LAST_ORDER, &o->start_order); }, "must be 0 to 29"},
    {"--frames", "FILE", "write the frame log (frame, order, row, time_ms, crc32)",
     [](const char* v, RunOptions* o) { return o->frames_path = v, Applied::Ok; }, nullptr, true},
    {"--snapshot", "ORDER:ROW:FILE.png", "write the first frame presented at that order and row (repeatable)",
     parse_snapshot, "wants ORDER:ROW:FILE.png"},
    {"--wav", "FILE", "write the audio of an offline run (needs --render)",
     [](const char* v, RunOptions* o) { return o->wav_path = v, Applied::Ok; }, nullptr, true},
    {"--capture", "FILE.mp4", "an offline run encoded as video with its sound",
     [](const char* v, RunOptions* o) {
       o->capture_path = v;
       o->offline = true;
       return Applied::Ok;
     },
     nullptr, true, &capture_built},
    {"--capture-scale", "N", "the video's pixels per canvas pixel (default 3)",
     [](const char* v, RunOptions* o) { return number(v, 1, 8, &o->capture_scale); }, "must be 1 to 8", false,
     &capture_built},
    {"--help", nullptr, "print this and exit", help},
    {"--version", nullptr, "print the version and exit", version},
};

Applied help(const char*, RunOptions*) {
  std::fputs(usage_text().c_str(), stdout);
  return Applied::ExitOk;
}

OptionsResult usage_error(const char* what, const char* arg) {
  std::fprintf(stderr, "orvel: %s '%s' (try --help)\n", what, arg);
  return OptionsResult::ExitUsage;
}

const OptionSpec* find_option(const char* name) {
  for (const OptionSpec& o : OPTIONS)
    if (option_built(o) && std::strcmp(o.name, name) == 0) return &o;
  return nullptr;
}

std::string spelled(const OptionSpec& o) { return o.value ? std::string(o.name) + " " + o.value : o.name; }

}  // namespace

std::span<const OptionSpec> option_table() { return OPTIONS; }

bool option_built(const OptionSpec& option) { return !option.built || *option.built; }

std::string usage_text() {
  size_t width = 0;
  for (const OptionSpec& o : OPTIONS)
    if (option_built(o)) width = std::max(width, spelled(o).size());
  std::string text = "usage: orvel [options]\n";
  for (const OptionSpec& o : OPTIONS) {
    if (!option_built(o)) continue;
    const std::string s = spelled(o);
    text += "  " + s + std::string(width + 2 - s.size(), ' ') + o.help + "\n";
  }
  return text + "Escape or closing the window ends the program.\n";
}

OptionsResult parse_options(int argc, char** argv, RunOptions* options) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    const OptionSpec* o = find_option(arg);
    if (!o) return usage_error("unknown option", arg);
    const char* value = nullptr;
    if (o->value) {
      if (i + 1 >= argc) return usage_error("missing value for", arg);
      value = argv[++i];
      if (o->names_file && *value == '\0') return usage_error("no file name given for", arg);
    }
    switch (o->apply(value, options)) {
      case Applied::Ok:
        break;
      case Applied::ExitOk:
        return OptionsResult::ExitOk;
      case Applied::WrongValue:
        return usage_error((std::string(o->name) + " " + o->wrong + ", not").c_str(), value);
    }
  }
  if (!options->wav_path.empty() && !options->offline) return usage_error("--wav needs", "--render");
  return OptionsResult::Run;
}

#include "app/demo.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/assets.h"
#include "app/capture.h"
#include "app/record.h"
#include "app/show.h"
#include "app/timeline.h"
#include "display/display.h"

namespace {

// Every output path, in the order they are checked.
std::vector<std::string> output_paths(const RunOptions& options) {
  std::vector<std::string> paths;
  if (!options.frames_path.empty()) paths.push_back(options.frames_path);
  if (!options.wav_path.empty()) paths.push_back(options.wav_path);
  if (!options.capture_path.empty()) paths.push_back(options.capture_path);
  for (const SnapshotRequest& s : options.snapshots) paths.push_back(s.path);
  return paths;
}

}  // namespace

bool start_playing(int start_order) {
  music_start();
  music_set_order(0);
  if (music_cue(start_order) < 0) return false;
  music_position(&show.position.row, &show.position.order);
  return true;
}

void stop_playing() {
  music_stop();
  music_free();
  display_close();
}

int run_demo(RunOptions* options) {
  DisplaySettings display;
  display.mode = options->offline ? DisplayMode::Offline : DisplayMode::Live;
  display.windowed = options->windowed;
  display.depth = options->depth;
  display_configure(display);

  const bool capturing = !options->capture_path.empty();
  SoundSettings sound;
  sound.mode = options->offline ? SoundMode::Offline : SoundMode::Live;
  sound.fps = options->fps;
  sound.wav_path = options->wav_path.empty() ? nullptr : options->wav_path.c_str();
  sound.audio_sink = capturing ? capture_audio : options->audio_sink;
  music_configure(sound);

  // A wrong path is a wrong option: found before anything runs, and with no file
  // opened yet, none is created or emptied.
  for (const std::string& path : output_paths(*options))
    if (!output_path_ok(path)) {
      report_unwritable(path);
      return 2;
    }

  reset_show();
  load_assets();

  if (music_init(MODULE_PATH) != 0) std::exit(1);
  if (!display_open(WINDOW_TITLE, SCREEN_WIDTH, SCREEN_HEIGHT)) return 1;

  // The outputs are opened only now that the run goes ahead. They were found writable;
  // one that still cannot be opened (or a missing encoder) ends the run unstarted, and
  // so does a start at an order the music never reaches. What was opened then holds
  // nothing of a run and is removed.
  const bool log_open = record_open(options);
  const bool capture_opened =
      log_open && capturing && capture_open(options->capture_path.c_str(), options->fps, options->capture_scale);
  const bool outputs_open = log_open && (!capturing || capture_opened);
  if (!outputs_open) report_unwritable(log_open ? options->capture_path : options->frames_path);
  const bool started = outputs_open && start_playing(options->start_order);
  if (outputs_open && !started)
    std::fprintf(stderr, "orvel: the music never reaches order %d to start at\n", options->start_order);
  if (!started) {
    options->snapshots.clear();  // not reported as missed: the run never started
    record_close(show.position);
    if (capture_opened) capture_close();
    stop_playing();
    if (log_open && !options->frames_path.empty()) remove_unfinished(options->frames_path);
    if (!options->wav_path.empty()) remove_unfinished(options->wav_path);
    if (capture_opened) remove_unfinished(options->capture_path);
    return 1;
  }

  run_timeline(options->start_order);
  stop_playing();
  bool finished = record_close(show.position);
  if (!music_wav_ok()) {
    report_unwritable(options->wav_path);
    finished = false;
  }
  if (capturing && !capture_close()) {
    report_unwritable(options->capture_path);
    finished = false;
  }
  return finished ? 0 : 1;
}

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/app.h"
#include "display/display.h"

namespace {

void cannot_write(const std::string& path) { std::fprintf(stderr, "orvel: cannot write '%s'\n", path.c_str()); }

// Output files are tried before anything else runs, so a wrong path is a wrong option.
bool can_write(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  std::fclose(file);
  return true;
}

}  // namespace

void start_playing() {
  music_start();
  music_set_order(0);
  music_position(&position.row, &position.order);
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
  sound.audio_sink = capturing ? capture_audio : nullptr;
  music_configure(sound);

  if (!options->wav_path.empty() && !can_write(options->wav_path)) {
    cannot_write(options->wav_path);
    return 2;
  }
  if (!record_open(options)) {
    cannot_write(options->frames_path);
    return 2;
  }
  if (capturing && !capture_open(options->capture_path.c_str(), options->fps, options->capture_scale)) {
    cannot_write(options->capture_path);
    return 2;
  }

  // Nothing draws random numbers before this, so the pool is the same every run.
  for (Particle& p : particles) p = spawn_particle();
  load_assets();

  if (music_init(MODULE_PATH) != 0) {
    if (capturing) {
      capture_close();
      std::remove(options->capture_path.c_str());
    }
    std::exit(1);
  }
  if (!display_open(WINDOW_TITLE, SCREEN_WIDTH, SCREEN_HEIGHT)) return 1;

  start_playing();
  run_timeline();
  stop_playing();
  record_close(position);
  bool finished = music_wav_ok();
  if (!finished) cannot_write(options->wav_path);
  if (capturing && !capture_close()) {
    cannot_write(options->capture_path);
    finished = false;
  }
  return finished ? 0 : 1;
}

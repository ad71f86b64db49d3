#include <cstdio>
#include <cstdlib>

#include "app/app.h"
#include "display/display.h"

int run_demo(RunOptions* options) {
  DisplaySettings display;
  display.mode = options->offline ? DisplayMode::Offline : DisplayMode::Live;
  display.windowed = options->windowed;
  display.depth = options->depth;
  display_configure(display);

  SoundSettings sound;
  sound.mode = options->offline ? SoundMode::Offline : SoundMode::Live;
  sound.fps = options->fps;
  sound.wav_path = options->wav_path.empty() ? nullptr : options->wav_path.c_str();
  music_configure(sound);

  if (!options->wav_path.empty()) {
    std::FILE* wav = std::fopen(options->wav_path.c_str(), "wb");
    if (!wav) {
      std::fprintf(stderr, "orvel: cannot write '%s'\n", options->wav_path.c_str());
      return 2;
    }
    std::fclose(wav);
  }
  if (!record_open(options)) {
    std::fprintf(stderr, "orvel: cannot write '%s'\n", options->frames_path.c_str());
    return 2;
  }

  // Nothing draws random numbers before this, so the pool is the same every run.
  for (Particle& p : particles) p = spawn_particle();

  if (music_init(MODULE_PATH) != 0) std::exit(1);
  if (!display_open(WINDOW_TITLE, SCREEN_WIDTH, SCREEN_HEIGHT)) return 1;

  music_start();
  music_set_order(0);
  music_position(&position.row, &position.order);

  run_timeline();

  music_stop();
  music_free();
  display_close();
  record_close();
  if (!music_wav_ok()) {
    std::fprintf(stderr, "orvel: cannot write '%s'\n", options->wav_path.c_str());
    return 1;
  }
  return 0;
}

#include "app/show.h"

Show show;

void reset_show() {
  show.frame = 0;
  show.position = MusicPosition{0, 0, 0};
  show.phase_start = 0;
  show.greeting_base_order = 0;
  fill_pixels(show.screen, SCREEN_PIXELS, 0, 0, 0, 0);
  fill_pixels(show.backdrop, SCREEN_PIXELS, 0, 0, 0, 0);
  fill_pixels(show.layer_a, SCREEN_PIXELS, 0, 0, 0, 0);
  fill_pixels(show.layer_b, SCREEN_PIXELS, 0, 0, 0, 0);
  show.random = Random{};
  // Nothing draws from the generator before this, so the pool is the same every run.
  for (Particle& p : show.particles) p = spawn_particle(show.random);
  show.bubbles = BubblesState{};
  show.hills = HillsState{};
  show.flicker = FlickerState{};
}

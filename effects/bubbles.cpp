#include <algorithm>
#include <cstdint>

#include "effects/effects.h"

namespace {

constexpr int BUBBLE_STRETCH = 13;

}  // namespace

int bubble_radius(int life) { return static_cast<int>((life * 0.006666666666666667 + 0.8) * 7.0); }

void draw_bubbles_portrait(BubblesState& state, Particle* particles, Random& random, int elapsed, int row, int order,
                           Pixel* canvas, Image portrait) {
  // The portrait stands on the bottom edge.
  const int top = SCREEN_HEIGHT - portrait.height;
  if (order < 14) {
    int x = 0;
    if (row < 32) x = -351 - static_cast<int>(elapsed * -0.16778202676864243);
    if (canvas) blit(portrait.pixels, portrait.width, portrait.height, canvas, x, top, 1);
  } else {
    const int64_t d = (static_cast<int64_t>(state.last_elapsed) - elapsed) * 4 / 30;
    for (int i = 0; i < PARTICLE_COUNT; ++i) {
      Particle& p = particles[i];
      if (canvas) fill_circle(p.red, p.green, p.blue, bubble_radius(p.life), p.x, p.y, BUBBLE_STRETCH, canvas);
      p.y = add_clamped(p.y, d);
      p.x = add_clamped(p.x, 2 - next_random(random) % 4);
      p.life = add_clamped(p.life, d);
      if (p.life < 0) p = spawn_particle(random);
    }
    if (canvas) blit(portrait.pixels, portrait.width, portrait.height, canvas, 0, top, 1);
  }
  state.last_elapsed = elapsed;
}

#include <algorithm>
#include <cstdint>

#include "effects/effects.h"

namespace {

constexpr int BUBBLE_COUNT = 50;
constexpr int BUBBLE_STRETCH = 13;

// The columns picture at 1/divisor of its size, scrolling up by speed a frame.
struct Strip {
  int x0, divisor, speed;
};

// Back to front: the wide strip first, the small far ones last.
constexpr Strip STRIPS[HILL_STRIPS] = {{209, 1, 2}, {341, 2, 3}, {128, 2, 4}, {73, 3, 5}, {426, 3, 6}};

// trunc((1 - value / 32) * span); held to a sane range for rows no pattern has.
int rise(int value, int span) {
  const double r = (1.0 - value * 0.03125) * span;
  return static_cast<int>(std::clamp(r, -100000.0, 100000.0));
}

// Each column is up to three vertical lines from a layer's top to the bottom edge, back
// to front, so a pixel ends in the colour of the frontmost layer whose top is at or
// above it. That is worked out row by row, writing every pixel once in storage order:
// the same pixels as drawing the lines, without walking the canvas column-wise.
void draw_hill_columns(int phase, int row, int order, Pixel* canvas) {
  const bool middle = order > 17 || (order == 17 && row >= 32);
  const bool front = order >= 18;
  int rise1 = 0, rise2 = 0, rise3 = 0;
  if (order == 17 && row < 32) rise1 = rise(std::max(row, 0), 308);
  if (order == 17 && row >= 32) rise2 = rise(row - 32, 192);
  if (order == 18 && row < 32) rise3 = rise(std::max(row, 0), 96);

  const int layers = front ? 3 : middle ? 2 : 1;
  const int a = ((phase % 360) + 360) % 360;
  const int* base = palette[0];
  int top[3][SCREEN_WIDTH];
  Pixel colour[3][SCREEN_WIDTH];
  int highest = SCREEN_HEIGHT;
  int j = a;
  for (int x = 0; x < SCREEN_WIDTH; ++x) {
    if (x & 1) {
      ++j;
      if (j > 359) j = 0;
    }
    int k = a + j;
    if (k > 359) k -= 359;
    const int h = ((sin_table[j] * 20) >> 12) + 50;
    const int s = (sin_table[k] * 24) >> 12;
    const int q = (cos_table[k] * 24) >> 12;
    const int tops[3] = {76 + s + rise1, 192 + q + rise2, 288 + s + rise3};
    const int shade[3] = {h, h - 30, h - 50};
    for (int n = 0; n < layers; ++n) {
      top[n][x] = std::clamp(tops[n], 0, SCREEN_HEIGHT);
      colour[n][x] = pack_pixel(base[0] + shade[n], base[1] + shade[n], base[2] + shade[n], 255);
      highest = std::min(highest, top[n][x]);
    }
  }
  for (int y = highest; y < SCREEN_HEIGHT; ++y) {
    Pixel* out = canvas + y * SCREEN_WIDTH;
    for (int x = 0; x < SCREEN_WIDTH; ++x) {
      Pixel p = out[x];
      for (int n = 0; n < layers; ++n) p = y >= top[n][x] ? colour[n][x] : p;
      out[x] = p;
    }
  }
}

}  // namespace

void draw_hills(HillsState& state, Particle* particles, Random& random, int phase, int row, int order, Image columns,
                Pixel* canvas) {
  if (canvas) draw_hill_columns(phase, row, order, canvas);
  if (order >= 18) {
    const int64_t since = static_cast<int64_t>(state.last_phase) - phase;
    const int64_t dy = since * 25 / 50;
    const int64_t dlife = since * 10 / 50;
    for (int n = 0; n < BUBBLE_COUNT; ++n) {
      Particle& p = particles[n];
      if (canvas) fill_circle(p.red, p.green, p.blue, bubble_radius(p.life), p.x, p.y, BUBBLE_STRETCH, canvas);
      p.y = add_clamped(p.y, dy);
      p.x = add_clamped(p.x, 3 - next_random(random) % 8);
      p.life = add_clamped(p.life, dlife);
      if (p.life < 0) {
        p = spawn_particle(random);
        p.y = SCREEN_HEIGHT;
        p.x = 2 * next_random(random);
      }
    }
    int heights[HILL_STRIPS];
    for (int n = 0; n < HILL_STRIPS; ++n) {
      const Strip& st = STRIPS[n];
      const int y0 = state.strip_position[n];
      heights[n] = columns.height / st.divisor;
      if (canvas)
        blit_scaled(st.x0, y0, st.x0 + columns.width / st.divisor, y0 + heights[n], canvas, columns.width,
                    columns.height, columns.pixels, 1);
    }
    if (canvas) wave_rows(phase, canvas, SCREEN_WIDTH, SCREEN_HEIGHT, 2);
    // Strip 0 never comes back; it only stops short of overflowing.
    int* position = state.strip_position;
    if (position[0] > INT32_MIN + 2) position[0] -= STRIPS[0].speed;
    for (int n = 1; n < HILL_STRIPS; ++n) {
      if (position[n] <= -heights[n])
        position[n] = HILL_STRIP_START;
      else
        position[n] -= STRIPS[n].speed;
    }
  }
  state.last_phase = phase;
}

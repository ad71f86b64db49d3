#include <algorithm>
#include <cstdint>

#include "effects/effects.h"

namespace {
constexpr double ROW_SCALE = 0.0038461538461538464;

// A run of count pixels from (x, y), written straight into the canvas with the
// alpha byte 0, cut to the canvas.
void put_span(int x, int y, int count, Pixel colour, Pixel* canvas) {
  if (y < 0 || y >= SCREEN_HEIGHT) return;
  const int left = std::max(x, 0);
  const int right = std::min(x + count, SCREEN_WIDTH);
  if (left < right) fill_run(canvas + y * SCREEN_WIDTH + left, right - left, colour);
}

void shade(const int32_t* entry, int offset, int out[3]) {
  for (int c = 0; c < 3; ++c) out[c] = entry[c] + offset;
}
}  // namespace

void draw_staircase(int /*time*/, int row, int /*order*/, Pixel* canvas) {
  const int32_t* ground = palette[1];
  for (int i = 0; i < SCREEN_HEIGHT; ++i) {
    const int y = 55 + i;
    const double t = i * ROW_SCALE;
    const int dark = static_cast<int>(t * -110);
    draw_line(0, y, SCREEN_WIDTH, y, ground[0] - dark - 110, ground[1] - dark - 110,
              ground[2] - dark - 110, 255, canvas);
    draw_line(236 - static_cast<int>(t * 50), y, 276 - static_cast<int>(t * -50), y, 80 - dark, 0, 0,
              255, canvas);
  }
  for (int y = 0; y < 55; ++y) {
    draw_line(0, y, SCREEN_WIDTH, y, ground[0] - 120, ground[1] - 120, ground[2] - 120, 255, canvas);
  }

  const int levels = std::min(row / 8, 6);
  for (int level = 1; level <= levels; ++level) {
    const int j = 5 * level;
    const int spread = j * level;
    const int left_x = 232 - spread;
    const int right_x = 282 + spread;
    const int offset = 16 * level - 100;
    int dark[3], light[3];
    shade(palette[0], offset, dark);
    shade(palette[3], offset, light);
    const Pixel dark_span = pack_pixel(dark[0], dark[1], dark[2], 0);
    const Pixel light_span = pack_pixel(light[0], light[1], light[2], 0);
    const int width = static_cast<int>(j * 3.4);
    const int shift = static_cast<int>(j * 1.7);
    const int drop = static_cast<int>(j * 0.85);

    for (int n = 0; n < 6; ++n) {
      const int y = 10 * level * (6 - n);
      fill_circle(dark[0], dark[1], dark[2], j, left_x, y, 17, canvas);
      fill_circle(dark[0], dark[1], dark[2], j, right_x, y, 17, canvas);
      for (int k = 0; k < j; ++k) {
        put_span(left_x - shift, y - k, width, dark_span, canvas);
        put_span(right_x - shift, y - k, width, dark_span, canvas);
      }
      const int v = y - drop;
      fill_circle(light[0], light[1], light[2], j, left_x, v, 17, canvas);
      fill_circle(light[0], light[1], light[2], j, right_x, v, 17, canvas);
      for (int k = 0; k < j + 5; ++k) {
        put_span(left_x - shift, v - k, width, light_span, canvas);
        put_span(right_x - shift, v - k, width, light_span, canvas);
      }
    }
  }
}

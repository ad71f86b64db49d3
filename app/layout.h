// Where the scenes put their pictures: the timeline draws by it, and the picture maker's
// previews put the pictures where the scenes show them.
#pragma once
#include <cmath>

#include "effects/effects.h"
#include "raster/raster.h"

// Text strip `strip` at (x, y) in order `order`, shown while the row is past after_row.
struct TimedStrip {
  int order, strip, x, y, after_row;
};
// Under the rings, orders 10 to 12.
constexpr TimedStrip RING_TEXTS[] = {
    {10, 3, 0, 256, 0}, {10, 4, 0, 288, 16}, {10, 5, 0, 320, 32}, {11, 8, 0, 64, 0},
    {11, 6, 0, 96, 16}, {11, 7, 0, 128, 32}, {12, 11, 0, 32, 0},  {12, 9, 0, 64, 32},
};
// Over the polygons and the portrait, orders 14 to 16.
constexpr TimedStrip POLYGON_TEXTS[] = {
    {14, 13, 180, 0, 0}, {14, 14, 0, 29, 16},  {14, 15, -180, 59, 32}, {14, 16, -180, 88, 48}, {15, 17, 0, 51, 0},
    {15, 18, 0, 86, 16}, {15, 19, 20, 25, 32}, {16, 11, 0, 25, 0},     {16, 20, 0, 51, 32},
};
// Text strip 23 over the final picture, orders 26 to 28.
constexpr Place FINAL_TEXT_PLACE{0, 332};
// img_credit1 to img_credit7, orders 27 and 28.
constexpr Place CREDIT_PLACES[7] = {{0, 0}, {0, 112}, {0, 225}, {180, 67}, {180, 158}, {0, 203}, {20, 67}};

// Where greeting logo 0..4 stands at a time (ms): logo 1 on an ellipse, 2 and 3 swinging
// sideways, 4 and 5 up and down.
inline void greeting_position(int logo, int time, int* x, int* y) {
  auto sin_degrees = [](int d) { return std::sin(d * DEGREE_TO_RADIAN); };
  auto cos_degrees = [](int d) { return std::cos(d * DEGREE_TO_RADIAN); };
  const int u = (time / 5) % 360;
  const int v = (time / 6 + 10) % 360;
  const int w = (time / 6) % 360;
  switch (logo) {
    case 0:
      *x = static_cast<int>(sin_degrees(u) * 50 + 60);
      *y = static_cast<int>(cos_degrees(u) * 100 - 80);
      break;
    case 1:
      *x = static_cast<int>(cos_degrees(v) * 50 + 60);
      *y = -170;
      break;
    case 2:
      *x = static_cast<int>(sin_degrees(v) * 50 + 60);
      *y = 0;
      break;
    case 3:
      *x = 180;
      *y = static_cast<int>(cos_degrees(w) * 100 - 80);
      break;
    default:
      *x = -30;
      *y = static_cast<int>(sin_degrees(w) * 100 - 80);
      break;
  }
}

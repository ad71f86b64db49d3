#include <algorithm>
#include <cmath>
#include <cstdint>

#include "effects/effects.h"

namespace {

// The swaying trousers turn only their upper part; the hem would swing too far.
constexpr int TROUSERS_SWAY_ROWS = 64;

int modulo(int value, int divisor) {
  const int r = value % divisor;
  return r < 0 ? r + divisor : r;
}

bool bounces(int stage, int row) {
  if (modulo(row, 8) != 0) return false;
  switch (stage) {
    case 3:
    case 5:
    case 6:
    case 7:
      return true;
    case 4:
      return row < 32;
    default:
      return false;
  }
}

bool sways(int stage, int row) {
  return stage >= 5 && stage <= 7 && ((row >= 5 && row <= 15) || (row >= 37 && row <= 47));
}

void blended(Image image, Pixel* canvas, int x, int y) {
  blit(image.pixels, image.width, image.height, canvas, x, y, 1);
}

void turned(Image image, int height, Pixel* canvas, int centre_x, int centre_y, int angle) {
  blit_rotated(image.pixels, image.width, height, canvas, centre_x, centre_y, angle);
}

}  // namespace

void draw_outfits(int time, int row, int stage, Pixel* canvas, Image cap, Image shirt, Image bra_left, Image bra_right,
                  Image trousers) {
  if (stage < 2 || stage > 8) return;
  if (sways(stage, row)) {
    const int a = modulo(time, 360);
    const int sway_low = static_cast<int>(std::sin((a + 180) * DEGREE_TO_RADIAN) * 5.0);
    const int sway_high = static_cast<int>(std::sin(a * DEGREE_TO_RADIAN) * 5.0);
    const int b = modulo(row, 8);
    turned(trousers, std::min(trousers.height, TROUSERS_SWAY_ROWS), canvas, 256, 333, sway_low);
    blended(bra_left, canvas, BRA_LEFT_PLACE.x, BRA_LEFT_PLACE.y - b);
    blended(bra_right, canvas, BRA_RIGHT_PLACE.x, BRA_RIGHT_PLACE.y - b);
    turned(shirt, shirt.height, canvas, 256, 270, sway_high);
    turned(cap, cap.height, canvas, 257, 189, sway_high);
    return;
  }
  const bool bounce = bounces(stage, row);
  // On a bounce the shirt drops 2 rows and the cap 4.
  blended(trousers, canvas, TROUSERS_PLACE.x, TROUSERS_PLACE.y);
  blended(bra_left, canvas, BRA_LEFT_PLACE.x, BRA_LEFT_PLACE.y);
  blended(bra_right, canvas, BRA_RIGHT_PLACE.x, BRA_RIGHT_PLACE.y);
  blended(shirt, canvas, SHIRT_PLACE.x, SHIRT_PLACE.y + (bounce ? 2 : 0));
  blended(cap, canvas, CAP_PLACE.x, CAP_PLACE.y + (bounce ? 4 : 0));
}

void draw_flicker(FlickerState& state, int /*time*/, int row, int /*order*/, Image flicker_1, Image flicker_2,
                  Pixel* canvas) {
  const int m = modulo(row, 12);
  // An anchor far outside any real row would overflow; past a few hundred the picture
  // is off the canvas anyway.
  const int64_t x64 = 256 - 7 * static_cast<int64_t>(state.anchor_row);
  const int x = static_cast<int>(std::clamp<int64_t>(x64, -(1 << 20), 1 << 20));
  if (canvas) blended(m <= 6 ? flicker_2 : flicker_1, canvas, x, 1);
  if (m == 0 || m == 6) state.anchor_row = row;
}

void reveal_alpha(Random& random, int /*time*/, int row, int order, Pixel* canvas) {
  if (canvas == nullptr) {
    skip_random(random, SCREEN_PIXELS);
    return;
  }
  fill_noise(canvas, 0, random);
  int rows = 0;
  if (order == 7) {
    // Rows beyond a 64-row pattern would ask for more than the canvas holds.
    const double n = row * 0.015625 * 240.0;
    rows = static_cast<int>(std::clamp(n, 0.0, static_cast<double>(SCREEN_HEIGHT)));
  } else if (order > 7) {
    rows = 240;
  }
  for (int y = 0; y < rows; ++y) {
    Pixel* line = canvas + y * SCREEN_WIDTH;
    for (int x = 96; x < 416; ++x) line[x] |= 0xFF000000u;
  }
}

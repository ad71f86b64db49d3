#include <algorithm>
#include <cmath>
#include <cstdint>

#include "effects/effects.h"

namespace {

constexpr int CAP_W = 314, CAP_H = 142;
constexpr int SHIRT_W = 167, SHIRT_H = 91;
constexpr int BRA_W = 45, BRA_H = 59;
constexpr int TROUSERS_W = 163, TROUSERS_H = 70;
// The swaying trousers turn only their upper part; the hem would swing too far.
constexpr int TROUSERS_SWAY_H = 64;
constexpr int FLICKER_W = 200, FLICKER_H = 384;

int anchor_row = 0;

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

}  // namespace

void draw_outfits(int time, int row, int stage, Pixel* canvas, const Pixel* cap, const Pixel* shirt,
                  const Pixel* bra_left, const Pixel* bra_right, const Pixel* trousers) {
  if (stage < 2 || stage > 8) return;
  if (sways(stage, row)) {
    const int a = modulo(time, 360);
    const int sway_low = static_cast<int>(std::sin((a + 180) * 0.017453) * 5.0);
    const int sway_high = static_cast<int>(std::sin(a * 0.017453) * 5.0);
    const int b = modulo(row, 8);
    blit_rotated(trousers, TROUSERS_W, TROUSERS_SWAY_H, canvas, 256, 333, sway_low);
    blit(bra_left, BRA_W, BRA_H, canvas, 150, 242 - b, 1);
    blit(bra_right, BRA_W, BRA_H, canvas, 318, 242 - b, 1);
    blit_rotated(shirt, SHIRT_W, SHIRT_H, canvas, 256, 270, sway_high);
    blit_rotated(cap, CAP_W, CAP_H, canvas, 257, 189, sway_high);
    return;
  }
  const bool bounce = bounces(stage, row);
  blit(trousers, TROUSERS_W, TROUSERS_H, canvas, 175, 301, 1);
  blit(bra_left, BRA_W, BRA_H, canvas, 150, 242, 1);
  blit(bra_right, BRA_W, BRA_H, canvas, 318, 242, 1);
  blit(shirt, SHIRT_W, SHIRT_H, canvas, 173, bounce ? 227 : 225, 1);
  blit(cap, CAP_W, CAP_H, canvas, 100, bounce ? 122 : 118, 1);
}

void draw_flicker(int /*time*/, int row, int /*order*/, const Pixel* flicker_1, const Pixel* flicker_2, Pixel* canvas) {
  const int m = modulo(row, 12);
  // An anchor far outside any real row would overflow; past a few hundred the picture
  // is off the canvas anyway.
  const int64_t x64 = 256 - 7 * static_cast<int64_t>(anchor_row);
  const int x = static_cast<int>(std::clamp<int64_t>(x64, -(1 << 20), 1 << 20));
  blit(m <= 6 ? flicker_2 : flicker_1, FLICKER_W, FLICKER_H, canvas, x, 1, 1);
  if (m == 0 || m == 6) anchor_row = row;
}

int flicker_anchor_row() { return anchor_row; }
void set_flicker_anchor_row(int row) { anchor_row = row; }

void reveal_alpha(int /*time*/, int row, int order, Pixel* canvas) {
  if (canvas == nullptr) return;
  fill_noise(canvas, 0);
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

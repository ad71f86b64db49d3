#include <cmath>
#include <cstdint>

#include "effects/effects.h"

namespace {
void disc(const int32_t* colour, int plus, int radius, int x, int y, Pixel* canvas) {
  fill_circle(colour[0] + plus, colour[1] + plus, colour[2] + plus, radius, x, y, 10, canvas);
}

void shadow(int radius, int x, int y, Pixel* canvas) { fill_circle(0, 0, 0, radius, x, y, 10, canvas); }
}  // namespace

void draw_rings(int phase, int row, int order, Pixel* canvas) {
  // The first group turns with a single-precision angle, the second with both.
  const float a = static_cast<float>((phase % 360) * DEGREE_TO_RADIAN);
  const double sin_a = std::sin(static_cast<double>(a));
  const double cos_a = std::cos(static_cast<double>(a));
  // Widened so that the largest phases cannot overflow.
  const double b = static_cast<double>((int64_t{phase} + 70) % 360) * DEGREE_TO_RADIAN;
  const double b_single = static_cast<float>(b);

  const int32_t* first = palette[0];
  const int32_t* second = palette[1];

  shadow(128, 172, 155, canvas);
  disc(first, 0, 128, 170, 153, canvas);
  if ((order >= 10 && row > 16) || order >= 11) {
    shadow(85, static_cast<int>(sin_a * 39 + 172), static_cast<int>(cos_a * 39 + 153.6) + 2, canvas);
    disc(first, 20, 85, static_cast<int>(sin_a * 39 + 170), static_cast<int>(cos_a * 39 + 153.6), canvas);
  }
  if ((order >= 10 && row > 32) || order >= 11) {
    const int x = static_cast<int>(sin_a * 64 + 170);
    const int y = static_cast<int>(cos_a * 64 + 153.6);
    shadow(51, x + 2, y + 2, canvas);
    disc(first, 40, 51, x, y, canvas);
  }
  if (order >= 11) disc(second, 0, 128, 448, 360, canvas);
  if ((order >= 11 && row > 16) || order >= 12) {
    const int x = static_cast<int>(std::sin(b) * 39 + 448);
    const int y = static_cast<int>(std::cos(b) * 39 + 384 - 24);
    shadow(85, x + 2, y + 2, canvas);
    disc(second, 20, 85, x, y, canvas);
  }
  if ((order >= 11 && row > 32) || order >= 12) {
    const int x = static_cast<int>(std::sin(b_single) * 64 + 448);
    const int y = static_cast<int>(std::cos(b_single) * 64 + 384 - 24);
    shadow(51, x + 2, y + 2, canvas);
    disc(second, 40, 51, x, y, canvas);
  }
}

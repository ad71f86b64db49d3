#include <cmath>

#include "effects/effects.h"

void draw_rounded_frame(int /*time*/, Pixel* canvas) {
  for (int i = 0; i < 64; ++i) {
    const int top = i;
    // One row lower than a mirror of the top: i = 0 lands below the canvas.
    const int bottom = SCREEN_HEIGHT - i;
    const int d = 64 - i;
    const int h = static_cast<int>(std::sqrt(static_cast<double>(4096 - d * d)));
    draw_line(0, top, 64 - h, top, 0, 0, 0, 255, canvas);
    draw_line(0, bottom, 64 - h, bottom, 0, 0, 0, 255, canvas);
    draw_line(448 + h, bottom, SCREEN_WIDTH, bottom, 0, 0, 0, 255, canvas);
    draw_line(448 + h, top, SCREEN_WIDTH, top, 0, 0, 0, 255, canvas);
  }
}

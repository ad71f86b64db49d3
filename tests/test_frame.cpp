#include <gtest/gtest.h>

#include <vector>

#include "effects/effects.h"

namespace {

constexpr Pixel GROUND = 0x00A0B0C0u;
constexpr Pixel BLACK = 0xFF000000u;

std::vector<Pixel> framed() {
  std::vector<Pixel> c(SCREEN_PIXELS, GROUND);
  draw_rounded_frame(12345, c.data());
  return c;
}

TEST(RoundedFrame, CornerSpansPerRow) {
  const auto c = framed();
  // row, last black x of the left span, first black x of the right span
  const int rows[][3] = {{0, 64, 448},  {1, 53, 459},  {16, 22, 490},  {32, 9, 503},  {56, 1, 511},
                         {63, 1, 511},  {321, 1, 511}, {328, 1, 511},  {352, 9, 503}, {368, 22, 490},
                         {383, 53, 459}};
  for (auto& r : rows) {
    const int y = r[0], left_end = r[1], right_start = r[2];
    for (int x = 0; x < SCREEN_WIDTH; ++x) {
      const bool black = x <= left_end || x >= right_start;
      ASSERT_EQ(c[y * SCREEN_WIDTH + x], black ? BLACK : GROUND) << "x " << x << " row " << y;
    }
  }
  EXPECT_EQ(c[63 * SCREEN_WIDTH + 0], BLACK);
  EXPECT_EQ(c[63 * SCREEN_WIDTH + 1], BLACK);
  EXPECT_EQ(c[63 * SCREEN_WIDTH + 511], BLACK);
  EXPECT_EQ(c[63 * SCREEN_WIDTH + 2], GROUND);
}

TEST(RoundedFrame, MiddleRowsUntouchedAndRepeatable) {
  auto c = framed();
  for (int y = 64; y <= 320; ++y) {
    for (int x = 0; x < SCREEN_WIDTH; ++x) ASSERT_EQ(c[y * SCREEN_WIDTH + x], GROUND) << x << "," << y;
  }
  const auto once = c;
  draw_rounded_frame(0, c.data());
  EXPECT_EQ(c, once);
}

TEST(RoundedFrame, BottomCornersSitOneRowLowerThanAMirror) {
  const auto c = framed();
  for (int i = 1; i < 64; ++i) {
    for (int x = 0; x < SCREEN_WIDTH; ++x) {
      ASSERT_EQ(c[(SCREEN_HEIGHT - i) * SCREEN_WIDTH + x], c[i * SCREEN_WIDTH + x]) << "row " << i;
    }
  }
}

}  // namespace

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "effects/effects.h"

namespace {

std::vector<Pixel> staircase(int row, Pixel ground = 0x77777777u) {
  std::vector<Pixel> c(SCREEN_PIXELS, ground);
  draw_staircase(0, row, 1, c.data());
  return c;
}

Pixel at(const std::vector<Pixel>& c, int x, int y) { return c[y * SCREEN_WIDTH + x]; }

// Pixels where two pictures differ, as a bounding box.
struct Box {
  int left = SCREEN_WIDTH, top = SCREEN_HEIGHT, right = -1, bottom = -1;
  bool empty() const { return right < 0; }
};

Box difference(const std::vector<Pixel>& a, const std::vector<Pixel>& b) {
  Box box;
  for (int i = 0; i < SCREEN_PIXELS; ++i) {
    if (a[i] == b[i]) continue;
    const int x = i % SCREEN_WIDTH, y = i / SCREEN_WIDTH;
    box.left = std::min(box.left, x), box.right = std::max(box.right, x);
    box.top = std::min(box.top, y), box.bottom = std::max(box.bottom, y);
  }
  return box;
}

TEST(Staircase, PaintsEveryPixel) {
  EXPECT_EQ(staircase(0, 0u), staircase(0, 0xFFFFFFFFu));
  EXPECT_EQ(staircase(48, 0u), staircase(48, 0xFFFFFFFFu));
}

TEST(Staircase, BandFloorAndRunway) {
  const auto c = staircase(0);
  EXPECT_EQ(at(c, 256, 55), pack_pixel(80, 0, 0, 255));
  EXPECT_EQ(at(c, 0, 54), pack_pixel(82, 89, 67, 255));
  EXPECT_EQ(at(c, 511, 0), pack_pixel(82, 89, 67, 255));
  EXPECT_EQ(at(c, 0, 55), pack_pixel(92, 99, 77, 255));
  EXPECT_EQ(at(c, 511, 383), pack_pixel(230, 237, 215, 255));
  // The runway's ends on the first and last rows.
  EXPECT_EQ(at(c, 236, 55), pack_pixel(80, 0, 0, 255));
  EXPECT_EQ(at(c, 276, 55), pack_pixel(80, 0, 0, 255));
  EXPECT_EQ(at(c, 235, 55), pack_pixel(92, 99, 77, 255));
  EXPECT_EQ(at(c, 277, 55), pack_pixel(92, 99, 77, 255));
  EXPECT_EQ(at(c, 173, 383), pack_pixel(218, 0, 0, 255));
  EXPECT_EQ(at(c, 339, 383), pack_pixel(218, 0, 0, 255));
  EXPECT_EQ(at(c, 172, 383), pack_pixel(230, 237, 215, 255));
  EXPECT_EQ(at(c, 340, 383), pack_pixel(230, 237, 215, 255));
}

TEST(Staircase, LevelsComeEveryEightRows) {
  const auto none = staircase(0);
  for (int row : {-100, -1, 1, 7}) EXPECT_EQ(staircase(row), none) << row;

  // Rows 8..15: level 1 only, inside its own columns.
  const auto one = staircase(8);
  EXPECT_EQ(staircase(15), one);
  const Box first = difference(none, one);
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(first.top, 0);  // the highest lid reaches above the canvas
  EXPECT_GE(first.left, 227 - 9);
  EXPECT_LE(first.right, 287 + 9);
  EXPECT_LE(first.bottom, 64);
  // A body pixel of the lowest drum: dark colour, alpha byte 0.
  EXPECT_EQ(at(one, 219, 60), pack_pixel(9, 3, 32, 0));
  // An ellipse pixel carries alpha 255.
  EXPECT_EQ(at(one, 227, 64), pack_pixel(9, 3, 32, 255));

  // Six levels at most.
  const auto all = staircase(48);
  for (int row : {55, 63, 64, 1000, INT_MAX}) EXPECT_EQ(staircase(row), all) << row;
  const Box sixth = difference(staircase(47), all);
  ASSERT_FALSE(sixth.empty());
  EXPECT_EQ(sixth.left, 1);
  EXPECT_EQ(sixth.right, 511);
  EXPECT_EQ(at(all, 1, 360), pack_pixel(89, 83, 112, 0));
}

TEST(Staircase, WideRightSpansStopAtTheEdge) {
  // Level 6's right spans end at x = 511; x = 512 would be the next row's first pixel.
  const auto none = staircase(0);
  const auto all = staircase(48);
  for (int y = 0; y < SCREEN_HEIGHT; ++y) ASSERT_EQ(at(all, 0, y), at(none, 0, y)) << y;
  EXPECT_EQ(at(all, 511, 335), pack_pixel(236, 237, 231, 0));
}

TEST(Staircase, HighestTopsReachTheFirstRows) {
  // Level 5's highest top ends on row 0, level 6's on row 1; above them the band.
  const auto all = staircase(48);
  EXPECT_EQ(at(all, 100, 0), pack_pixel(220, 221, 215, 0));
  EXPECT_EQ(at(all, 10, 1), pack_pixel(236, 237, 231, 0));
  EXPECT_EQ(at(all, 10, 0), pack_pixel(82, 89, 67, 255));
}

}  // namespace

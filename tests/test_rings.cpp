#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "effects/effects.h"

namespace {

constexpr Pixel GROUND = 0x00102030u;

std::vector<Pixel> rings(int phase, int row, int order) {
  std::vector<Pixel> c(SCREEN_PIXELS, GROUND);
  draw_rings(phase, row, order, c.data());
  return c;
}

Pixel at(const std::vector<Pixel>& c, int x, int y) { return c[y * SCREEN_WIDTH + x]; }

const Pixel LARGE_1 = pack_pixel(93, 87, 116, 255);
const Pixel MEDIUM_1 = pack_pixel(113, 107, 136, 255);
const Pixel SMALL_1 = pack_pixel(133, 127, 156, 255);
const Pixel LARGE_2 = pack_pixel(202, 209, 187, 255);
const Pixel MEDIUM_2 = pack_pixel(222, 229, 207, 255);
const Pixel SMALL_2 = pack_pixel(242, 249, 227, 255);
const Pixel SHADOW = pack_pixel(0, 0, 0, 255);

// Discs in drawing order as (radius, x, y, colour), for phase 0.
struct Disc {
  int radius, x, y;
  Pixel colour;
};

std::vector<Pixel> painted(const std::vector<Disc>& discs) {
  std::vector<Pixel> c(SCREEN_PIXELS, GROUND);
  for (const Disc& d : discs) {
    fill_circle((d.colour >> 16) & 0xFF, (d.colour >> 8) & 0xFF, d.colour & 0xFF, d.radius, d.x, d.y, 10,
                c.data());
  }
  return c;
}

TEST(Rings, WhichDiscsShowByOrderAndRow) {
  const std::vector<Disc> group_1 = {{128, 172, 155, SHADOW},  {128, 170, 153, LARGE_1},
                                     {85, 172, 194, SHADOW},   {85, 170, 192, MEDIUM_1},
                                     {51, 172, 219, SHADOW},   {51, 170, 217, SMALL_1}};
  auto first = [&](size_t n) { return std::vector<Disc>(group_1.begin(), group_1.begin() + n); };

  for (int order : {0, 5, 9}) {
    for (int row : {0, 17, 33, 63}) EXPECT_EQ(rings(0, row, order), painted(first(2))) << order << ":" << row;
  }
  EXPECT_EQ(rings(0, 16, 10), painted(first(2)));
  EXPECT_EQ(rings(0, 17, 10), painted(first(4)));
  EXPECT_EQ(rings(0, 32, 10), painted(first(4)));
  EXPECT_EQ(rings(0, 33, 10), painted(first(6)));
  EXPECT_EQ(rings(0, 63, 10), painted(first(6)));

  // Order 11 adds the second group: its large disc at once, the others by row.
  const auto o11r0 = rings(0, 0, 11);
  auto with_large_2 = first(6);
  with_large_2.push_back({128, 448, 360, LARGE_2});
  EXPECT_EQ(o11r0, painted(with_large_2));
  EXPECT_EQ(rings(0, 16, 11), o11r0);
  EXPECT_NE(rings(0, 17, 11), o11r0);

  const auto all = rings(0, 40, 11);
  EXPECT_EQ(rings(0, 0, 12), all);
  EXPECT_EQ(rings(0, 63, 29), all);
  EXPECT_NE(rings(0, 32, 11), all);
}

TEST(Rings, SecondGroupAtPhaseZero) {
  // b = 70 degrees: sin 0.9397, cos 0.3420.
  const auto c = rings(0, 40, 11);
  EXPECT_EQ(at(c, 508, 381), SMALL_2);  // centre of the small disc, (508, 381)
  EXPECT_EQ(at(c, 484 - 85, 373), MEDIUM_2);  // left end of the medium disc's centre row, (484, 373)
  EXPECT_EQ(at(c, 484 - 86, 373), LARGE_2);
  EXPECT_EQ(at(c, 448, 250), LARGE_2);
  EXPECT_EQ(at(c, 448 - 128, 360), LARGE_2);
  EXPECT_EQ(at(c, 448 - 129, 360), GROUND);
}

TEST(Rings, GroupOnePositions) {
  // Phase 0: medium disc below the centre at (170, 192), small at (170, 217).
  auto c = rings(0, 40, 10);
  EXPECT_EQ(at(c, 170 - 85, 192), MEDIUM_1);
  EXPECT_EQ(at(c, 170 - 86, 192), LARGE_1);
  EXPECT_EQ(at(c, 170, 192 - 84), MEDIUM_1);
  EXPECT_EQ(at(c, 170, 192 - 85), LARGE_1);
  EXPECT_EQ(at(c, 170 - 51, 217), SMALL_1);
  EXPECT_EQ(at(c, 170 - 52, 217), MEDIUM_1);

  // Phase 90: sin just under 1, so the medium disc sits at (208, 153), the small one at (233, 153).
  c = rings(90, 40, 10);
  const std::vector<Disc> want = {{128, 172, 155, SHADOW}, {128, 170, 153, LARGE_1},
                                  {85, 210, 155, SHADOW},  {85, 208, 153, MEDIUM_1},
                                  {51, 235, 155, SHADOW},  {51, 233, 153, SMALL_1}};
  EXPECT_EQ(c, painted(want));

  // A whole turn later the picture repeats.
  EXPECT_EQ(rings(450, 40, 12), rings(90, 40, 12));
}

TEST(Rings, LeavesEverythingElseAlone) {
  const auto c = rings(123, 50, 12);
  EXPECT_EQ(at(c, 0, 0), GROUND);
  EXPECT_EQ(at(c, 511, 0), GROUND);
  EXPECT_EQ(at(c, 0, 383), GROUND);
  // Phases at the ends of the range are drawn, not refused.
  for (int phase : {INT_MAX, INT_MIN, -1}) EXPECT_NE(rings(phase, 50, 12), std::vector<Pixel>(SCREEN_PIXELS, GROUND));
}

}  // namespace

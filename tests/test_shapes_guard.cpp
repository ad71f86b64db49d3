// Wild arguments for every shape and the effects built on them, on a canvas with
// guard zones before and after it. Run under the sanitizers too.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <random>
#include <vector>

#include "effects/effects.h"
#include "raster/raster.h"

namespace {

constexpr int GUARD = SCREEN_WIDTH * 16;
constexpr Pixel GUARD_WORD = 0xDEADBEEFu;

struct Guarded {
  std::vector<Pixel> store = std::vector<Pixel>(GUARD + SCREEN_PIXELS + GUARD, GUARD_WORD);
  Pixel* canvas() { return store.data() + GUARD; }
  bool guards_intact() const {
    for (int i = 0; i < GUARD; ++i) {
      if (store[i] != GUARD_WORD || store[GUARD + SCREEN_PIXELS + i] != GUARD_WORD) return false;
    }
    return true;
  }
};

// Values around every edge and limit the shapes compute with.
const int INTERESTING[] = {INT_MIN,   INT_MIN + 1, -1000000000, -65536, -4097, -1000, -513, -512, -385,
                           -384,      -129,        -64,         -2,     -1,    0,     1,    2,    3,
                           4,         5,           63,          64,     127,   128,   255,  256,  359,
                           360,       383,         384,         385,    511,   512,   513,  1000, 4096,
                           46341,     65536,       1000000000,  INT_MAX - 1, INT_MAX};

struct Picker {
  std::mt19937 gen{20110};
  int operator()() {
    switch (gen() % 3) {
      case 0: return INTERESTING[gen() % std::size(INTERESTING)];
      case 1: return static_cast<int>(gen() % 1400) - 400;
      default: return static_cast<int>(gen());
    }
  }
  int colour() { return static_cast<int>(gen() % 256); }
};

TEST(ShapesGuard, LinesStayOnTheCanvas) {
  Guarded g;
  Picker pick;
  for (int n = 0; n < 4000; ++n) {
    draw_line(pick(), pick(), pick(), pick(), pick.colour(), pick.colour(), pick.colour(), pick.colour(),
              g.canvas());
  }
  EXPECT_TRUE(g.guards_intact());
}

TEST(ShapesGuard, CirclesStayOnTheCanvas) {
  Guarded g;
  Picker pick;
  for (int n = 0; n < 1500; ++n) {
    fill_circle(pick.colour(), pick.colour(), pick.colour(), pick(), pick(), pick(), pick(), g.canvas());
  }
  EXPECT_TRUE(g.guards_intact());
}

TEST(ShapesGuard, ThickLinesStayOnTheCanvas) {
  Guarded g;
  Picker pick;
  for (int n = 0; n < 1500; ++n) {
    draw_thick_line(pick(), pick(), pick(), pick(), pick(), pick.colour(), pick.colour(), pick.colour(),
                    g.canvas());
  }
  EXPECT_TRUE(g.guards_intact());
}

TEST(ShapesGuard, PolygonsStayOnTheCanvas) {
  Guarded g;
  Picker pick;
  const int sides[] = {INT_MIN, -6, -1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 12, 180, 360, 361, INT_MAX};
  for (int n = 0; n < 600; ++n) {
    const int s = sides[pick.gen() % std::size(sides)];
    // Thick outlines of many sides are slow; keep those to sizes the scenes use.
    int thickness = pick();
    if (s > 12 && thickness > 40) thickness = 40;
    draw_polygon(s, pick.colour(), pick.colour(), pick.colour(), pick(), pick(), pick(), pick(), g.canvas(),
                 thickness);
  }
  EXPECT_TRUE(g.guards_intact());
}

TEST(ShapesGuard, EffectsStayOnTheCanvas) {
  Guarded g;
  Picker pick;
  for (int n = 0; n < 60; ++n) {
    draw_staircase(pick(), pick(), pick(), g.canvas());
    draw_rings(pick(), pick(), pick(), g.canvas());
    draw_rounded_frame(pick(), g.canvas());
  }
  for (int v : {INT_MIN, -1, 0, 48, INT_MAX}) {
    draw_staircase(v, v, v, g.canvas());
    draw_rings(v, v, v, g.canvas());
    draw_rounded_frame(v, g.canvas());
  }
  EXPECT_TRUE(g.guards_intact());
}

}  // namespace

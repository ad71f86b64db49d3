#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "raster/raster.h"

namespace {

constexpr Pixel GROUND = 0x12345678u;

std::vector<Pixel> blank() { return std::vector<Pixel>(SCREEN_PIXELS, GROUND); }

Pixel at(const std::vector<Pixel>& c, int x, int y) { return c[y * SCREEN_WIDTH + x]; }

std::vector<std::pair<int, int>> touched(const std::vector<Pixel>& c) {
  std::vector<std::pair<int, int>> out;
  for (int i = 0; i < SCREEN_PIXELS; ++i) {
    if (c[i] != GROUND) out.emplace_back(i % SCREEN_WIDTH, i / SCREEN_WIDTH);
  }
  return out;
}

// The walk as written down, every step taken, each point clipped on its own.
template <typename Visit>
void reference_walk(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int64_t step, Visit visit) {
  const int64_t dx = x1 - x0, dy = y1 - y0;
  const int64_t sx = (dx > 0) - (dx < 0), sy = (dy > 0) - (dy < 0);
  const int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
  const bool x_major = adx > ady;
  const int64_t major = x_major ? adx : ady, minor = x_major ? ady : adx;
  int64_t err = major / 2, x = x0, y = y0;
  for (int64_t counter = 0; counter <= major; counter += step) {
    visit(x, y);
    err += minor;
    if (err >= major) {
      x += sx * step, y += sy * step;
      err -= major;
    } else if (x_major) {
      x += sx * step;
    } else {
      y += sy * step;
    }
  }
}

bool inside(int64_t x, int64_t y) { return x >= 0 && x < SCREEN_WIDTH && y >= 0 && y < SCREEN_HEIGHT; }

std::vector<Pixel> reference_line(int64_t x0, int64_t y0, int64_t x1, int64_t y1, Pixel colour) {
  auto c = blank();
  reference_walk(x0, y0, x1, y1, 1, [&](int64_t x, int64_t y) {
    if (inside(x, y)) c[y * SCREEN_WIDTH + x] = colour;
  });
  return c;
}

std::vector<Pixel> reference_thick(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int step) {
  auto c = blank();
  reference_walk(x0, y0, x1, y1, step, [&](int64_t x, int64_t y) {
    if (inside(x, y)) fill_circle(1, 2, 3, (step / 4) * 3, int(x), int(y), 10, c.data());
  });
  return c;
}

using Points = std::vector<std::pair<int, int>>;

// ---- draw_line ----

TEST(DrawLine, SmallWalksFollowTheErrorRule) {
  struct Case {
    int x0, y0, x1, y1;
    Points expected;  // in canvas order
  };
  const Case cases[] = {
      // x-major, error starting at 2: the diagonal comes first.
      {10, 10, 14, 12, {{10, 10}, {11, 11}, {12, 11}, {13, 12}, {14, 12}}},
      // odd major, error 5 / 2 = 2: the first step is straight.
      {10, 10, 15, 12, {{10, 10}, {11, 10}, {12, 11}, {13, 11}, {14, 12}, {15, 12}}},
      // a tie walks y-major, every step diagonal
      {10, 10, 13, 13, {{10, 10}, {11, 11}, {12, 12}, {13, 13}}},
      // y-major going up and left
      {20, 20, 19, 16, {{20, 20}, {20, 19}, {19, 18}, {19, 17}, {19, 16}}},
  };
  for (const Case& k : cases) {
    auto c = blank();
    draw_line(k.x0, k.y0, k.x1, k.y1, 9, 9, 9, 255, c.data());
    Points got = touched(c);
    Points want = k.expected;
    std::sort(want.begin(), want.end(), [](auto a, auto b) { return std::pair(a.second, a.first) < std::pair(b.second, b.first); });
    EXPECT_EQ(got, want) << k.x0 << "," << k.y0 << " -> " << k.x1 << "," << k.y1;
  }
}

TEST(DrawLine, HorizontalDiagonalAndSinglePoint) {
  auto c = blank();
  draw_line(30, 20, 10, 20, 1, 2, 3, 4, c.data());
  auto got = touched(c);
  ASSERT_EQ(got.size(), 21u);
  for (auto [x, y] : got) {
    EXPECT_EQ(y, 20);
    EXPECT_GE(x, 10);
    EXPECT_LE(x, 30);
  }
  // The caller's alpha lands in the top byte.
  EXPECT_EQ(at(c, 10, 20), 0x04010203u);

  c = blank();
  draw_line(5, 5, 15, 15, 1, 1, 1, 1, c.data());
  got = touched(c);
  ASSERT_EQ(got.size(), 11u);
  for (auto [x, y] : got) EXPECT_EQ(x, y);

  c = blank();
  draw_line(7, 9, 7, 9, 1, 1, 1, 1, c.data());
  EXPECT_EQ(touched(c), (Points{{7, 9}}));
}

TEST(DrawLine, ClippedLinesKeepTheUnclippedPath) {
  std::mt19937 gen(4242);
  std::uniform_int_distribution<int> near(-700, 1200);
  std::uniform_int_distribution<int> far(-20000, 20000);
  for (int n = 0; n < 400; ++n) {
    auto& d = n % 4 == 0 ? far : near;
    const int x0 = d(gen), y0 = d(gen), x1 = d(gen), y1 = d(gen);
    auto c = blank();
    draw_line(x0, y0, x1, y1, 200, 100, 50, 255, c.data());
    ASSERT_EQ(c, reference_line(x0, y0, x1, y1, pack_pixel(200, 100, 50, 255)))
        << x0 << "," << y0 << " -> " << x1 << "," << y1;
  }
  // Lines that just graze the edges.
  const int edges[][4] = {{-5, 0, 600, 0},     {511, -10, 511, 500}, {0, 383, 511, 383},
                          {-1, -1, 512, 384},  {512, 0, 0, 384},     {-3, 380, 520, 390}};
  for (auto& e : edges) {
    auto c = blank();
    draw_line(e[0], e[1], e[2], e[3], 1, 1, 1, 1, c.data());
    EXPECT_EQ(c, reference_line(e[0], e[1], e[2], e[3], pack_pixel(1, 1, 1, 1)));
  }
}

TEST(DrawLine, FarEndpointsGiveTheSamePixelsAsNearOnes) {
  // Same slope and same error phase at the canvas, so the same pixels; the far
  // ones have lengths beyond 32 bits.
  auto far = blank(), near = blank();
  draw_line(-(1 << 30), -(1 << 29), 1 << 30, 1 << 29, 5, 5, 5, 255, far.data());
  draw_line(-1024, -512, 1024, 512, 5, 5, 5, 255, near.data());
  EXPECT_EQ(touched(far).size(), 512u);
  EXPECT_EQ(far, near);

  far = blank(), near = blank();
  draw_line(INT_MIN, INT_MIN, INT_MAX, INT_MAX, 5, 5, 5, 255, far.data());
  draw_line(-10, -10, 600, 600, 5, 5, 5, 255, near.data());
  EXPECT_EQ(touched(far).size(), 384u);
  EXPECT_EQ(far, near);

  far = blank();
  draw_line(INT_MAX, 100, INT_MIN, 100, 5, 5, 5, 255, far.data());
  EXPECT_EQ(touched(far).size(), 512u);
}

// ---- fill_circle ----

TEST(FillCircle, SmallRadii) {
  auto c = blank();
  fill_circle(10, 20, 30, 1, 100, 100, 10, c.data());
  EXPECT_EQ(touched(c), (Points{{99, 100}, {100, 100}}));
  EXPECT_EQ(at(c, 99, 100), 0xFF0A141Eu);

  c = blank();
  fill_circle(10, 20, 30, 2, 100, 100, 10, c.data());
  EXPECT_EQ(touched(c), (Points{{99, 99}, {100, 99}, {98, 100}, {99, 100}, {100, 100}, {101, 100}, {99, 101},
                                {100, 101}}));

  for (int radius : {0, -1, INT_MIN}) {
    c = blank();
    fill_circle(1, 1, 1, radius, 100, 100, 10, c.data());
    EXPECT_TRUE(touched(c).empty()) << radius;
  }
}

TEST(FillCircle, StretchUsesASinglePrecisionFactor) {
  // 1.3 rounded to float is just below 1.3: radius 10 gives a half width of 12, not 13.
  auto c = blank();
  fill_circle(1, 1, 1, 10, 200, 200, 13, c.data());
  EXPECT_EQ(at(c, 188, 200), pack_pixel(1, 1, 1, 255));
  EXPECT_EQ(at(c, 211, 200), pack_pixel(1, 1, 1, 255));
  EXPECT_EQ(at(c, 187, 200), GROUND);
  EXPECT_EQ(at(c, 212, 200), GROUND);
  // The height stays 2 * radius - 1 rows.
  EXPECT_NE(at(c, 200, 191), GROUND);
  EXPECT_EQ(at(c, 200, 190), GROUND);
  EXPECT_NE(at(c, 200, 209), GROUND);
  EXPECT_EQ(at(c, 200, 210), GROUND);

  // Narrowed below one pixel: nothing at all.
  c = blank();
  fill_circle(1, 1, 1, 1, 200, 200, 5, c.data());
  EXPECT_TRUE(touched(c).empty());
  // 1.5 is exact: radius 4, centre row 6 to each side.
  c = blank();
  fill_circle(1, 1, 1, 4, 200, 200, 15, c.data());
  EXPECT_NE(at(c, 194, 200), GROUND);
  EXPECT_EQ(at(c, 193, 200), GROUND);
  EXPECT_NE(at(c, 205, 200), GROUND);
  EXPECT_EQ(at(c, 206, 200), GROUND);
}

TEST(FillCircle, ClipsByRowAndSpanAndNeverWritesRowZero) {
  auto c = blank();
  fill_circle(1, 1, 1, 10, 100, 0, 10, c.data());
  for (auto [x, y] : touched(c)) {
    EXPECT_GE(y, 1);
    EXPECT_LE(y, 9);
  }
  EXPECT_NE(at(c, 100, 1), GROUND);
  EXPECT_NE(at(c, 100, 9), GROUND);
  EXPECT_EQ(at(c, 100, 0), GROUND);

  // Left of the canvas: the row parts at x >= 0 remain.
  c = blank();
  fill_circle(1, 1, 1, 30, -20, 100, 10, c.data());
  EXPECT_NE(at(c, 9, 100), GROUND);
  EXPECT_EQ(at(c, 10, 100), GROUND);

  // Right edge and bottom: no wrap into the next row, nothing past row 383.
  c = blank();
  fill_circle(1, 1, 1, 20, 505, 380, 10, c.data());
  EXPECT_NE(at(c, 511, 380), GROUND);
  EXPECT_NE(at(c, 511, 383), GROUND);
  EXPECT_EQ(at(c, 0, 381), GROUND);
  EXPECT_EQ(at(c, 0, 383), GROUND);

  // A huge disc covers every row but 0.
  c = blank();
  fill_circle(1, 1, 1, INT_MAX, 0, 0, INT_MAX, c.data());
  EXPECT_EQ(touched(c).size(), size_t(SCREEN_PIXELS - SCREEN_WIDTH));
}

// ---- draw_thick_line ----

TEST(DrawThickLine, DiscsAlongTheWalk) {
  auto c = blank();
  draw_thick_line(0, 0, 100, 50, 10, 1, 2, 3, c.data());
  auto want = blank();
  const int centres[][2] = {{0, 0},   {10, 10}, {20, 10}, {30, 20}, {40, 20}, {50, 30},
                            {60, 30}, {70, 40}, {80, 40}, {90, 50}, {100, 50}};
  for (auto& p : centres) fill_circle(1, 2, 3, 6, p[0], p[1], 10, want.data());
  EXPECT_EQ(c, want);

  // Step 3 gives discs of radius 0: nothing at all.
  c = blank();
  draw_thick_line(0, 0, 100, 50, 3, 1, 2, 3, c.data());
  EXPECT_TRUE(touched(c).empty());
}

TEST(DrawThickLine, DiscsCentredOffTheCanvasAreLeftOut) {
  // Radius 15 would reach rows 1..9 from y = -5, but no centre is on the canvas.
  auto c = blank();
  draw_thick_line(-100, -5, 700, -5, 20, 1, 2, 3, c.data());
  EXPECT_TRUE(touched(c).empty());
  fill_circle(1, 2, 3, 15, 100, -5, 10, c.data());
  EXPECT_FALSE(touched(c).empty());

  // A step below 1 is refused rather than walked forever.
  for (int step : {0, -4, INT_MIN}) {
    c = blank();
    draw_thick_line(10, 10, 300, 200, step, 1, 2, 3, c.data());
    EXPECT_TRUE(touched(c).empty()) << step;
  }
}

TEST(DrawThickLine, MatchesTheFullWalk) {
  std::mt19937 gen(77);
  std::uniform_int_distribution<int> coord(-3000, 3500);
  std::uniform_int_distribution<int> step(1, 40);
  for (int n = 0; n < 200; ++n) {
    const int x0 = coord(gen), y0 = coord(gen), x1 = coord(gen), y1 = coord(gen), s = step(gen);
    auto c = blank();
    draw_thick_line(x0, y0, x1, y1, s, 1, 2, 3, c.data());
    ASSERT_EQ(c, reference_thick(x0, y0, x1, y1, s))
        << x0 << "," << y0 << " -> " << x1 << "," << y1 << " step " << s;
  }
  auto far = blank(), near = blank();
  draw_thick_line(-(1 << 30), -(1 << 29), 1 << 30, 1 << 29, 8, 1, 2, 3, far.data());
  draw_thick_line(-1024, -512, 1024, 512, 8, 1, 2, 3, near.data());
  EXPECT_FALSE(touched(near).empty());
  EXPECT_EQ(far, near);
}

// ---- draw_polygon ----

struct Vertex {
  int x, y;
};

Vertex vertex_at(int index, int radius, int cx, int cy) {
  return {cx + sin_table[index] * radius / 4096, cy + cos_table[index] * radius / 4096};
}

TEST(DrawPolygon, SixPointedStarJoinsTheListedVertices) {
  const int a_index[] = {359, 299, 239, 179, 119, 59};
  const int b_index[] = {329, 269, 209, 149, 89, 29};
  for (int thickness : {0, 3, 4, 20}) {
    auto want = blank();
    auto edge = [&](Vertex p, Vertex q) {
      if (thickness < 4) {
        draw_line(p.x, p.y, q.x, q.y, 212, 219, 197, 255, want.data());
      } else {
        draw_thick_line(p.x, p.y, q.x, q.y, thickness, 212, 219, 197, want.data());
      }
    };
    for (int k = 0; k < 6; ++k) {
      const Vertex a = vertex_at(a_index[k], 170, 356, 192);
      const Vertex b = vertex_at(b_index[k], 73, 356, 192);
      edge(a, b);
      edge(b, vertex_at(a_index[(k + 1) % 6], 170, 356, 192));
    }
    auto c = blank();
    draw_polygon(6, 212, 219, 197, 170, 73, 356, 192, c.data(), thickness);
    EXPECT_EQ(c, want) << "thickness " << thickness;
  }
  // The first vertex sits just left of straight below the centre.
  auto c = blank();
  draw_polygon(6, 212, 219, 197, 170, 73, 356, 192, c.data(), 0);
  const Vertex a0 = vertex_at(359, 170, 356, 192);
  EXPECT_LT(a0.x, 356);
  EXPECT_EQ(a0.y, 192 + 169);
  EXPECT_EQ(at(c, a0.x, a0.y), pack_pixel(212, 219, 197, 255));
}

TEST(DrawPolygon, SidesThatDoNotDivide360DrawNothing) {
  for (int sides : {0, -6, 7, 11, 361, INT_MIN, INT_MAX}) {
    auto c = blank();
    draw_polygon(sides, 1, 1, 1, 100, 100, 256, 192, c.data(), 0);
    EXPECT_TRUE(touched(c).empty()) << sides;
  }
  for (int sides : {1, 2, 3, 4, 5, 8, 360}) {
    auto c = blank();
    draw_polygon(sides, 1, 1, 1, 100, 60, 256, 192, c.data(), 0);
    EXPECT_FALSE(touched(c).empty()) << sides;
  }
}

}  // namespace

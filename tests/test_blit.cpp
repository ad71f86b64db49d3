#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "raster/raster.h"
#include "support/guarded_canvas.h"

namespace {

constexpr Pixel GROUND = 0x12345678u;

// A canvas with guard pixels on both sides, to catch writes outside it.
using GuardedCanvas = GuardedCanvasOn<GROUND>;

// A source whose every pixel tells its own column and row.
std::vector<Pixel> coded_source(int w, int h) {
  std::vector<Pixel> s(static_cast<size_t>(w) * h);
  for (int r = 0; r < h; ++r)
    for (int c = 0; c < w; ++c) s[r * w + c] = 0xFF000000u | (static_cast<Pixel>(c) << 12) | r;
  return s;
}
int code_column(Pixel p) { return static_cast<int>((p >> 12) & 0xFFF); }
int code_row(Pixel p) { return static_cast<int>(p & 0xFFF); }

// ---- blit ----

TEST(Blit, BlendedTellingValues) {
  GuardedCanvas g;
  const Pixel src[4] = {0xFFFFFFFFu, 0xFF000000u, COLOR_KEY, 0x80FFFFFFu};
  g.at(10, 5) = 0xFF000000u;  // black under white
  g.at(11, 5) = 0x00FFFFFFu;  // white (alpha 0) under black
  g.at(12, 5) = 0xAB123456u;  // under a key pixel
  g.at(13, 5) = 0x7F000000u;
  blit(src, 4, 1, g.canvas(), 10, 5, 1);
  EXPECT_EQ(g.at(10, 5), 0xFFFEFEFEu);
  EXPECT_EQ(g.at(11, 5), 0xFF000000u);
  EXPECT_EQ(g.at(12, 5), 0xAB123456u);  // alpha 0 leaves the target alone
  EXPECT_EQ(g.at(13, 5), 0x807F7F7Fu);  // top byte is the source alpha
}

TEST(Blit, BlendMatchesTheChannelRuleAtEveryVectorWidth) {
  // d + floor((s - d) * A / 256) per channel; the negative products must round down.
  // Rounds alternate between random alphas and the common 0-or-255 pictures, and
  // widths leave tails of every length.
  std::mt19937 rng(7);
  std::vector<Pixel> src(SCREEN_WIDTH - 1), dst(SCREEN_WIDTH - 1);
  GuardedCanvas g;
  const int best = set_blend_level(2);
  for (int round = 0; round < 3 * 64; ++round) {
    const int level = set_blend_level(round % 3);
    ASSERT_LE(level, best);
    const int width = static_cast<int>(src.size()) - (round / 3) % 9;
    for (size_t i = 0; i < src.size(); ++i) {
      src[i] = rng();
      dst[i] = rng();
      if (round % 2 == 1) src[i] = (src[i] & 0x00FFFFFFu) | (i % 13 == 0 ? 0u : 0xFF000000u);
      if (round % 4 == 3 && i % 29 == 5) src[i] = (src[i] & 0x00FFFFFFu) | 0x80000000u;
      if (i % 37 == 0) src[i] &= 0x00FFFFFFu;
      g.at(1 + static_cast<int>(i), 7) = dst[i];
    }
    blit(src.data(), width, 1, g.canvas(), 1, 7, 1);
    for (size_t i = 0; i < src.size(); ++i) {
      const int a = static_cast<int>(src[i] >> 24);
      Pixel want = dst[i];
      if (a != 0) {
        want = static_cast<Pixel>(a) << 24;
        for (int shift = 0; shift < 24; shift += 8) {
          const int s = static_cast<int>((src[i] >> shift) & 0xFF);
          const int d = static_cast<int>((dst[i] >> shift) & 0xFF);
          const int v = d + (((s - d) * a) >> 8);
          ASSERT_GE(v, 0);
          ASSERT_LE(v, 255);
          want |= static_cast<Pixel>(v) << shift;
        }
      }
      if (static_cast<int>(i) >= width) want = dst[i];
      ASSERT_EQ(g.at(1 + static_cast<int>(i), 7), want)
          << "pixel " << i << " round " << round << " level " << level;
    }
  }
  set_blend_level(best);
  // One exact small case of rounding toward minus infinity: 1 + floor(-0.5) = 0.
  Pixel half = 0x80000000u;
  g.at(3, 3) = 0x00010101u;
  blit(&half, 1, 1, g.canvas(), 3, 3, 1);
  EXPECT_EQ(g.at(3, 3), 0x80000000u);
}

TEST(Blit, OpaqueDropsTheTopByteAndKeepsKeyPixels) {
  GuardedCanvas g;
  const Pixel src[3] = {0xFF102030u, COLOR_KEY, 0x7FABCDEFu};
  blit(src, 3, 1, g.canvas(), 20, 0, 0);
  EXPECT_EQ(g.at(20, 0), 0x00102030u);
  EXPECT_EQ(g.at(21, 0), 0x00FF0000u);
  EXPECT_EQ(g.at(22, 0), 0x00ABCDEFu);
  // The flag is a byte: 0x100 is off.
  blit(src, 3, 1, g.canvas(), 20, 1, 0x100);
  EXPECT_EQ(g.at(21, 1), 0x00FF0000u);
}

TEST(Blit, ClipsColumnZeroAndEdges) {
  const auto src = coded_source(20, 10);
  for (int blend = 0; blend < 2; ++blend) {
    GuardedCanvas g;
    blit(src.data(), 20, 10, g.canvas(), 0, 0, blend);
    for (int y = 0; y < 10; ++y) EXPECT_EQ(g.at(0, y), GROUND);
    // Row 0 is written, column 1 shows source column 1.
    EXPECT_NE(g.at(1, 0), GROUND);
    if (blend == 0) {
      EXPECT_EQ(g.at(1, 0), src[1] & 0x00FFFFFFu);
    }
    EXPECT_EQ(g.count_not(GROUND), 19 * 10);

    g.fill(GROUND);
    blit(src.data(), 20, 10, g.canvas(), 500, 380, blend);  // cut right and below
    EXPECT_EQ(g.count_not(GROUND), 12 * 4);
    if (blend == 0) {
      EXPECT_EQ(g.at(511, 383), src[3 * 20 + 11] & 0x00FFFFFFu);
    }

    g.fill(GROUND);
    blit(src.data(), 20, 10, g.canvas(), -5, -7, blend);  // cut left (and column 0) and above
    EXPECT_EQ(g.count_not(GROUND), 14 * 3);
    if (blend == 0) {
      EXPECT_EQ(g.at(1, 0), src[7 * 20 + 6] & 0x00FFFFFFu);
    }
    EXPECT_TRUE(g.guards_intact());
  }
}

TEST(Blit, ExtremePositionsAndBadSizesWriteNothing) {
  const auto src = coded_source(8, 8);
  GuardedCanvas g;
  const int xs[] = {INT32_MIN, -9, -7, 512, 1 << 30, INT32_MAX};  // -7 reaches only column 0
  const int ys[] = {INT32_MIN, -9, -8, 384, 1 << 30, INT32_MAX};
  for (int x : xs)
    for (int y : ys) {
      blit(src.data(), 8, 8, g.canvas(), x, y, 1);
      blit(src.data(), 8, 8, g.canvas(), x, 100, 0);
      blit(src.data(), 8, 8, g.canvas(), 100, y, 0);
    }
  EXPECT_EQ(g.count_not(GROUND), 0);
  blit(src.data(), 0, 8, g.canvas(), 10, 10, 0);
  blit(src.data(), 8, -1, g.canvas(), 10, 10, 0);
  blit(nullptr, 8, 8, g.canvas(), 10, 10, 0);
  EXPECT_EQ(g.count_not(GROUND), 0);
  EXPECT_TRUE(g.guards_intact());
}

// ---- blit_rotated ----

TEST(BlitRotated, AngleZeroDrawsTwoPixelsWideAndSkipsAlphaZero) {
  GuardedCanvas g;
  auto src = coded_source(7, 5);
  src[2 * 7 + 3] = COLOR_KEY;  // (3, 2) transparent
  blit_rotated(src.data(), 7, 5, g.canvas(), 100, 50, 0);
  const int left = 100 - 3, top = 50 - 2;
  for (int j = 0; j < 5; ++j) {
    for (int i = 0; i < 7; ++i) {
      // Each column overwrites the right half of the one before, except where it is
      // transparent and the left neighbour's second write stays.
      const int shown = (i == 3 && j == 2) ? 2 : i;
      EXPECT_EQ(g.at(left + i, top + j), src[j * 7 + shown]) << i << "," << j;
    }
    EXPECT_EQ(g.at(left + 7, top + j), src[j * 7 + 6]);
    EXPECT_EQ(g.at(left - 1, top + j), GROUND);
  }
  EXPECT_EQ(g.count_not(GROUND), 8 * 5);
}

TEST(BlitRotated, UsesTheDegreeFactorAndTruncates) {
  // At 90 degrees the factor 0.017453 falls just short of a right angle:
  // sin < 1, so a pixel 10 to the right lands 9 (not 10) below the centre.
  GuardedCanvas g;
  std::vector<Pixel> src(21 * 1, 0);
  src[20] = 0xFF00FF00u;  // dx = 10, dy = 0
  blit_rotated(src.data(), 21, 1, g.canvas(), 200, 100, 90);
  EXPECT_EQ(g.at(200, 109), 0xFF00FF00u);
  EXPECT_EQ(g.at(201, 109), 0xFF00FF00u);
  EXPECT_EQ(g.count_not(GROUND), 2);
  // A negative angle turns the other way.
  g.fill(GROUND);
  blit_rotated(src.data(), 21, 1, g.canvas(), 200, 100, -90);
  EXPECT_EQ(g.at(200, 91), 0xFF00FF00u);
}

TEST(BlitRotated, ClipsOnTheUnrotatedPositionAndNeverRowZero) {
  const auto src = coded_source(40, 40);
  GuardedCanvas g;
  // Centred so that the unrotated rows reach row 0: rotated rows at 0 are dropped.
  blit_rotated(src.data(), 40, 40, g.canvas(), 100, 20, 0);
  for (int x = 0; x < SCREEN_WIDTH; ++x) EXPECT_EQ(g.at(x, 0), GROUND);
  EXPECT_EQ(code_row(g.at(100, 1)), 1);
  // Columns whose unrotated position is 0 or less are skipped even though the
  // turned pixels would land on the canvas.
  g.fill(GROUND);
  blit_rotated(src.data(), 40, 40, g.canvas(), 10, 200, 0);  // left = -10
  EXPECT_EQ(g.at(0, 200), GROUND);
  EXPECT_EQ(code_column(g.at(1, 200)), 11);
  EXPECT_EQ(g.at(1, 200), src[20 * 40 + 11]);
  EXPECT_TRUE(g.guards_intact());
}

TEST(BlitRotated, NoWriteOutsideForAnyPositionOrAngle) {
  const auto src = coded_source(64, 48);
  GuardedCanvas g;
  const int centres_x[] = {INT32_MIN, -40, 0, 3, 256, 509, 540, INT32_MAX};
  const int centres_y[] = {INT32_MIN, -30, 0, 2, 192, 381, 420, INT32_MAX};
  const int angles[] = {INT32_MIN, -359, -90, -5, 0, 5, 45, 180, 271, INT32_MAX};
  for (int cx : centres_x)
    for (int cy : centres_y)
      for (int a : angles) blit_rotated(src.data(), 64, 48, g.canvas(), cx, cy, a);
  for (int x = 0; x < SCREEN_WIDTH; ++x) EXPECT_EQ(g.at(x, 0), GROUND);
  EXPECT_TRUE(g.guards_intact());
  blit_rotated(src.data(), 0, 48, g.canvas(), 100, 100, 0);
  blit_rotated(nullptr, 64, 48, g.canvas(), 100, 100, 0);
}

// ---- blit_scaled ----

// The walk exactly as it is defined, one step at a time: the yardstick for the
// closed-form version. The uncovered combinations take the neighbouring case.
void walk_scaled(int x0, int y0, int x1, int y1, Pixel* canvas, int sw, int sh, const Pixel* src,
                 bool key) {
  const int64_t dw = static_cast<int64_t>(x1) - x0, dh = static_cast<int64_t>(y1) - y0;
  if (dw <= 0 || dh <= 0) return;
  const bool widen = dw > sw, heighten = dh > sh;
  int64_t ex = 0, ey = 0, x = x0, c = 0;
  auto column = [&]() {
    int64_t y = y0, r = 0;
    auto draw = [&]() {
      if (x > 0 && x < 512 && y > 0 && y < 384 && c >= 0 && c < sw && r >= 0 && r < sh) {
        const Pixel p = src[r * sw + c];
        if (!key || p != COLOR_KEY) canvas[y * 512 + x] = p;
      }
    };
    if (heighten) {
      while (y < y1) {
        draw();
        ey += sh;
        if (ey > dh) { ey -= dh; ++r; }
        ++y;
      }
    } else {
      while (y < y1) {
        draw();
        ey += dh;
        if (ey > sh) { ey -= sh; ++y; }
        ++r;
      }
    }
  };
  if (widen) {
    while (x < x1) {
      ex += sw;
      if (ex > dw) { ex -= dw; ++c; }
      ++x;
      column();
    }
  } else {
    while (x < x1 - 2) {
      ex += dw;
      if (ex > sw) { ex -= sw; ++x; }
      ++c;
      column();
    }
  }
}

TEST(BlitScaled, FullSizeColumnPicture) {
  // 94x480 into 94x480: set high enough that the picture's last row is row 383.
  const auto src = coded_source(94, 480);
  GuardedCanvas g;
  const int x0 = 50, y0 = -96;
  blit_scaled(x0, y0, x0 + 94, y0 + 480, g.canvas(), 94, 480, src.data(), 1);
  for (int k = 0; k <= 92; ++k) {
    const int x = x0 + k;
    for (int y = 1; y < 384; ++y) {
      const int r = y - y0;
      const Pixel p = g.at(x, y);
      if (k != 0 || r != 479) {
        ASSERT_EQ(code_column(p), k + 1) << "column " << x;
      }
      if (k == 0) {
        // The first drawn column runs one row ahead and leaves its last row alone.
        if (r == 479)
          ASSERT_EQ(p, GROUND);
        else
          ASSERT_EQ(code_row(p), r + 1) << "row " << y;
      } else {
        ASSERT_EQ(code_row(p), r) << "column " << x << " row " << y;
      }
    }
  }
  for (int y = 0; y < 384; ++y) {
    EXPECT_EQ(g.at(x0 - 1, y), GROUND);
    EXPECT_EQ(g.at(x0 + 93, y), GROUND);  // never written
  }
  for (int x = 0; x < SCREEN_WIDTH; ++x) EXPECT_EQ(g.at(x, 0), GROUND);  // row 0 never written
  EXPECT_TRUE(g.guards_intact());
}

TEST(BlitScaled, HalfSizeColumnPictureAndTheKey) {
  auto src = coded_source(94, 480);
  // Key the odd row of some pairs: the even row drawn before it must show instead.
  for (int c = 0; c < 94; c += 3) src[(2 * 10 + 1) * 94 + c] = COLOR_KEY;
  GuardedCanvas g;
  const int x0 = 100, y0 = 20;
  blit_scaled(x0, y0, x0 + 47, y0 + 240, g.canvas(), 94, 480, src.data(), 1);
  for (int k = 0; k <= 45; ++k) {
    const int want_column = k <= 44 ? 2 * k + 2 : 91;
    for (int r = 0; r < 240; ++r) {
      const Pixel p = g.at(x0 + k, y0 + r);
      ASSERT_EQ(code_column(p), want_column) << "column " << k;
      const bool keyed = r == 10 && want_column % 3 == 0;
      ASSERT_EQ(code_row(p), keyed ? 2 * r : 2 * r + 1) << "column " << k << " row " << r;
    }
  }
  for (int y = 0; y < 384; ++y) EXPECT_EQ(g.at(x0 + 46, y), GROUND);
  EXPECT_EQ(g.count_not(GROUND), 46 * 240);
  // Without the key the keyed word itself is copied.
  blit_scaled(x0, y0, x0 + 47, y0 + 240, g.canvas(), 94, 480, src.data(), 0);
  EXPECT_EQ(g.at(x0 + 2, y0 + 10), COLOR_KEY);  // column 6 is keyed at row 21
}

TEST(BlitScaled, OpenCombinationsTakeTheNeighbouringCase) {
  const auto src = coded_source(4, 3);
  GuardedCanvas g;
  // Wider, same height: widening across, lowering down.
  blit_scaled(10, 10, 18, 13, g.canvas(), 4, 3, src.data(), 0);
  const int cols[8] = {0, 0, 1, 1, 2, 2, 3, 3};
  for (int k = 1; k <= 8; ++k) {
    // The first drawn column (x0 + 1) runs one row ahead, as in the full-size case.
    const int first_rows[3] = {1, 2, -1};
    for (int m = 0; m < 3; ++m) {
      const Pixel p = g.at(10 + k, 10 + m);
      const int want_row = k == 1 ? first_rows[m] : m;
      if (want_row < 0) {
        EXPECT_EQ(p, GROUND);
        continue;
      }
      EXPECT_EQ(code_column(p), cols[k - 1]) << k;
      EXPECT_EQ(code_row(p), want_row) << k << "," << m;
    }
  }
  EXPECT_EQ(g.at(10, 10), GROUND);
  // Same width, taller: narrowing across, heightening down.
  g.fill(GROUND);
  blit_scaled(10, 10, 14, 16, g.canvas(), 4, 3, src.data(), 0);
  for (int m = 0; m < 5; ++m) {
    // Narrowing with equal widths shows columns 1..3 at x0..x0+2.
    for (int k = 0; k < 3; ++k) EXPECT_EQ(code_column(g.at(10 + k, 10 + m)), k + 1);
  }
  // The first column's pass starts its error at 0, the later ones at dh.
  const int first[6] = {0, 0, 0, 1, 1, 2};
  const int later[6] = {0, 1, 1, 2, 2, 3};
  for (int m = 0; m < 6; ++m) {
    EXPECT_EQ(code_row(g.at(10, 10 + m)), first[m]) << m;
    if (later[m] < 3)
      EXPECT_EQ(code_row(g.at(11, 10 + m)), later[m]) << m;
    else
      EXPECT_EQ(g.at(11, 10 + m), GROUND);
  }
  EXPECT_EQ(g.at(13, 12), GROUND);
}

TEST(BlitScaled, TheKeyIsTheWholeWord) {
  // Only 0x00FF0000 is transparent: opaque pure red and alpha-0 black are copied.
  std::vector<Pixel> src(6 * 6, 0xFF123456u);
  src[2 * 6 + 2] = 0xFFFF0000u;
  src[2 * 6 + 3] = COLOR_KEY;
  src[2 * 6 + 4] = 0x00000000u;
  GuardedCanvas g;
  // Same size: destination (x0 + k, y0 + r) shows source (k + 1, r) after the first column.
  blit_scaled(10, 10, 16, 16, g.canvas(), 6, 6, src.data(), 1);
  EXPECT_EQ(g.at(11, 12), 0xFFFF0000u);
  EXPECT_EQ(g.at(12, 12), GROUND);
  EXPECT_EQ(g.at(13, 12), 0x00000000u);
}

TEST(BlitScaled, EmptyAndTinyRectanglesDrawNothing) {
  const auto src = coded_source(10, 10);
  GuardedCanvas g;
  blit_scaled(20, 20, 20, 40, g.canvas(), 10, 10, src.data(), 0);
  blit_scaled(20, 20, 40, 20, g.canvas(), 10, 10, src.data(), 0);
  blit_scaled(40, 40, 20, 20, g.canvas(), 10, 10, src.data(), 0);
  blit_scaled(20, 20, 22, 25, g.canvas(), 10, 10, src.data(), 0);  // narrowing stops at x1 - 2
  blit_scaled(20, 20, 40, 40, g.canvas(), 0, 10, src.data(), 0);
  blit_scaled(20, 20, 40, 40, g.canvas(), 10, 10, nullptr, 0);
  EXPECT_EQ(g.count_not(GROUND), 0);
}

TEST(BlitScaled, MatchesTheStepByStepWalk) {
  std::mt19937 rng(1234);
  GuardedCanvas fast, slow;
  std::vector<Pixel> src;
  for (int round = 0; round < 600; ++round) {
    const int sw = 1 + static_cast<int>(rng() % 40), sh = 1 + static_cast<int>(rng() % 40);
    src = coded_source(sw, sh);
    for (auto& p : src)
      if (rng() % 5 == 0) p = COLOR_KEY;
    const int dw = static_cast<int>(rng() % 90) - 3, dh = static_cast<int>(rng() % 90) - 3;
    // Mostly near an edge of the canvas, sometimes anywhere.
    const int xs[] = {-60, -5, 0, 1, 200, 470, 505, 511};
    const int ys[] = {-60, -5, 0, 1, 150, 330, 378, 383};
    const int x0 = xs[rng() % 8] + static_cast<int>(rng() % 7) - 3;
    const int y0 = ys[rng() % 8] + static_cast<int>(rng() % 7) - 3;
    const bool key = rng() % 2;
    fast.fill(GROUND);
    slow.fill(GROUND);
    blit_scaled(x0, y0, x0 + dw, y0 + dh, fast.canvas(), sw, sh, src.data(), key);
    walk_scaled(x0, y0, x0 + dw, y0 + dh, slow.canvas(), sw, sh, src.data(), key);
    ASSERT_EQ(std::memcmp(fast.canvas(), slow.canvas(), sizeof(Pixel) * SCREEN_PIXELS), 0)
        << "source " << sw << "x" << sh << " into (" << x0 << "," << y0 << ") " << dw << "x" << dh
        << " key " << key;
  }
  EXPECT_TRUE(fast.guards_intact());
}

TEST(BlitScaled, TimelineAndHillsRectanglesMatchTheWalk) {
  std::mt19937 rng(99);
  std::vector<Pixel> canvas_source(SCREEN_PIXELS);
  for (auto& p : canvas_source) p = rng() % 3 == 0 ? COLOR_KEY : (rng() | 0xFF000000u);
  const int rects[][4] = {{230, 10, 294, 58},  {190, 0, 318, 96},  {170, 0, 362, 144},
                          {125, 0, 381, 192},  {95, 0, 415, 240},  {60, 0, 444, 288},
                          {48, 0, 496, 336},   {1, 0, 512, 384},   {32, 24, 480, 360}};
  GuardedCanvas fast, slow;
  for (const auto& r : rects) {
    fast.fill(GROUND);
    slow.fill(GROUND);
    blit_scaled(r[0], r[1], r[2], r[3], fast.canvas(), 512, 384, canvas_source.data(), 1);
    walk_scaled(r[0], r[1], r[2], r[3], slow.canvas(), 512, 384, canvas_source.data(), true);
    ASSERT_EQ(std::memcmp(fast.canvas(), slow.canvas(), sizeof(Pixel) * SCREEN_PIXELS), 0)
        << r[0] << "," << r[1] << "," << r[2] << "," << r[3];
  }
  auto columns = coded_source(94, 480);
  for (int c = 0; c < 94; ++c) columns[(c * 7) % 480 * 94 + c] = COLOR_KEY;
  const int strips[][3] = {{209, 303, 480}, {341, 388, 240}, {73, 104, 160}};
  for (const auto& s : strips)
    for (int y0 : {384, 200, 0, -100, -239, -479}) {
      fast.fill(GROUND);
      slow.fill(GROUND);
      blit_scaled(s[0], y0, s[1], y0 + s[2], fast.canvas(), 94, 480, columns.data(), 1);
      walk_scaled(s[0], y0, s[1], y0 + s[2], slow.canvas(), 94, 480, columns.data(), true);
      ASSERT_EQ(std::memcmp(fast.canvas(), slow.canvas(), sizeof(Pixel) * SCREEN_PIXELS), 0)
          << s[0] << " at " << y0;
    }
}

TEST(BlitScaled, HugeRectanglesStayInsideAndFinish) {
  const auto src = coded_source(16, 16);
  GuardedCanvas g;
  const int edges[] = {INT32_MIN, -1000000, -1, 0, 1, 300, 1000000, INT32_MAX};
  for (int a : edges)
    for (int b : edges) {
      blit_scaled(a, b, INT32_MAX, INT32_MAX, g.canvas(), 16, 16, src.data(), 1);
      blit_scaled(INT32_MIN, INT32_MIN, a, b, g.canvas(), 16, 16, src.data(), 0);
      blit_scaled(a, 10, b, 200, g.canvas(), 16, 16, src.data(), 1);
    }
  for (int x = 0; x < SCREEN_WIDTH; ++x) EXPECT_EQ(g.at(x, 0), GROUND);
  for (int y = 0; y < SCREEN_HEIGHT; ++y) EXPECT_EQ(g.at(0, y), GROUND);
  EXPECT_TRUE(g.guards_intact());
}

}  // namespace

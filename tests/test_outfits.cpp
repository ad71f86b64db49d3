#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "effects/effects.h"
#include "raster/raster.h"
#include "support/guarded_canvas.h"

namespace {

// What the flicker keeps, and the generator the noise draws from.
FlickerState flicker;
Random generator;

constexpr Pixel GROUND = 0x00203040u;

using GuardedCanvas = GuardedCanvasOn<GROUND>;

// A picture of the given size: opaque pixels of its own hue in a pattern, with
// transparent holes, so that misplaced or mis-cut pieces change the canvas.
std::vector<Pixel> piece(int w, int h, int hue) {
  std::vector<Pixel> p(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const bool hole = (x / 5 + y / 7) % 4 == 0;
      p[y * w + x] = hole ? COLOR_KEY : pack_pixel(hue, (x * 3) & 0xFF, (y * 5) & 0xFF, 255);
    }
  return p;
}

struct Outfit {
  std::vector<Pixel> cap = piece(314, 142, 40);
  std::vector<Pixel> shirt = piece(167, 91, 90);
  std::vector<Pixel> bra_left = piece(45, 59, 140);
  std::vector<Pixel> bra_right = piece(45, 59, 190);
  std::vector<Pixel> trousers = piece(163, 70, 240);

  void draw(int time, int row, int stage, Pixel* canvas) const {
    draw_outfits(time, row, stage, canvas, {cap.data(), 314, 142}, {shirt.data(), 167, 91}, {bra_left.data(), 45, 59},
                 {bra_right.data(), 45, 59}, {trousers.data(), 163, 70});
  }
  // The standing figure as its five placements give it.
  void standing(Pixel* canvas, int shirt_y, int cap_y) const {
    blit(trousers.data(), 163, 70, canvas, 175, 301, 1);
    blit(bra_left.data(), 45, 59, canvas, 150, 242, 1);
    blit(bra_right.data(), 45, 59, canvas, 318, 242, 1);
    blit(shirt.data(), 167, 91, canvas, 173, shirt_y, 1);
    blit(cap.data(), 314, 142, canvas, 100, cap_y, 1);
  }
  // The swaying figure: turned trousers (upper 64 rows), shirt and cap, raised bras.
  void swaying(Pixel* canvas, int low, int high, int bra_y) const {
    blit_rotated(trousers.data(), 163, 64, canvas, 256, 333, low);
    blit(bra_left.data(), 45, 59, canvas, 150, bra_y, 1);
    blit(bra_right.data(), 45, 59, canvas, 318, bra_y, 1);
    blit_rotated(shirt.data(), 167, 91, canvas, 256, 270, high);
    blit_rotated(cap.data(), 314, 142, canvas, 257, 189, high);
  }
};

TEST(Outfits, StagesOutsideTwoToEightDrawNothing) {
  const Outfit o;
  GuardedCanvas g, untouched;
  for (int stage : {-1, 0, 1, 9, 30})
    for (int row : {0, 8, 10}) o.draw(0, row, stage, g.canvas());
  EXPECT_TRUE(g.same_as(untouched));
}

TEST(Outfits, BounceRowsByStage) {
  const Outfit o;
  struct Case {
    int stage, row;
    bool bounce;
  };
  const Case cases[] = {
      {2, 0, false}, {2, 8, false},  {8, 16, false}, {3, 0, true},   {3, 48, true},  {3, 49, false}, {4, 8, true},
      {4, 24, true}, {4, 32, false}, {4, 40, false}, {5, 0, true},   {5, 4, false},  {6, 16, true},  {6, 32, true},
      {7, 56, true}, {7, 63, false}, {6, 48, true},  {5, 36, false}, {3, 10, false},
  };
  for (const Case& c : cases) {
    GuardedCanvas got, want;
    o.draw(1234, c.row, c.stage, got.canvas());
    o.standing(want.canvas(), c.bounce ? 227 : 225, c.bounce ? 122 : 118);
    EXPECT_TRUE(got.same_as(want)) << "stage " << c.stage << " row " << c.row;
  }
}

TEST(Outfits, SwayWindowsTurnThePieces) {
  const Outfit o;
  // time mod 360 = a; the low sway is half a turn ahead of the high one.
  struct Case {
    int time, stage, row, low, high;
  };
  const Case cases[] = {
      {0, 5, 5, 0, 0},      // a = 0: both sines truncate to 0
      {90, 6, 15, -4, 4},   // sin 90 * 5 = 4.99..: 4, and -4 for the low one
      {450, 7, 37, -4, 4},  // time wraps at 360
      {270, 5, 47, 4, -4},  // the low sway swings against the high one
      {30, 6, 8, -2, 2},    // row 8 is a bounce row but inside the window
  };
  for (const Case& c : cases) {
    GuardedCanvas got, want;
    o.draw(c.time, c.row, c.stage, got.canvas());
    o.swaying(want.canvas(), c.low, c.high, 242 - c.row % 8);
    EXPECT_TRUE(got.same_as(want)) << "time " << c.time << " stage " << c.stage << " row " << c.row;
  }
  // The bras rise a pixel per row and drop back at each multiple of 8: y 235 at row
  // 15, so the left one's last row (58) is at 293, beside the shirt and below the cap.
  GuardedCanvas g;
  o.draw(0, 15, 6, g.canvas());
  EXPECT_NE(g.at(155, 293), GROUND);
  EXPECT_EQ(g.at(155, 294), GROUND);
  g.fill(GROUND);
  o.draw(0, 16, 6, g.canvas());
  EXPECT_NE(g.at(155, 300), GROUND);
  // Outside the windows and stages the figure stands.
  for (int row : {4, 16, 36, 48}) {
    GuardedCanvas got, want;
    o.draw(90, row, 5, got.canvas());
    o.standing(want.canvas(), row % 8 == 0 ? 227 : 225, row % 8 == 0 ? 122 : 118);
    EXPECT_TRUE(got.same_as(want)) << row;
  }
  GuardedCanvas got, want;
  o.draw(90, 10, 4, got.canvas());
  o.standing(want.canvas(), 225, 118);
  EXPECT_TRUE(got.same_as(want));
}

TEST(Outfits, SwayAtAngleZeroKeepsTheStandingPlaces) {
  // At time 0 the turned pieces sit where the standing ones do, drawn unblended and
  // two pixels wide; the trousers lose their last 6 rows.
  const Outfit o;
  GuardedCanvas g;
  o.draw(0, 5, 5, g.canvas());
  // Trousers row 20 lies below the shirt.
  EXPECT_EQ(g.at(175 + 5, 301 + 20), o.trousers[20 * 163 + 5]);
  EXPECT_EQ(g.at(175 + 163, 301 + 20), o.trousers[20 * 163 + 162]);  // doubled column
  EXPECT_EQ(g.at(175 + 10, 301 + 64), GROUND);                       // row 64 is not drawn
  EXPECT_EQ(g.at(100 + 157, 118 + 71), o.cap[71 * 314 + 157]);
  EXPECT_TRUE(g.guards_intact());
}

// ---- flicker ----

struct FlickerPictures {
  // Column 0 and column 199 carry markers; everything else is transparent.
  std::vector<Pixel> one = std::vector<Pixel>(200 * 384, COLOR_KEY);
  std::vector<Pixel> two = std::vector<Pixel>(200 * 384, COLOR_KEY);
  FlickerPictures() {
    for (int y = 0; y < 384; ++y) {
      one[y * 200] = 0xFF400000u;
      one[y * 200 + 199] = 0xFFC00000u;
      two[y * 200] = 0xFF000040u;
      two[y * 200 + 199] = 0xFF0000C0u;
    }
  }
};

// Where the picture's left edge landed (from either marker), and which picture it was.
struct Seen {
  int x;
  int picture;
};
Seen find_flicker(GuardedCanvas& g) {
  for (int x = 1; x < SCREEN_WIDTH; ++x) {
    const Pixel p = g.at(x, 5);
    if (p == GROUND) continue;
    // Blended over GROUND: picture 1 leaves red, picture 2 blue; the right edge brighter.
    const int red = (p >> 16) & 0xFF, blue = p & 0xFF;
    if (red > 0x30) return {red > 0x80 ? x - 199 : x, 1};
    return {blue > 0x80 ? x - 199 : x, 2};
  }
  return {INT32_MIN, 0};
}

TEST(Flicker, AnchorAndPictureSequence) {
  const FlickerPictures f;
  flicker.anchor_row = 0;
  GuardedCanvas g;
  // First call of a run at row 7: picture 1 at x 256.
  draw_flicker(flicker, 0, 7, 9, {f.one.data(), 200, 384}, {f.two.data(), 200, 384}, g.canvas());
  Seen s = find_flicker(g);
  EXPECT_EQ(s.x, 256);
  EXPECT_EQ(s.picture, 1);
  EXPECT_EQ(flicker.anchor_row, 0);

  // Three frames per row from row 0 to 63: the first frame of rows 0, 6, 12, ... uses
  // the old anchor, the others the new one.
  flicker.anchor_row = 0;
  int anchor = 0;
  for (int row = 0; row < 64; ++row)
    for (int frame = 0; frame < 3; ++frame) {
      g.fill(GROUND);
      draw_flicker(flicker, row * 100 + frame, row, 9 + row / 16, {f.one.data(), 200, 384}, {f.two.data(), 200, 384},
                   g.canvas());
      s = find_flicker(g);
      EXPECT_EQ(s.x, 256 - 7 * anchor) << "row " << row << " frame " << frame;
      EXPECT_EQ(s.picture, row % 12 <= 6 ? 2 : 1) << "row " << row;
      if (row % 6 == 0) anchor = row;
      EXPECT_EQ(flicker.anchor_row, anchor);
    }
  // Row 12 twice after row 11: old anchor first, then x = 172.
  flicker.anchor_row = 6;
  g.fill(GROUND);
  draw_flicker(flicker, 0, 12, 10, {f.one.data(), 200, 384}, {f.two.data(), 200, 384}, g.canvas());
  EXPECT_EQ(find_flicker(g).x, 214);
  g.fill(GROUND);
  draw_flicker(flicker, 0, 12, 10, {f.one.data(), 200, 384}, {f.two.data(), 200, 384}, g.canvas());
  EXPECT_EQ(find_flicker(g).x, 172);
}

TEST(Flicker, StartsAtRowOneAndLosesItsLastRow) {
  const FlickerPictures f;
  flicker.anchor_row = 0;
  GuardedCanvas g;
  draw_flicker(flicker, 0, 1, 9, {f.one.data(), 200, 384}, {f.two.data(), 200, 384}, g.canvas());
  EXPECT_EQ(g.at(256, 0), GROUND);
  EXPECT_NE(g.at(256, 1), GROUND);
  EXPECT_NE(g.at(256, 383), GROUND);
  // A far anchor puts the picture off the canvas without touching anything outside.
  flicker.anchor_row = 1 << 28;
  GuardedCanvas h;
  draw_flicker(flicker, 0, 3, 9, {f.one.data(), 200, 384}, {f.two.data(), 200, 384}, h.canvas());
  flicker.anchor_row = -(1 << 28);
  draw_flicker(flicker, 0, 3, 9, {f.one.data(), 200, 384}, {f.two.data(), 200, 384}, h.canvas());
  GuardedCanvas untouched;
  EXPECT_TRUE(h.same_as(untouched));
  EXPECT_TRUE(h.guards_intact());
  flicker.anchor_row = 0;
}

// ---- reveal ----

TEST(Reveal, NoiseWithAnOpaqueBlock) {
  struct Case {
    int row, order, rows;
  };
  // Order 7 opens trunc(row / 64 * 240) rows; later orders all 240; earlier none.
  const Case cases[] = {{0, 7, 0},   {1, 7, 3},    {32, 7, 120}, {63, 7, 236},
                        {0, 8, 240}, {50, 9, 240}, {63, 6, 0},   {20, 0, 0}};
  GuardedCanvas g;
  std::vector<Pixel> noise(SCREEN_PIXELS);
  for (const Case& c : cases) {
    const int32_t state = generator.state;
    fill_noise(noise.data(), 0, generator);
    const int32_t after = generator.state;
    generator.state = state;
    reveal_alpha(generator, 777, c.row, c.order, g.canvas());
    EXPECT_EQ(generator.state, after) << "one noise fill, nothing more";
    int wrong = 0;
    for (int y = 0; y < SCREEN_HEIGHT; ++y)
      for (int x = 0; x < SCREEN_WIDTH; ++x) {
        const bool open = y < c.rows && x >= 96 && x < 416;
        const Pixel want = (noise[y * SCREEN_WIDTH + x] & 0x00FFFFFFu) | (open ? 0xFF000000u : 0u);
        wrong += g.at(x, y) != want;
      }
    EXPECT_EQ(wrong, 0) << "row " << c.row << " order " << c.order;
  }
  EXPECT_TRUE(g.guards_intact());
}

TEST(Reveal, RowsPastThePatternStayOnTheCanvas) {
  GuardedCanvas g;
  reveal_alpha(generator, 0, 200, 7, g.canvas());  // would ask for 750 rows
  for (int y = 0; y < SCREEN_HEIGHT; ++y) {
    EXPECT_EQ(g.at(96, y) >> 24, 0xFFu);
    EXPECT_EQ(g.at(95, y) >> 24, 0u);
  }
  reveal_alpha(generator, 0, -5, 7, g.canvas());
  EXPECT_EQ(g.at(96, 0) >> 24, 0u);
  EXPECT_TRUE(g.guards_intact());
}

TEST(Reveal, WithoutACanvasTheGeneratorMovesOnAsTheNoiseWould) {
  GuardedCanvas g;
  Random drawn, skipped;
  drawn.state = skipped.state = 0x2468ACE;
  reveal_alpha(drawn, 0, 10, 7, g.canvas());
  reveal_alpha(skipped, 0, 10, 7, nullptr);
  EXPECT_EQ(skipped.state, drawn.state);
}

TEST(Flicker, WithoutACanvasOnlyTheAnchorMovesOn) {
  const FlickerPictures f;
  GuardedCanvas g;
  FlickerState drawn, unseen;
  for (int row = 0; row < 64; ++row) {
    draw_flicker(drawn, 0, row, 9, {f.one.data(), 200, 384}, {f.two.data(), 200, 384}, g.canvas());
    draw_flicker(unseen, 0, row, 9, {f.one.data(), 200, 384}, {f.two.data(), 200, 384}, nullptr);
    ASSERT_EQ(unseen.anchor_row, drawn.anchor_row) << row;
  }
}

}  // namespace

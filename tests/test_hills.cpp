#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "effects/effects.h"
#include "raster/raster.h"
#include "support/guarded_canvas.h"

namespace {

constexpr Pixel GROUND = 0x008F89A6u;

// What the effect keeps, the pool it moves and the generator it draws from.
HillsState hills;
Particle particles[PARTICLE_COUNT];
Random generator;

using GuardedCanvas = GuardedCanvasOn<GROUND>;

// The indices of column x as the closed form gives them: j = a + (x + 1) / 2 wrapped to
// 0..359 (past 359 it restarts at 0), k = a + j less 359 when above 359.
int index_j(int t, int x) {
  const int a = t % 360;
  int j = a + (x + 1) / 2;
  if (j > 359) j -= 360;
  return j;
}
int index_k(int t, int x) {
  const int a = t % 360;
  int k = a + index_j(t, x);
  if (k > 359) k -= 359;
  return k;
}

Pixel shade(int h, int minus) { return pack_pixel(93 + h - minus, 87 + h - minus, 116 + h - minus, 255); }

// The hill layers drawn straight from their tops and colours, front over back.
void hill_layers(Pixel* canvas, int t, int rise1, int rise2, int rise3, bool middle, bool front) {
  for (int x = 0; x < SCREEN_WIDTH; ++x) {
    const int j = index_j(t, x), k = index_k(t, x);
    const int h = ((sin_table[j] * 20) >> 12) + 50;
    const int s = (sin_table[k] * 24) >> 12, q = (cos_table[k] * 24) >> 12;
    auto column = [&](int top, Pixel colour) {
      for (int y = top < 0 ? 0 : top; y < SCREEN_HEIGHT; ++y) canvas[y * SCREEN_WIDTH + x] = colour;
    };
    column(76 + s + rise1, shade(h, 0));
    if (middle) column(192 + q + rise2, shade(h, 30));
    if (front) column(288 + s + rise3, shade(h, 50));
  }
}

// Bubbles parked off the canvas with long lives, and a see-through column picture, so
// that only the hills and the ripple show.
void park_bubbles() {
  for (int i = 0; i < 50; ++i) particles[i] = Particle{-1000, -1000, 1, 2, 3, 1000};
}
const std::vector<Pixel> clear_pixels(94 * 480, COLOR_KEY);
const Image clear_columns{clear_pixels.data(), 94, 480};

TEST(Hills, IndicesAtPhaseZeroAndThreeHundred) {
  EXPECT_EQ(index_j(0, 0), 0);
  EXPECT_EQ(index_j(0, 1), 1);
  EXPECT_EQ(index_j(0, 2), 1);
  EXPECT_EQ(index_j(0, 511), 256);
  EXPECT_EQ(index_k(300, 0), 241);
  EXPECT_EQ(index_j(300, 119), 0);
  EXPECT_EQ(index_k(300, 119), 300);
  EXPECT_EQ(index_k(300, 121), 301);
  // Order 16 draws the back layer only, whatever the row: no bubbles, strips or ripple.
  for (int t : {0, 300, 359, 360 + 45, 123456}) {
    hills = HillsState{};
    park_bubbles();
    particles[0] = Particle{100, 40, 1, 2, 3, 50};
    const Particle kept = particles[0];
    const int32_t state = generator.state;
    GuardedCanvas got, want;
    draw_hills(hills, particles, generator, t, 40, 16, clear_columns, got.canvas());
    hill_layers(want.canvas(), t, 0, 0, 0, false, false);
    EXPECT_EQ(got.differences(want), 0) << "t " << t;
    EXPECT_EQ(generator.state, state);
    EXPECT_EQ(std::memcmp(&particles[0], &kept, sizeof kept), 0);
    for (int n = 0; n < 5; ++n) EXPECT_EQ(hills.strip_position[n], 384);
    EXPECT_EQ(hills.last_phase, t);
  }
  // Spot values: at t = 300, column 0 has shade j = 300 and outline k = 241.
  GuardedCanvas g;
  draw_hills(hills, particles, generator, 300, 0, 16, clear_columns, g.canvas());
  const int h = ((sin_table[300] * 20) >> 12) + 50;
  const int top = 76 + ((sin_table[241] * 24) >> 12);
  EXPECT_EQ(g.at(0, top), shade(h, 0));
  EXPECT_EQ(g.at(0, top - 1), GROUND);
}

TEST(Hills, LayersRiseInOverOrdersSeventeenAndEighteen) {
  struct Case {
    int order, row, rise1, rise2, rise3;
    bool middle, front;
  };
  const Case cases[] = {
      {17, 0, 308, 0, 0, false, false}, {17, 16, 154, 0, 0, false, false}, {17, 31, 9, 0, 0, false, false},
      {17, 32, 0, 192, 0, true, false}, {17, 48, 0, 96, 0, true, false},   {17, 63, 0, 6, 0, true, false},
      {18, 0, 0, 0, 96, true, true},    {18, 16, 0, 0, 48, true, true},    {18, 31, 0, 0, 3, true, true},
      {18, 32, 0, 0, 0, true, true},    {20, 5, 0, 0, 0, true, true},      {29, 63, 0, 0, 0, true, true},
  };
  for (const Case& c : cases) {
    for (int t : {0, 977}) {
      hills = HillsState{};
      park_bubbles();
      draw_hills(hills, particles, generator, t, 0, 16, clear_columns, GuardedCanvas().canvas());  // last phase = t
      GuardedCanvas got, want;
      draw_hills(hills, particles, generator, t, c.row, c.order, clear_columns, got.canvas());
      hill_layers(want.canvas(), t, c.rise1, c.rise2, c.rise3, c.middle, c.front);
      if (c.order >= 18) wave_rows(t, want.canvas(), SCREEN_WIDTH, SCREEN_HEIGHT, 2);
      EXPECT_EQ(got.differences(want), 0) << "order " << c.order << " row " << c.row << " t " << t;
      EXPECT_TRUE(got.guards_intact());
    }
  }
  // Order 17, row 0: only outline points above 384 - 308 + 24 = 360 can show.
  GuardedCanvas g;
  draw_hills(hills, particles, generator, 0, 0, 17, clear_columns, g.canvas());
  for (int x = 0; x < SCREEN_WIDTH; ++x) EXPECT_EQ(g.at(x, 359), GROUND);
}

TEST(Hills, StripPositionsAndResets) {
  hills = HillsState{};
  park_bubbles();
  GuardedCanvas g;
  // P1 runs 384, 381, ..., -237, -240 and is then set back to 384 (no subtraction).
  std::vector<int> p1, p3;
  for (int call = 0; call < 260; ++call) {
    p1.push_back(hills.strip_position[1]);
    p3.push_back(hills.strip_position[3]);
    EXPECT_EQ(hills.strip_position[0], 384 - 2 * call);
    draw_hills(hills, particles, generator, 0, 0, 18, clear_columns, g.canvas());
  }
  for (int n = 0; n <= 208; ++n) EXPECT_EQ(p1[n], 384 - 3 * n) << n;
  EXPECT_EQ(p1[208], -240);
  EXPECT_EQ(p1[209], 384);
  EXPECT_EQ(p1[210], 381);
  // P3 steps by 5 past its limit: -161, then 384.
  EXPECT_EQ(p3[109], -161);
  EXPECT_EQ(p3[110], 384);
  EXPECT_EQ(hills.strip_position[2], 384 - 4 * (260 - 157));  // reset after call 156
  EXPECT_EQ(hills.strip_position[4], 384 - 6 * (260 - 2 * 92));
}

TEST(Hills, StripsAreTheColumnPictureScaledAtTheirPositions) {
  std::vector<Pixel> columns(94 * 480);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 94; ++x)
      columns[y * 94 + x] = (x / 8 + y / 16) % 3 == 0 ? COLOR_KEY : pack_pixel(x, y & 0xFF, y >> 8, 255);
  hills = HillsState{};
  park_bubbles();
  GuardedCanvas scratch;
  for (int call = 0; call < 100; ++call)
    draw_hills(hills, particles, generator, 2000, 40, 19, {columns.data(), 94, 480}, scratch.canvas());
  int pos[5];
  for (int n = 0; n < 5; ++n) pos[n] = hills.strip_position[n];
  EXPECT_EQ(pos[0], 184);
  GuardedCanvas got, want;
  draw_hills(hills, particles, generator, 2000, 40, 20, {columns.data(), 94, 480}, got.canvas());
  hill_layers(want.canvas(), 2000, 0, 0, 0, true, true);
  const int rect[5][3] = {{209, 303, 480}, {341, 388, 240}, {128, 175, 240}, {73, 104, 160}, {426, 457, 160}};
  for (int n = 0; n < 5; ++n)
    blit_scaled(rect[n][0], pos[n], rect[n][1], pos[n] + rect[n][2], want.canvas(), 94, 480, columns.data(), 1);
  wave_rows(2000, want.canvas(), SCREEN_WIDTH, SCREEN_HEIGHT, 2);
  EXPECT_EQ(got.differences(want), 0);
  EXPECT_EQ(hills.strip_position[0], 182);
}

TEST(Hills, BubblesOfTheFirstFiftyRecords) {
  hills = HillsState{};
  generator.state = 0x12345;
  for (auto& p : particles) p = spawn_particle(generator);
  for (int i = 0; i < 50; ++i) particles[i].life = 100 + i;
  const Particle last_fifty = particles[50];
  GuardedCanvas g;
  draw_hills(hills, particles, generator, 40, 0, 16, clear_columns, g.canvas());  // last phase 40, no bubbles
  Particle before[50];
  std::memcpy(before, particles, sizeof before);
  // Same phase: y and life unchanged, x wobbles by 3 - r mod 8, one draw per record.
  int32_t state = generator.state;
  draw_hills(hills, particles, generator, 40, 0, 20, clear_columns, g.canvas());
  const int32_t after = generator.state;
  generator.state = state;
  for (int i = 0; i < 50; ++i) {
    const int r = next_random(generator);
    EXPECT_EQ(particles[i].x, before[i].x + 3 - r % 8) << i;
    EXPECT_EQ(particles[i].y, before[i].y) << i;
    EXPECT_EQ(particles[i].life, before[i].life) << i;
  }
  EXPECT_EQ(generator.state, after);
  EXPECT_EQ(std::memcmp(&particles[50], &last_fifty, sizeof last_fifty), 0);

  // One phase unit later nothing moves either: 25 / 50 and 10 / 50 truncate to 0.
  std::memcpy(before, particles, sizeof before);
  draw_hills(hills, particles, generator, 41, 0, 20, clear_columns, g.canvas());
  EXPECT_EQ(particles[7].y, before[7].y);
  EXPECT_EQ(particles[7].life, before[7].life);

  // Ten units later: y -5, life -2; a record at life 1 dies and comes back at the
  // bottom edge at an even x, drawing after its wobble: four for the spawn, one for x.
  particles[3].life = 1;
  std::memcpy(before, particles, sizeof before);
  state = generator.state;
  draw_hills(hills, particles, generator, 51, 0, 20, clear_columns, g.canvas());
  const Particle reborn_got = particles[3];
  const int32_t after_respawn = generator.state;
  generator.state = state;
  for (int i = 0; i < 3; ++i) next_random(generator);
  next_random(generator);
  Particle reborn = spawn_particle(generator);
  reborn.y = 384;
  reborn.x = 2 * next_random(generator);
  for (int i = 4; i < 50; ++i) next_random(generator);
  EXPECT_EQ(generator.state, after_respawn);
  EXPECT_EQ(std::memcmp(&reborn_got, &reborn, sizeof reborn), 0);
  EXPECT_EQ(particles[0].y, before[0].y - 5);
  EXPECT_EQ(particles[0].life, before[0].life - 2);
}

TEST(Hills, BubblesAreDrawnBeforeTheRipple) {
  hills = HillsState{};
  park_bubbles();
  particles[0] = Particle{60, 100, 240, 241, 235, 149};
  GuardedCanvas g;
  draw_hills(hills, particles, generator, 0, 0, 16, clear_columns, g.canvas());
  draw_hills(hills, particles, generator, 0, 0, 18, clear_columns, g.canvas());
  // The disc (half-width trunc(12 * 1.3) = 15, columns 45..74 of row 100) is drawn
  // before the ripple, which moves rows 96..103 of phase 0 by trunc(sin(12) * 2) = -1,
  // one pixel to the right.
  const int shift = static_cast<int>(std::sin(12.0) * 2);
  ASSERT_EQ(shift, -1);
  const Pixel colour = 0xFFF0F1EBu;
  EXPECT_EQ(g.at(46, 100), colour);
  EXPECT_EQ(g.at(75, 100), colour);
  EXPECT_NE(g.at(45, 100), colour);
  EXPECT_NE(g.at(76, 100), colour);
}

TEST(Hills, ExtremePhasesAndRowsStayOnTheCanvas) {
  hills = HillsState{};
  park_bubbles();
  GuardedCanvas g;
  for (int t : {INT32_MIN, -1, 0, INT32_MAX})
    for (int row : {INT32_MIN, -5, 0, 31, 32, 64, 200, INT32_MAX})
      for (int order : {16, 17, 18, 20})
        draw_hills(hills, particles, generator, t, row, order, clear_columns, g.canvas());
  EXPECT_TRUE(g.guards_intact());
  hills = HillsState{};
}

// The rehearsal of a start moves the hills' bubbles and strips without drawing them:
// everything but the pixels must come out the same.
TEST(Hills, WithoutACanvasEverythingButThePixelsMovesOn) {
  Random seeded;
  Particle drawn_pool[PARTICLE_COUNT], unseen_pool[PARTICLE_COUNT];
  for (Particle& p : drawn_pool) p = spawn_particle(seeded);
  std::memcpy(unseen_pool, drawn_pool, sizeof unseen_pool);
  Random drawn_generator = seeded, unseen_generator = seeded;
  HillsState drawn_state, unseen_state;
  const std::vector<Pixel> columns(94 * 480, 0xFF102030u);
  GuardedCanvas g;
  for (int frame = 0; frame < 1500; ++frame) {
    // 100 ms a frame: lives run out and bubbles are spawned again.
    const int phase = (60000 + frame * 100) >> 2, order = 17 + frame / 400;
    draw_hills(drawn_state, drawn_pool, drawn_generator, phase, frame % 64, order, {columns.data(), 94, 480},
               g.canvas());
    draw_hills(unseen_state, unseen_pool, unseen_generator, phase, frame % 64, order, {columns.data(), 94, 480},
               nullptr);
  }
  EXPECT_EQ(std::memcmp(unseen_pool, drawn_pool, sizeof drawn_pool), 0);
  EXPECT_EQ(unseen_generator.state, drawn_generator.state);
  EXPECT_EQ(unseen_state.last_phase, drawn_state.last_phase);
  for (int n = 0; n < HILL_STRIPS; ++n) EXPECT_EQ(unseen_state.strip_position[n], drawn_state.strip_position[n]) << n;
  EXPECT_TRUE(g.guards_intact());
}

}  // namespace

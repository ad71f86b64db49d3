#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "effects/effects.h"
#include "raster/raster.h"

namespace {

constexpr Pixel GROUND = 0x00405060u;

// What the effect keeps, the pool it moves and the generator it draws from.
BubblesState bubbles;
Particle particles[PARTICLE_COUNT];
Random generator;

struct Frame {
  std::vector<Pixel> pixels = std::vector<Pixel>(SCREEN_PIXELS, GROUND);
  Pixel* canvas() { return pixels.data(); }
  Pixel at(int x, int y) const { return pixels[y * SCREEN_WIDTH + x]; }
  bool operator==(const Frame& o) const { return pixels == o.pixels; }
};

std::vector<Pixel> portrait_picture() {
  // Opaque with a keyed window in its upper left, where the bubbles show through.
  std::vector<Pixel> p(361 * 300);
  for (int y = 0; y < 300; ++y)
    for (int x = 0; x < 361; ++x)
      p[y * 361 + x] = (x < 120 && y < 100) ? COLOR_KEY : pack_pixel(x & 0xFF, y & 0xFF, 77, 255);
  return p;
}

// The pool as start-up leaves it.
void fresh_pool() {
  generator.state = 0x12345;
  for (auto& p : particles) p = spawn_particle(generator);
}

// Every particle parked off the canvas with a long life, so that only the ones a test
// places are seen.
void park_pool() {
  for (auto& p : particles) p = Particle{-1000, -1000, 1, 2, 3, 1000};
}

TEST(BubblesPortrait, SlideBeforeOrderFourteen) {
  const auto portrait = portrait_picture();
  struct Case {
    int elapsed, row, x;
  };
  // x = -351 - trunc(elapsed * -0.1677..), unclamped; from row 32 on it stands at 0.
  // 2092 ms gives 350.99.. and so x = -1: truncation, not rounding.
  const Case cases[] = {{0, 0, -351},    {1000, 5, -184}, {2092, 31, -1}, {2093, 31, 0},
                        {3000, 31, 152}, {0, 32, 0},      {5000, 63, 0}};
  for (const Case& c : cases) {
    Frame got, want;
    const int32_t state = generator.state;
    draw_bubbles_portrait(bubbles, particles, generator, c.elapsed, c.row, 13, got.canvas(),
                          {portrait.data(), 361, 300});
    blit(portrait.data(), 361, 300, want.canvas(), c.x, 84, 1);
    EXPECT_TRUE(got == want) << "elapsed " << c.elapsed << " row " << c.row;
    EXPECT_EQ(bubbles.last_elapsed, c.elapsed);
    EXPECT_EQ(generator.state, state);
  }
  // At elapsed 0 only the picture's last 9 columns show, at canvas columns 1..9.
  Frame f;
  draw_bubbles_portrait(bubbles, particles, generator, 0, 0, 13, f.canvas(), {portrait.data(), 361, 300});
  EXPECT_NE(f.at(9, 200), GROUND);
  EXPECT_EQ(f.at(10, 200), GROUND);
  EXPECT_EQ(f.at(0, 200), GROUND);
  EXPECT_EQ(f.at(5, 83), GROUND);
}

TEST(BubblesPortrait, BubbleRadiusFromLife) {
  EXPECT_EQ(bubble_radius(0), 5);
  EXPECT_EQ(bubble_radius(149), 12);
  EXPECT_EQ(bubble_radius(75), 9);  // (0.5 + 0.8) * 7 = 9.1
}

TEST(BubblesPortrait, EqualTimesOnlyWobble) {
  const auto portrait = portrait_picture();
  fresh_pool();
  bubbles.last_elapsed = 5000;
  Particle before[PARTICLE_COUNT];
  std::memcpy(before, particles, sizeof before);
  const int32_t state = generator.state;
  Frame f;
  draw_bubbles_portrait(bubbles, particles, generator, 5000, 3, 14, f.canvas(), {portrait.data(), 361, 300});
  // One draw per bubble, in pool order, for x += 2 - r mod 4; nothing respawns.
  generator.state = state;
  for (int i = 0; i < PARTICLE_COUNT; ++i) {
    const int r = next_random(generator);
    EXPECT_EQ(particles[i].x, before[i].x + 2 - r % 4) << i;
    EXPECT_EQ(particles[i].y, before[i].y) << i;
    EXPECT_EQ(particles[i].life, before[i].life) << i;
    EXPECT_EQ(particles[i].red, before[i].red) << i;
  }
  const int32_t after_wobble = generator.state;
  draw_bubbles_portrait(bubbles, particles, generator, 5007, 3, 14, f.canvas(),
                        {portrait.data(), 361, 300});  // D = -28 / 30 = 0
  EXPECT_EQ(particles[0].y, before[0].y);
  EXPECT_EQ(particles[0].life, before[0].life);
  const int32_t after_second = generator.state;
  generator.state = after_wobble;
  for (int i = 0; i < PARTICLE_COUNT; ++i) next_random(generator);
  EXPECT_EQ(generator.state, after_second);
}

TEST(BubblesPortrait, RiseRespawnAndDrawing) {
  const auto portrait = portrait_picture();
  park_pool();
  // A bubble in the open top right, and one about to die in the keyed window.
  particles[0] = Particle{450, 40, 202, 209, 187, 149};
  particles[1] = Particle{60, 120, 223, 227, 214, 3};
  bubbles.last_elapsed = 1000;
  const int32_t state = generator.state;
  Frame f;
  draw_bubbles_portrait(bubbles, particles, generator, 1030, 0, 14, f.canvas(),
                        {portrait.data(), 361, 300});  // D = -120 / 30 = -4
  const int32_t state_after = generator.state;
  // Drawn at the old places: radius 12 and stretch 13, half-width trunc(12 * 1.3) = 15.
  const Pixel colour0 = 0xFFCAD1BBu;
  EXPECT_EQ(f.at(435, 40), colour0);
  EXPECT_EQ(f.at(464, 40), colour0);
  EXPECT_EQ(f.at(434, 40), GROUND);
  EXPECT_EQ(f.at(465, 40), GROUND);
  EXPECT_EQ(f.at(450, 29), colour0);
  EXPECT_EQ(f.at(450, 28), GROUND);
  // Radius 5 for life 3: trunc(5 * 1.3) = 6 either side, seen through the key.
  EXPECT_EQ(f.at(54, 120), 0xFFDFE3D6u);
  EXPECT_EQ(f.at(65, 120), 0xFFDFE3D6u);
  EXPECT_EQ(f.at(53, 120), GROUND);
  // The portrait covers bubbles where it is opaque.
  EXPECT_NE(f.at(200, 200), GROUND);

  // Replay the generator: wobble of record 0, wobble of record 1 and its respawn (four
  // draws), then the wobbles of the rest.
  generator.state = state;
  const int r0 = next_random(generator);
  next_random(generator);
  const Particle reborn = spawn_particle(generator);
  EXPECT_EQ(particles[0].x, 450 + 2 - r0 % 4);
  EXPECT_EQ(particles[0].y, 36);
  EXPECT_EQ(particles[0].life, 145);
  EXPECT_EQ(particles[1].x, reborn.x);
  EXPECT_EQ(particles[1].y, reborn.y);
  EXPECT_EQ(particles[1].life, reborn.life);
  EXPECT_EQ(particles[1].red, reborn.red);
  for (int i = 2; i < PARTICLE_COUNT; ++i) next_random(generator);
  EXPECT_EQ(generator.state, state_after) << "100 wobbles and one spawn";
  // The new record shows on the next call (under a see-through portrait here).
  const std::vector<Pixel> clear(361 * 300, COLOR_KEY);
  Frame g;
  draw_bubbles_portrait(bubbles, particles, generator, 1030, 0, 14, g.canvas(), {clear.data(), 361, 300});
  EXPECT_EQ(g.at(reborn.x, reborn.y), pack_pixel(reborn.red, reborn.green, reborn.blue, 255));

  // Time going backwards (a new start): D is positive, bubbles sink and gain life.
  park_pool();
  particles[0] = Particle{450, 40, 202, 209, 187, 10};
  bubbles.last_elapsed = 300;
  draw_bubbles_portrait(bubbles, particles, generator, 0, 0, 14, g.canvas(),
                        {portrait.data(), 361, 300});  // D = 1200 / 30 = 40
  EXPECT_EQ(particles[0].y, 80);
  EXPECT_EQ(particles[0].life, 50);
  EXPECT_EQ(bubbles.last_elapsed, 0);
}

TEST(BubblesPortrait, FirstBubbleFrameMovesByTimeSinceTheSlide) {
  const auto portrait = portrait_picture();
  park_pool();
  particles[0] = Particle{450, 200, 1, 2, 3, 140};
  Frame f;
  draw_bubbles_portrait(bubbles, particles, generator, 2400, 40, 13, f.canvas(), {portrait.data(), 361, 300});
  EXPECT_EQ(particles[0].y, 200);  // no bubbles before order 14
  draw_bubbles_portrait(bubbles, particles, generator, 2460, 0, 14, f.canvas(),
                        {portrait.data(), 361, 300});  // D = -240 / 30 = -8
  EXPECT_EQ(particles[0].y, 192);
  EXPECT_EQ(particles[0].life, 132);
}

TEST(BubblesPortrait, ExtremeValuesStayDefined) {
  const auto portrait = portrait_picture();
  park_pool();
  particles[0] = Particle{INT32_MAX, INT32_MIN, 1, 2, 3, 5};
  bubbles.last_elapsed = INT32_MIN;
  Frame f;
  draw_bubbles_portrait(bubbles, particles, generator, INT32_MAX, 0, 14, f.canvas(), {portrait.data(), 361, 300});
  draw_bubbles_portrait(bubbles, particles, generator, INT32_MIN, 0, 13, f.canvas(), {portrait.data(), 361, 300});
  draw_bubbles_portrait(bubbles, particles, generator, INT32_MAX, 0, 13, f.canvas(), {portrait.data(), 361, 300});
  EXPECT_EQ(bubbles.last_elapsed, INT32_MAX);
  bubbles.last_elapsed = 0;
}

// The rehearsal of a start moves the bubbles without drawing them: everything but the
// pixels must come out the same.
TEST(BubblesPortrait, WithoutACanvasEverythingButThePixelsMovesOn) {
  const auto portrait = portrait_picture();
  fresh_pool();
  BubblesState drawn_state, unseen_state;
  Particle drawn_pool[PARTICLE_COUNT], unseen_pool[PARTICLE_COUNT];
  std::memcpy(drawn_pool, particles, sizeof drawn_pool);
  std::memcpy(unseen_pool, particles, sizeof unseen_pool);
  Random drawn_generator = generator, unseen_generator = generator;
  Frame f;
  // Slides, then bubbles rising long enough for some to die and be spawned again.
  for (int frame = 0; frame < 600; ++frame) {
    const int elapsed = frame * 17, order = frame < 100 ? 13 : 14;
    draw_bubbles_portrait(drawn_state, drawn_pool, drawn_generator, elapsed, frame % 64, order, f.canvas(),
                          {portrait.data(), 361, 300});
    draw_bubbles_portrait(unseen_state, unseen_pool, unseen_generator, elapsed, frame % 64, order, nullptr,
                          {portrait.data(), 361, 300});
  }
  EXPECT_EQ(std::memcmp(unseen_pool, drawn_pool, sizeof drawn_pool), 0);
  EXPECT_EQ(unseen_generator.state, drawn_generator.state);
  EXPECT_EQ(unseen_state.last_elapsed, drawn_state.last_elapsed);
}

}  // namespace

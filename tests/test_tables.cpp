#include <gtest/gtest.h>

#include <cmath>

#include "raster/raster.h"

TEST(Tables, FollowTheRuleWith314159NotPi) {
  for (int i = 0; i < 360; ++i) {
    EXPECT_EQ(sin_table[i], static_cast<int32_t>(std::sin(i * 3.14159 / 180) * 4096)) << i;
    EXPECT_EQ(cos_table[i], static_cast<int32_t>(std::cos(i * 3.14159 / 180) * 4096)) << i;
  }
  EXPECT_EQ(sin_table[90], 4095);
  EXPECT_EQ(sin_table[270], -4095);
  EXPECT_EQ(cos_table[0], 4096);
  EXPECT_EQ(cos_table[180], -4095);
  EXPECT_EQ(sin_table[1], 71);
  EXPECT_EQ(sin_table[30], 2047);
  EXPECT_EQ(sin_table[45], 2896);
  EXPECT_EQ(cos_table[45], 2896);
  EXPECT_EQ(sin_table[180], 0);
  EXPECT_EQ(sin_table[181], -71);
  EXPECT_EQ(cos_table[60], 2048);
  EXPECT_EQ(cos_table[120], -2047);
  EXPECT_EQ(cos_table[90], 0);
  EXPECT_EQ(cos_table[270], 0);
  // The entries where the constant differs from pi hold the constant's values.
  int differ = 0;
  for (int i = 0; i < 360; ++i) differ += sin_table[i] != static_cast<int32_t>(std::sin(i * M_PI / 180) * 4096);
  EXPECT_EQ(differ, 9);
  // One contiguous run, sine first.
  EXPECT_EQ(&sin_table[359] + 1, &cos_table[0]);
}

TEST(Tables, Palette) {
  EXPECT_EQ(palette[0][0], 93);
  EXPECT_EQ(palette[0][2], 116);
  EXPECT_EQ(palette[1][1], 209);
  EXPECT_EQ(palette[3][2], 235);
}

class RandomTest : public ::testing::Test {
 protected:
  Random generator;  // at its seed
};

TEST_F(RandomTest, FirstDrawsAndStateAfterThem) {
  const int expected[8] = {150, 203, 229, 114, 57, 28, 14, 7};
  for (int v : expected) EXPECT_EQ(next_random(generator), v);
  EXPECT_EQ(generator.state, 0x16800123);
}

TEST_F(RandomTest, StaysInRangeAndBit31NeverSet) {
  for (int i = 0; i < 200000; ++i) {
    const int v = next_random(generator);
    ASSERT_GE(v, 0);
    ASSERT_LE(v, 255);
    ASSERT_GE(generator.state, 0);
  }
}

TEST_F(RandomTest, SkippingIsDrawingWithoutLooking) {
  // Counts around the 28 steps a skip takes at once, and a whole canvas of noise.
  for (const int64_t count : {int64_t{-3}, int64_t{0}, int64_t{1}, int64_t{27}, int64_t{28}, int64_t{29}, int64_t{56},
                              int64_t{100}, int64_t{SCREEN_PIXELS}}) {
    Random drawn = generator, skipped = generator;
    for (int64_t i = 0; i < count; ++i) next_random(drawn);
    skip_random(skipped, count);
    EXPECT_EQ(skipped.state, drawn.state) << count;
    next_random(generator);  // each count from another state
  }
}

TEST_F(RandomTest, FirstParticleAndRangesOfAPool) {
  const Particle first = spawn_particle(generator);
  EXPECT_EQ(first.x, 319);
  EXPECT_EQ(first.y, 278);
  EXPECT_EQ(first.red, 93);
  EXPECT_EQ(first.green, 87);
  EXPECT_EQ(first.blue, 116);
  EXPECT_EQ(first.life, 114);
  bool seen[3] = {};
  for (int i = 0; i < 1000; ++i) {
    const Particle p = spawn_particle(generator);
    ASSERT_GE(p.x, 287);
    ASSERT_LE(p.x, 343);
    ASSERT_GE(p.y, 274);
    ASSERT_LE(p.y, 278);
    ASSERT_GE(p.life, 0);
    ASSERT_LE(p.life, 149);
    int colour = -1;
    for (int c = 0; c < 3; ++c)
      if (p.red == palette[c][0] && p.green == palette[c][1] && p.blue == palette[c][2]) colour = c;
    ASSERT_NE(colour, -1) << "colour not from palette entries 0 to 2";
    seen[colour] = true;
  }
  EXPECT_TRUE(seen[0] && seen[1] && seen[2]);
}

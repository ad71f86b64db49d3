// Whole-buffer operations: exact words, what lies past the buffer, and the
// generator draws they take.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "raster/raster.h"

namespace {
// A generator at its seed.
const int32_t fresh_state = Random{}.state;
Random generator;

constexpr Pixel GUARD = 0x5A5A5A5Au;

std::vector<Pixel> random_pixels(size_t count, uint32_t seed) {
  std::mt19937 mt(seed);
  std::vector<Pixel> pixels(count);
  for (Pixel& p : pixels) p = mt();
  return pixels;
}

Pixel channel_word(int a, int r, int g, int b) {
  return (static_cast<Pixel>(a) << 24) | (static_cast<Pixel>(r) << 16) | (static_cast<Pixel>(g) << 8) |
         static_cast<Pixel>(b);
}
}  // namespace

TEST(FillPixels, WholeCanvasAndNothingBeyond) {
  std::vector<Pixel> buffer(SCREEN_PIXELS + 1, GUARD);
  fill_pixels(buffer.data(), SCREEN_PIXELS, 255, 0, 0, 0);
  for (int i = 0; i < SCREEN_PIXELS; ++i) ASSERT_EQ(buffer[i], COLOR_KEY) << i;
  EXPECT_EQ(buffer[SCREEN_PIXELS], GUARD);

  fill_pixels(buffer.data(), SCREEN_PIXELS, palette[0][0] + 50, palette[0][1] + 50, palette[0][2] + 50, 0);
  EXPECT_EQ(buffer[0], 0x008F89A6u);
  EXPECT_EQ(buffer[SCREEN_PIXELS - 1], 0x008F89A6u);
  EXPECT_EQ(buffer[SCREEN_PIXELS], GUARD);

  fill_pixels(buffer.data(), 3, 1, 2, 3, 0xFF);
  EXPECT_EQ(buffer[2], 0xFF010203u);
  EXPECT_EQ(buffer[3], 0x008F89A6u);
}

TEST(FillPixels, CountOfZeroOrLessWritesNothing) {
  std::vector<Pixel> buffer(8, GUARD);
  fill_pixels(buffer.data(), 0, 1, 2, 3, 4);
  fill_pixels(buffer.data(), -5, 1, 2, 3, 4);
  fill_pixels(nullptr, 10, 1, 2, 3, 4);
  for (Pixel p : buffer) EXPECT_EQ(p, GUARD);
}

TEST(CopyPixels, CopiesTheRunExactly) {
  const std::vector<Pixel> source = random_pixels(SCREEN_PIXELS, 1);
  std::vector<Pixel> destination(SCREEN_PIXELS + 1, GUARD);
  copy_pixels(source.data(), destination.data(), SCREEN_WIDTH, SCREEN_HEIGHT);
  EXPECT_TRUE(std::equal(source.begin(), source.end(), destination.begin()));
  EXPECT_EQ(destination[SCREEN_PIXELS], GUARD);

  std::vector<Pixel> small(7, GUARD);
  copy_pixels(source.data(), small.data(), 3, 2);
  EXPECT_TRUE(std::equal(source.begin(), source.begin() + 6, small.begin()));
  EXPECT_EQ(small[6], GUARD);
  copy_pixels(source.data(), small.data(), 0, 384);
  copy_pixels(source.data(), small.data(), 512, -1);
  EXPECT_EQ(small[6], GUARD);
}

TEST(InvertCanvas, FlipsColourKeepsTopByte) {
  std::vector<Pixel> buffer = random_pixels(SCREEN_PIXELS + 1, 2);
  buffer[0] = 0xFF000000u;
  buffer[1] = 0x005D5774u;
  buffer[SCREEN_PIXELS] = GUARD;
  const std::vector<Pixel> before = buffer;

  invert_canvas(buffer.data(), SCREEN_WIDTH, SCREEN_HEIGHT);
  EXPECT_EQ(buffer[0], 0xFFFFFFFFu);
  EXPECT_EQ(buffer[1], 0x00A2A88Bu);
  for (int i = 0; i < SCREEN_PIXELS; ++i) {
    ASSERT_EQ(buffer[i] >> 24, before[i] >> 24) << i;
    ASSERT_EQ((buffer[i] ^ before[i]) & 0xFFFFFFu, 0xFFFFFFu) << i;
  }
  EXPECT_EQ(buffer[SCREEN_PIXELS], GUARD);

  invert_canvas(buffer.data(), SCREEN_WIDTH, SCREEN_HEIGHT);
  EXPECT_EQ(buffer, before);
}

TEST(FadeCanvas, TellingValues) {
  const Pixel white = channel_word(0x37, 255, 255, 255);
  auto faded = [&](int percent) {
    Pixel p = white;
    fade_canvas(&p, 1, 1, percent);
    return p;
  };
  EXPECT_EQ(faded(100), white);
  EXPECT_EQ(faded(50), channel_word(0x37, 127, 127, 255));
  // The step between 50 and 49: red and green drop from half to nothing.
  EXPECT_EQ(faded(49), channel_word(0x37, 0, 0, 252));
  EXPECT_EQ(faded(1), channel_word(0x37, 0, 0, 130));
}

TEST(FadeCanvas, EveryChannelValueAtEveryPercent) {
  // Each channel value with itself in all three channels and its own alpha.
  std::vector<Pixel> row(256);
  for (int percent = 1; percent <= 100; ++percent) {
    for (int c = 0; c < 256; ++c) row[c] = channel_word(255 - c, c, 255 - c, c ^ 0x55);
    fade_canvas(row.data(), 16, 16, percent);
    for (int c = 0; c < 256; ++c) {
      const int r = c, g = 255 - c, b = c ^ 0x55;
      Pixel expected;
      if (percent >= 50)
        expected = channel_word(255 - c, static_cast<int>(r * percent * 0.01), static_cast<int>(g * percent * 0.01), b);
      else
        expected = channel_word(255 - c, 0, 0, static_cast<int>(b * (percent + 50) * 0.01));
      ASSERT_EQ(row[c], expected) << "percent " << percent << " value " << c;
    }
  }
}

TEST(FadeCanvas, PercentOutsideItsRangeIsHeldToIt) {
  const Pixel p = channel_word(9, 200, 100, 50);
  Pixel high = p, low = p, zero = p;
  fade_canvas(&high, 1, 1, 250);
  fade_canvas(&low, 1, 1, -40);
  fade_canvas(&zero, 1, 1, 0);
  EXPECT_EQ(high, p);
  EXPECT_EQ(low, zero);
  EXPECT_EQ(zero, channel_word(9, 0, 0, 25));
}

TEST(FillNoise, FreshGeneratorOneDrawPerPixelInOrder) {
  generator.state = fresh_state;
  std::vector<Pixel> buffer(SCREEN_PIXELS + 1, GUARD);
  fill_noise(buffer.data(), 0x1C3, generator);  // only the low byte of alpha counts
  EXPECT_EQ(buffer[0], 0xC3969696u);            // 150
  EXPECT_EQ(buffer[1], 0xC3CBCBCBu);            // 203
  EXPECT_EQ(buffer[2], 0xC3E5E5E5u);            // 229
  EXPECT_EQ(buffer[3], 0xC3727272u);            // 114
  EXPECT_EQ(buffer[SCREEN_PIXELS], GUARD);
  const int32_t after_fill = generator.state;

  generator.state = fresh_state;
  for (int i = 0; i < SCREEN_PIXELS; ++i) {
    const Pixel v = static_cast<Pixel>(next_random(generator));
    ASSERT_EQ(buffer[i], 0xC3000000u | v * 0x010101u) << i;
  }
  EXPECT_EQ(generator.state, after_fill);
}

namespace {
// Row r with shift s: new[j] = old[j + s], the ends wrapping within the row.
std::vector<Pixel> expected_wave(const std::vector<Pixel>& old, int width, int height, int time, int amplitude) {
  std::vector<Pixel> result = old;
  for (int r = 1; r < height - 1; ++r) {
    const int k = ((time >> 4) + (r >> 3)) % 360;
    const int s = static_cast<int>(std::sin(static_cast<double>(k)) * amplitude);
    for (int j = 0; j < width; ++j) {
      const int from = ((j + s) % width + width) % width;
      result[r * width + j] = old[r * width + from];
    }
  }
  return result;
}
}  // namespace

TEST(WaveRows, TimeZeroBands) {
  const std::vector<Pixel> before = random_pixels(SCREEN_PIXELS, 3);
  std::vector<Pixel> canvas = before;
  wave_rows(0, canvas.data(), SCREEN_WIDTH, SCREEN_HEIGHT, 2);
  auto at = [&](const std::vector<Pixel>& c, int x, int y) { return c[y * SCREEN_WIDTH + x]; };

  for (int y : {0, 1, 7, SCREEN_HEIGHT - 1})
    for (int x = 0; x < SCREEN_WIDTH; ++x) ASSERT_EQ(at(canvas, x, y), at(before, x, y)) << x << "," << y;
  // k = 1: one pixel to the left, the first pixel coming back in at the right end.
  for (int y = 8; y <= 15; ++y) {
    for (int x = 0; x < SCREEN_WIDTH - 1; ++x) ASSERT_EQ(at(canvas, x, y), at(before, x + 1, y)) << x << "," << y;
    EXPECT_EQ(at(canvas, SCREEN_WIDTH - 1, y), at(before, 0, y));
  }
  // k = 4: sin 4 < 0, one pixel to the right.
  for (int y = 32; y <= 39; ++y) {
    for (int x = 1; x < SCREEN_WIDTH; ++x) ASSERT_EQ(at(canvas, x, y), at(before, x - 1, y)) << x << "," << y;
    EXPECT_EQ(at(canvas, 0, y), at(before, SCREEN_WIDTH - 1, y));
  }
}

TEST(WaveRows, MatchesTheShiftRuleAcrossTimesAndAmplitudes) {
  const std::vector<Pixel> before = random_pixels(SCREEN_PIXELS, 4);
  for (int time : {17, 1000, 5759, 5760, 123456}) {
    for (int amplitude : {2, 7, -3}) {
      std::vector<Pixel> canvas = before;
      wave_rows(time, canvas.data(), SCREEN_WIDTH, SCREEN_HEIGHT, amplitude);
      ASSERT_EQ(canvas, expected_wave(before, SCREEN_WIDTH, SCREEN_HEIGHT, time, amplitude))
          << "time " << time << " amplitude " << amplitude;
    }
  }
  // A shift wider than the row wraps all the way round.
  const std::vector<Pixel> narrow = random_pixels(5 * 20, 5);
  std::vector<Pixel> canvas = narrow;
  wave_rows(0, canvas.data(), 5, 20, 1000);
  EXPECT_EQ(canvas, expected_wave(narrow, 5, 20, 0, 1000));
}

TEST(WaveRows, TooSmallToHaveInnerRows) {
  std::vector<Pixel> canvas = random_pixels(2 * 512, 6);
  const std::vector<Pixel> before = canvas;
  wave_rows(16 * 100, canvas.data(), 512, 2, 2);
  wave_rows(16 * 100, canvas.data(), 0, 2, 2);
  wave_rows(16 * 100, nullptr, 512, 384, 2);
  EXPECT_EQ(canvas, before);
}

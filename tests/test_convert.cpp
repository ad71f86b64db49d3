// The converters against SDL's own conversion, and the formats that select them.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "display/display.h"

namespace {
struct Case {
  const char* name;
  PixelConverter converter;
  Uint32 sdl_format;  // the SDL format whose bytes the converter writes
  int bytes;
};

const Case cases[] = {
    {"xrgb32", convert_xrgb32, SDL_PIXELFORMAT_ARGB8888, 4}, {"xbgr32", convert_xbgr32, SDL_PIXELFORMAT_XBGR8888, 4},
    {"rgb24", convert_rgb24, SDL_PIXELFORMAT_BGR24, 3},      {"bgr24", convert_bgr24, SDL_PIXELFORMAT_RGB24, 3},
    {"rgb565", convert_rgb565, SDL_PIXELFORMAT_RGB565, 2},   {"bgr565", convert_bgr565, SDL_PIXELFORMAT_BGR565, 2},
    {"rgb555", convert_rgb555, SDL_PIXELFORMAT_XRGB1555, 2}, {"bgr555", convert_bgr555, SDL_PIXELFORMAT_XBGR1555, 2},
};

constexpr uint8_t GUARD = 0xCD;
constexpr int MARGIN = 64;

std::vector<uint8_t> sdl_convert(const Case& c, const Pixel* source, int count) {
  std::vector<uint8_t> out(static_cast<size_t>(count) * c.bytes);
  const int result = SDL_ConvertPixels(count, 1, SDL_PIXELFORMAT_ARGB8888, source, count * 4, c.sdl_format,
                                       out.data(), count * c.bytes);
  EXPECT_EQ(result, 0) << SDL_GetError();
  return out;
}

// Runs the converter into a buffer with guards on both sides, the row starting at an
// odd address; fails the test if any guard byte changed.
std::vector<uint8_t> ours(const Case& c, const Pixel* source, int count) {
  const size_t size = static_cast<size_t>(count) * c.bytes;
  std::vector<uint8_t> buffer(size + 2 * MARGIN + 1, GUARD);
  uint8_t* row = buffer.data() + MARGIN + 1;
  c.converter(source, row, count);
  for (int i = 0; i < MARGIN + 1; ++i) EXPECT_EQ(buffer[i], GUARD) << c.name << " wrote before the row";
  for (size_t i = MARGIN + 1 + size; i < buffer.size(); ++i)
    EXPECT_EQ(buffer[i], GUARD) << c.name << " wrote past the row, count " << count;
  return std::vector<uint8_t>(row, row + size);
}

uint32_t word_of(const std::vector<uint8_t>& bytes, int index, int size) {
  uint32_t v = 0;
  for (int b = size - 1; b >= 0; --b) v = (v << 8) | bytes[index * size + b];
  return v;
}
}  // namespace

TEST(Converters, AgreeWithSdlOnRandomRowsOfEveryLength) {
  std::mt19937 generator(20110101);
  // One pixel in: the source rows start off the 16-byte grid.
  std::vector<Pixel> storage(601 + 1);
  // Both the SSSE3 and the SSE2 block paths, where the processor has them.
  for (const bool ssse3 : {true, false}) {
    converters_use_ssse3(ssse3);
    for (const Case& c : cases) {
      for (int count = 0; count <= 600; ++count) {
        Pixel* source = storage.data() + 1;
        for (int i = 0; i < count; ++i) source[i] = generator();
        const std::vector<uint8_t> got = ours(c, source, count);
        if (count == 0) {
          EXPECT_TRUE(got.empty());
          continue;
        }
        const std::vector<uint8_t> want = sdl_convert(c, source, count);
        ASSERT_EQ(got, want) << c.name << " count " << count << (ssse3 ? " ssse3" : "");
      }
    }
  }
  converters_use_ssse3(true);
}

TEST(Converters, TellingValues) {
  const Pixel samples[3] = {COLOR_KEY, 0xFFFFFFFFu, 0x00070307u};
  struct Expect {
    const char* name;
    uint32_t key, white, dark;
  };
  const Expect expects[] = {
      {"xrgb32", 0x00FF0000u, 0xFFFFFFFFu, 0x00070307u}, {"xbgr32", 0x000000FFu, 0x00FFFFFFu, 0x00070307u},
      {"rgb24", 0xFF0000u, 0xFFFFFFu, 0x070307u},        {"bgr24", 0x0000FFu, 0xFFFFFFu, 0x070307u},
      {"rgb565", 0xF800u, 0xFFFFu, 0},                   {"bgr565", 0x001Fu, 0xFFFFu, 0},
      {"rgb555", 0x7C00u, 0x7FFFu, 0},                   {"bgr555", 0x001Fu, 0x7FFFu, 0},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    // Through a row long enough for the block paths, and one pixel alone for the tail.
    std::vector<Pixel> row(40);
    for (size_t j = 0; j < row.size(); ++j) row[j] = samples[j % 3];
    const std::vector<uint8_t> block = ours(c, row.data(), static_cast<int>(row.size()));
    for (int j = 0; j < 39; ++j) {
      const uint32_t want = j % 3 == 0 ? expects[i].key : j % 3 == 1 ? expects[i].white : expects[i].dark;
      ASSERT_EQ(word_of(block, j, c.bytes), want) << c.name << " pixel " << j;
    }
    for (int s = 0; s < 3; ++s) {
      const std::vector<uint8_t> one = ours(c, &samples[s], 1);
      const uint32_t want = s == 0 ? expects[i].key : s == 1 ? expects[i].white : expects[i].dark;
      EXPECT_EQ(word_of(one, 0, c.bytes), want) << c.name << " alone, sample " << s;
    }
  }
  // The 24-bit layouts in memory order.
  const std::vector<uint8_t> bgr = ours(cases[2], &samples[0], 1);
  EXPECT_EQ(bgr, (std::vector<uint8_t>{0x00, 0x00, 0xFF}));
}

TEST(Converters, ReversedLayoutsExchangeRedAndBlue) {
  std::mt19937 generator(7);
  std::vector<Pixel> row(77);
  for (Pixel& p : row) p = generator();
  std::vector<Pixel> swapped(row.size());
  for (size_t i = 0; i < row.size(); ++i)
    swapped[i] = (row[i] & 0xFF00FF00u) | ((row[i] >> 16) & 0xFFu) | ((row[i] & 0xFFu) << 16);
  const int n = static_cast<int>(row.size());
  const std::pair<int, int> pairs[] = {{2, 3}, {4, 5}, {6, 7}};
  for (const auto& [straight, reversed] : pairs)
    EXPECT_EQ(ours(cases[straight], row.data(), n), ours(cases[reversed], swapped.data(), n)) << cases[straight].name;
  // 32-bit reversed: the colour of its own pixel, bits 24-31 clear.
  const std::vector<uint8_t> out = ours(cases[1], row.data(), n);
  for (int i = 0; i < n; ++i) EXPECT_EQ(word_of(out, i, 4), swapped[i] & 0x00FFFFFFu);
}

TEST(SelectConverter, ExactMasksOnly) {
  for (const Case& c : cases) {
    int bpp = 0;
    Uint32 r = 0, g = 0, b = 0, a = 0;
    ASSERT_TRUE(SDL_PixelFormatEnumToMasks(c.sdl_format, &bpp, &r, &g, &b, &a));
    EXPECT_EQ(select_converter(c.bytes * 8, r, g, b), c.converter) << c.name;
  }
  EXPECT_EQ(select_converter(32, 0xFF0000, 0xFF00, 0xFF), convert_xrgb32);
  EXPECT_EQ(select_converter(16, 0x7C00, 0x3E0, 0x1F), convert_rgb555);
  EXPECT_EQ(select_converter(16, 0x1F, 0x3E0, 0x7C00), convert_bgr555);
  EXPECT_NE(select_converter(16, 0x7C00, 0x3E0, 0x1F), select_converter(16, 0x1F, 0x3E0, 0x7C00));

  EXPECT_EQ(select_converter(15, 0x7C00, 0x3E0, 0x1F), nullptr);   // SDL's own count for 5-5-5
  EXPECT_EQ(select_converter(24, 0xF800, 0x7E0, 0x1F), nullptr);   // masks of another depth
  EXPECT_EQ(select_converter(32, 0xFF000000, 0xFF0000, 0xFF00), nullptr);
  EXPECT_EQ(select_converter(16, 0xF000, 0xF00, 0xF0), nullptr);
  EXPECT_EQ(select_converter(16, 0xF800, 0x3E0, 0x1F), nullptr);   // one mask off
  EXPECT_EQ(select_converter(8, 0xE0, 0x1C, 0x3), nullptr);
  EXPECT_EQ(select_converter(0, 0, 0, 0), nullptr);
}

#include <gtest/gtest.h>

#include "image/image.h"
#include "test_gif_util.h"

using namespace giftest;

namespace {

constexpr uint8_t SENTINEL = 0xA5;

struct Decoded {
  int opened = 0;  // what open returned
  int complete = 0;
  Bytes bgr;  // starts as SENTINEL everywhere
};

Decoded decode_ours(const Bytes& gif) {
  Decoded result;
  GifDecoder decoder;
  result.opened = decoder.open(gif.data(), static_cast<int>(gif.size()));
  if (result.opened == 0) return result;
  result.bgr.assign(static_cast<size_t>(result.opened), SENTINEL);
  result.complete = decoder.decode(result.bgr.data());
  return result;
}

Picture picture_of(int width, int height, int entries, Pattern pattern, uint32_t seed) {
  Picture picture;
  picture.width = width;
  picture.height = height;
  picture.global = make_palette(entries, seed);
  picture.indices = make_indices(width, height, entries, pattern, seed + 1);
  return picture;
}

// Ours against the picture written and against giflib reading the same file.
void expect_decodes(const Bytes& gif, const Picture& picture) {
  ASSERT_FALSE(gif.empty());
  Decoded ours = decode_ours(gif);
  ASSERT_EQ(ours.opened, picture.width * picture.height * 3);
  EXPECT_EQ(ours.complete, 1);
  EXPECT_TRUE(ours.bgr == expected_bgr(picture));
  Reference reference = giflib_decode(gif);
  ASSERT_TRUE(reference.ok);
  EXPECT_TRUE(ours.bgr == reference.bgr);
}

std::vector<Rgb> four_colours() { return {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}, {100, 110, 120}}; }

}  // namespace

TEST(GifDecoder, TwoByTwoStreamWidensAfterCodeTwo) {
  Picture picture;
  picture.width = 2;
  picture.height = 2;
  picture.global = four_colours();
  // clear, 0, 1, 2 in 3 bits; entry 7 makes the width 4, so 3 and the end code take 4 bits.
  Bytes gif = write_codes(picture, 2, {{4, 3}, {0, 3}, {1, 3}, {2, 3}, {3, 4}, {5, 4}});
  Decoded ours = decode_ours(gif);
  ASSERT_EQ(ours.opened, 12);
  EXPECT_EQ(ours.complete, 1);
  EXPECT_EQ(ours.bgr, (Bytes{30, 20, 10, 60, 50, 40, 90, 80, 70, 120, 110, 100}));

  // Two more pixels from entry 6 ("0 1") in 4 bits: only right if 3 took 4 bits too.
  picture.height = 3;
  gif = write_codes(picture, 2, {{4, 3}, {0, 3}, {1, 3}, {2, 3}, {3, 4}, {6, 4}, {5, 4}});
  picture.indices = {0, 1, 2, 3, 0, 1};
  expect_decodes(gif, picture);
}

TEST(GifDecoder, CodeNotYetDefinedRepeatsThePreviousString) {
  Picture picture;
  picture.width = 7;
  picture.height = 1;
  picture.global = four_colours();
  // 2; 6 = "2 2"; 7 = "2 2 2"; entry 7 makes the width 4 for 1 and the end code.
  Bytes gif = write_codes(picture, 2, {{4, 3}, {2, 3}, {6, 3}, {7, 3}, {1, 4}, {5, 4}});
  picture.indices = {2, 2, 2, 2, 2, 2, 1};
  expect_decodes(gif, picture);
}

TEST(GifDecoder, FullTableKeepsTwelveBitCodesWithoutAClear) {
  // Noise in 256 colours fills the table quickly; the encoder then never clears.
  Picture picture = picture_of(211, 157, 256, Pattern::noise, 7);
  EncodeOptions options;
  options.clear_when_full = false;
  expect_decodes(write_own(picture, options), picture);
  // A long single-colour run after the table filled: entries it would need are never added.
  for (size_t i = picture.indices.size() / 2; i < picture.indices.size(); ++i) picture.indices[i] = 3;
  expect_decodes(write_own(picture, options), picture);
}

TEST(GifDecoder, MinimumCodeSizesZeroAndOne) {
  Picture picture;
  picture.width = 2;
  picture.height = 1;
  picture.global = {{10, 20, 30}, {40, 50, 60}};
  // Size 1: clear 2, end 3, codes of 2 bits.
  Decoded two = decode_ours(write_codes(picture, 1, {{2, 2}, {0, 2}, {1, 2}, {3, 2}}));
  EXPECT_EQ(two.complete, 1);
  EXPECT_EQ(two.bgr, (Bytes{30, 20, 10, 60, 50, 40}));

  // The first free code is already 2^2, so no entry ever brings the next code onto a
  // power of two: the codes stay 2 bits wide however many entries are added, also
  // across a clear. (giflib widens to 3 bits after the first code instead.)
  std::vector<Code> codes = {{2, 2}};
  for (int k = 0; k < 300; ++k) codes.push_back({static_cast<uint32_t>(k % 3 == 0), 2});
  codes.push_back({2, 2});
  for (uint32_t index : {1, 1, 0, 1}) codes.push_back({index, 2});
  codes.push_back({3, 2});
  picture.width = 304;
  picture.indices.clear();
  for (int k = 0; k < 300; ++k) picture.indices.push_back(k % 3 == 0);
  picture.indices.insert(picture.indices.end(), {1, 1, 0, 1});
  Decoded wide = decode_ours(write_codes(picture, 1, codes));
  EXPECT_EQ(wide.complete, 1);
  EXPECT_EQ(wide.bgr, expected_bgr(picture));

  // Size 0: clear 1, end 2, codes of 1 bit; only index 0 can be coded, and the end
  // code does not fit, so the picture ends where the data does.
  picture.width = 3;
  picture.height = 2;
  picture.indices.assign(6, 0);
  Decoded zero = decode_ours(write_codes(picture, 0, {{1, 1}, {0, 1}, {0, 1}, {1, 1}, {0, 1}, {0, 1}, {0, 1}, {0, 1}}));
  EXPECT_EQ(zero.complete, 1);
  EXPECT_EQ(zero.bgr, expected_bgr(picture));
  Decoded short_zero =
      decode_ours(write_codes(picture, 0, {{1, 1}, {0, 1}, {0, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}}));
  EXPECT_EQ(short_zero.complete, 0);
  EXPECT_EQ(short_zero.bgr, (Bytes{30, 20, 10, 30, 20, 10, SENTINEL, SENTINEL, SENTINEL, SENTINEL, SENTINEL, SENTINEL,
                                   SENTINEL, SENTINEL, SENTINEL, SENTINEL, SENTINEL, SENTINEL}));
}

TEST(GifDecoder, InterlacedRowsComeInPassOrder) {
  const int orders[2][8] = {{0, 4, 2, 6, 1, 3, 5, 7}, {0, 1}};
  const int heights[2] = {8, 2};
  for (int c = 0; c < 2; ++c) {
    Picture picture;
    picture.width = 3;
    picture.height = heights[c];
    picture.interlaced = true;
    picture.global = make_palette(8, 3);
    // Data row k is all colour k: it must land on row orders[c][k].
    Bytes stream;
    for (int k = 0; k < heights[c]; ++k) stream.insert(stream.end(), 3, static_cast<uint8_t>(k));
    picture.indices.resize(stream.size());
    for (int k = 0; k < heights[c]; ++k)
      for (int x = 0; x < 3; ++x) picture.indices[static_cast<size_t>(orders[c][k] * 3 + x)] = static_cast<uint8_t>(k);
    expect_decodes(write_stream(picture, stream), picture);
  }
}

TEST(GifDecoder, CodesJoinAcrossSubBlocks) {
  // The 2 × 2 stream one byte per sub-block: every code after the first two straddles blocks.
  Picture small;
  small.width = 2;
  small.height = 2;
  small.global = four_colours();
  small.indices = {0, 1, 2, 3};
  expect_decodes(write_codes(small, 2, {{4, 3}, {0, 3}, {1, 3}, {2, 3}, {3, 4}, {5, 4}}, {1}), small);

  // 9- to 12-bit codes through one-byte sub-blocks: no block holds a whole code.
  Picture picture = picture_of(97, 61, 256, Pattern::shapes, 11);
  for (std::vector<int> sizes : {std::vector<int>{1}, {2}, {3, 1}, {254, 1}, {17}}) {
    EncodeOptions options;
    options.block_sizes = sizes;
    expect_decodes(write_own(picture, options), picture);
  }
  // A last sub-block of one byte after full ones, as some encoders end an image.
  for (int extra = 0; extra < 3; ++extra) {
    Picture shifted = picture_of(97, 61 + extra, 256, Pattern::noise, 5);
    Bytes gif = write_own(shifted);
    const size_t tables = 13 + 768 + 10;  // header, global table, descriptor
    size_t data_length = 0;
    for (size_t at = tables + 1; gif[at] != 0; at += gif[at] + 1u) data_length += gif[at];
    std::vector<int> sizes(static_cast<size_t>((data_length - 1) / 255), 255);
    if ((data_length - 1) % 255) sizes.push_back(static_cast<int>((data_length - 1) % 255));
    sizes.push_back(1);
    expect_decodes(rechunk(gif, sizes), shifted);
  }
}

TEST(GifDecoder, ExtensionsArePassedOverWhole) {
  Picture picture = picture_of(13, 11, 16, Pattern::bands, 21);
  const std::vector<std::vector<Extension>> sets = {
      {graphic_control()},
      {graphic_control(0x2C)},  // a "," inside the first extension
      {comment("one, two, three"), graphic_control()},
      {application(), comment(",,,"), comment(std::string(300, ',')), graphic_control(1)},
      {{0x01, {Bytes(13, 0x2C), Bytes{0x2C, 0x21, 0x3B}}}},  // plain text, made of separators
  };
  for (const auto& extensions : sets) {
    picture.extensions = extensions;
    expect_decodes(write_own(picture), picture);
    expect_decodes(write_giflib(picture), picture);
  }
}

TEST(GifDecoder, TablesAndColours) {
  // A local table wins over the global one.
  Picture picture = picture_of(9, 7, 8, Pattern::bands, 31);
  picture.local = make_palette(8, 99);
  expect_decodes(write_own(picture), picture);
  expect_decodes(write_giflib(picture), picture);

  // No table at all: black. Indices beyond a 2-entry table with 2-bit codes: black.
  Picture bare;
  bare.width = 4;
  bare.height = 1;
  bare.indices = {0, 1, 2, 3};
  Decoded none = decode_ours(write_stream(bare, bare.indices));
  EXPECT_EQ(none.complete, 1);
  EXPECT_EQ(none.bgr, Bytes(12, 0));
  bare.global = {{255, 0, 0}, {1, 2, 3}};
  Decoded beyond = decode_ours(write_stream(bare, bare.indices));
  EXPECT_EQ(beyond.bgr, (Bytes{0, 0, 255, 3, 2, 1, 0, 0, 0, 0, 0, 0}));
}

TEST(GifDecoder, OpenFindsNoImage) {
  Picture picture = picture_of(5, 4, 4, Pattern::bands, 1);
  Bytes good = write_own(picture);
  GifDecoder decoder;
  EXPECT_EQ(decoder.open(good.data(), static_cast<int>(good.size())), 60);
  EXPECT_EQ(decoder.width(), 5);
  EXPECT_EQ(decoder.height(), 4);

  Bytes not_gif = good;
  not_gif[0] = 'J';
  EXPECT_EQ(decoder.open(not_gif.data(), static_cast<int>(not_gif.size())), 0);
  EXPECT_EQ(decoder.decode(nullptr), 0);
  Bytes trailer_first = write_head(picture);
  trailer_first.resize(13 + 12);  // header and table
  trailer_first.push_back(0x3B);
  trailer_first.insert(trailer_first.end(), good.begin() + 25, good.end());
  EXPECT_EQ(decoder.open(trailer_first.data(), static_cast<int>(trailer_first.size())), 0);
  Bytes only_extension = trailer_first;
  only_extension.resize(13 + 12);
  only_extension.insert(only_extension.end(), {0x21, 0xFE, 3, 'a', ',', 'b', 0});
  EXPECT_EQ(decoder.open(only_extension.data(), static_cast<int>(only_extension.size())), 0);
  EXPECT_EQ(decoder.open(nullptr, 0), 0);

  // Sizes: zero in either direction, and past the limit, are no image.
  for (auto [w, h] : {std::pair{0, 5}, {5, 0}, {4097, 4096}, {65535, 65535}}) {
    Bytes sized = good;
    const size_t descriptor = 13 + 12 + 1;
    sized[descriptor + 4] = static_cast<uint8_t>(w);
    sized[descriptor + 5] = static_cast<uint8_t>(w >> 8);
    sized[descriptor + 6] = static_cast<uint8_t>(h);
    sized[descriptor + 7] = static_cast<uint8_t>(h >> 8);
    EXPECT_EQ(decoder.open(sized.data(), static_cast<int>(sized.size())), 0) << w << "x" << h;
  }
  // The largest size still opens; its short data then decodes to an incomplete picture.
  Bytes largest = good;
  largest[13 + 12 + 1 + 5] = 0x10;
  largest[13 + 12 + 1 + 7] = 0x10;
  largest[13 + 12 + 1 + 4] = 0;
  largest[13 + 12 + 1 + 6] = 0;
  EXPECT_EQ(decoder.open(largest.data(), static_cast<int>(largest.size())), 4096 * 4096 * 3);
  EXPECT_EQ(decoder.decode(nullptr), 0);
  ASSERT_NE(decoder.output(), nullptr);
  const Bytes first_row = expected_bgr(picture);
  EXPECT_TRUE(std::equal(first_row.begin(), first_row.end(), decoder.output()));  // 20 pixels of row 0
}

TEST(GifDecoder, InvalidCodeStreamsStopWithoutWriting) {
  Picture picture;
  picture.width = 4;
  picture.height = 1;
  picture.global = four_colours();
  // A code at or above the next code with no previous code: right after a clear.
  Decoded first = decode_ours(write_codes(picture, 2, {{4, 3}, {6, 3}, {0, 3}, {5, 3}}));
  EXPECT_EQ(first.complete, 0);
  EXPECT_EQ(first.bgr, Bytes(12, SENTINEL));
  Decoded later = decode_ours(write_codes(picture, 2, {{4, 3}, {1, 3}, {4, 3}, {7, 3}, {0, 3}}));
  EXPECT_EQ(later.complete, 0);
  EXPECT_EQ(later.bgr, (Bytes{60, 50, 40, SENTINEL, SENTINEL, SENTINEL, SENTINEL, SENTINEL, SENTINEL, SENTINEL,
                              SENTINEL, SENTINEL}));
  // Minimum code sizes above 8: no index fits a byte.
  for (int m : {9, 12, 255}) {
    Decoded bad = decode_ours(write_codes(picture, m, {{0, 8}, {0, 8}, {0, 8}}));
    EXPECT_EQ(bad.complete, 0) << m;
    EXPECT_EQ(bad.bgr, Bytes(12, SENTINEL)) << m;
  }
  // Too few pixels: what is produced is written, the rest keeps the buffer.
  Decoded short_data = decode_ours(write_codes(picture, 2, {{4, 3}, {3, 3}, {2, 3}, {5, 3}}));
  EXPECT_EQ(short_data.complete, 0);
  EXPECT_EQ(short_data.bgr,
            (Bytes{120, 110, 100, 90, 80, 70, SENTINEL, SENTINEL, SENTINEL, SENTINEL, SENTINEL, SENTINEL}));
  // Too many: only width × height are written.
  Decoded long_data = decode_ours(write_codes(picture, 2, {{4, 3}, {3, 3}, {2, 3}, {1, 3}, {0, 4}, {3, 4}, {5, 4}}));
  EXPECT_EQ(long_data.complete, 1);
  EXPECT_EQ(long_data.bgr, (Bytes{120, 110, 100, 90, 80, 70, 60, 50, 40, 30, 20, 10}));
}

TEST(GifDecoder, DataEndingAnywhereYieldsOnlyRightPixels) {
  Picture picture = picture_of(37, 29, 64, Pattern::shapes, 41);
  picture.interlaced = true;
  picture.extensions = {comment("cut, anywhere"), graphic_control()};
  EncodeOptions options;
  options.block_sizes = {40, 1, 7};
  const Bytes gif = write_own(picture, options);
  const Bytes whole = expected_bgr(picture);
  int complete_at = -1;
  for (size_t length = 0; length <= gif.size(); ++length) {
    Bytes cut(gif.begin(), gif.begin() + static_cast<long>(length));
    cut.shrink_to_fit();  // so the sanitizers see the end of the data
    Decoded ours = decode_ours(cut);
    if (ours.opened == 0) continue;
    for (size_t i = 0; i < ours.bgr.size(); ++i)
      if (ours.bgr[i] != SENTINEL && ours.bgr[i] != whole[i]) FAIL() << "wrong byte " << i << " at length " << length;
    if (ours.complete && complete_at < 0) complete_at = static_cast<int>(length);
    if (ours.complete) {
      EXPECT_EQ(ours.bgr, whole);
    }
  }
  // Completion needs the last code's bits, not the end code or the trailer.
  EXPECT_GT(complete_at, static_cast<int>(gif.size()) - 6);
  EXPECT_LT(complete_at, static_cast<int>(gif.size()));
}

TEST(GifDecoder, CorruptBytesNeverEscapeTheBuffers) {
  Picture picture = picture_of(31, 23, 32, Pattern::shapes, 51);
  picture.extensions = {graphic_control()};
  const Bytes gif = write_own(picture);
  uint32_t state = 12345;
  int opened = 0;
  for (int round = 0; round < 4000; ++round) {
    Bytes bad = gif;
    const int flips = 1 + static_cast<int>(step_random(state) % 4);
    for (int f = 0; f < flips; ++f) bad[step_random(state) % bad.size()] = static_cast<uint8_t>(step_random(state));
    GifDecoder decoder;
    const int size = decoder.open(bad.data(), static_cast<int>(bad.size()));
    if (size == 0 || size > 3 * 1024 * 1024) continue;
    ++opened;
    Bytes out(static_cast<size_t>(size));
    const int complete = decoder.decode(out.data());
    EXPECT_TRUE(complete == 0 || complete == 1);
    std::vector<Pixel> pixels(static_cast<size_t>(size / 3));
    EXPECT_EQ(decoder.decode_pixels(pixels.data()), complete);
  }
  EXPECT_GT(opened, 1000);
}

TEST(GifDecoder, DecodeIntoItsOwnBufferAndAsKeyedPixels) {
  Picture picture = picture_of(6, 5, 4, Pattern::noise, 61);
  picture.global = {{255, 0, 0}, {255, 0, 1}, {254, 0, 0}, {0, 0, 0}};
  picture.indices[0] = 0;
  picture.indices[1] = 1;
  picture.indices[2] = 2;
  picture.indices[3] = 3;
  const Bytes gif = write_own(picture);
  GifDecoder decoder;
  ASSERT_EQ(decoder.open(gif.data(), static_cast<int>(gif.size())), 90);
  ASSERT_EQ(decoder.decode(nullptr), 1);
  const Bytes expected = expected_bgr(picture);
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), decoder.output()));
  std::vector<Pixel> pixels(30);
  ASSERT_EQ(decoder.decode_pixels(pixels.data()), 1);
  EXPECT_EQ(pixels[0], COLOR_KEY);
  EXPECT_EQ(pixels[1], 0xFFFF0001u);
  EXPECT_EQ(pixels[2], 0xFFFE0000u);
  EXPECT_EQ(pixels[3], 0xFF000000u);
}

// Our decoder against giflib, pixel for pixel, on files written by giflib, by our
// own encoder, by ImageMagick and by gifsicle. The small files are kept in
// gif-corpus/ in the build folder as the fuzzer's seeds.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "image/image.h"
#include "test_gif_util.h"

using namespace giftest;
namespace fs = std::filesystem;

namespace {

constexpr size_t SEED_LIMIT = 16384;

class Corpus {
 public:
  explicit Corpus(const std::string& name) : name_(name) {
    fs::create_directories(seed_dir());
    char pattern[] = "/tmp/orvel-gif-XXXXXX";
    work_ = mkdtemp(pattern) ? pattern : "";
  }
  ~Corpus() {
    if (!work_.empty()) fs::remove_all(work_);
  }
  static std::string seed_dir() { return std::string(ORVEL_BUILD_DIR) + "/gif-corpus"; }
  std::string work(const std::string& file) const { return work_ + "/" + file; }

  // The comparison itself; files whose first image is not the whole screen are left out.
  void compare(const Bytes& gif, const std::string& label) {
    SCOPED_TRACE(label);
    ASSERT_FALSE(gif.empty());
    const Reference reference = giflib_decode(gif);
    ASSERT_TRUE(reference.ok);
    if (!reference.covers_screen) {
      ++skipped;
      return;
    }
    GifDecoder decoder;
    const int size = decoder.open(gif.data(), static_cast<int>(gif.size()));
    ASSERT_EQ(size, reference.width * reference.height * 3);
    Bytes ours(static_cast<size_t>(size), 0xA5);
    EXPECT_EQ(decoder.decode(ours.data()), 1);
    if (ours != reference.bgr) {
      size_t i = 0;
      while (ours[i] == reference.bgr[i]) ++i;
      ADD_FAILURE() << "first difference at pixel " << i / 3 << " of " << reference.width << "x"
                    << reference.height;
    }
    // The keyed pixels follow the same colours.
    std::vector<Pixel> pixels(static_cast<size_t>(size / 3));
    ASSERT_EQ(decoder.decode_pixels(pixels.data()), 1);
    for (size_t p = 0; p < pixels.size(); ++p) {
      const int b = reference.bgr[p * 3], g = reference.bgr[p * 3 + 1], r = reference.bgr[p * 3 + 2];
      const Pixel expected = (r == 255 && g == 0 && b == 0) ? COLOR_KEY : pack_pixel(r, g, b, 255);
      if (pixels[p] != expected) {
        ADD_FAILURE() << "keyed pixel " << p;
        break;
      }
    }
    ++compared;
    if (gif.size() <= SEED_LIMIT)
      write_file(seed_dir() + "/" + name_ + "_" + std::to_string(compared) + ".gif", gif);
  }

  // A file made by a command line; the test fails if the tool is missing or fails.
  void compare_tool(const std::string& command, const std::string& output, const std::string& label) {
    const std::string line = command + " 2>/dev/null";
    ASSERT_EQ(std::system(line.c_str()), 0) << line;
    compare(read_file(output), label);
  }

  int compared = 0;
  int skipped = 0;

 private:
  std::string name_;
  std::string work_;
};

Picture make_picture(int width, int height, int bits, Pattern pattern, uint32_t seed) {
  Picture picture;
  picture.width = width;
  picture.height = height;
  picture.global = make_palette(1 << bits, seed);
  picture.indices = make_indices(width, height, 1 << bits, pattern, seed + 1);
  return picture;
}

std::vector<Extension> extension_set(int which) {
  switch (which % 5) {
    case 1: return {graphic_control()};
    case 2: return {comment("made, for, testing")};
    case 3: return {application(), comment("a, b"), graphic_control(2)};
    case 4: return {comment(","), comment(std::string(600, ',')), graphic_control()};
    default: return {};
  }
}

// A PPM of the picture's colours, as ImageMagick's input.
bool write_ppm(const std::string& path, const Picture& picture) {
  const Bytes bgr = expected_bgr(picture);
  std::string head = "P6\n" + std::to_string(picture.width) + " " + std::to_string(picture.height) + "\n255\n";
  Bytes out(head.begin(), head.end());
  for (size_t i = 0; i < bgr.size(); i += 3) out.insert(out.end(), {bgr[i + 2], bgr[i + 1], bgr[i]});
  return write_file(path, out);
}

const std::pair<int, int> SMALL_SIZES[] = {{1, 1},   {2, 2},    {3, 5},   {7, 1},    {1, 9},   {17, 13},
                                           {64, 48}, {255, 3},  {100, 100}, {333, 77}, {45, 59}, {94, 480}};
const std::pair<int, int> LARGE_SIZES[] = {{512, 384}, {400, 384}, {512, 28}, {361, 300}, {511, 383}};

}  // namespace

TEST(GifCompare, WrittenByGiflib) {
  Corpus corpus("giflib");
  int counter = 0;
  for (int bits = 1; bits <= 8; ++bits)
    for (auto [w, h] : SMALL_SIZES) {
      const int i = counter++;
      Picture picture = make_picture(w, h, bits, static_cast<Pattern>(i % 3), static_cast<uint32_t>(i * 7 + 1));
      picture.interlaced = (i / 3) % 2 == 1;
      const int tables = (i / 2) % 3;  // global only, local only, both
      if (tables >= 1) picture.local = make_palette(1 << bits, static_cast<uint32_t>(i + 500));
      if (tables == 1) picture.global.clear();
      picture.extensions = extension_set(i);
      const Bytes gif = write_giflib(picture);
      // giflib itself reads back what was written: the reference is sound.
      ASSERT_TRUE(giflib_decode(gif).bgr == expected_bgr(picture)) << w << "x" << h;
      corpus.compare(gif, "giflib " + std::to_string(w) + "x" + std::to_string(h) + " bits " + std::to_string(bits));
    }
  for (auto [w, h] : LARGE_SIZES)
    for (int variant = 0; variant < 6; ++variant) {
      Picture picture = make_picture(w, h, variant < 3 ? 8 : 4, static_cast<Pattern>(variant % 3),
                                     static_cast<uint32_t>(w + variant));
      picture.interlaced = variant % 2 == 0;
      picture.extensions = extension_set(variant);
      corpus.compare(write_giflib(picture), "giflib " + std::to_string(w) + "x" + std::to_string(h) + " variant " +
                                                std::to_string(variant));
    }
  // Every small interlaced height: passes that start past the last row.
  for (int h = 1; h <= 24; ++h) {
    Picture picture = make_picture(3, h, 4, Pattern::noise, static_cast<uint32_t>(h));
    picture.interlaced = true;
    corpus.compare(write_giflib(picture), "interlaced 3x" + std::to_string(h));
  }
  EXPECT_EQ(corpus.compared, 8 * 12 + 5 * 6 + 24);
}

TEST(GifCompare, ShortSubBlocksAndOtherEncoders) {
  Corpus corpus("own");
  const std::vector<std::vector<int>> block_patterns = {{1}, {2}, {3, 1}, {254, 1}, {100}, {255}};
  int counter = 0;
  for (int bits = 1; bits <= 8; ++bits)
    for (auto [w, h] : {std::pair{1, 1}, {5, 3}, {64, 64}, {301, 17}}) {
      const int i = counter++;
      Picture picture = make_picture(w, h, bits, static_cast<Pattern>(i % 3), static_cast<uint32_t>(i + 900));
      picture.interlaced = i % 2 == 1;
      picture.extensions = extension_set(i);
      EncodeOptions options;
      options.block_sizes = block_patterns[static_cast<size_t>(i) % block_patterns.size()];
      options.clear_when_full = i % 3 != 0;
      options.clear_every = i % 4 == 1 ? 37 : 0;
      corpus.compare(write_own(picture, options), "own " + std::to_string(w) + "x" + std::to_string(h) + " bits " +
                                                       std::to_string(bits));
      // giflib's own files, cut into short sub-blocks.
      corpus.compare(rechunk(write_giflib(picture), {3, 1, 2}), "rechunked giflib " + std::to_string(i));
    }
  // A whole screen of noise that fills the table and is never cleared.
  Picture noise = make_picture(512, 384, 8, Pattern::noise, 77);
  EncodeOptions deferred;
  deferred.clear_when_full = false;
  corpus.compare(write_own(noise, deferred), "deferred clear 512x384");
  EXPECT_EQ(corpus.compared, 8 * 4 * 2 + 1);
}

TEST(GifCompare, WrittenByImageMagick) {
  Corpus corpus("imagemagick");
  const char* variants[] = {"", "-interlace GIF", "-colors 2", "+dither -colors 5", "-monochrome",
                            "-set comment 'x, y'"};
  int counter = 0;
  for (auto [w, h] : {std::pair{1, 1}, {3, 2}, {61, 47}, {512, 384}, {200, 384}}) {
    Picture picture = make_picture(w, h, 6, Pattern::shapes, static_cast<uint32_t>(w * h));
    const std::string ppm = corpus.work("in.ppm");
    ASSERT_TRUE(write_ppm(ppm, picture));
    for (const char* options : variants) {
      const std::string out = corpus.work("im" + std::to_string(counter++) + ".gif");
      corpus.compare_tool("convert '" + ppm + "' " + options + " '" + out + "'", out,
                          std::string("convert ") + options + " " + std::to_string(w) + "x" + std::to_string(h));
    }
  }
  EXPECT_EQ(corpus.compared, 5 * 6);
}

TEST(GifCompare, WrittenByGifsicle) {
  Corpus corpus("gifsicle");
  const char* variants[] = {"-i",
                            "--no-interlace",
                            "-O3",
                            "--colors 7",
                            "--colors 2",
                            "--careful",
                            "--lossy=40",
                            "-c 'one, two' --app-extension NETSCAPE2.0 abc",
                            "--extension 254 'a, comment'",
                            "-S 2000x2000"};  // a larger screen: left out of the comparison
  int counter = 0;
  for (auto [w, h] : {std::pair{1, 1}, {33, 21}, {512, 384}, {334, 100}}) {
    Picture picture = make_picture(w, h, 8, static_cast<Pattern>(counter % 3), static_cast<uint32_t>(w + h));
    picture.interlaced = counter % 2 == 1;
    const std::string in = corpus.work("in.gif");
    ASSERT_TRUE(write_file(in, write_giflib(picture)));
    for (const char* options : variants) {
      const std::string out = corpus.work("gs" + std::to_string(counter++) + ".gif");
      corpus.compare_tool("gifsicle " + std::string(options) + " '" + in + "' -o '" + out + "'", out,
                          std::string("gifsicle ") + options + " " + std::to_string(w) + "x" + std::to_string(h));
    }
  }
  EXPECT_EQ(corpus.compared, 4 * 9);
  EXPECT_EQ(corpus.skipped, 4);
}

// The production's pictures as the build writes them: every file there, of its
// size, readable by giflib, pure red exactly where the scenes expect a see-through
// ground, the lettering inside the part of each picture that the scenes show.
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "gifwriter.h"
#include "support/run_program.h"
#if __has_include("image/image.h")
#include "image/image.h"
#define HAVE_OUR_DECODER 1
#endif

namespace {

const std::string GFX = std::string(ORVEL_BUILD_DIR) + "/gfx/";

struct Decoded {
  bool ok = false;
  int width = 0, height = 0;
  std::vector<uint32_t> rgb;  // 0xRRGGBB per pixel
  bool interlaced = false, local_table = false, control_block = false, comment = false;
};

Decoded decode_with_giflib(const std::string& path) {
  Decoded d;
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
  if (gif == nullptr) return d;
  if (DGifSlurp(gif) == GIF_OK && gif->ImageCount >= 1) {
    const SavedImage& image = gif->SavedImages[0];
    const ColorMapObject* map = image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
    d.width = image.ImageDesc.Width;
    d.height = image.ImageDesc.Height;
    d.interlaced = image.ImageDesc.Interlace;
    d.local_table = image.ImageDesc.ColorMap != nullptr;
    for (int i = 0; i < image.ExtensionBlockCount; ++i) {
      d.control_block |= image.ExtensionBlocks[i].Function == GRAPHICS_EXT_FUNC_CODE;
      d.comment |= image.ExtensionBlocks[i].Function == COMMENT_EXT_FUNC_CODE;
    }
    if (map != nullptr) {
      d.ok = true;
      d.rgb.resize(static_cast<size_t>(d.width) * d.height);
      for (size_t i = 0; i < d.rgb.size(); ++i) {
        const int index = image.RasterBits[i];
        if (index >= map->ColorCount) {
          d.ok = false;
          break;
        }
        const GifColorType c = map->Colors[index];
        d.rgb[i] = (static_cast<uint32_t>(c.Red) << 16) | (static_cast<uint32_t>(c.Green) << 8) | c.Blue;
      }
    }
  }
  DGifCloseFile(gif, &error);
  return d;
}

constexpr uint32_t RED = 0xFF0000;

enum class Ground { opaque, keyed };

struct Expected {
  std::string file;
  int width, height;
  Ground ground;
};

std::vector<std::string> greeting_files() {
  std::vector<std::string> files;
  std::ifstream in(std::string(ORVEL_SOURCE_DIR) + "/assets/greetings.txt");
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::string name = "saludo_";
    for (char c : line) {
      if (c >= 'A' && c <= 'Z')
        name += static_cast<char>(c - 'A' + 'a');
      else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
        name += c;
    }
    files.push_back(name + ".gif");
  }
  return files;
}

std::vector<Expected> expected_pictures() {
  std::vector<Expected> all = {
      {"retrato.gif", 361, 300, Ground::keyed},       {"cap314142.gif", 314, 142, Ground::keyed},
      {"camiseta167091.gif", 167, 91, Ground::keyed}, {"bra045059.gif", 45, 59, Ground::keyed},
      {"bradr045059.gif", 45, 59, Ground::keyed},     {"pantalon163070.gif", 163, 70, Ground::keyed},
      {"columnas.gif", 94, 480, Ground::keyed},       {"flicker1.gif", 200, 384, Ground::keyed},
      {"flicker2.gif", 200, 384, Ground::keyed},      {"perchas.gif", 512, 384, Ground::opaque},
      {"ffinal.gif", 512, 384, Ground::opaque}};
  for (const std::string& f : greeting_files()) all.push_back({f, 400, 384, Ground::keyed});
  for (int n = 1; n <= 23; ++n) all.push_back({"text" + std::to_string(n) + ".gif", 512, 28, Ground::keyed});
  for (int n = 1; n <= 7; ++n) all.push_back({"creditos" + std::to_string(n) + ".gif", 334, 100, Ground::keyed});
  return all;
}

// The bounding box of everything that is not the key.
struct Box {
  int left = 1 << 20, top = 1 << 20, right = -1, bottom = -1;
};

Box drawn_box(const Decoded& d) {
  Box b;
  for (int y = 0; y < d.height; ++y)
    for (int x = 0; x < d.width; ++x)
      if (d.rgb[static_cast<size_t>(y) * d.width + x] != RED) {
        b.left = std::min(b.left, x), b.right = std::max(b.right, x);
        b.top = std::min(b.top, y), b.bottom = std::max(b.bottom, y);
      }
  return b;
}

}  // namespace

TEST(Pictures, AllSeventyEightExistWithTheirSizesAndGrounds) {
  const std::vector<Expected> all = expected_pictures();
  ASSERT_EQ(all.size(), 78u);
  ASSERT_EQ(greeting_files().size(), 37u);
  for (const Expected& e : all) {
    SCOPED_TRACE(e.file);
    const Decoded d = decode_with_giflib(GFX + e.file);
    ASSERT_TRUE(d.ok) << "giflib cannot read it";
    EXPECT_EQ(d.width, e.width);
    EXPECT_EQ(d.height, e.height);
    size_t keyed = 0, reddish = 0;
    for (uint32_t c : d.rgb) {
      if (c == RED) {
        ++keyed;
        continue;
      }
      // A soft edge mixed into the key would leave a red tinge around the picture.
      const int r = static_cast<int>(c >> 16), g = static_cast<int>((c >> 8) & 255), b = static_cast<int>(c & 255);
      if (r - std::max(g, b) > 60) ++reddish;
    }
    EXPECT_EQ(reddish, 0u) << "colours tinged with the key";
    if (e.ground == Ground::opaque) {
      EXPECT_EQ(keyed, 0u) << "an opaque picture has see-through pixels";
    } else {
      EXPECT_GT(keyed, d.rgb.size() / 20) << "no see-through ground";
      EXPECT_LT(keyed, d.rgb.size()) << "nothing drawn";
      // The ground reaches the corners: these pictures stand free over the scenes.
      EXPECT_EQ(d.rgb[0], RED);
      EXPECT_EQ(d.rgb.back(), RED);
    }
  }
}

TEST(Pictures, LetteringStaysWhereTheScenesShowIt) {
  // Logos swing about: only x 30..331, y 180..363 of each is in view all the time.
  for (const std::string& f : greeting_files()) {
    SCOPED_TRACE(f);
    const Box b = drawn_box(decode_with_giflib(GFX + f));
    EXPECT_GE(b.left, 30);
    EXPECT_LE(b.right, 331);
    EXPECT_GE(b.top, 180);
    EXPECT_LE(b.bottom, 363);
  }
  // Strip 13 stands 180 pixels right, 15 and 16 180 pixels left, 19 20 pixels right.
  struct Shown {
    int strip, first, last;
  } shown[] = {{13, 0, 331}, {15, 181, 511}, {16, 181, 511}, {19, 0, 491}};
  for (const Shown& s : shown) {
    SCOPED_TRACE(s.strip);
    const Box b = drawn_box(decode_with_giflib(GFX + "text" + std::to_string(s.strip) + ".gif"));
    EXPECT_GE(b.left, s.first);
    EXPECT_LE(b.right, s.last);
  }
  // The trousers sway as their first 64 rows only: the shoes must end above that.
  const Box trousers = drawn_box(decode_with_giflib(GFX + "pantalon163070.gif"));
  EXPECT_LT(trousers.bottom, 64);
}

TEST(Pictures, FigurePiecesMeetAsOneStandingFigure) {
  // Put together at their standing places, the pieces leave no gap between the
  // shirt and the trousers, nor between the hat and the shirt, down the centre line.
  struct Piece {
    const char* file;
    int x, y;
  } pieces[] = {{"pantalon163070.gif", 175, 301},
                {"bra045059.gif", 150, 242},
                {"bradr045059.gif", 318, 242},
                {"camiseta167091.gif", 173, 225},
                {"cap314142.gif", 100, 118}};
  std::vector<uint32_t> canvas(512 * 384, RED);
  for (const Piece& p : pieces) {
    const Decoded d = decode_with_giflib(GFX + p.file);
    ASSERT_TRUE(d.ok) << p.file;
    for (int y = 0; y < d.height; ++y)
      for (int x = 0; x < d.width; ++x) {
        const uint32_t c = d.rgb[static_cast<size_t>(y) * d.width + x];
        if (c != RED) canvas[static_cast<size_t>(y + p.y) * 512 + x + p.x] = c;
      }
  }
  auto extent = [&](int x, int& top, int& bottom) {
    top = bottom = -1;
    for (int y = 0; y < 384; ++y)
      if (canvas[static_cast<size_t>(y) * 512 + x] != RED) {
        if (top < 0) top = y;
        bottom = y;
      }
  };
  // Down the centre line from the crown to where the legs part.
  int top = 0, bottom = 0;
  extent(256, top, bottom);
  EXPECT_LT(top, 140);
  EXPECT_GT(bottom, 320);
  for (int y = top; y <= bottom; ++y) EXPECT_NE(canvas[static_cast<size_t>(y) * 512 + 256], RED) << "gap at row " << y;
  // Each leg from the shirt down to the shoes.
  for (int x : {222, 291}) {
    extent(x, top, bottom);
    EXPECT_GT(bottom, 355) << "leg at x " << x;
    for (int y = 240; y <= bottom; ++y) EXPECT_NE(canvas[static_cast<size_t>(y) * 512 + x], RED) << x << "," << y;
  }
  // Left and right arms are mirror images about the figure's centre line.
  const Decoded left = decode_with_giflib(GFX + "bra045059.gif");
  const Decoded right = decode_with_giflib(GFX + "bradr045059.gif");
  int differ = 0;
  for (int y = 0; y < 59; ++y)
    for (int x = 0; x < 45; ++x)
      differ += (left.rgb[static_cast<size_t>(y) * 45 + x] == RED) !=
                (right.rgb[static_cast<size_t>(y) * 45 + 44 - x] == RED);
  EXPECT_LT(differ, 30);
}

TEST(Pictures, FilesVaryAsGifsInTheWildDo) {
  int interlaced = 0, local = 0, control = 0, comment = 0, plain = 0;
  for (const Expected& e : expected_pictures()) {
    const Decoded d = decode_with_giflib(GFX + e.file);
    interlaced += d.interlaced;
    local += d.local_table;
    control += d.control_block;
    comment += d.comment;
    plain += !d.interlaced && !d.local_table && !d.control_block && !d.comment;
  }
  EXPECT_GT(interlaced, 0);
  EXPECT_GT(local, 0);
  EXPECT_GT(control, 0);
  EXPECT_GT(comment, 0);
  EXPECT_GT(plain, 0);
}

#ifdef HAVE_OUR_DECODER
TEST(Pictures, OurDecoderGivesGiflibsPixels) {
  std::vector<Pixel> buffer(512 * 480);
  for (const Expected& e : expected_pictures()) {
    SCOPED_TRACE(e.file);
    const Decoded d = decode_with_giflib(GFX + e.file);
    ASSERT_TRUE(d.ok);
    std::fill(buffer.begin(), buffer.end(), 0x12345678u);
    EXPECT_EQ(load_image((GFX + e.file).c_str(), buffer.data(), e.width, e.height), 0);
    size_t wrong = 0;
    for (size_t i = 0; i < d.rgb.size(); ++i) {
      const Pixel want = d.rgb[i] == RED ? COLOR_KEY : (0xFF000000u | d.rgb[i]);
      wrong += buffer[i] != want;
    }
    EXPECT_EQ(wrong, 0u);
    EXPECT_EQ(buffer[d.rgb.size()], 0x12345678u) << "written past the picture";
  }
}
#endif

TEST(GifWriter, WritesEveryShapeThatGiflibReadsBack) {
  const uint8_t colours[4 * 3] = {255, 0, 0, 10, 20, 30, 200, 210, 220, 90, 80, 70};
  struct Shape {
    int width, height;
    GifWriteOptions options;
  };
  GifWriteOptions interlaced;
  interlaced.interlaced = true;
  GifWriteOptions local;
  local.local_table = true;
  local.global_too = true;
  GifWriteOptions extras;
  extras.control_block = true;
  extras.transparent_index = 0;
  extras.comment = "a note";
  GifWriteOptions everything = extras;
  everything.interlaced = true;
  everything.local_table = true;
  const Shape shapes[] = {{3, 5, {}},    {7, 1, interlaced}, {5, 2, interlaced}, {4, 13, interlaced},
                          {9, 8, local}, {6, 6, extras},     {11, 7, everything}};
  const std::string path = std::string(ORVEL_BUILD_DIR) + "/gifwriter-test-" + std::to_string(getpid()) + ".gif";
  for (const Shape& s : shapes) {
    SCOPED_TRACE(std::to_string(s.width) + "x" + std::to_string(s.height));
    std::vector<uint8_t> indices(static_cast<size_t>(s.width) * s.height);
    for (size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<uint8_t>((i * 7 + i / s.width) % 4);
    ASSERT_EQ(write_gif(path.c_str(), s.width, s.height, colours, 4, indices.data(), s.options), 0);
    const Decoded d = decode_with_giflib(path);
    ASSERT_TRUE(d.ok);
    ASSERT_EQ(d.width, s.width);
    ASSERT_EQ(d.height, s.height);
    EXPECT_EQ(d.interlaced, s.options.interlaced);
    EXPECT_EQ(d.local_table, s.options.local_table);
    EXPECT_EQ(d.control_block, s.options.control_block);
    EXPECT_EQ(d.comment, s.options.comment != nullptr);
    for (size_t i = 0; i < indices.size(); ++i) {
      const uint8_t* c = colours + indices[i] * 3;
      ASSERT_EQ(d.rgb[i], (static_cast<uint32_t>(c[0]) << 16) | (c[1] << 8) | c[2]) << "pixel " << i;
    }
  }
  std::remove(path.c_str());
  // Bad arguments are refused without writing anything.
  const uint8_t out_of_range[2] = {0, 4};
  EXPECT_EQ(write_gif(path.c_str(), 2, 1, colours, 4, out_of_range, {}), 1);
  EXPECT_EQ(write_gif(path.c_str(), 0, 1, colours, 4, out_of_range, {}), 1);
  EXPECT_EQ(write_gif(path.c_str(), 1, 1, colours, 1, out_of_range, {}), 1);
  EXPECT_EQ(access(path.c_str(), F_OK), -1);
  EXPECT_EQ(write_gif("/nonexistent-folder/x.gif", 1, 1, colours, 4, out_of_range, {}), 1);
}

TEST(Pictures, TheMakerDrawsTheSameBytesEveryTime) {
  const std::string maker = std::string(ORVEL_BUILD_DIR) + "/tools/pictures/orvel_pictures";
  const std::string folder = std::string(ORVEL_BUILD_DIR) + "/pictures-again-" + std::to_string(getpid());
  const std::string command = "OMP_NUM_THREADS=1 '" + maker + "' '" + ORVEL_SOURCE_DIR + "/assets' '" + folder +
                              "/gfx' '" + folder + "/sheet.png' 2>&1";
  ASSERT_EQ(std::system(("mkdir -p '" + folder + "'").c_str()), 0);
  ASSERT_EQ(std::system(command.c_str()), 0);
  for (const Expected& e : expected_pictures()) {
    const std::string first = read_text(GFX + e.file), second = read_text(folder + "/gfx/" + e.file);
    EXPECT_FALSE(first.empty()) << e.file;
    EXPECT_TRUE(first == second) << e.file << " differs between two runs";
  }
  EXPECT_EQ(std::system(("rm -rf '" + folder + "'").c_str()), 0);
}

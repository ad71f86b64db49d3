#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "image/image.h"
#include "test_gif_util.h"

using namespace giftest;
namespace fs = std::filesystem;

namespace {

constexpr Pixel SENTINEL = 0x12345678u;

// Each test runs in a fresh empty folder, so relative paths are its own.
class Loader : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    char pattern[] = "/tmp/orvel-load-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    fs::current_path(folder_);
    fs::create_directory("gfx");
  }
  void TearDown() override {
    fs::current_path(previous_);
    fs::remove_all(folder_);
  }
  fs::path previous_;
  fs::path folder_;
};

Picture stripes(int width, int height, const std::vector<Rgb>& colours, bool interlaced = false) {
  Picture picture;
  picture.width = width;
  picture.height = height;
  picture.global = colours;
  picture.interlaced = interlaced;
  picture.indices.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (size_t i = 0; i < picture.indices.size(); ++i)
    picture.indices[i] = static_cast<uint8_t>((i / 3 + i / static_cast<size_t>(width)) % colours.size());
  return picture;
}

bool all_sentinel(const std::vector<Pixel>& pixels, size_t from = 0) {
  for (size_t i = from; i < pixels.size(); ++i)
    if (pixels[i] != SENTINEL) return false;
  return true;
}

}  // namespace

TEST_F(Loader, MissingOrUnreadableFilesLeaveTheBufferAlone) {
  std::vector<Pixel> buffer(16, SENTINEL);
  EXPECT_EQ(load_image("gfx//absent.gif", buffer.data(), 4, 4), 1);
  EXPECT_EQ(load_image("gfx", buffer.data(), 4, 4), 1);  // a folder
  ASSERT_TRUE(write_file("gfx/empty.gif", {}));
  EXPECT_EQ(load_image("gfx//empty.gif", buffer.data(), 4, 4), 1);
  ASSERT_TRUE(write_file("gfx/text.gif", {'h', 'e', 'l', 'l', 'o'}));
  EXPECT_EQ(load_image("gfx//text.gif", buffer.data(), 4, 4), 1);
  // A GIF with no image: its trailer comes first.
  Picture picture = stripes(4, 4, {{1, 2, 3}, {4, 5, 6}});
  Bytes no_image = write_head(picture);
  no_image.resize(13 + 6);
  no_image.push_back(0x3B);
  ASSERT_TRUE(write_file("gfx/none.gif", no_image));
  EXPECT_EQ(load_image("gfx//none.gif", buffer.data(), 4, 4), 1);
  // Data that ends before the picture is complete is not half loaded.
  Bytes whole = write_own(picture);
  ASSERT_TRUE(write_file("gfx/cut.gif", Bytes(whole.begin(), whole.begin() + 33)));  // 2 bytes of data
  EXPECT_EQ(load_image("gfx//cut.gif", buffer.data(), 4, 4), 1);
  EXPECT_TRUE(all_sentinel(buffer));
  EXPECT_EQ(load_image(nullptr, buffer.data(), 4, 4), 1);
  ASSERT_TRUE(write_file("gfx/whole.gif", whole));
  EXPECT_EQ(load_image("gfx//whole.gif", nullptr, 4, 4), 1);
  EXPECT_EQ(load_image("gfx//whole.gif", buffer.data(), 4, 4), 0);
}

TEST_F(Loader, OnlyPureRedIsKeyed) {
  Picture picture;
  picture.width = 6;
  picture.height = 1;
  picture.global = {{255, 0, 0}, {255, 0, 1}, {254, 0, 0}, {0, 0, 0}, {255, 255, 255}, {12, 34, 56},
                    {255, 0, 0}, {0, 0, 0}};  // a second pure red entry
  picture.indices = {0, 1, 2, 3, 4, 6};
  ASSERT_TRUE(write_file("gfx/key.gif", write_giflib(picture)));
  std::vector<Pixel> buffer(6, SENTINEL);
  ASSERT_EQ(load_image("gfx//key.gif", buffer.data(), 6, 1), 0);
  EXPECT_EQ(buffer, (std::vector<Pixel>{COLOR_KEY, 0xFFFF0001u, 0xFFFE0000u, 0xFF000000u, 0xFFFFFFFFu, COLOR_KEY}));
}

TEST_F(Loader, TakesOnlyAPictureOfTheSlotsExactShape) {
  const std::vector<Rgb> colours = {{10, 20, 30}, {200, 100, 50}, {255, 0, 0}, {7, 7, 7}};
  Picture strip = stripes(512, 28, colours);
  ASSERT_TRUE(write_file("gfx/text1.gif", write_own(strip)));
  std::vector<Pixel> buffer(14336 + 100, SENTINEL);
  ASSERT_EQ(load_image("gfx//text1.gif", buffer.data(), 512, 28), 0);
  for (int i = 0; i < 14336; ++i) {
    const Rgb c = colours[strip.indices[static_cast<size_t>(i)]];
    const Pixel expected = c.r == 255 && c.g == 0 && c.b == 0 ? COLOR_KEY : pack_pixel(c.r, c.g, c.b, 255);
    ASSERT_EQ(buffer[static_cast<size_t>(i)], expected) << i;
  }
  EXPECT_TRUE(all_sentinel(buffer, 14336));

  // Every other shape is refused whole, also with the same number of pixels: a 256 x 56
  // picture in a 512 x 28 slot would show as two half strips side by side.
  std::vector<Pixel> slot(14336 + 100, SENTINEL);
  for (auto [w, h] : {std::pair{256, 56}, {28, 512}, {10, 3}, {511, 28}, {512, 27}, {513, 28}, {512, 29}}) {
    ASSERT_TRUE(write_file("gfx/other.gif", write_giflib(stripes(w, h, colours)))) << w << "x" << h;
    EXPECT_EQ(load_image("gfx//other.gif", slot.data(), 512, 28), 1) << w << "x" << h;
  }
  EXPECT_EQ(load_image("gfx//text1.gif", slot.data(), 256, 56), 1);
  EXPECT_EQ(load_image("gfx//text1.gif", slot.data(), 512, 0), 1);
  EXPECT_EQ(load_image("gfx//text1.gif", slot.data(), 0, 28), 1);
  EXPECT_EQ(load_image("gfx//text1.gif", slot.data(), -512, -28), 1);
  EXPECT_TRUE(all_sentinel(slot));
}

TEST_F(Loader, InterlacedAndPlainFilesLoadAlike) {
  Picture picture;
  picture.width = 67;
  picture.height = 45;
  picture.global = make_palette(64, 5);
  picture.global[9] = {255, 0, 0};
  picture.indices = make_indices(67, 45, 64, Pattern::shapes, 6);
  ASSERT_TRUE(write_file("gfx/plain.gif", write_giflib(picture)));
  picture.interlaced = true;
  ASSERT_TRUE(write_file("gfx/interlaced.gif", write_giflib(picture)));
  std::vector<Pixel> plain(67 * 45, SENTINEL), interlaced(67 * 45, 0);
  ASSERT_EQ(load_image("gfx//plain.gif", plain.data(), 67, 45), 0);
  ASSERT_EQ(load_image("gfx//interlaced.gif", interlaced.data(), 67, 45), 0);
  EXPECT_EQ(plain, interlaced);
  EXPECT_NE(std::count(plain.begin(), plain.end(), COLOR_KEY), 0);
}

TEST_F(Loader, DataFilesAreFoundHereThenBesideTheProgram) {
  char exe[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  ASSERT_GT(n, 0);
  exe[n] = '\0';
  const fs::path beside = fs::path(exe).parent_path() / ("orvel-data-" + std::to_string(getpid()));
  fs::create_directories(beside);
  ASSERT_TRUE(write_file((beside / "only-there.txt").string(), {'B'}));
  ASSERT_TRUE(write_file((beside / "both.txt").string(), {'B'}));
  fs::create_directories(beside.filename());
  ASSERT_TRUE(write_file((beside.filename() / "both.txt").string(), {'W'}));

  auto first_byte = [](const std::string& path) {
    FILE* file = open_data_file(path.c_str(), "rb");
    if (!file) return -1;
    const int byte = std::fgetc(file);
    std::fclose(file);
    return byte;
  };
  const std::string folder = beside.filename().string();
  EXPECT_EQ(first_byte(folder + "/both.txt"), 'W');  // the working folder first
  EXPECT_EQ(first_byte(folder + "//only-there.txt"), 'B');
  EXPECT_EQ(first_byte(folder + "\\only-there.txt"), 'B');  // a backslash is a separator
  EXPECT_EQ(first_byte((beside / "both.txt").string()), 'B');  // absolute paths as written
  EXPECT_EQ(first_byte(folder + "/absent.txt"), -1);
  EXPECT_EQ(first_byte(""), -1);
  fs::remove_all(beside);
}

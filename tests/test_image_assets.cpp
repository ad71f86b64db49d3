#include <gtest/gtest.h>
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/assets.h"
#include "image/image.h"
#include "test_gif_util.h"

using namespace giftest;
namespace fs = std::filesystem;

namespace {

struct Expected {
  std::string path;
  Pixel* pixels;
  int width;
  int height;
};

std::vector<std::string> greeting_names_from_text() {
  std::ifstream in(std::string(ORVEL_SOURCE_DIR) + "/assets/greetings.txt");
  std::vector<std::string> files;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::string name;
    for (char c : line)
      if (std::isalnum(static_cast<unsigned char>(c)))
        name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    files.push_back("gfx//saludo_" + name + ".gif");
  }
  std::sort(files.begin(), files.end(),
            [](const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) < 0; });
  return files;
}

// The start-up list as the asset table lays it down.
std::vector<Expected> expected_loads() {
  std::vector<Expected> loads = {
      {"gfx//retrato.gif", img_portrait, 361, 300},    {"gfx//cap314142.gif", img_cap, 314, 142},
      {"gfx//camiseta167091.gif", img_shirt, 167, 91}, {"gfx//bra045059.gif", img_bra_left, 45, 59},
      {"gfx//bradr045059.gif", img_bra_right, 45, 59}, {"gfx//pantalon163070.gif", img_trousers, 163, 70},
      {"gfx//columnas.gif", img_columns, 94, 480},     {"gfx//flicker1.gif", img_flicker_1, 200, 384},
      {"gfx//flicker2.gif", img_flicker_2, 200, 384},
  };
  const std::vector<std::string> greetings = greeting_names_from_text();
  for (size_t k = 0; k < greetings.size(); ++k)
    loads.push_back({greetings[k], img_greetings + k * 400 * 384, 400, 384});
  for (int n = 1; n <= 23; ++n)
    loads.push_back({"gfx//text" + std::to_string(n) + ".gif", img_text + (n - 1) * 512 * 28, 512, 28});
  loads.push_back({"gfx//perchas.gif", img_hangers, 512, 384});
  loads.push_back({"gfx//ffinal.gif", img_final, 512, 384});
  Pixel* credits[8] = {nullptr,     img_credit1, img_credit2, img_credit3,
                       img_credit4, img_credit5, img_credit6, img_credit7};
  for (int n : {1, 4, 2, 5, 6, 3, 7})
    loads.push_back({"gfx//creditos" + std::to_string(n) + ".gif", credits[n], 334, 100});
  return loads;
}

class Assets : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    char pattern[] = "/tmp/orvel-assets-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    fs::current_path(folder_);
  }
  void TearDown() override {
    fs::current_path(previous_);
    fs::remove_all(folder_);
  }
  fs::path previous_;
  fs::path folder_;
};

Rgb colour_of(int n) {
  return {static_cast<uint8_t>(n * 3), static_cast<uint8_t>(255 - n * 3), static_cast<uint8_t>(100 + n)};
}

bool keyed_at(int x, int y) { return (x + 2 * y) % 7 == 0; }

int slot_pixels(const AssetLoad& asset) { return asset.width * asset.height; }

bool all_are(const AssetLoad& asset, Pixel value) {
  return std::all_of(asset.pixels, asset.pixels + slot_pixels(asset), [&](Pixel p) { return p == value; });
}

// Every file of the list in gfx/ at the given sizes, file n in colour n with keyed holes.
void write_every_file(const std::vector<Expected>& files) {
  fs::create_directory("gfx");
  for (size_t n = 0; n < files.size(); ++n) {
    const Expected& e = files[n];
    Picture picture;
    picture.width = e.width;
    picture.height = e.height;
    // Files vary as real ones do: some interlaced, some with a local table or an extension.
    std::vector<Rgb> colours = {colour_of(static_cast<int>(n)), {255, 0, 0}};
    if (n % 3 == 1)
      picture.local = colours;
    else
      picture.global = colours;
    picture.interlaced = n % 3 == 0;
    if (n % 2) picture.extensions = {graphic_control(1)};
    picture.indices.resize(static_cast<size_t>(e.width) * static_cast<size_t>(e.height));
    for (int y = 0; y < e.height; ++y)
      for (int x = 0; x < e.width; ++x) picture.indices[static_cast<size_t>(y * e.width + x)] = keyed_at(x, y) ? 1 : 0;
    ASSERT_TRUE(write_file(e.path, write_giflib(picture))) << e.path;
  }
}

}  // namespace

TEST(AssetTable, GreetingFilesFollowTheGroupListSortedIgnoringCase) {
  const std::vector<std::string> expected = greeting_names_from_text();
  ASSERT_EQ(expected.size(), static_cast<size_t>(GREETING_COUNT));
  for (int k = 0; k < GREETING_COUNT; ++k) {
    EXPECT_EQ(expected[static_cast<size_t>(k)], greeting_files[k]) << k;
    if (k > 0) {
      EXPECT_LT(strcasecmp(greeting_files[k - 1], greeting_files[k]), 0) << k;
    }
  }
  EXPECT_STREQ(greeting_files[34], "gfx//saludo_warpandweft.gif");
}

TEST(AssetTable, StartUpOrderBuffersAndSlots) {
  const std::vector<Expected> expected = expected_loads();
  ASSERT_EQ(expected.size(), static_cast<size_t>(ASSET_COUNT));
  for (int n = 0; n < ASSET_COUNT; ++n) {
    const Expected& e = expected[static_cast<size_t>(n)];
    EXPECT_EQ(e.path, asset_loads[n].path) << "load " << n + 1;
    EXPECT_EQ(e.pixels, asset_loads[n].pixels) << "load " << n + 1;
    EXPECT_EQ(e.width, asset_loads[n].width) << "load " << n + 1;
    EXPECT_EQ(e.height, asset_loads[n].height) << "load " << n + 1;
  }
  // The last slots end exactly where their arrays end.
  const AssetLoad& greeting_36 = asset_loads[9 + 36];
  EXPECT_EQ(greeting_36.pixels + slot_pixels(greeting_36), img_greetings + sizeof img_greetings / sizeof(Pixel));
  const AssetLoad& text_23 = asset_loads[46 + 22];
  EXPECT_EQ(text_23.pixels + slot_pixels(text_23), img_text + sizeof img_text / sizeof(Pixel));
  EXPECT_EQ(sizeof img_credit7, sizeof(Pixel) * 334 * 100);
  // The clothing pieces' names end in their width and height, three digits each.
  for (int n = 1; n <= 5; ++n) {
    const std::string path = asset_loads[n].path;
    const std::string digits = path.substr(path.size() - 10, 6);
    EXPECT_EQ(std::stoi(digits.substr(0, 3)), asset_loads[n].width) << path;
    EXPECT_EQ(std::stoi(digits.substr(3)), asset_loads[n].height) << path;
  }
}

TEST(AssetTable, EveryPictureTheBuildMadeFillsItsSlot) {
  const fs::path previous = fs::current_path();
  fs::current_path(ORVEL_BUILD_DIR);
  for (const AssetLoad& asset : asset_loads) std::fill(asset.pixels, asset.pixels + slot_pixels(asset), 0xDEADBEEFu);
  EXPECT_EQ(load_assets(), ASSET_COUNT);
  fs::current_path(previous);
  // Every pixel written: the sentinel has alpha 0xDE, a loaded pixel 0 or 255.
  for (const AssetLoad& asset : asset_loads)
    EXPECT_TRUE(std::none_of(asset.pixels, asset.pixels + slot_pixels(asset), [](Pixel p) { return p == 0xDEADBEEFu; }))
        << asset.path;
}

TEST_F(Assets, NoGfxFolderLoadsNothingAndTouchesNothing) {
  for (const AssetLoad& asset : asset_loads) std::fill(asset.pixels, asset.pixels + slot_pixels(asset), 0xDEADBEEFu);
  EXPECT_EQ(load_assets(), 0);
  for (const AssetLoad& asset : asset_loads) ASSERT_TRUE(all_are(asset, 0xDEADBEEFu)) << asset.path;
}

TEST_F(Assets, EveryFileLandsInItsOwnBuffer) {
  const std::vector<Expected> expected = expected_loads();
  write_every_file(expected);
  for (const AssetLoad& asset : asset_loads) std::fill(asset.pixels, asset.pixels + slot_pixels(asset), 0u);
  EXPECT_EQ(load_assets(), ASSET_COUNT);
  for (size_t n = 0; n < expected.size(); ++n) {
    const Expected& e = expected[n];
    const Rgb c = colour_of(static_cast<int>(n));
    const Pixel opaque = pack_pixel(c.r, c.g, c.b, 255);
    for (int y = 0; y < e.height; ++y)
      for (int x = 0; x < e.width; ++x) {
        const Pixel p = e.pixels[y * e.width + x];
        ASSERT_EQ(p, keyed_at(x, y) ? COLOR_KEY : opaque) << e.path << " at " << x << "," << y;
      }
  }
}

TEST_F(Assets, APictureOfAnotherShapeLeavesItsSlotBlankAndTheRestLoads) {
  std::vector<Expected> files = expected_loads();
  // The same number of pixels in another shape, a transposed piece, and one row short.
  files[46].width = 256;  // text1.gif
  files[46].height = 56;
  std::swap(files[1].width, files[1].height);  // cap314142.gif
  files[9].height -= 1;                        // the first greeting
  write_every_file(files);
  for (const AssetLoad& asset : asset_loads) std::fill(asset.pixels, asset.pixels + slot_pixels(asset), 0u);
  EXPECT_EQ(load_assets(), ASSET_COUNT - 3);
  for (int n = 0; n < ASSET_COUNT; ++n) {
    const bool refused = n == 1 || n == 9 || n == 46;
    const AssetLoad& asset = asset_loads[n];
    EXPECT_EQ(all_are(asset, 0u), refused) << asset.path;
  }
  // The strip next to the refused one is whole.
  EXPECT_EQ(asset_loads[47].pixels[0], COLOR_KEY);
  EXPECT_NE(asset_loads[47].pixels[TEXT_PIXELS - 1], 0u);
}

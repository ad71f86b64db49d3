// The live display on a real X server (Xvfb): a screenshot of the root window must
// show the presented picture, windowed at each depth a renderer offers, and
// fullscreen scaled to fit with 4:3 kept. Skipped where Xvfb or xwd is missing, and
// kept out of the sanitizer build: the X and GL libraries leave allocations behind.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "display/display.h"
#include "support/xserver.h"

namespace {
const char* const TITLE = "orvel xvfb";

// Eight colour bars over the top two thirds, then grey, red, green and blue ramps;
// every other pixel has alpha 0, which must not show.
constexpr Pixel BARS[8] = {0xFFFFFF, 0xFFFF00, 0x00FFFF, 0x00FF00, 0xFF00FF, 0xFF0000, 0x0000FF, 0x000000};
constexpr Pixel RAMPS[4] = {0x010101, 0x010000, 0x000100, 0x000001};

std::vector<Pixel> colour_bars() {
  std::vector<Pixel> canvas(SCREEN_PIXELS);
  for (int y = 0; y < SCREEN_HEIGHT; ++y) {
    for (int x = 0; x < SCREEN_WIDTH; ++x) {
      const Pixel colour = y < 256 ? BARS[x / 64] : RAMPS[(y - 256) / 32] * static_cast<Pixel>(x / 2);
      canvas[y * SCREEN_WIDTH + x] = colour | ((x & 1) ? 0u : 0xFF000000u);
    }
  }
  return canvas;
}

Pixel kept_bits(Pixel p, int kept) {
  const Pixel mask = (0xFFu << (8 - kept)) & 0xFFu;
  return p & (mask | (mask << 8) | (mask << 16));
}

SDL_Window* our_window() {
  for (Uint32 id = 1; id < 256; ++id)
    if (SDL_Window* w = SDL_GetWindowFromID(id)) return w;
  return nullptr;
}

// The first render driver that offers a texture format of this depth, or "".
std::string driver_for(int depth) {
  for (int i = 0; i < SDL_GetNumRenderDrivers(); ++i) {
    SDL_RendererInfo info;
    if (SDL_GetRenderDriverInfo(i, &info) != 0) continue;
    for (Uint32 f = 0; f < info.num_texture_formats; ++f)
      if (static_cast<int>(SDL_BYTESPERPIXEL(info.texture_formats[f])) * 8 == depth &&
          !SDL_ISPIXELFORMAT_FOURCC(info.texture_formats[f]))
        return info.name;
  }
  return "";
}

class OnXvfb : public ::testing::Test {
 protected:
  XServer server;

  void start(const char* geometry) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "not in the sanitizer build";
#endif
    if (!on_path("Xvfb") || !on_path("xwd")) GTEST_SKIP() << "Xvfb or xwd is not installed";
    ASSERT_TRUE(server.start(geometry)) << "Xvfb did not start";
    setenv("DISPLAY", server.display.c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
  }
  void TearDown() override {
    display_close();
    server.stop();
  }

  // Presents for a while so that the window is mapped and drawn, then dumps the root.
  Picture present_and_capture(const std::vector<Pixel>& canvas, const std::string& name) {
    for (int frame = 0; frame < 30; ++frame) {
      EXPECT_EQ(display_update(canvas.data()), 1);
      SDL_Delay(20);
    }
    Picture shot;
    EXPECT_TRUE(screenshot(server.display, std::string(ORVEL_BUILD_DIR) + "/" + name + ".xwd", shot));
    if (!shot.rgb.empty()) write_png_rgb(std::string(ORVEL_BUILD_DIR) + "/" + name + ".png", shot);
    return shot;
  }
};

class WindowOnXvfb : public OnXvfb, public ::testing::WithParamInterface<int> {};

TEST_P(WindowOnXvfb, ShowsThePicture) {
  const int depth = GetParam();
  start("800x600x24");
  if (IsSkipped() || HasFatalFailure()) return;
  const std::string driver = driver_for(depth);
  if (driver.empty()) GTEST_SKIP() << "no renderer offers " << depth << "-bit textures";
  SDL_SetHint(SDL_HINT_RENDER_DRIVER, driver.c_str());

  DisplaySettings settings;
  settings.windowed = true;
  settings.depth = depth;
  display_configure(settings);
  ASSERT_EQ(display_open(TITLE, SCREEN_WIDTH, SCREEN_HEIGHT), 1) << driver;
  EXPECT_EQ(display_depth(), depth);
  const std::vector<Pixel> canvas = colour_bars();
  const Picture shot = present_and_capture(canvas, "xvfb_window_" + std::to_string(depth));
  ASSERT_EQ(shot.width, 800);
  ASSERT_EQ(shot.height, 600);

  int left = 0, top = 0;
  SDL_GetWindowPosition(our_window(), &left, &top);
  ASSERT_LE(left + SCREEN_WIDTH, shot.width);
  ASSERT_LE(top + SCREEN_HEIGHT, shot.height);
  const int kept = depth == 16 ? 5 : 8;
  int wrong = 0;
  for (int y = 0; y < SCREEN_HEIGHT; ++y)
    for (int x = 0; x < SCREEN_WIDTH; ++x)
      if (kept_bits(shot.at(left + x, top + y), kept) != kept_bits(canvas[y * SCREEN_WIDTH + x], kept) && wrong++ < 5)
        ADD_FAILURE() << "at " << x << "," << y << " screen " << std::hex << shot.at(left + x, top + y) << " canvas "
                      << canvas[y * SCREEN_WIDTH + x] << " (" << driver << ")";
  EXPECT_EQ(wrong, 0);
}

INSTANTIATE_TEST_SUITE_P(Depth, WindowOnXvfb, ::testing::Values(32, 24, 16));

TEST_F(OnXvfb, FullscreenScalesToFitWithBlackBars) {
  start("1024x600x24");
  if (IsSkipped() || HasFatalFailure()) return;
  display_configure(DisplaySettings{});
  ASSERT_EQ(display_open(TITLE, SCREEN_WIDTH, SCREEN_HEIGHT), 1);
  const std::vector<Pixel> canvas = colour_bars();
  const Picture shot = present_and_capture(canvas, "xvfb_fullscreen");
  ASSERT_EQ(shot.width, 1024);
  ASSERT_EQ(shot.height, 600);

  // 600 / 384 = 1.5625: the picture is 800 wide, centred, with 112 columns of black
  // either side.
  for (int y = 0; y < 600; y += 7) {
    EXPECT_EQ(shot.at(50, y), 0u) << y;
    EXPECT_EQ(shot.at(1000, y), 0u) << y;
  }
  for (int bar = 0; bar < 8; ++bar) {
    const int x = 112 + static_cast<int>((bar * 64 + 32) * 1.5625);
    EXPECT_EQ(shot.at(x, 200), BARS[bar]) << "bar " << bar;
  }
  for (int ramp = 0; ramp < 4; ++ramp) {
    const int y = static_cast<int>((256 + ramp * 32 + 16) * 1.5625);
    EXPECT_EQ(shot.at(112, y), 0u) << "ramp " << ramp;
    EXPECT_EQ(shot.at(112 + 799, y), RAMPS[ramp] * 255) << "ramp " << ramp;
  }
}
}  // namespace

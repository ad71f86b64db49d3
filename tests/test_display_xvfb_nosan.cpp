// The live display on a real X server (Xvfb) at screen depths 24 and 16: a screenshot
// of the root window must show the presented picture, at each display depth and
// through each converter's layout on each renderer, and fullscreen scaled to fit with
// 4:3 kept; and with no display at all the live display fails without a word. Skipped
// where Xvfb or xwd is missing, and kept out of the sanitizer build: the X and GL
// libraries leave allocations behind.
#include <SDL.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "display/display.h"
#include "support/display_layouts.h"
#include "support/run_program.h"
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

SDL_Window* our_window() {
  for (Uint32 id = 1; id < 256; ++id)
    if (SDL_Window* w = SDL_GetWindowFromID(id)) return w;
  return nullptr;
}

std::string renderer_name() {
  SDL_RendererInfo info{};
  if (SDL_GetRendererInfo(SDL_GetRenderer(our_window()), &info) != 0 || info.name == nullptr) return "";
  return info.name;
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

  // Presents for a while so that the window is mapped and drawn, then dumps the root,
  // or only our window: at a screen depth of 16 SDL picks a DirectColor visual with a
  // colour map of its own, which a dump of the root does not read back faithfully.
  Picture present_and_capture(const std::vector<Pixel>& canvas, const std::string& name, bool window_only) {
    for (int frame = 0; frame < 30; ++frame) {
      EXPECT_EQ(display_update(canvas.data()), 1);
      SDL_Delay(20);
    }
    Picture shot;
    EXPECT_TRUE(
        screenshot(server.display, std::string(ORVEL_BUILD_DIR) + "/" + name + ".xwd", shot, window_only ? TITLE : ""));
    if (!shot.rgb.empty()) write_png_rgb(std::string(ORVEL_BUILD_DIR) + "/" + name + ".png", shot);
    return shot;
  }
};

// What the window shows, at the top bits that both the layout and the screen keep.
void expect_window_shows(const Picture& shot, const std::vector<Pixel>& canvas, const DisplayLayout& layout,
                         int screen_depth) {
  ASSERT_EQ(shot.width, SCREEN_WIDTH);
  ASSERT_EQ(shot.height, SCREEN_HEIGHT);
  const bool screen16 = screen_depth == 16;
  const int red = std::min(layout.red, screen16 ? 5 : 8), green = std::min(layout.green, screen16 ? 6 : 8),
            blue = std::min(layout.blue, screen16 ? 5 : 8);
  int wrong = 0;
  for (int y = 0; y < SCREEN_HEIGHT; ++y)
    for (int x = 0; x < SCREEN_WIDTH; ++x) {
      const uint32_t seen = shot.at(x, y), drawn = canvas[y * SCREEN_WIDTH + x];
      if (top_bits(seen, red, green, blue) != top_bits(drawn, red, green, blue) && wrong++ < 5)
        ADD_FAILURE() << "at " << x << "," << y << " screen " << std::hex << seen << " canvas " << drawn;
    }
  EXPECT_EQ(wrong, 0) << layout.name << " on " << renderer_name() << " at screen depth " << std::dec << screen_depth;
}

std::string geometry(int screen_depth) { return "800x600x" + std::to_string(screen_depth); }

// Each display depth in a window, the renderer SDL picks, at both screen depths.
class DepthOnXvfb : public OnXvfb, public ::testing::WithParamInterface<std::tuple<int, int>> {};

TEST_P(DepthOnXvfb, ShowsThePicture) {
  const auto [screen_depth, depth] = GetParam();
  start(geometry(screen_depth).c_str());
  if (IsSkipped() || HasFatalFailure()) return;
  SDL_ResetHint(SDL_HINT_RENDER_DRIVER);
  DisplaySettings settings;
  settings.windowed = true;
  settings.depth = depth;
  display_configure(settings);
  ASSERT_EQ(display_open(TITLE, SCREEN_WIDTH, SCREEN_HEIGHT), 1);
  EXPECT_EQ(display_depth(), depth);
  const DisplayLayout* layout = checked_layout();
  ASSERT_NE(layout, nullptr);
  const std::vector<Pixel> canvas = colour_bars();
  const std::string name = "xvfb" + std::to_string(screen_depth) + "_window_" + std::to_string(depth);
  expect_window_shows(present_and_capture(canvas, name, true), canvas, *layout, screen_depth);
}

INSTANTIATE_TEST_SUITE_P(Screen, DepthOnXvfb,
                         ::testing::Combine(::testing::Values(24, 16), ::testing::Values(32, 24, 16)),
                         [](const auto& test) {
                           return "screen" + std::to_string(std::get<0>(test.param)) + "_depth" +
                                  std::to_string(std::get<1>(test.param));
                         });

// Every converter's layout, on each renderer, at both screen depths.
class LayoutOnXvfb : public OnXvfb, public ::testing::WithParamInterface<std::tuple<int, const char*>> {};

TEST_P(LayoutOnXvfb, EveryConverterShowsThePicture) {
  const auto [screen_depth, renderer] = GetParam();
  start(geometry(screen_depth).c_str());
  if (IsSkipped() || HasFatalFailure()) return;
  SDL_SetHint(SDL_HINT_RENDER_DRIVER, renderer);
  const std::vector<Pixel> canvas = colour_bars();
  for (const DisplayLayout& layout : DISPLAY_LAYOUTS) {
    SCOPED_TRACE(layout.name);
    DisplaySettings settings;
    settings.windowed = true;
    settings.layout = layout.converter;
    display_configure(settings);
    ASSERT_EQ(display_open(TITLE, SCREEN_WIDTH, SCREEN_HEIGHT), 1);
    if (renderer_name() != renderer) GTEST_SKIP() << "SDL has no working " << renderer << " renderer here";
    EXPECT_EQ(display_converter(), layout.converter);
    EXPECT_EQ(checked_layout(), &layout);
    const std::string name = "xvfb" + std::to_string(screen_depth) + "_" + renderer + "_" + layout.name;
    expect_window_shows(present_and_capture(canvas, name, true), canvas, layout, screen_depth);
    display_close();
  }
}

INSTANTIATE_TEST_SUITE_P(Screen, LayoutOnXvfb,
                         ::testing::Combine(::testing::Values(24, 16), ::testing::Values("opengl", "software")),
                         [](const auto& test) {
                           return "screen" + std::to_string(std::get<0>(test.param)) + "_" + std::get<1>(test.param);
                         });

// The renderer SDL picks at the deepest depth, and the software renderer at 16 bits,
// whose own 16-bit textures are scaled by way of a 32-bit one.
class FullscreenOnXvfb : public OnXvfb, public ::testing::WithParamInterface<std::tuple<const char*, int>> {};

TEST_P(FullscreenOnXvfb, ScalesToFitWithBlackBars) {
  const auto [renderer, depth] = GetParam();
  start("1024x600x24");
  if (IsSkipped() || HasFatalFailure()) return;
  SDL_SetHint(SDL_HINT_RENDER_DRIVER, renderer);
  DisplaySettings settings;
  settings.depth = depth;
  display_configure(settings);
  ASSERT_EQ(display_open(TITLE, SCREEN_WIDTH, SCREEN_HEIGHT), 1);
  if (renderer[0] != '\0' && renderer_name() != renderer) GTEST_SKIP() << "no working " << renderer << " renderer";
  EXPECT_EQ(display_depth(), depth);
  const std::vector<Pixel> canvas = colour_bars();
  const Picture shot =
      present_and_capture(canvas, "xvfb_fullscreen_" + renderer_name() + "_" + std::to_string(depth), false);
  ASSERT_EQ(shot.width, 1024);
  ASSERT_EQ(shot.height, 600);

  // 600 / 384 = 1.5625: the picture is 800 wide, centred, with 112 columns of black
  // either side.
  for (int y = 0; y < 600; y += 7) {
    EXPECT_EQ(shot.at(50, y), 0u) << y;
    EXPECT_EQ(shot.at(1000, y), 0u) << y;
  }
  const DisplayLayout* layout = checked_layout();
  ASSERT_NE(layout, nullptr);
  const auto kept = [&](uint32_t rgb) { return top_bits(rgb, layout->red, layout->green, layout->blue); };
  for (int bar = 0; bar < 8; ++bar) {
    const int x = 112 + static_cast<int>((bar * 64 + 32) * 1.5625);
    EXPECT_EQ(kept(shot.at(x, 200)), kept(BARS[bar])) << "bar " << bar;
  }
  for (int ramp = 0; ramp < 4; ++ramp) {
    const int y = static_cast<int>((256 + ramp * 32 + 16) * 1.5625);
    EXPECT_EQ(shot.at(112, y), 0u) << "ramp " << ramp;
    EXPECT_EQ(kept(shot.at(112 + 799, y)), kept(RAMPS[ramp] * 255)) << "ramp " << ramp;
  }
}

INSTANTIATE_TEST_SUITE_P(Renderer, FullscreenOnXvfb,
                         ::testing::Values(std::make_tuple("", 32), std::make_tuple("software", 16)),
                         [](const auto& test) {
                           const std::string renderer = std::get<0>(test.param);
                           return (renderer.empty() ? "default" : renderer) + std::to_string(std::get<1>(test.param));
                         });

// Runs body in a child with no display at all and no video driver named; its output
// lands in a file. The child's exit status (-1 when it did not exit), and the output.
template <typename Body>
int without_a_display(Body body, std::string* output) {
  const std::string path = scratch_dir("nodisplay") + "/output";
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    alarm(60);  // a hang guard only
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER", "XDG_RUNTIME_DIR"}) unsetenv(name);
    if (!std::freopen(path.c_str(), "w", stdout) || dup2(1, 2) != 2) _exit(90);
    _exit(body());
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  *output = read_text(path);
  return WEXITSTATUS(status);
}

TEST(NoDisplay, OnlyADriverThatShowsAPictureIsTaken) {
  std::string output;
  // SDL would fall back to its offscreen driver here.
  EXPECT_EQ(without_a_display(
                [] {
                  display_configure(DisplaySettings{});
                  const int opened = display_open(TITLE, SCREEN_WIDTH, SCREEN_HEIGHT);
                  return opened == 0 && SDL_WasInit(SDL_INIT_VIDEO) == 0 ? 0 : 1;
                },
                &output),
            0);
  EXPECT_EQ(output, "");
  // Named, the offscreen driver is used as it is.
  EXPECT_EQ(without_a_display(
                [] {
                  setenv("SDL_VIDEODRIVER", "offscreen", 1);
                  DisplaySettings settings;
                  settings.windowed = true;
                  display_configure(settings);
                  if (display_open(TITLE, SCREEN_WIDTH, SCREEN_HEIGHT) != 1) return 1;
                  const std::vector<Pixel> canvas = colour_bars();
                  return display_update(canvas.data()) == 1 ? 0 : 2;
                },
                &output),
            0)
      << output;
}
}  // namespace

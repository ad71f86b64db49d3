// The display under SDL's dummy video driver: what reaches the window, activation,
// the ways it fails to open, and the ways it asks for the end.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/demo.h"
#include "app/timeline.h"
#include "display/display.h"
#include "support/display_layouts.h"
#include "support/run_program.h"

namespace {
const char* const TITLE = "orvel test";

struct DummyVideo : ::testing::Environment {
  void SetUp() override { setenv("SDL_VIDEODRIVER", "dummy", 0); }
};
const auto* const dummy_video = ::testing::AddGlobalTestEnvironment(new DummyVideo);

DisplaySettings live_settings(int depth = 0) {
  DisplaySettings s;
  s.mode = DisplayMode::Live;
  s.windowed = true;
  s.depth = depth;
  return s;
}

std::vector<Pixel> test_picture(uint32_t salt) {
  std::vector<Pixel> canvas(SCREEN_PIXELS);
  for (int y = 0; y < SCREEN_HEIGHT; ++y)
    for (int x = 0; x < SCREEN_WIDTH; ++x)
      // Alpha 0 on every other pixel: the top byte must not act as opacity.
      canvas[y * SCREEN_WIDTH + x] = pack_pixel(x / 2 + salt, y * 2 / 3, (x + y) * 7 + salt, (x & 1) ? 0 : 255);
  return canvas;
}

SDL_Window* our_window() {
  for (Uint32 id = 1; id < 256; ++id)
    if (SDL_Window* w = SDL_GetWindowFromID(id)) return w;
  return nullptr;
}

// What the window shows, as 0x00RRGGBB words.
std::vector<Pixel> read_window() {
  std::vector<Pixel> out(SCREEN_PIXELS);
  SDL_Renderer* renderer = SDL_GetRenderer(our_window());
  EXPECT_NE(renderer, nullptr);
  if (renderer == nullptr) return out;
  EXPECT_EQ(SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_RGB888, out.data(), SCREEN_WIDTH * 4), 0)
      << SDL_GetError();
  for (Pixel& p : out) p &= 0xFFFFFFu;
  return out;
}

// Each channel's top bits as the layout keeps them.
::testing::AssertionResult shows(const std::vector<Pixel>& window, const std::vector<Pixel>& canvas,
                                 const DisplayLayout& kept) {
  for (int i = 0; i < SCREEN_PIXELS; ++i)
    if (top_bits(window[i], kept.red, kept.green, kept.blue) != top_bits(canvas[i], kept.red, kept.green, kept.blue))
      return ::testing::AssertionFailure()
             << "pixel " << i % SCREEN_WIDTH << "," << i / SCREEN_WIDTH << ": window " << std::hex << window[i]
             << ", canvas " << canvas[i] << " (" << kept.name << ")";
  return ::testing::AssertionSuccess();
}

const DisplayLayout& exact = DISPLAY_LAYOUTS[0];

void expect_frames_shown(const DisplayLayout& layout) {
  for (uint32_t frame = 0; frame < 3; ++frame) {
    const std::vector<Pixel> canvas = test_picture(frame * 40);
    ASSERT_EQ(display_update(canvas.data()), 1);
    EXPECT_TRUE(shows(read_window(), canvas, layout)) << "frame " << frame;
  }
}

void push_window_event(Uint8 what) {
  SDL_Event event{};
  event.type = SDL_WINDOWEVENT;
  event.window.windowID = SDL_GetWindowID(our_window());
  event.window.event = what;
  ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
}

void push_key(SDL_Keycode key, SDL_Scancode scancode) {
  SDL_Event event{};
  event.type = SDL_KEYDOWN;
  event.key.windowID = SDL_GetWindowID(our_window());
  event.key.state = SDL_PRESSED;
  event.key.keysym.sym = key;
  event.key.keysym.scancode = scancode;
  ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
}

}  // namespace

TEST(Display, OfflineModeOpensNoWindow) {
  DisplaySettings s;
  s.mode = DisplayMode::Offline;
  display_configure(s);
  EXPECT_EQ(display_open(TITLE, 320, 200), 0);
  ASSERT_EQ(display_open(TITLE, SCREEN_WIDTH, SCREEN_HEIGHT), 1);
  EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
  EXPECT_EQ(display_depth(), 0);
  const std::vector<Pixel> canvas = test_picture(0);
  EXPECT_EQ(display_update(canvas.data()), 1);
  display_close();
  EXPECT_EQ(display_update(canvas.data()), 0);
}

TEST(Display, PresentsEveryDepth) {
  for (const int depth : {32, 24, 16}) {
    SCOPED_TRACE(depth);
    display_configure(live_settings(depth));
    ASSERT_EQ(display_open(TITLE, SCREEN_WIDTH, SCREEN_HEIGHT), 1);
    EXPECT_EQ(display_depth(), depth);
    if (const DisplayLayout* layout = checked_layout()) expect_frames_shown(*layout);
    display_close();
    EXPECT_EQ(display_depth(), 0);
    EXPECT_EQ(display_converter(), nullptr);
    EXPECT_EQ(display_format(), 0u);
    EXPECT_EQ(our_window(), nullptr);
  }
}

TEST(Display, EveryConverterDrawsThroughATextureOfItsLayout) {
  for (const DisplayLayout& layout : DISPLAY_LAYOUTS) {
    SCOPED_TRACE(layout.name);
    DisplaySettings settings = live_settings();
    settings.layout = layout.converter;
    display_configure(settings);
    ASSERT_EQ(display_open(TITLE, SCREEN_WIDTH, SCREEN_HEIGHT), 1);
    EXPECT_EQ(display_converter(), layout.converter);
    EXPECT_EQ(checked_layout(), &layout);
    expect_frames_shown(layout);
    display_close();
  }
  // A layout of another depth than the one asked for, or no converter's at all.
  DisplaySettings settings = live_settings(32);
  settings.layout = convert_rgb565;
  display_configure(settings);
  EXPECT_EQ(display_open(TITLE, SCREEN_WIDTH, SCREEN_HEIGHT), 0);
  settings = live_settings();
  settings.layout = [](const Pixel*, uint8_t*, int32_t) {};
  display_configure(settings);
  EXPECT_EQ(display_open(TITLE, SCREEN_WIDTH, SCREEN_HEIGHT), 0);
  EXPECT_EQ(our_window(), nullptr);
  EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
}

TEST(Display, DefaultIsTheDeepestDepthFullscreen) {
  // SDL would switch the screen saver off by itself without this.
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  display_configure(DisplaySettings{});
  ASSERT_EQ(display_open(TITLE, SCREEN_WIDTH, SCREEN_HEIGHT), 1);
  EXPECT_EQ(display_depth(), 32);
  checked_layout();
  EXPECT_NE(SDL_GetWindowFlags(our_window()) & SDL_WINDOW_FULLSCREEN, 0u);
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
  EXPECT_FALSE(SDL_IsScreenSaverEnabled());
  const std::vector<Pixel> canvas = test_picture(9);
  EXPECT_EQ(display_update(canvas.data()), 1);
  display_close();
}

TEST(Display, FailsToOpenWithoutAVideoDriverOrWithAWrongDepth) {
  const std::string driver = getenv("SDL_VIDEODRIVER");
  setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
  display_configure(live_settings());
  EXPECT_EQ(display_open(TITLE, SCREEN_WIDTH, SCREEN_HEIGHT), 0);
  setenv("SDL_VIDEODRIVER", driver.c_str(), 1);

  for (const int depth : {8, 15, 30, -32}) {
    display_configure(live_settings(depth));
    EXPECT_EQ(display_open(TITLE, SCREEN_WIDTH, SCREEN_HEIGHT), 0) << depth;
  }
  display_configure(live_settings());
  EXPECT_EQ(display_open(TITLE, 640, 480), 0);
  EXPECT_EQ(display_update(nullptr), 0);

  // After the failures the display opens as usual, and only once at a time.
  ASSERT_EQ(display_open(TITLE, SCREEN_WIDTH, SCREEN_HEIGHT), 1);
  EXPECT_EQ(display_open(TITLE, SCREEN_WIDTH, SCREEN_HEIGHT), 0);
  EXPECT_EQ(display_update(nullptr), 0);
  display_close();
}

TEST(Display, InactiveWindowShowsNothingNew) {
  display_configure(live_settings());
  ASSERT_EQ(display_open(TITLE, SCREEN_WIDTH, SCREEN_HEIGHT), 1);
  const std::vector<Pixel> first = test_picture(1), second = test_picture(77);
  ASSERT_EQ(display_update(first.data()), 1);

  push_window_event(SDL_WINDOWEVENT_MINIMIZED);
  EXPECT_EQ(display_update(second.data()), 1);
  EXPECT_TRUE(shows(read_window(), first, exact));
  push_window_event(SDL_WINDOWEVENT_RESTORED);
  EXPECT_EQ(display_update(second.data()), 1);
  EXPECT_TRUE(shows(read_window(), second, exact));

  push_window_event(SDL_WINDOWEVENT_FOCUS_LOST);
  EXPECT_EQ(display_update(first.data()), 1);
  EXPECT_TRUE(shows(read_window(), second, exact));
  push_window_event(SDL_WINDOWEVENT_FOCUS_GAINED);
  EXPECT_EQ(display_update(first.data()), 1);
  EXPECT_TRUE(shows(read_window(), first, exact));
  display_close();
}

TEST(Display, LostTexturesAreMadeAgain) {
  display_configure(live_settings(16));
  ASSERT_EQ(display_open(TITLE, SCREEN_WIDTH, SCREEN_HEIGHT), 1);
  const std::vector<Pixel> canvas = test_picture(5);
  SDL_Event event{};
  event.type = SDL_RENDER_DEVICE_RESET;
  ASSERT_EQ(SDL_PushEvent(&event), 1);
  EXPECT_EQ(display_update(canvas.data()), 1);
  ASSERT_NE(layout_of(display_converter()), nullptr);
  EXPECT_TRUE(shows(read_window(), canvas, *layout_of(display_converter())));
  EXPECT_EQ(display_depth(), 16);
  display_close();
}

namespace {
// Opens the display, runs body, and tells whether the display then asks for the end;
// it must not before, nor after it closed.
template <typename Body>
bool ends_after(Body body) {
  display_configure(live_settings());
  EXPECT_EQ(display_open(TITLE, SCREEN_WIDTH, SCREEN_HEIGHT), 1);
  EXPECT_FALSE(display_end_requested());
  body();
  const bool ends = display_end_requested();
  display_close();
  EXPECT_FALSE(display_end_requested());
  return ends;
}

void present_once() {
  const std::vector<Pixel> canvas = test_picture(3);
  EXPECT_EQ(display_update(canvas.data()), 1);
}
}  // namespace

// The display only says so; the program then ends as at the end of the music.
TEST(DisplayEnd, EscapeAndCloseRequestsAskForTheEnd) {
  EXPECT_TRUE(ends_after([] {
    present_once();
    push_key(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE);
    present_once();
  }));
  EXPECT_TRUE(ends_after([] {
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    present_once();
  }));
  EXPECT_TRUE(ends_after([] {
    push_window_event(SDL_WINDOWEVENT_CLOSE);
    present_once();
  }));
  // Whatever is going on: inactive, or with other keys queued before it.
  EXPECT_TRUE(ends_after([] {
    push_window_event(SDL_WINDOWEVENT_MINIMIZED);
    present_once();
    push_key(SDLK_a, SDL_SCANCODE_A);
    push_key(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE);
    present_once();
  }));
}

TEST(DisplayEnd, OtherKeysDoNothing) {
  EXPECT_FALSE(ends_after([] {
    push_key(SDLK_a, SDL_SCANCODE_A);
    push_key(SDLK_SPACE, SDL_SCANCODE_SPACE);
    push_key(SDLK_RETURN, SDL_SCANCODE_RETURN);
    present_once();
    present_once();
  }));
}

namespace {
int frames_seen = 0;
void escape_after_three(int, const MusicPosition&) {
  if (++frames_seen == 3) push_key(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE);
}
}  // namespace

// Escape mid-show ends the run as the end of the music does: the frame log is closed
// whole, and a snapshot whose moment never came is reported.
TEST(DisplayEnd, EscapeEndsTheRunAsTheEndOfTheMusicDoes) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  const std::string dir = scratch_dir("escape-end");
  RunOptions options;
  options.windowed = true;
  options.frames_path = dir + "/log.tsv";
  options.snapshots.push_back({29, 0, dir + "/never.png", false, false});
  frames_seen = 0;
  set_frame_observer(escape_after_three);
  testing::internal::CaptureStderr();
  const int status = run_demo(&options);
  const std::string err = testing::internal::GetCapturedStderr();
  set_frame_observer(nullptr);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(err, "orvel: cannot write '" + dir + "/never.png': no frame at order 29, row 0\n");
  // The header and the frames up to the one that saw the key, then nothing more.
  const std::string log = read_text(options.frames_path);
  EXPECT_EQ(log.rfind("frame\torder\trow\ttime_ms\tcrc32\n", 0), 0u);
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1 + 4) << log;
  EXPECT_EQ(log.back(), '\n');
}

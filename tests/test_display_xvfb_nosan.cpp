// The live display on a real X server (Xvfb): a screenshot of the root window must
// show the presented picture, windowed at each depth a renderer offers, and
// fullscreen scaled to fit with 4:3 kept. Skipped where Xvfb or xwd is missing, and
// kept out of the sanitizer build: the X and GL libraries leave allocations behind.
#include <SDL.h>
#include <gtest/gtest.h>
#include <png.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "display/display.h"

namespace {
const char* const TITLE = "orvel xvfb";

bool on_path(const std::string& program) {
  const char* path = getenv("PATH");
  std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    const size_t end = std::min(dirs.find(':', start), dirs.size());
    if (access((dirs.substr(start, end - start) + "/" + program).c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

// Xvfb on the first free display number; it reports the number on a pipe.
struct XServer {
  pid_t pid = -1;
  std::string display;

  bool start(const char* geometry) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    pid = fork();
    if (pid == 0) {
      close(fds[0]);
      freopen("/dev/null", "w", stdout);
      freopen("/dev/null", "w", stderr);
      const std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", geometry, "-nolisten", "tcp", "-noreset",
             static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    std::string number;
    pollfd wait_for{fds[0], POLLIN, 0};
    char c = 0;
    while (poll(&wait_for, 1, 10000) == 1 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (pid < 0 || number.empty()) return false;
    display = ":" + number;
    return true;
  }

  void stop() {
    if (pid > 0) {
      kill(pid, SIGTERM);
      waitpid(pid, nullptr, 0);
    }
    pid = -1;
  }
};

struct Shot {
  int width = 0, height = 0;
  std::vector<Pixel> pixels;  // 0x00RRGGBB
  Pixel at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

uint32_t be32(const std::vector<uint8_t>& b, size_t at) {
  return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) | b[at + 3];
}

// One channel of an X pixel, as 8 bits.
uint32_t channel(uint32_t value, uint32_t mask) {
  if (mask == 0) return 0;
  int shift = 0, bits = 0;
  while (!((mask >> shift) & 1)) ++shift;
  while ((mask >> (shift + bits)) & 1) ++bits;
  const uint32_t v = (value & mask) >> shift;
  return bits >= 8 ? v >> (bits - 8) : v * 255 / ((1u << bits) - 1);
}

// An X window dump: a big-endian header, a colour map, then the pixels.
bool read_xwd(const std::string& path, Shot& shot) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (b.size() < 100 || be32(b, 4) != 7 || be32(b, 8) != 2) return false;
  const uint32_t header = be32(b, 0), width = be32(b, 16), height = be32(b, 20), lsb_first = be32(b, 28) == 0;
  const uint32_t bpp = be32(b, 44), line = be32(b, 48), colours = be32(b, 76);
  const uint32_t red = be32(b, 56), green = be32(b, 60), blue = be32(b, 64);
  const size_t data = header + size_t{colours} * 12;
  if ((bpp != 32 && bpp != 24 && bpp != 16) || b.size() < data + size_t{line} * height) return false;
  shot.width = static_cast<int>(width);
  shot.height = static_cast<int>(height);
  shot.pixels.resize(size_t{width} * height);
  const uint32_t bytes = bpp / 8;
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const uint8_t* p = &b[data + size_t{y} * line + x * bytes];
      uint32_t v = 0;
      for (uint32_t i = 0; i < bytes; ++i) v |= uint32_t{p[lsb_first ? i : bytes - 1 - i]} << (8 * i);
      shot.pixels[size_t{y} * width + x] = (channel(v, red) << 16) | (channel(v, green) << 8) | channel(v, blue);
    }
  }
  return true;
}

void write_png(const std::string& path, const Shot& shot) {
  FILE* file = fopen(path.c_str(), "wb");
  if (file == nullptr) return;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png)) == 0) {
    png_init_io(png, file);
    png_set_IHDR(png, info, shot.width, shot.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<uint8_t> row(static_cast<size_t>(shot.width) * 3);
    for (int y = 0; y < shot.height; ++y) {
      for (int x = 0; x < shot.width; ++x) {
        const Pixel p = shot.at(x, y);
        row[3 * x] = static_cast<uint8_t>(p >> 16);
        row[3 * x + 1] = static_cast<uint8_t>(p >> 8);
        row[3 * x + 2] = static_cast<uint8_t>(p);
      }
      png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
  }
  png_destroy_write_struct(&png, &info);
  fclose(file);
}

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
  Shot present_and_capture(const std::vector<Pixel>& canvas, const std::string& name) {
    for (int frame = 0; frame < 30; ++frame) {
      EXPECT_EQ(display_update(canvas.data()), 1);
      SDL_Delay(20);
    }
    const std::string xwd = std::string(ORVEL_BUILD_DIR) + "/" + name + ".xwd";
    const std::string command = "xwd -root -silent -display " + server.display + " -out " + xwd;
    Shot shot;
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    EXPECT_TRUE(read_xwd(xwd, shot)) << "unreadable " << xwd;
    if (!shot.pixels.empty()) write_png(std::string(ORVEL_BUILD_DIR) + "/" + name + ".png", shot);
    std::remove(xwd.c_str());
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
  const Shot shot = present_and_capture(canvas, "xvfb_window_" + std::to_string(depth));
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
  const Shot shot = present_and_capture(canvas, "xvfb_fullscreen");
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

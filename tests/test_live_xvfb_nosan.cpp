// The production live on a real X server: the program plays in its fullscreen window
// with sound on the dummy device, screenshots at a few moments show the scenes, and
// Escape ends it with status 0.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "support/run_program.h"
#include "support/xserver.h"

namespace {

bool child_exited(pid_t pid, int* status, int seconds) {
  for (int i = 0; i < seconds * 20; ++i) {
    if (waitpid(pid, status, WNOHANG) == pid) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

}  // namespace

TEST(Live, PlaysOnXvfbAndEndsOnEscape) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "not in the sanitizer build: the X libraries leave allocations behind";
#endif
  if (!on_path("Xvfb") || !on_path("xwd") || !on_path("xdotool")) GTEST_SKIP() << "Xvfb, xwd or xdotool missing";
  XServer server;
  ASSERT_TRUE(server.start("512x384x24"));
  const pid_t pid = fork();
  if (pid == 0) {
    setenv("DISPLAY", server.display.c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (chdir(ORVEL_BUILD_DIR) != 0) _exit(127);
    execl(ORVEL_BIN, ORVEL_BIN, static_cast<char*>(nullptr));
    _exit(127);
  }
  // The music sets the pace, but when the program starts and when this test's screenshots
  // are taken is up to the machine: wait for each scene with a generous deadline.
  int shots = 0;
  auto shot_until = [&](const char* name, auto&& wanted) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    Picture p;
    do {
      std::this_thread::sleep_for(std::chrono::milliseconds(250));
      p = Picture{};
      if (!screenshot(server.display, std::string(ORVEL_BUILD_DIR) + "/" + name + ".xwd", p)) continue;
      ++shots;
      if (p.width == 512 && p.height == 384 && wanted(p)) break;
    } while (std::chrono::steady_clock::now() < deadline);
    if (!p.rgb.empty()) write_png_rgb(std::string(ORVEL_BUILD_DIR) + "/" + name + ".png", p);
    return p;
  };
  // Order 1 (7.68 s to 15.36 s) builds the staircase; orders 3 to 7 show the figure on it.
  auto stairs_shown = [](const Picture& p) { return p.at(256, 55) == 0x500000u && p.at(0, 54) == 0x525943u; };
  const Picture stairs = shot_until("live-order1", stairs_shown);
  ASSERT_TRUE(stairs_shown(stairs)) << "no staircase in " << shots << " screenshots";
  auto figure_shown = [&](const Picture& p) {
    long lit = 0;
    for (uint32_t v : p.rgb) lit += v != 0;
    return p.rgb != stairs.rgb && !stairs_shown(p) && lit > 10000;
  };
  const Picture figure = shot_until("live-order3", figure_shown);
  EXPECT_TRUE(figure_shown(figure)) << "the scene after the staircase never showed";

  int status = -1;
  EXPECT_FALSE(child_exited(pid, &status, 0)) << "the production ended early";
  const std::string key = "xdotool key --clearmodifiers Escape";
  EXPECT_EQ(std::system(("DISPLAY=" + server.display + " " + key).c_str()), 0);
  const bool ended = child_exited(pid, &status, 60);
  if (!ended) kill(pid, SIGKILL), waitpid(pid, &status, 0);
  EXPECT_TRUE(ended) << "Escape did not end the program";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  server.stop();
}

// Starting the show at an order, offline, with a small module: from that order's first
// frame on, the frame log and the sound are a run from the start's, and an order the
// music never reaches is refused with one line.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "app/demo.h"
#include "app/timeline.h"
#include "support/offline_run.h"
#include "support/run_program.h"
#include "tools/itwriter/itwriter.h"

namespace fs = std::filesystem;

namespace {

// Six orders of 16 rows (1.92 s each).
std::string stage(const std::string& name) {
  const std::string dir = scratch_dir(name);
  fs::copy_file(ORVEL_BIN, dir + "/orvel");
  fs::create_directories(dir + "/musica");
  EXPECT_EQ(it_write_file(make_test_module(6, 16, 6, 125), dir + "/musica/XK_TRAM4.IT"), 0);
  return dir;
}

}  // namespace

TEST(Start, FromAnyOrderTheFramesAndTheSoundAreThoseOfARunFromTheStart) {
  const std::string dir = stage("start-exact");
  for (const int fps : {30, 50}) {
    const OfflineRun whole = run_offline(dir + "/orvel", dir, fps);
    ASSERT_EQ(whole.status, 0) << whole.err;
    ASSERT_GT(whole.frames.size(), 300u);
    for (const int start : {1, 3, 5})
      EXPECT_TRUE(same_from_start(whole, run_offline(dir + "/orvel", dir, fps, start), fps, start))
          << fps << " fps, start " << start;
  }
}

TEST(Start, AnOrderTheMusicNeverReachesEndsTheRunUnstartedWithOneLine) {
  const std::string dir = stage("start-beyond");
  const ProgramResult r = run_program({dir + "/orvel", "--render", "--start", "6", "--frames", "log.tsv", "--wav",
                                       "sound.wav", "--snapshot", "6:0:x.png"},
                                      dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "orvel: the music never reaches order 6 to start at\n");
  for (const char* name : {"log.tsv", "sound.wav", "x.png"}) EXPECT_FALSE(fs::exists(dir + "/" + name)) << name;
}

namespace {
std::vector<MusicPosition> shown;
void watch_five(int, const MusicPosition& at) {
  shown.push_back(at);
  if (shown.size() == 5) end_show();
}
}  // namespace

// Live (SDL's dummy window and sound device), with the production's music: the first
// frame shown is the order's, at the module's own time, and the clock goes on from there.
TEST(Start, LiveTheShowBeginsAtTheOrderAtTheModulesOwnTime) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  RunOptions options;
  options.windowed = true;
  options.start_order = 27;
  shown.clear();
  set_frame_observer(watch_five);
  EXPECT_EQ(run_demo(&options), 0);
  set_frame_observer(nullptr);
  ASSERT_EQ(shown.size(), 5u);
  EXPECT_EQ(shown[0].order, 27);
  EXPECT_LE(shown[0].row, 1);
  // Order 27 begins 207.36 s into the module (the frame log of a whole run says so).
  EXPECT_GE(shown[0].time, 207300);
  EXPECT_LT(shown[0].time, 207366 + 1000);
  for (size_t i = 1; i < shown.size(); ++i) EXPECT_GE(shown[i].time, shown[i - 1].time);
}

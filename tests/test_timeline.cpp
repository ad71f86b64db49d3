// The phase table against a scripted clock: which frames each phase presents, and the
// set-up steps between phases.
#include <gtest/gtest.h>

#include <vector>

#include "app/demo.h"
#include "app/record.h"
#include "app/show.h"
#include "app/timeline.h"
#include "display/display.h"
#include "support/scripted_sound.h"

namespace {

struct Frame {
  int phase;
  MusicPosition at;
  uint32_t crc;  // of the presented picture, when asked for
};
std::vector<Frame> frames;
bool take_crcs = false;

void observe(int phase, const MusicPosition& at) {
  frames.push_back({phase, at, take_crcs ? picture_crc(show.screen) : 0});
}

class Timeline : public ::testing::Test {
 protected:
  ScriptedSound sound;

  void SetUp() override {
    frames.clear();
    reset_show();
    show.phase_start = -1;
    show.greeting_base_order = -1;
    music_use_layer(&sound);
    DisplaySettings offline;
    offline.mode = DisplayMode::Offline;
    display_configure(offline);
    set_frame_observer(observe);
  }
  void TearDown() override {
    take_crcs = false;
    set_frame_observer(nullptr);
    music_use_layer(nullptr);
  }

  // The start-up's steps 3 to 7 against the script.
  void run() {
    ASSERT_EQ(music_init(MODULE_PATH), 0);
    ASSERT_EQ(display_open(WINDOW_TITLE, SCREEN_WIDTH, SCREEN_HEIGHT), 1);
    start_playing();
    run_timeline();
    stop_playing();
  }

  void add(int order, int first_row, int last_row, int time_step = 10) {
    for (int r = first_row; r <= last_row; ++r) {
      const int t = sound.script.empty() ? 0 : sound.script.back().time + time_step;
      sound.script.push_back({order, r, t});
    }
  }

  std::vector<Frame> of_phase(int phase) const {
    std::vector<Frame> out;
    for (const Frame& f : frames)
      if (f.phase == phase) out.push_back(f);
    return out;
  }
};

}  // namespace

TEST_F(Timeline, EveryOrderInTurnVisitsEveryPhaseForwardAndEndsAtRow60) {
  for (int order = 0; order < 29; ++order) add(order, 0, 63);
  add(29, 0, 70);
  run();

  // Phases never go back, and each presents only orders of its range (the phases that
  // read before drawing show the order just read).
  const int first_order[17] = {0, 0, 1, 1, 2, 3, 8, 9, 10, 13, 14, 17, 18, 21, 25, 26, 29};
  const int last_order[17] = {0, 1, 1, 1, 2, 7, 8, 9, 12, 13, 16, 17, 20, 24, 25, 28, 29};
  int previous = 1;
  for (const Frame& f : frames) {
    ASSERT_GE(f.phase, previous);
    previous = f.phase;
    EXPECT_GE(f.at.order, first_order[f.phase] - (f.phase == 2 || f.phase == 13 ? 1 : 0)) << f.phase;
    EXPECT_LE(f.at.order, last_order[f.phase] + (f.phase <= 2 || f.phase == 13 || f.phase == 14 ? 1 : 0)) << f.phase;
  }
  for (int phase = 1; phase <= 16; ++phase) EXPECT_FALSE(of_phase(phase).empty()) << phase;

  // Phases 1 and 2 read before drawing: the black phase shows order 1 row 0 once. Phase 2
  // tests the row before each frame: its last frame is drawn from row 48 read at its
  // start, after row 47 let it run once more.
  EXPECT_EQ(of_phase(1).back().at.order, 1);
  EXPECT_EQ(of_phase(1).back().at.row, 0);
  const auto p2 = of_phase(2);
  EXPECT_EQ(p2.front().at.order, 1);
  EXPECT_EQ(p2.front().at.row, 1);
  EXPECT_EQ(p2.back().at.row, 48);
  EXPECT_EQ(of_phase(3).front().at.row, 48);

  // The black end: frames while the row read is below 60, ending at the read of row 60.
  const auto p16 = of_phase(16);
  EXPECT_EQ(p16.front().at.order, 29);
  EXPECT_EQ(p16.front().at.row, 0);
  EXPECT_EQ(p16.back().at.row, 59);
  EXPECT_EQ(sound.now.row, 60);

  // The first order-13 frame is drawn from the last read of order 12, which sets phase_start.
  EXPECT_EQ(show.phase_start, of_phase(9).front().at.time);
  EXPECT_EQ(of_phase(9).front().at.order, 13);
  EXPECT_EQ(show.greeting_base_order, 21);
}

TEST_F(Timeline, TheStartUpCallsTheSoundLayerInOrder) {
  add(30, 0, 0);
  run();
  const std::vector<std::string> expected = {"version",
                                             "output 2",
                                             "file callbacks",
                                             "memory null 0",
                                             "driver 0",
                                             "init 44100 32 1",
                                             "load musica\\XK_TRAM4.IT",
                                             "volume 192",
                                             "looping off",
                                             "play",
                                             "order 0",
                                             "stop",
                                             "free",
                                             "close"};
  EXPECT_EQ(sound.calls, expected);
  EXPECT_TRUE(frames.empty());
}

TEST_F(Timeline, VersionBelowTheLowestIsRefusedBeforeAnythingElse) {
  sound.version = 3.6299999f;
  EXPECT_EQ(music_init(MODULE_PATH), 1);
  EXPECT_EQ(sound.calls, std::vector<std::string>{"version"});
  sound.calls.clear();
  sound.version = 3.63f;
  EXPECT_EQ(music_init(MODULE_PATH), 0);
  EXPECT_EQ(sound.calls.size(), 7u);
  sound.loads = false;
  EXPECT_EQ(music_init(MODULE_PATH), 1);
  music_free();
}

TEST_F(Timeline, AFirstReadPastOrderZeroSkipsTheBlackPhase) {
  add(1, 0, 0);
  add(1, 1, 63);
  add(30, 0, 0);
  run();
  EXPECT_TRUE(of_phase(1).empty());
  // Phase 2 reads at its start: its first frame has the second entry's time.
  ASSERT_FALSE(of_phase(2).empty());
  EXPECT_EQ(of_phase(2).front().at.row, 1);
}

TEST_F(Timeline, SkippedPhasesStillRunTheirSetUp) {
  add(0, 0, 3);
  add(12, 5, 5, 1000);  // 1030 ms
  add(19, 0, 3);        // 1040 ms, the last read before order 13; jumps over 13 to 18
  add(22, 0, 3);        // enters the greetings late
  add(30, 0, 0);
  run();

  EXPECT_EQ(show.phase_start, 1040);
  EXPECT_TRUE(of_phase(9).empty());
  EXPECT_TRUE(of_phase(10).empty());
  EXPECT_TRUE(of_phase(11).empty());
  EXPECT_FALSE(of_phase(12).empty());
  EXPECT_EQ(show.greeting_base_order, 22);
}

TEST_F(Timeline, TheHillsParticlesAreRenewedEvenWhenEveryPhaseIsSkipped) {
  add(0, 0, 3);
  add(30, 0, 0);
  run();
  EXPECT_TRUE(of_phase(12).empty());
  // Six draws each for records 0 to 49, and nothing else drew from the generator but the
  // pool's filling.
  Random generator;
  for (int i = 0; i < PARTICLE_COUNT; ++i) spawn_particle(generator);
  Particle expected[50];
  for (Particle& p : expected) {
    p = spawn_particle(generator);
    p.y = next_random(generator) + 384;
    p.x = next_random(generator) * 2;
  }
  for (int i = 0; i < 50; ++i) {
    EXPECT_EQ(show.particles[i].x, expected[i].x) << i;
    EXPECT_EQ(show.particles[i].y, expected[i].y) << i;
    EXPECT_EQ(show.particles[i].life, expected[i].life) << i;
    EXPECT_EQ(show.particles[i].red, expected[i].red) << i;
  }
  EXPECT_EQ(show.greeting_base_order, 30);
}

TEST_F(Timeline, PhaseSixteenRunsOnlyOnOrderExactly29) {
  add(28, 0, 2);
  add(30, 0, 0);
  run();
  EXPECT_TRUE(of_phase(16).empty());
  ASSERT_FALSE(frames.empty());
  EXPECT_EQ(frames.back().phase, 15);
}

TEST_F(Timeline, PhaseSixteenEndsWhenTheOrderLeaves29) {
  add(29, 0, 10);
  add(31, 0, 0);
  run();
  const auto p16 = of_phase(16);
  ASSERT_EQ(p16.size(), 11u);
  EXPECT_EQ(p16.back().at.row, 10);
}

// Whatever lives on from frame to frame is in the show: after its reset, a second run in
// the same process draws every frame as the first did.
TEST_F(Timeline, ASecondRunAfterTheResetDrawsTheSameFrames) {
  for (int order = 0; order < 29; ++order) add(order, 0, 63, 17);
  add(29, 0, 60, 17);
  take_crcs = true;
  run();
  const std::vector<Frame> first = frames;
  ASSERT_GT(first.size(), 1800u);
  frames.clear();
  sound.reads = 0;
  reset_show();
  run();
  ASSERT_EQ(frames.size(), first.size());
  for (size_t i = 0; i < first.size(); ++i) ASSERT_EQ(frames[i].crc, first[i].crc) << "frame " << i;
}

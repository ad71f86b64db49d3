// The program on the null platform (no window, no sound device) beside the Linux one: the
// platform's files are all that differ, so an offline run gives the same frames and sound,
// and what the null platform lacks fails as it would on a machine without it.
#include <gtest/gtest.h>

#include <string>

#include "support/run_program.h"

namespace {

struct Rendered {
  ProgramResult result;
  std::string log, wav;
};

Rendered render(const std::string& program, const std::string& name, const std::vector<std::string>& extra = {}) {
  const std::string dir = scratch_dir(name);
  std::vector<std::string> argv = {program, "--render", "--fps", "30", "--start", "26", "--frames", dir + "/frames.tsv",
                                   "--wav", dir + "/sound.wav"};
  argv.insert(argv.end(), extra.begin(), extra.end());
  Rendered run;
  run.result = run_program(argv, ORVEL_BUILD_DIR);
  run.log = read_text(dir + "/frames.tsv");
  run.wav = read_text(dir + "/sound.wav");
  return run;
}

}  // namespace

TEST(NullPlatform, OfflineRunIsTheLinuxProgramsByteForByte) {
  const Rendered linux_run = render(ORVEL_BIN, "null-linux");
  const Rendered null_run = render(ORVEL_NULL_BIN, "null-null");
  ASSERT_EQ(linux_run.result.status, 0) << linux_run.result.err;
  ASSERT_EQ(null_run.result.status, 0) << null_run.result.err;
  EXPECT_EQ(null_run.result.err, "");
  // Orders 26 to 29 at 30 fps: some hundreds of frames.
  EXPECT_GT(linux_run.log.size(), 10000u);
  EXPECT_GT(linux_run.wav.size(), 1000000u);
  EXPECT_TRUE(null_run.log == linux_run.log) << "the frame logs differ";
  EXPECT_TRUE(null_run.wav == linux_run.wav) << "the sound differs";
}

// No PNG writer: a snapshot fails as an unwritable file does, after a whole run.
TEST(NullPlatform, SnapshotFailsAsUnwritable) {
  const std::string dir = scratch_dir("null-snapshot");
  const ProgramResult r = run_program(
      {ORVEL_NULL_BIN, "--render", "--fps", "30", "--start", "29", "--snapshot", "29:0:" + dir + "/shot.png"},
      ORVEL_BUILD_DIR);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "orvel: cannot write '" + dir + "/shot.png'\n");
}

// No window: a live run ends at once, as where no window system answers, with nothing
// printed (the live program shows no messages).
TEST(NullPlatform, LiveRunHasNoDisplay) {
  const ProgramResult r = run_program({ORVEL_NULL_BIN, "--window"}, ORVEL_BUILD_DIR);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
}

// An installed program finds its data under share/orvel from any working directory.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/run_program.h"

TEST(Install, RunsFromAnyFolder) {
  const std::string prefix = scratch_dir("install");
  const ProgramResult installed = run_program({CMAKE_COMMAND, "--install", ORVEL_BUILD_DIR, "--prefix", prefix});
  ASSERT_EQ(installed.status, 0) << installed.err;
  ASSERT_TRUE(std::filesystem::exists(prefix + "/share/orvel/musica/XK_TRAM4.IT"));
  EXPECT_TRUE(std::filesystem::exists(prefix + "/share/orvel/gfx/ffinal.gif"));

  const std::string elsewhere = scratch_dir("install-cwd");
  const ProgramResult run =
      run_program({prefix + "/bin/orvel", "--render", "--fps", "4", "--frames", "log.tsv"}, elsewhere);
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string log = read_text(elsewhere + "/log.tsv");
  EXPECT_NE(log.find("\t29\t"), std::string::npos) << "the run reached order 29";
}

// The whole production started at every order, offline at 30 and 60 fps: from that
// order's first frame on, every frame log line and every sample are those of the run from
// the start. Not built with the sanitizers: these are 58 runs of the real production.
#include <gtest/gtest.h>

#include "app/timeline.h"
#include "support/offline_run.h"
#include "support/run_program.h"

namespace {

void every_order_at(int fps) {
  const std::string dir = scratch_dir("start-every-order-" + std::to_string(fps));
  const OfflineRun whole = run_offline(ORVEL_BIN, dir, fps);
  ASSERT_EQ(whole.status, 0) << whole.err;
  for (int start = 1; start <= LAST_ORDER; ++start)
    EXPECT_TRUE(same_from_start(whole, run_offline(ORVEL_BIN, dir, fps, start), fps, start)) << "start " << start;
}

}  // namespace

TEST(StartEveryOrder, At30Fps) { every_order_at(30); }
TEST(StartEveryOrder, At60Fps) { every_order_at(60); }

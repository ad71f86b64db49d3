// The drawing cost of every phase, per frame, and the whole production offline; the page
// measures the same with web/bench.cpp.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <vector>

#include "bench/timeline_costs.h"
#include "display/display.h"
#include "effects/effects.h"

namespace {

double now_us() {
  return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::map<int, std::vector<double>> phase_costs;  // microseconds per frame

void measure() {
  if (chdir(ORVEL_BUILD_DIR) != 0) std::abort();
  prepare_measurements();
  phase_costs = measure_phase_costs(now_us);
}

void PhaseCost(benchmark::State& state) {
  const CostSummary summary = summarize(phase_costs[static_cast<int>(state.range(0))]);
  for (auto _ : state) {
  }
  if (summary.frames == 0) return;
  state.counters["frames"] = static_cast<double>(summary.frames);
  state.counters["median_us"] = summary.median_us;
  state.counters["max_us"] = summary.max_us;
}

// The production as the program plays it offline, audio mixed, nothing recorded.
void WholeProduction60fps(benchmark::State& state) {
  double speed = 0;
  int runs = 0;
  for (auto _ : state) {
    speed += whole_production_speed(now_us);
    ++runs;
  }
  state.counters["x_real_time"] = speed / runs;
}

// A start at an order, until its first frame is shown: the cue (the music mixed silently
// up to it) and the rehearsal of the frames before it.
void StartAt(benchmark::State& state) {
  StartCost sum{0, 0, 0};
  int runs = 0;
  for (auto _ : state) {
    const StartCost c = measure_start(static_cast<int>(state.range(0)), now_us);
    sum.cue_ms += c.cue_ms;
    sum.rehearsal_ms += c.rehearsal_ms;
    sum.rehearsed_frames = c.rehearsed_frames;
    ++runs;
  }
  state.counters["cue_ms"] = sum.cue_ms / runs;
  state.counters["rehearsal_ms"] = sum.rehearsal_ms / runs;
  state.counters["total_ms"] = (sum.cue_ms + sum.rehearsal_ms) / runs;
  state.counters["rehearsed_frames"] = static_cast<double>(sum.rehearsed_frames);
}

}  // namespace

int main(int argc, char** argv) {
  measure();
  for (int phase = 1; phase <= 16; ++phase)
    benchmark::RegisterBenchmark(("PhaseCost/" + std::to_string(phase)).c_str(), PhaseCost)->Arg(phase)->Iterations(1);
  benchmark::RegisterBenchmark("WholeProduction60fps", WholeProduction60fps)->Iterations(2)->Unit(benchmark::kSecond);
  for (int order : {1, 9, 13, 21, 25, 29})
    benchmark::RegisterBenchmark(("StartAt/" + std::to_string(order)).c_str(), StartAt)
        ->Arg(order)
        ->Iterations(3)
        ->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

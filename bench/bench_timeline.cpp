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

}  // namespace

int main(int argc, char** argv) {
  measure();
  for (int phase = 1; phase <= 16; ++phase)
    benchmark::RegisterBenchmark(("PhaseCost/" + std::to_string(phase)).c_str(), PhaseCost)->Arg(phase)->Iterations(1);
  benchmark::RegisterBenchmark("WholeProduction60fps", WholeProduction60fps)->Iterations(2)->Unit(benchmark::kSecond);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

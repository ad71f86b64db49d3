// The music clock: offline rendering speed, the cost of one read, and how smoothly the
// live clock moves.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>
#include <vector>

#include "music/music.h"

namespace {

const std::string SYNC_TRACK = std::string(ORVEL_BUILD_DIR) + "/fixtures/synctrack.it";

void read(MusicPosition* p) {
  music_position(&p->row, &p->order);
  p->time = music_time();
}

// The whole sync track at 60 fps with nothing drawn, as the timeline would run it.
void OfflineWholeTrack(benchmark::State& state) {
  double music_seconds = 0;
  for (auto _ : state) {
    SoundSettings s;
    s.mode = SoundMode::Offline;
    s.fps = 60;
    music_configure(s);
    if (music_init(SYNC_TRACK.c_str()) != 0) {
      state.SkipWithError("sync track missing");
      return;
    }
    music_start();
    music_set_order(0);
    MusicPosition p{};
    read(&p);
    while (p.order < 29 || (p.order == 29 && p.row < 60)) {
      music_frame_presented();
      read(&p);
    }
    music_seconds += p.time / 1000.0;
    music_stop();
    music_free();
  }
  state.counters["x_real_time"] = benchmark::Counter(music_seconds, benchmark::Counter::kIsRate);
}
BENCHMARK(OfflineWholeTrack)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void start_live(const char* driver) {
  setenv("SDL_AUDIODRIVER", driver, 1);
  music_configure(SoundSettings{});
  if (music_init(SYNC_TRACK.c_str()) != 0) std::abort();
  music_start();
  music_set_order(0);
}

// One frame's read: the position, then the time.
void ReadCost(benchmark::State& state, const char* driver) {
  start_live(driver);
  state.SetLabel(music_output() == SoundOutput::Device ? "audio device" : "silent");
  MusicPosition p{};
  for (auto _ : state) {
    read(&p);
    benchmark::DoNotOptimize(p);
  }
  music_stop();
  music_free();
}
BENCHMARK_CAPTURE(ReadCost, dummy_device, "dummy");
BENCHMARK_CAPTURE(ReadCost, silent, "no-such-driver");

// Two seconds of reads every 200 us, each a position and its time as the timeline reads
// them: the size of the clock's steps, and how far it strays from the wall clock (its
// jitter, after taking out the constant offset).
void ClockSteps(benchmark::State& state, const char* driver) {
  for (auto _ : state) {
    start_live(driver);
    state.SetLabel(music_output() == SoundOutput::Device ? "audio device" : "silent");
    std::vector<int> steps;
    std::vector<double> offsets;
    const auto start = std::chrono::steady_clock::now();
    MusicPosition p{};
    read(&p);
    int last = p.time;
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(2)) {
      read(&p);
      const int t = p.time;
      const double wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
      if (t != last) {
        steps.push_back(t - last);
        if (wall > 300) offsets.push_back(t - wall);
        last = t;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    music_stop();
    music_free();
    std::sort(steps.begin(), steps.end());
    const auto [lo, hi] = std::minmax_element(offsets.begin(), offsets.end());
    state.counters["steps"] = static_cast<double>(steps.size());
    state.counters["step_median_ms"] = steps.empty() ? 0 : steps[steps.size() / 2];
    state.counters["step_max_ms"] = steps.empty() ? 0 : steps.back();
    state.counters["jitter_ms"] = offsets.empty() ? 0 : *hi - *lo;
  }
}
BENCHMARK_CAPTURE(ClockSteps, dummy_device, "dummy")->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(ClockSteps, silent, "no-such-driver")->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();

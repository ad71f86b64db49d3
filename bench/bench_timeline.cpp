// The drawing cost of every phase, per frame, and the whole production offline.
//
// The production is first played offline at 60 fps by the program's own player while
// every position read is recorded; the timeline is then replayed from that record with
// no sound at all, so the time between two presented frames is the drawing alone.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <vector>

#include "app/app.h"
#include "display/display.h"
#include "effects/effects.h"
#include "support/scripted_sound.h"

namespace {

using Clock = std::chrono::steady_clock;

class Recorder final : public SoundLayer {
 public:
  explicit Recorder(SoundLayer* inner) : inner_(inner) {}
  std::vector<MusicPosition> reads;

  float get_version() override { return inner_->get_version(); }
  void set_output(int o) override { inner_->set_output(o); }
  void set_file_callbacks(const SoundFileCallbacks& c) override { inner_->set_file_callbacks(c); }
  void set_memory_system(void* p, int n, const SoundMemoryCallbacks& c) override { inner_->set_memory_system(p, n, c); }
  void set_driver(int d) override { inner_->set_driver(d); }
  int init(int rate, int channels, int flags) override { return inner_->init(rate, channels, flags); }
  bool load_song(const char* path) override { return inner_->load_song(path); }
  void set_master_volume(int v) override { inner_->set_master_volume(v); }
  void set_looping(bool l) override { inner_->set_looping(l); }
  void play_song() override { inner_->play_song(); }
  signed char set_order(int32_t o) override { return inner_->set_order(o); }
  int32_t get_row() override {
    reads.push_back({0, inner_->get_row(), 0});
    return reads.back().row;
  }
  int32_t get_order() override { return reads.back().order = inner_->get_order(); }
  int32_t get_time() override { return reads.back().time = inner_->get_time(); }
  void stop_song() override { inner_->stop_song(); }
  void free_song() override { inner_->free_song(); }
  void close() override { inner_->close(); }
  void frame_presented() override { inner_->frame_presented(); }

 private:
  SoundLayer* inner_;
};

void fresh_state() {
  std::memset(screen, 0, sizeof(Canvas));
  std::memset(backdrop, 0, sizeof(Canvas));
  std::memset(layer_a, 0, sizeof(Canvas));
  std::memset(layer_b, 0, sizeof(Canvas));
  set_random_state(0x12345);
  for (Particle& p : particles) p = spawn_particle();
  set_flicker_anchor_row(0);
  set_bubbles_last_elapsed(0);
  reset_hills_state();
  position = {0, 0, 0};
}

void run_once(SoundLayer* layer) {
  music_use_layer(layer);
  fresh_state();
  if (music_init(MODULE_PATH) != 0) std::abort();
  display_open(WINDOW_TITLE, SCREEN_WIDTH, SCREEN_HEIGHT);
  start_playing();
  run_timeline();
  stop_playing();
  music_use_layer(nullptr);
}

struct Frames {
  std::vector<int> phase;
  std::vector<Clock::time_point> at;
};
Frames frames;
void observe(int phase, const MusicPosition&) {
  frames.phase.push_back(phase);
  frames.at.push_back(Clock::now());
}

std::map<int, std::vector<double>> phase_costs;  // microseconds per frame

void measure() {
  if (chdir(ORVEL_BUILD_DIR) != 0) std::abort();
  load_assets();
  DisplaySettings offline;
  offline.mode = DisplayMode::Offline;
  display_configure(offline);
  SoundSettings sound;
  sound.mode = SoundMode::Offline;
  sound.fps = 60;
  music_configure(sound);

  Recorder recorder(program_sound_layer());
  run_once(&recorder);

  ScriptedSound replay;
  replay.script = recorder.reads;
  set_frame_observer(observe);
  run_once(&replay);
  set_frame_observer(nullptr);
  for (size_t i = 1; i < frames.at.size(); ++i)
    phase_costs[frames.phase[i]].push_back(std::chrono::duration<double, std::micro>(frames.at[i] - frames.at[i - 1]).count());
}

void PhaseCost(benchmark::State& state) {
  const std::vector<double>& costs = phase_costs[static_cast<int>(state.range(0))];
  for (auto _ : state) {
  }
  if (costs.empty()) return;
  std::vector<double> sorted = costs;
  std::sort(sorted.begin(), sorted.end());
  state.counters["frames"] = static_cast<double>(sorted.size());
  state.counters["median_us"] = sorted[sorted.size() / 2];
  state.counters["max_us"] = sorted.back();
}

// The production as the program plays it offline, audio mixed, nothing recorded.
void WholeProduction60fps(benchmark::State& state) {
  double music_seconds = 0, wall_seconds = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    run_once(program_sound_layer());
    wall_seconds += std::chrono::duration<double>(Clock::now() - start).count();
    music_seconds += position.time / 1000.0;
  }
  state.counters["x_real_time"] = music_seconds / wall_seconds;
}

}  // namespace

int main(int argc, char** argv) {
  measure();
  for (int phase = 1; phase <= 16; ++phase)
    benchmark::RegisterBenchmark(("PhaseCost/" + std::to_string(phase)).c_str(), PhaseCost)
        ->Arg(phase)
        ->Iterations(1);
  benchmark::RegisterBenchmark("WholeProduction60fps", WholeProduction60fps)->Iterations(2)->Unit(benchmark::kSecond);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

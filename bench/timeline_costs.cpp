#include "bench/timeline_costs.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "app/assets.h"
#include "app/demo.h"
#include "app/show.h"
#include "app/timeline.h"
#include "display/display.h"
#include "effects/effects.h"
#include "support/scripted_sound.h"

namespace {

void run_once(SoundLayer* layer) {
  music_use_layer(layer);
  reset_show();  // every run starts from the state a fresh process has
  if (music_init(MODULE_PATH) != 0) std::abort();
  display_open(WINDOW_TITLE, SCREEN_WIDTH, SCREEN_HEIGHT);
  start_playing();
  run_timeline();
  stop_playing();
  music_use_layer(nullptr);
}

double (*clock_us)() = nullptr;
std::vector<int> frame_phase;
std::vector<double> frame_at;
void observe(int phase, const MusicPosition&) {
  frame_phase.push_back(phase);
  frame_at.push_back(clock_us());
}

}  // namespace

void prepare_measurements() {
  load_assets();
  DisplaySettings offline;
  offline.mode = DisplayMode::Offline;
  display_configure(offline);
  SoundSettings sound;
  sound.mode = SoundMode::Offline;
  sound.fps = 60;
  music_configure(sound);
}

std::map<int, std::vector<double>> measure_phase_costs(double (*now_us)()) {
  RecordingLayer recorder(program_sound_layer());
  run_once(&recorder);

  ScriptedSound replay;
  replay.script = recorder.reads;
  clock_us = now_us;
  frame_phase.clear();
  frame_at.clear();
  set_frame_observer(observe);
  run_once(&replay);
  set_frame_observer(nullptr);
  std::map<int, std::vector<double>> costs;
  for (size_t i = 1; i < frame_at.size(); ++i) costs[frame_phase[i]].push_back(frame_at[i] - frame_at[i - 1]);
  return costs;
}

double whole_production_speed(double (*now_us)()) {
  const double start = now_us();
  run_once(program_sound_layer());
  return show.position.time / 1000.0 / ((now_us() - start) / 1e6);
}

namespace {
double shown_at = 0;
void first_shown(int, const MusicPosition&) {
  shown_at = clock_us();
  end_show();
}
}  // namespace

StartCost measure_start(int order, double (*now_us)()) {
  music_use_layer(nullptr);
  reset_show();
  if (music_init(MODULE_PATH) != 0) std::abort();
  display_open(WINDOW_TITLE, SCREEN_WIDTH, SCREEN_HEIGHT);
  clock_us = now_us;
  set_frame_observer(first_shown);
  const double start = now_us();
  if (!start_playing(order)) std::abort();
  const double cued = now_us();
  run_timeline(order);
  set_frame_observer(nullptr);
  stop_playing();
  return {(cued - start) / 1000, (shown_at - cued) / 1000, show.frame - 1};
}

CostSummary summarize(std::vector<double> costs) {
  if (costs.empty()) return {0, 0, 0};
  std::sort(costs.begin(), costs.end());
  return {costs.size(), costs[costs.size() / 2], costs.back()};
}

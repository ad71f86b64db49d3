// The page's benchmarks (bench.html, built beside the site, not in it). Offline: the drawing
// cost of every phase, the whole production at 60 fps and the cost of a start at an order,
// measured as the native bench_timeline does. With ?live: the show as the page plays it,
// every read of the clock set beside the audio context's own time at that moment.
#include <emscripten.h>

#include <cstdio>
#include <cstdlib>

#include "app/demo.h"
#include "bench/timeline_costs.h"
#include "display/display.h"

namespace {

double now_us() { return emscripten_get_now() * 1000.0; }

// clang-format off
EM_JS(int, page_live, (), { return Module.orvelLive ? 1 : 0; });
EM_JS(void, page_print, (const char* line), {
  document.getElementById('bench').textContent += UTF8ToString(line) + '\n';
});
EM_JS(void, page_done, (), { document.title = 'done'; });
// What the audio context says is heard now, in ms of the stream, beside the clock's read.
EM_JS(void, page_log_read, (int order, int row, int time), {
  const audio = Module.orvelAudio;
  const latency = audio.context.outputLatency || audio.context.baseLatency || 0;
  (Module.orvelReads = Module.orvelReads || []).push(
      [(audio.context.currentTime - latency - audio.start) * 1000, time, order, row]);
});
// clang-format on

void log_read(const MusicPosition& read) { page_log_read(read.order, read.row, read.time); }

void print(const char* format, double a, double b = 0, double c = 0, double d = 0) {
  char line[160];
  std::snprintf(line, sizeof line, format, a, b, c, d);
  page_print(line);
}

}  // namespace

int main() {
  if (page_live()) {
    RunOptions options;
    RecordingLayer recorder(program_sound_layer());
    recorder.after_read = log_read;
    music_use_layer(&recorder);
    // As the page's main: only exit ends the runtime once the browser's frames have run.
    std::exit(run_demo(&options));
  }
  prepare_measurements();
  const std::map<int, std::vector<double>> costs = measure_phase_costs(now_us);
  for (const auto& [phase, frames] : costs) {
    const CostSummary s = summarize(frames);
    print("phase %.0f\tframes %.0f\tmedian_us %.1f\tmax_us %.1f", phase, static_cast<double>(s.frames), s.median_us,
          s.max_us);
  }
  print("whole production 60 fps\tx_real_time %.2f", whole_production_speed(now_us));
  for (int order : {9, 21, 29}) {
    const StartCost c = measure_start(order, now_us);
    print("start at order %.0f\tcue_ms %.0f\trehearsal_ms %.0f\ttotal_ms %.0f", order, c.cue_ms, c.rehearsal_ms,
          c.cue_ms + c.rehearsal_ms);
  }
  page_done();
  return 0;
}

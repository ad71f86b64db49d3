// The clock through a real sound server, as the viewer gets it: for each set-up, the
// clock's error at its reads, when row and order changes appear on screen against when
// their sound is played, and the dropouts. Not a Google Benchmark: it prints figures.
//
//   bench_live_sync [--runs N] [--seconds S] [--busy AT] [--module FILE] [SETUP...]
//
// --seconds 0 plays the whole show to its end; --busy AT starts two busy loops AT seconds
// in, for 30 s; --module plays another module (default: the live sync track).
//
// Set-ups: default, latencyN (PULSE_LATENCY_MSEC=N), alsa; each may be prefixed by the audio output
// to use (pulse-, openal-, sdl-), e.g. sdl-latency100, and by pipewire- for PipeWire's
// PulseAudio service in place of PulseAudio, e.g. pipewire-sdl-latency100.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/live_sync.h"

namespace {

LiveSyncSetup setup_named(const std::string& name) {
  LiveSyncSetup s;
  s.name = name;
  std::string rest = name;
  if (rest.rfind("pipewire", 0) == 0) {
    s.server = "pipewire";
    rest = rest.size() > 8 ? rest.substr(9) : "default";
  }
  for (const char* backend : {"pulse", "openal", "sdl"}) {
    const std::string prefix = backend;
    if (rest.rfind(prefix, 0) == 0) {
      s.env.push_back("ORVEL_AUDIO=" + prefix);
      rest = rest.size() > prefix.size() ? rest.substr(prefix.size() + 1) : "default";
    }
  }
  if (rest.rfind("latency", 0) == 0) s.env.push_back("PULSE_LATENCY_MSEC=" + rest.substr(7));
  if (rest == "alsa") {
    // PulseAudio's ALSA plug-in, as a program that speaks only ALSA reaches the server.
    if (s.env.empty()) s.env.push_back("ORVEL_AUDIO=openal");
    s.env.push_back("ALSOFT_DRIVERS=alsa");
    s.env.push_back("SDL_AUDIODRIVER=alsa");
  }
  return s;
}

void print_stats(const char* what, const std::vector<double>& v) {
  std::printf("  %-22s n=%5zu  median %+7.1f  p5 %+7.1f  p95 %+7.1f ms\n", what, v.size(), percentile(v, 50),
              percentile(v, 5), percentile(v, 95));
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 1;
  double seconds = 30;
  double busy_at = -1;
  LiveSyncOptions options;
  options.program = std::string(ORVEL_BUILD_DIR) + "/orvel";
  options.data_dir = ORVEL_BUILD_DIR;
  options.module_path = std::string(ORVEL_BUILD_DIR) + "/fixtures/synctrack-live.it";
  std::vector<std::string> names;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool value = i + 1 < argc;
    if (a == "--runs" && value)
      runs = std::atoi(argv[++i]);
    else if (a == "--seconds" && value)
      seconds = std::atof(argv[++i]);
    else if (a == "--busy" && value)
      busy_at = std::atof(argv[++i]);
    else if (a == "--module" && value)
      options.module_path = argv[++i];
    else
      names.push_back(a);
  }
  if (names.empty()) names = {"default", "latency100", "latency200", "alsa"};
  options.seconds = seconds;
  if (const char* program = std::getenv("ORVEL_PROGRAM")) options.program = program;
  for (const std::string& name : names) {
    std::vector<double> clock, rows, orders;
    int dropouts = 0;
    for (int run = 0; run < runs; ++run) {
      options.work_dir = std::string(ORVEL_BUILD_DIR) + "/live-sync/" + name;
      LiveSyncSetup setup = setup_named(name);
      if (busy_at >= 0) {
        setup.event = SoundEvent::BusyLoops;
        setup.event_at_seconds = busy_at;
        setup.event_seconds = 30;
      }
      const LiveSyncResult r = run_live_sync(options, setup);
      if (!r.failure.empty()) {
        std::printf("%s run %d: %s\n", name.c_str(), run + 1, r.failure.c_str());
        continue;
      }
      std::printf("%s run %d: exit %d, %d frames seen, %d rows aligned, %d dropouts%s\n", name.c_str(), run + 1,
                  r.exit_status, r.frames_on_screen, r.rows_aligned, r.dropouts,
                  r.err.empty() ? "" : ", something on stderr");
      clock.insert(clock.end(), r.clock_error_ms.begin(), r.clock_error_ms.end());
      rows.insert(rows.end(), r.row_offset_ms.begin(), r.row_offset_ms.end());
      orders.insert(orders.end(), r.order_offset_ms.begin(), r.order_offset_ms.end());
      dropouts += r.dropouts;
    }
    std::printf("%s (%d runs of %.0f s%s):\n", name.c_str(), runs, seconds,
                busy_at >= 0 ? ", two busy loops for 30 s" : "");
    print_stats("clock error", clock);
    print_stats("row changes on screen", rows);
    print_stats("order changes", orders);
    std::printf("  dropouts %d (%.1f a run)\n", dropouts, runs > 0 ? static_cast<double>(dropouts) / runs : 0.0);
  }
  return 0;
}

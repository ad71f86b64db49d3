// display_update per frame in a 512x384 window on private Xvfb servers at screen
// depths 24 and 16, for each renderer and display depth. "vsync" runs as the program
// does (frames per second it holds); "free" runs without vsync (what a frame costs).
// cpu_us is this process's CPU time per frame (SDL's and the GL driver's threads
// included), x_cpu_us the X server's. Under SDL's dummy driver as well.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "display/display.h"
#include "support/xserver.h"

namespace {
XServer server24, server16;

double process_cpu_us() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e6 + t.tv_nsec / 1e3;
}

// Time the process has run on a processor, from the scheduler's own count.
double server_cpu_us(int pid) {
  if (pid <= 0) return 0;
  std::ifstream in("/proc/" + std::to_string(pid) + "/schedstat");
  double ns = 0;
  in >> ns;
  return ns / 1e3;
}

SDL_Window* our_window() {
  for (Uint32 id = 1; id < 256; ++id)
    if (SDL_Window* w = SDL_GetWindowFromID(id)) return w;
  return nullptr;
}

struct Case {
  std::string video;  // "x11" or "dummy"
  const XServer* server = nullptr;
  std::string renderer;
  int depth = 0;
  bool vsync = true;
  bool windowed = true;
};

void frames(benchmark::State& state, Case c) {
  setenv("SDL_VIDEODRIVER", c.video.c_str(), 1);
  if (c.server != nullptr) setenv("DISPLAY", c.server->display.c_str(), 1);
  SDL_SetHint(SDL_HINT_RENDER_DRIVER, c.renderer.c_str());
  // With vsync the display asks for it itself, as in the program.
  if (c.vsync)
    SDL_ResetHint(SDL_HINT_RENDER_VSYNC);
  else
    SDL_SetHint(SDL_HINT_RENDER_VSYNC, "0");
  DisplaySettings settings;
  settings.windowed = c.windowed;
  settings.depth = c.depth;
  display_configure(settings);
  if (display_open("orvel bench", SCREEN_WIDTH, SCREEN_HEIGHT) != 1) {
    state.SkipWithError("the display did not open");
    return;
  }
  SDL_RendererInfo info{};
  SDL_GetRendererInfo(SDL_GetRenderer(our_window()), &info);
  state.SetLabel(std::string(info.name != nullptr ? info.name : "?") + " " + SDL_GetPixelFormatName(display_format()));

  std::vector<Pixel> canvas(SCREEN_PIXELS);
  std::mt19937 generator(3);
  for (Pixel& p : canvas) p = generator();
  // The window is mapped and the first frames are out before the count starts.
  for (int i = 0; i < 10; ++i) display_update(canvas.data());

  const int server_pid = c.server != nullptr ? c.server->pid : -1;
  const double cpu_start = process_cpu_us(), server_start = server_cpu_us(server_pid);
  for (auto _ : state)
    if (display_update(canvas.data()) != 1) state.SkipWithError("a frame was not presented");
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["cpu_us"] = benchmark::Counter(process_cpu_us() - cpu_start, benchmark::Counter::kAvgIterations);
  if (server_pid > 0)
    state.counters["x_cpu_us"] =
        benchmark::Counter(server_cpu_us(server_pid) - server_start, benchmark::Counter::kAvgIterations);
  display_close();
}

void add(const std::string& name, const Case& c) {
  benchmark::RegisterBenchmark(name.c_str(), frames, c)
      ->Unit(benchmark::kMicrosecond)
      ->UseRealTime()
      ->MinTime(c.vsync ? 2.0 : 0.5);
}
}  // namespace

int main(int argc, char** argv) {
  const bool xvfb = server24.start("1024x768x24") && server16.start("1024x768x16");
  if (!xvfb) std::fprintf(stderr, "Xvfb did not start: dummy driver only\n");

  for (const bool vsync : {true, false}) {
    const std::string timing = vsync ? "vsync" : "free";
    for (const XServer* server : {&server24, &server16}) {
      if (!xvfb) break;
      const std::string screen = server == &server24 ? "screen24" : "screen16";
      for (const char* renderer : {"opengl", "software"})
        for (const int depth : {32, 24, 16})
          add(timing + "/window/" + screen + "/" + renderer + "/" + std::to_string(depth),
              Case{"x11", server, renderer, depth, vsync, true});
    }
  }
  // Fullscreen at the 1024x768 desktop: the picture is scaled by two.
  for (const XServer* server : {&server24, &server16}) {
    if (!xvfb) break;
    const std::string screen = server == &server24 ? "screen24" : "screen16";
    for (const char* renderer : {"opengl", "software"})
      for (const int depth : {32, 24, 16})
        add("vsync/fullscreen/" + screen + "/" + renderer + "/" + std::to_string(depth),
            Case{"x11", server, renderer, depth, true, false});
  }
  for (const int depth : {32, 24, 16})
    add("free/dummy/software/" + std::to_string(depth), Case{"dummy", nullptr, "software", depth, false, true});

  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  server24.stop();
  server16.stop();
  return 0;
}

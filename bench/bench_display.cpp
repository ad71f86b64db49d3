// display_update per frame, vsync off, on a private Xvfb server for each renderer
// and depth it offers; under SDL's dummy driver as well. Without Xvfb only the
// dummy figures are measured.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "display/display.h"
#include "support/xserver.h"

namespace {
XServer server;

void frames(benchmark::State& state, std::string video, std::string renderer, int depth) {
  setenv("SDL_VIDEODRIVER", video.c_str(), 1);
  SDL_SetHint(SDL_HINT_RENDER_DRIVER, renderer.c_str());
  SDL_SetHint(SDL_HINT_RENDER_VSYNC, "0");
  DisplaySettings settings;
  settings.windowed = true;
  settings.depth = depth;
  display_configure(settings);
  if (display_open("orvel bench", SCREEN_WIDTH, SCREEN_HEIGHT) != 1) {
    state.SkipWithError("the display did not open");
    return;
  }
  std::vector<Pixel> canvas(SCREEN_PIXELS);
  std::mt19937 generator(3);
  for (Pixel& p : canvas) p = generator();
  for (auto _ : state)
    if (display_update(canvas.data()) != 1) state.SkipWithError("a frame was not presented");
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  display_close();
}

bool offers(const std::string& renderer, int depth) {
  for (int i = 0; i < SDL_GetNumRenderDrivers(); ++i) {
    SDL_RendererInfo info;
    if (SDL_GetRenderDriverInfo(i, &info) != 0 || renderer != info.name) continue;
    for (Uint32 f = 0; f < info.num_texture_formats; ++f)
      if (static_cast<int>(SDL_BYTESPERPIXEL(info.texture_formats[f])) * 8 == depth) return true;
  }
  return false;
}
}  // namespace

int main(int argc, char** argv) {
  const bool xvfb = server.start("800x600x24");
  if (xvfb) setenv("DISPLAY", server.display.c_str(), 1);
  else std::fprintf(stderr, "Xvfb did not start: dummy driver only\n");

  for (const char* renderer : {"opengl", "software"}) {
    for (const int depth : {32, 24, 16}) {
      if (!offers(renderer, depth)) continue;
      if (xvfb)
        benchmark::RegisterBenchmark(("xvfb/" + std::string(renderer) + "/" + std::to_string(depth)).c_str(), frames,
                                     "x11", renderer, depth)
            ->Unit(benchmark::kMicrosecond)
            ->UseRealTime();
      if (std::string(renderer) == "software")
        benchmark::RegisterBenchmark(("dummy/software/" + std::to_string(depth)).c_str(), frames, "dummy", renderer,
                                     depth)
            ->Unit(benchmark::kMicrosecond)
            ->UseRealTime();
    }
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  server.stop();
  return 0;
}

// display_update per frame, vsync off, on a private Xvfb server for each renderer
// and depth it offers; under SDL's dummy driver as well. Without Xvfb only the
// dummy figures are measured.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "display/display.h"

namespace {
pid_t server_pid = -1;
std::string server_display;

// Xvfb on the first free display number, reported back on a pipe.
bool start_xvfb() {
  int fds[2];
  if (pipe(fds) != 0) return false;
  server_pid = fork();
  if (server_pid == 0) {
    close(fds[0]);
    freopen("/dev/null", "w", stdout);
    freopen("/dev/null", "w", stderr);
    const std::string fd = std::to_string(fds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "800x600x24", "-nolisten", "tcp", "-noreset",
           static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  std::string number;
  pollfd wait_for{fds[0], POLLIN, 0};
  char c = 0;
  while (poll(&wait_for, 1, 10000) == 1 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  close(fds[0]);
  if (server_pid < 0 || number.empty()) return false;
  server_display = ":" + number;
  return true;
}

void stop_xvfb() {
  if (server_pid > 0) {
    kill(server_pid, SIGTERM);
    waitpid(server_pid, nullptr, 0);
  }
}

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
  const bool xvfb = start_xvfb();
  if (xvfb) setenv("DISPLAY", server_display.c_str(), 1);
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
  stop_xvfb();
  return 0;
}

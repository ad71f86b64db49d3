// Each converter on a whole canvas against SDL_ConvertPixels doing the same
// conversion, and the plain 32-bit copy against memcpy; the ratios close the run.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "display/display.h"

namespace {
struct Case {
  const char* name;
  PixelConverter converter;
  Uint32 sdl_format;
  int bytes;
};

// SDL's side writes an XRGB texture for xrgb32: the conversion the display would
// otherwise ask of it (ARGB to ARGB is a plain copy, measured as memcpy below).
const Case cases[] = {
    {"xrgb32", convert_xrgb32, SDL_PIXELFORMAT_XRGB8888, 4}, {"xbgr32", convert_xbgr32, SDL_PIXELFORMAT_XBGR8888, 4},
    {"rgb24", convert_rgb24, SDL_PIXELFORMAT_BGR24, 3},      {"bgr24", convert_bgr24, SDL_PIXELFORMAT_RGB24, 3},
    {"rgb565", convert_rgb565, SDL_PIXELFORMAT_RGB565, 2},   {"bgr565", convert_bgr565, SDL_PIXELFORMAT_BGR565, 2},
    {"rgb555", convert_rgb555, SDL_PIXELFORMAT_XRGB1555, 2}, {"bgr555", convert_bgr555, SDL_PIXELFORMAT_XBGR1555, 2},
};

std::vector<Pixel> canvas() {
  std::vector<Pixel> pixels(SCREEN_PIXELS);
  std::mt19937 generator(1);
  for (Pixel& p : pixels) p = generator();
  return pixels;
}

// The display's own loop: one converter call per row into a pitch of whole rows.
void run_ours(benchmark::State& state, const Case& c) {
  const std::vector<Pixel> source = canvas();
  const int pitch = SCREEN_WIDTH * c.bytes;
  std::vector<uint8_t> destination(static_cast<size_t>(pitch) * SCREEN_HEIGHT);
  for (auto _ : state) {
    for (int y = 0; y < SCREEN_HEIGHT; ++y)
      c.converter(source.data() + y * SCREEN_WIDTH, destination.data() + y * pitch, SCREEN_WIDTH);
    benchmark::DoNotOptimize(destination.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * SCREEN_PIXELS * 4);
}

void run_sdl(benchmark::State& state, const Case& c) {
  const std::vector<Pixel> source = canvas();
  const int pitch = SCREEN_WIDTH * c.bytes;
  std::vector<uint8_t> destination(static_cast<size_t>(pitch) * SCREEN_HEIGHT);
  for (auto _ : state) {
    if (SDL_ConvertPixels(SCREEN_WIDTH, SCREEN_HEIGHT, SDL_PIXELFORMAT_ARGB8888, source.data(), SCREEN_WIDTH * 4,
                          c.sdl_format, destination.data(), pitch) != 0)
      state.SkipWithError(SDL_GetError());
    benchmark::DoNotOptimize(destination.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * SCREEN_PIXELS * 4);
}

void run_memcpy(benchmark::State& state) {
  const std::vector<Pixel> source = canvas();
  std::vector<Pixel> destination(SCREEN_PIXELS);
  for (auto _ : state) {
    std::memcpy(destination.data(), source.data(), SCREEN_PIXELS * sizeof(Pixel));
    benchmark::DoNotOptimize(destination.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * SCREEN_PIXELS * 4);
}

// Keeps each benchmark's CPU time per canvas for the closing table: on a shared
// machine it is steadier than the wall clock.
class Collector : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> ns;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Iteration && !run.error_occurred)
        ns[run.benchmark_name()] = run.GetAdjustedCPUTime() * benchmark::GetTimeUnitMultiplier(benchmark::kNanosecond) /
                                   benchmark::GetTimeUnitMultiplier(run.time_unit);
    ConsoleReporter::ReportRuns(runs);
  }
};
}  // namespace

int main(int argc, char** argv) {
  for (const Case& c : cases) {
    benchmark::RegisterBenchmark((std::string("ours/") + c.name).c_str(), run_ours, c)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark((std::string("sdl/") + c.name).c_str(), run_sdl, c)->Unit(benchmark::kMicrosecond);
  }
  benchmark::RegisterBenchmark("memcpy", run_memcpy)->Unit(benchmark::kMicrosecond);
  benchmark::Initialize(&argc, argv);
  Collector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);

  std::printf("\n%-8s %12s %12s %10s\n", "format", "ours us", "SDL us", "SDL/ours");
  for (const Case& c : cases) {
    const auto o = collector.ns.find(std::string("ours/") + c.name), s = collector.ns.find(std::string("sdl/") + c.name);
    if (o == collector.ns.end() || s == collector.ns.end()) continue;
    std::printf("%-8s %12.1f %12.1f %9.2fx\n", c.name, o->second / 1000, s->second / 1000, s->second / o->second);
  }
  const auto x = collector.ns.find("ours/xrgb32"), m = collector.ns.find("memcpy");
  if (x != collector.ns.end() && m != collector.ns.end())
    std::printf("xrgb32 / memcpy: %.2f (%.1f us against %.1f us)\n", x->second / m->second, x->second / 1000,
                m->second / 1000);
  benchmark::Shutdown();
  return 0;
}

// Whole-canvas operations per canvas and per pixel; fill and copy beside memset and
// memcpy of the same bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "raster/raster.h"

namespace {
std::vector<Pixel> canvas() {
  std::vector<Pixel> pixels(SCREEN_PIXELS);
  std::mt19937 generator(2);
  for (Pixel& p : pixels) p = generator();
  return pixels;
}

void per_pixel(benchmark::State& state) {
  state.counters["per_pixel"] = benchmark::Counter(static_cast<double>(state.iterations()) * SCREEN_PIXELS,
                                                   benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * SCREEN_PIXELS * 4);
}

void BM_fill_pixels(benchmark::State& state) {
  std::vector<Pixel> c = canvas();
  for (auto _ : state) {
    fill_pixels(c.data(), SCREEN_PIXELS, 143, 137, 166, 0);
    benchmark::ClobberMemory();
  }
  per_pixel(state);
}

void BM_memset(benchmark::State& state) {
  std::vector<Pixel> c = canvas();
  for (auto _ : state) {
    std::memset(c.data(), 0x8F, SCREEN_PIXELS * sizeof(Pixel));
    benchmark::ClobberMemory();
  }
  per_pixel(state);
}

void BM_copy_pixels(benchmark::State& state) {
  const std::vector<Pixel> source = canvas();
  std::vector<Pixel> destination(SCREEN_PIXELS);
  for (auto _ : state) {
    copy_pixels(source.data(), destination.data(), SCREEN_WIDTH, SCREEN_HEIGHT);
    benchmark::ClobberMemory();
  }
  per_pixel(state);
}

void BM_memcpy(benchmark::State& state) {
  const std::vector<Pixel> source = canvas();
  std::vector<Pixel> destination(SCREEN_PIXELS);
  for (auto _ : state) {
    std::memcpy(destination.data(), source.data(), SCREEN_PIXELS * sizeof(Pixel));
    benchmark::ClobberMemory();
  }
  per_pixel(state);
}

void BM_invert_canvas(benchmark::State& state) {
  std::vector<Pixel> c = canvas();
  for (auto _ : state) {
    invert_canvas(c.data(), SCREEN_WIDTH, SCREEN_HEIGHT);
    benchmark::ClobberMemory();
  }
  per_pixel(state);
}

// Arg: the percent; 75 takes the red-and-green branch, 30 the blue one.
void BM_fade_canvas(benchmark::State& state) {
  const std::vector<Pixel> original = canvas();
  std::vector<Pixel> c = original;
  int n = 0;
  for (auto _ : state) {
    // Refreshed now and then so that the picture does not fade to black.
    if (++n % 8 == 0) {
      state.PauseTiming();
      c = original;
      state.ResumeTiming();
    }
    fade_canvas(c.data(), SCREEN_WIDTH, SCREEN_HEIGHT, static_cast<int32_t>(state.range(0)));
    benchmark::ClobberMemory();
  }
  per_pixel(state);
}

void BM_fill_noise(benchmark::State& state) {
  std::vector<Pixel> c = canvas();
  Random generator;
  for (auto _ : state) {
    fill_noise(c.data(), 255, generator);
    benchmark::ClobberMemory();
  }
  per_pixel(state);
}

void BM_wave_rows(benchmark::State& state) {
  std::vector<Pixel> c = canvas();
  int32_t time = 0;
  for (auto _ : state) {
    wave_rows(time, c.data(), SCREEN_WIDTH, SCREEN_HEIGHT, 2);
    time += 4;
    benchmark::ClobberMemory();
  }
  per_pixel(state);
}
}  // namespace

BENCHMARK(BM_fill_pixels)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_memset)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_copy_pixels)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_memcpy)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_invert_canvas)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_fade_canvas)->Arg(75)->Arg(30)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_fill_noise)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_wave_rows)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();

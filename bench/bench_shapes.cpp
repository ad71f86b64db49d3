// Cost per call of the shapes and the effects drawn from them, every frame.
#include <benchmark/benchmark.h>

#include <vector>

#include "effects/effects.h"
#include "raster/raster.h"

namespace {

std::vector<Pixel> canvas(SCREEN_PIXELS);

void BM_draw_staircase(benchmark::State& state) {
  for (auto _ : state) {
    draw_staircase(0, 48, 1, canvas.data());
    benchmark::DoNotOptimize(canvas.data());
  }
}
BENCHMARK(BM_draw_staircase)->Unit(benchmark::kMicrosecond);

void BM_draw_rings(benchmark::State& state) {
  int phase = 0;
  for (auto _ : state) {
    draw_rings(phase++, 40, 12, canvas.data());
    benchmark::DoNotOptimize(canvas.data());
  }
}
BENCHMARK(BM_draw_rings)->Unit(benchmark::kMicrosecond);

void BM_draw_rounded_frame(benchmark::State& state) {
  for (auto _ : state) {
    draw_rounded_frame(0, canvas.data());
    benchmark::DoNotOptimize(canvas.data());
  }
}
BENCHMARK(BM_draw_rounded_frame)->Unit(benchmark::kMicrosecond);

// The six-pointed star of order 14 at its mean thickness.
void BM_draw_polygon_star(benchmark::State& state) {
  for (auto _ : state) {
    draw_polygon(6, 212, 219, 197, 170, 73, 356, 192, canvas.data(), 20);
    benchmark::DoNotOptimize(canvas.data());
  }
}
BENCHMARK(BM_draw_polygon_star)->Unit(benchmark::kMicrosecond);

// The polygon of order 15, its radii swinging with the phase.
void BM_draw_polygon_swinging(benchmark::State& state) {
  int i = 0;
  for (auto _ : state) {
    const int a = 120 + ((sin_table[i] * 50) >> 12);
    const int b = 120 + ((cos_table[i] * 50) >> 12);
    draw_polygon(6, 212, 219, 197, a, b, 356, 192, canvas.data(), 10);
    benchmark::DoNotOptimize(canvas.data());
    i = (i + 1) % 360;
  }
}
BENCHMARK(BM_draw_polygon_swinging)->Unit(benchmark::kMicrosecond);

void BM_fill_circle_128(benchmark::State& state) {
  for (auto _ : state) {
    fill_circle(93, 87, 116, 128, 256, 192, 10, canvas.data());
    benchmark::DoNotOptimize(canvas.data());
  }
}
BENCHMARK(BM_fill_circle_128)->Unit(benchmark::kMicrosecond);

void BM_draw_line_diagonal(benchmark::State& state) {
  for (auto _ : state) {
    draw_line(-100, -50, 700, 450, 255, 255, 255, 255, canvas.data());
    benchmark::DoNotOptimize(canvas.data());
  }
}
BENCHMARK(BM_draw_line_diagonal)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

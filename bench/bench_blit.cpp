// Per-call cost of the blits on whole canvases, against a plain copy of one canvas.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "raster/raster.h"

namespace {

// Opaque noise with transparent blobs, as a loaded picture with a keyed ground has
// (about one pixel in five transparent, in runs).
std::vector<Pixel> picture(int w, int h) {
  std::vector<Pixel> p(static_cast<size_t>(w) * h);
  uint32_t s = 12345;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      s = s * 1103515245u + 12345u;
      const int cx = x % 64 - 32, cy = y % 48 - 24;
      const bool keyed = cx * cx + cy * cy < 300;
      p[static_cast<size_t>(y) * w + x] = keyed ? COLOR_KEY : (0xFF000000u | (s >> 8));
    }
  return p;
}

Canvas target;

void BM_MemcpyCanvas(benchmark::State& state) {
  const auto src = picture(SCREEN_WIDTH, SCREEN_HEIGHT);
  for (auto _ : state) {
    std::memcpy(target, src.data(), sizeof(Canvas));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_MemcpyCanvas)->Unit(benchmark::kMicrosecond);

void BM_BlitBlendedCanvas(benchmark::State& state) {
  const auto src = picture(SCREEN_WIDTH, SCREEN_HEIGHT);
  for (auto _ : state) {
    blit(src.data(), SCREEN_WIDTH, SCREEN_HEIGHT, target, 0, 0, 1);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_BlitBlendedCanvas)->Unit(benchmark::kMicrosecond);

// The same at each vector width the processor offers: 0 one, 1 four, 2 eight pixels.
void BM_BlitBlendedCanvasAtLevel(benchmark::State& state) {
  const auto src = picture(SCREEN_WIDTH, SCREEN_HEIGHT);
  const int best = set_blend_level(2);
  if (set_blend_level(static_cast<int>(state.range(0))) != state.range(0)) {
    set_blend_level(best);
    state.SkipWithError("level not offered by this processor");
    return;
  }
  for (auto _ : state) {
    blit(src.data(), SCREEN_WIDTH, SCREEN_HEIGHT, target, 0, 0, 1);
    benchmark::ClobberMemory();
  }
  set_blend_level(best);
}
BENCHMARK(BM_BlitBlendedCanvasAtLevel)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

void BM_BlitOpaqueCanvas(benchmark::State& state) {
  const auto src = picture(SCREEN_WIDTH, SCREEN_HEIGHT);
  for (auto _ : state) {
    blit(src.data(), SCREEN_WIDTH, SCREEN_HEIGHT, target, 0, 0, 0);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_BlitOpaqueCanvas)->Unit(benchmark::kMicrosecond);

// The timeline's 448x336 step: a whole canvas shrunk with the key honoured. Its
// figure layer holds no key words (arg 0); a keyed picture (arg 1) makes the blit
// search past the key words for the write that stays.
void BM_BlitScaledCanvas(benchmark::State& state) {
  auto src = picture(SCREEN_WIDTH, SCREEN_HEIGHT);
  if (state.range(0) == 0)
    for (auto& p : src)
      if (p == COLOR_KEY) p = 0;
  for (auto _ : state) {
    blit_scaled(48, 0, 496, 336, target, SCREEN_WIDTH, SCREEN_HEIGHT, src.data(), 1);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_BlitScaledCanvas)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_BlitRotatedCap(benchmark::State& state) {
  const auto src = picture(314, 142);
  for (auto _ : state) {
    blit_rotated(src.data(), 314, 142, target, 257, 189, 4);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_BlitRotatedCap)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

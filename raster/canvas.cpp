#include <algorithm>
#include <cmath>
#include <cstring>

#include "raster/raster.h"

#ifdef __wasm_simd128__
#include <wasm_simd128.h>
#endif

namespace {
constexpr int BLOCK = 16;

int64_t run_length(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return 0;
  return static_cast<int64_t>(width) * height;
}
}  // namespace

void fill_pixels(Pixel* pixels, int32_t count, int red, int green, int blue, int alpha) {
  if (pixels == nullptr || count <= 0) return;
  const Pixel colour = pack_pixel(red, green, blue, alpha);
  int32_t i = 0;
#ifdef __wasm_simd128__
  // For WebAssembly clang unrolls the runs below into single stores: whole vectors here.
  const v128_t four = wasm_i32x4_splat(static_cast<int32_t>(colour));
  for (; i + 4 <= count; i += 4) wasm_v128_store(pixels + i, four);
#else
  // Fixed-length inner runs are what the compiler turns into vector stores at -O2.
  for (; i + BLOCK <= count; i += BLOCK)
    for (int k = 0; k < BLOCK; ++k) pixels[i + k] = colour;
#endif
  for (; i < count; ++i) pixels[i] = colour;
}

void copy_pixels(const Pixel* source, Pixel* destination, int32_t width, int32_t height) {
  const int64_t count = run_length(width, height);
  if (source == nullptr || destination == nullptr || count == 0 || source == destination) return;
  // memmove: a caller that hands overlapping runs still gets the source's contents.
  std::memmove(destination, source, static_cast<size_t>(count) * sizeof(Pixel));
}

void invert_canvas(Pixel* pixels, int32_t width, int32_t height) {
  const int64_t count = run_length(width, height);
  if (pixels == nullptr) return;
  int64_t i = 0;
  for (; i + BLOCK <= count; i += BLOCK)
    for (int k = 0; k < BLOCK; ++k) pixels[i + k] ^= 0x00FFFFFFu;
  for (; i < count; ++i) pixels[i] ^= 0x00FFFFFFu;
}

void fade_canvas(Pixel* pixels, int32_t width, int32_t height, int32_t percent) {
  const int64_t count = run_length(width, height);
  if (pixels == nullptr || count == 0) return;
  percent = std::clamp(percent, 0, 100);

  // One table per call: the factor is the same for every pixel, and the double
  // product truncated is what the scenes were tuned with.
  uint8_t scaled[256];
  const int factor = percent >= 50 ? percent : percent + 50;
  for (int c = 0; c < 256; ++c) scaled[c] = static_cast<uint8_t>(static_cast<int>((c * factor) * 0.01));

  if (percent >= 50) {
    for (int64_t i = 0; i < count; ++i) {
      const Pixel p = pixels[i];
      pixels[i] = (p & 0xFF0000FFu) | (static_cast<Pixel>(scaled[(p >> 16) & 0xFF]) << 16) |
                  (static_cast<Pixel>(scaled[(p >> 8) & 0xFF]) << 8);
    }
  } else {
    for (int64_t i = 0; i < count; ++i) {
      const Pixel p = pixels[i];
      pixels[i] = (p & 0xFF000000u) | scaled[p & 0xFF];
    }
  }
}

void fill_noise(Pixel* pixels, int alpha, Random& random) {
  if (pixels == nullptr) return;
  const Pixel top = static_cast<Pixel>(alpha & 0xFF) << 24;
  for (int i = 0; i < SCREEN_PIXELS; ++i) {
    const Pixel v = static_cast<Pixel>(next_random(random));
    pixels[i] = top | (v << 16) | (v << 8) | v;
  }
}

void wave_rows(int32_t time, Pixel* pixels, int32_t width, int32_t height, int32_t amplitude) {
  if (pixels == nullptr || width <= 0 || height < 3) return;
  for (int32_t r = 1; r <= height - 2; ++r) {
    const int32_t k = ((time >> 4) + (r >> 3)) % 360;
    const int64_t s = static_cast<int64_t>(std::sin(static_cast<double>(k)) * amplitude);
    // A rotation is the shift with the vacated end filled from the other end.
    const int64_t left = ((s % width) + width) % width;
    if (left == 0) continue;
    Pixel* row = pixels + static_cast<int64_t>(r) * width;
    std::rotate(row, row + left, row + width);
  }
}

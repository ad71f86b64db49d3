// Per-call cost of the composite effects, with the production's pictures when the
// build folder has them (test pictures of the same sizes otherwise).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>

#include "app/assets.h"
#include "effects/effects.h"
#include "image/image.h"
#include "raster/raster.h"

namespace {

// What the effects keep, the pool they move and the generator they draw from.
Random generator;
Particle particles[PARTICLE_COUNT];
BubblesState bubbles;
HillsState hills;

void stand_in(Pixel* pixels, int width, int height) {
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const double u = (x - width / 2.0) / (width / 2.0), v = (y - height / 2.0) / (height / 2.0);
      pixels[y * width + x] = u * u + v * v < 1.0 ? pack_pixel(x, y, 90, 255) : COLOR_KEY;
    }
}

void load_pictures() {
  static bool done = false;
  if (done) return;
  done = true;
  if (chdir(ORVEL_BUILD_DIR) != 0) std::perror(ORVEL_BUILD_DIR);
  const Pixel* needed[] = {img_portrait, img_cap, img_shirt, img_bra_left, img_bra_right, img_trousers, img_columns};
  for (const Pixel* n : needed)
    for (const AssetLoad& a : asset_loads)
      if (a.pixels == n && load_image(a.path, a.pixels, a.width, a.height) != 0) stand_in(a.pixels, a.width, a.height);
  generator = Random{};
  for (auto& p : particles) p = spawn_particle(generator);
}

Canvas target;

void outfits(benchmark::State& state, int time, int row, int stage) {
  load_pictures();
  for (auto _ : state) {
    draw_outfits(time, row, stage, target, cap_image, shirt_image, bra_left_image, bra_right_image, trousers_image);
    benchmark::ClobberMemory();
  }
}

// Stage 3, row 1: five blended blits. Stage 6, row 10 at time 90: three pieces turned
// by 4 degrees and two blended.
void BM_OutfitsStanding(benchmark::State& state) { outfits(state, 0, 1, 3); }
void BM_OutfitsSwaying(benchmark::State& state) { outfits(state, 90, 10, 6); }
BENCHMARK(BM_OutfitsStanding)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OutfitsSwaying)->Unit(benchmark::kMicrosecond);

// Order 14, one 60 fps frame per call: 100 bubbles then the portrait.
void BM_BubblesPortrait(benchmark::State& state) {
  load_pictures();
  int elapsed = 3000;
  for (auto _ : state) {
    elapsed += 17;
    draw_bubbles_portrait(bubbles, particles, generator, elapsed, 10, 14, target, portrait_image);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_BubblesPortrait)->Unit(benchmark::kMicrosecond);

// Order 20, one 60 fps frame per call: three hill layers, 50 bubbles, five strips and
// the ripple. The strips keep scrolling and coming back, as in the scene.
void BM_HillsOrder20(benchmark::State& state) {
  load_pictures();
  for (int i = 0; i < 50; ++i) {
    particles[i] = spawn_particle(generator);
    particles[i].y = next_random(generator) + 384;
    particles[i].x = next_random(generator) * 2;
  }
  hills = HillsState{};
  int ms = 240000;
  draw_hills(hills, particles, generator, ms >> 2, 63, 17, columns_image, target);
  for (auto _ : state) {
    ms += 17;
    draw_hills(hills, particles, generator, ms >> 2, 20, 20, columns_image, target);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_HillsOrder20)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

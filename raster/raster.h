// Raster primitives: the pixel and canvas types, whole-canvas operations,
// the shared tables and random source, image blits, lines, circles and polygons.
#pragma once
#include <cstdint>

using Pixel = uint32_t;  // 0xAARRGGBB

constexpr int SCREEN_WIDTH = 512;
constexpr int SCREEN_HEIGHT = 384;
constexpr int SCREEN_PIXELS = SCREEN_WIDTH * SCREEN_HEIGHT;
constexpr Pixel COLOR_KEY = 0x00FF0000u;

using Canvas = Pixel[SCREEN_PIXELS];

inline constexpr Pixel pack_pixel(int red, int green, int blue, int alpha) {
  return (static_cast<Pixel>(alpha & 0xFF) << 24) | (static_cast<Pixel>(red & 0xFF) << 16) |
         (static_cast<Pixel>(green & 0xFF) << 8) | static_cast<Pixel>(blue & 0xFF);
}

// ---- tables and random numbers ----

// Fixed point, 12 fractional bits, from the angle in whole degrees 0..359.
// The two tables are one contiguous run of 720 values, sine first.
extern int32_t trig_tables[720];
inline int32_t* const sin_table = trig_tables;
inline int32_t* const cos_table = trig_tables + 360;

extern const int32_t palette[4][3];

struct Particle {
  int32_t x, y;
  int32_t red, green, blue;
  int32_t life;
};

constexpr int PARTICLE_COUNT = 100;
extern Particle particles[PARTICLE_COUNT];

// One step of the shared 31-bit generator: a value 0..255.
int next_random();
Particle spawn_particle();
// The generator's raw state, for tests and for resetting between runs in one process.
int32_t random_state();
void set_random_state(int32_t state);

// ---- canvas operations ----

// ---- blits ----

// ---- lines, circles and polygons ----

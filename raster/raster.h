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

// Degrees to radians where the maths library's sine and cosine are used. Not pi / 180:
// the scenes were tuned with this factor, which puts 90 degrees just short of a right
// angle and 180 just short of a half turn.
constexpr double DEGREE_TO_RADIAN = 0.017453;

// The shared 31-bit generator. Its state is the only thing it keeps: whoever holds it
// holds the sequence (the show keeps the one it draws from).
constexpr int32_t RANDOM_SEED = 0x12345;
struct Random {
  int32_t state = RANDOM_SEED;
};

// One step of the generator: a value 0..255.
int next_random(Random& random);
// Moves the generator on by count steps, as that many next_random calls would, in far
// fewer operations; a count of 0 or less does nothing.
void skip_random(Random& random, int64_t count);

struct Particle {
  int32_t x, y;
  int32_t red, green, blue;
  int32_t life;
};

constexpr int PARTICLE_COUNT = 100;
Particle spawn_particle(Random& random);

// value + delta held to 32 bits: particles move by differences of the clock, and a jump
// far outside a run must not overflow them.
inline int32_t add_clamped(int32_t value, int64_t delta) {
  const int64_t sum = value + delta;
  return static_cast<int32_t>(sum < INT32_MIN ? INT32_MIN : sum > INT32_MAX ? INT32_MAX : sum);
}

// ---- canvas operations ----
// Flat runs of packed Pixels (stride = width); none of them clips, the caller passes
// sizes that fit. A null buffer or a size of 0 or less does nothing.

// count pixels of one colour; each component keeps its low 8 bits.
void fill_pixels(Pixel* pixels, int32_t count, int red, int green, int blue, int alpha);
void copy_pixels(const Pixel* source, Pixel* destination, int32_t width, int32_t height);
// Red, green and blue inverted, the top byte kept.
void invert_canvas(Pixel* pixels, int32_t width, int32_t height);
// percent 50..100 scales red and green and keeps blue; below 50 red and green go and
// blue is scaled by percent + 50. percent is held to 0..100.
void fade_canvas(Pixel* pixels, int32_t width, int32_t height, int32_t percent);
// A whole canvas of greys, one next_random draw per pixel in storage order.
void fill_noise(Pixel* pixels, int alpha, Random& random);
// Rows 1 .. height - 2 shifted sideways by trunc(sin(k) * amplitude), k = (time / 16 +
// row / 8) mod 360 in radians; what leaves one end of a row comes back in at the other.
void wave_rows(int32_t time, Pixel* pixels, int32_t width, int32_t height, int32_t amplitude);

// ---- blits ----
// A picture for the effects: packed width x height pixels (stride = width).
struct Image {
  const Pixel* pixels;
  int width;
  int height;
};

// Sources are packed width x height (stride = width); the target is a full canvas.
// Flags are tested as bytes: zero is off, anything else on. Nothing outside the
// canvas is ever written; blit and blit_scaled never write canvas column 0.

// Source pixel (i, j) lands at (x + i, y + j). Opaque: colour with top byte 0, key
// pixels included. Blended: d + floor((s - d) * A / 256) per channel with top byte
// A, alpha-0 pixels skipped.
void blit(const Pixel* source, int width, int height, Pixel* canvas, int x, int y, int blend);
// How many pixels the blended blit mixes at once: 0 one, 1 four, 2 eight; clamped to
// what the processor offers (the best is chosen at start). Every level gives the same
// pixels; for tests and benchmarks. Returns the level now in effect.
int set_blend_level(int level);
// Forward mapping about (centre_x, centre_y), each source pixel written whole and two
// pixels wide; alpha-0 pixels are skipped and row 0 is never written. Columns are
// clipped before turning (unrotated column 0 or less is skipped), so a turned pixel
// may still land in column 0.
void blit_rotated(const Pixel* source, int width, int height, Pixel* canvas, int centre_x, int centre_y, int angle);
// Error-stepped stretch of the whole source into x0..x1, y0..y1 (the accumulators run
// on across columns and rows); with key set, words equal to COLOR_KEY are not drawn.
// Row 0 is never written.
void blit_scaled(int x0, int y0, int x1, int y1, Pixel* canvas, int source_width, int source_height,
                 const Pixel* source, int key);

// ---- lines, circles and polygons ----
// Solid colour on a full canvas (stride 512); every pixel outside 512x384 is
// skipped. Colour components are 0..255.

// count copies of colour from at. Written out eight at a time so that the
// compiler turns them into vector stores: spans are most of what shapes cost.
inline void fill_run(Pixel* at, int64_t count, Pixel colour) {
  int64_t i = 0;
  for (; i + 8 <= count; i += 8) {
    at[i] = colour, at[i + 1] = colour, at[i + 2] = colour, at[i + 3] = colour;
    at[i + 4] = colour, at[i + 5] = colour, at[i + 6] = colour, at[i + 7] = colour;
  }
  for (; i < count; ++i) at[i] = colour;
}

// Bresenham, error started at half the major length; ties are walked y-major.
void draw_line(int x0, int y0, int x1, int y1, int red, int green, int blue, int alpha, Pixel* canvas);
// stretch in tenths widens (> 10) or narrows (< 10) every row about the centre
// column. Opaque; canvas row 0 is never written.
void fill_circle(int red, int green, int blue, int radius, int centre_x, int centre_y, int stretch, Pixel* canvas);
// Discs of radius (step / 4) * 3 every step pixels; a disc whose centre is off the
// canvas is left out. A step below 1 draws nothing.
void draw_thick_line(int x0, int y0, int x1, int y1, int step, int red, int green, int blue, Pixel* canvas);
// A closed zig-zag of sides points between radius_a and radius_b, one-pixel lines
// for thickness below 4, else thick lines of that step. Sides that do not divide
// 360 draw nothing.
void draw_polygon(int sides, int red, int green, int blue, int radius_a, int radius_b, int centre_x, int centre_y,
                  Pixel* canvas, int thickness);

// Effects: the composite drawing routines that the timeline calls. Each draws into
// the canvas it is given and clips to it.
#pragma once
#include <cstdint>

#include "raster/raster.h"

// ---- rounded frame, rings, staircase ----
// Black outside quarter circles of radius 64 in the four corners. time is unused.
void draw_rounded_frame(int time, Pixel* canvas);
// Two groups of nested discs turning with phase (music ms / 4), appearing with
// order and row.
void draw_rings(int phase, int row, int order, Pixel* canvas);
// The opening scene, every pixel of it: one pair of columns more every 8 rows,
// six at most. time and order are unused.
void draw_staircase(int time, int row, int order, Pixel* canvas);

// ---- bubbles and portrait ----
// What the bubbles keep from one call to the next.
struct BubblesState {
  int last_elapsed = 0;  // the elapsed time of the previous call
};
// The portrait blended on the bottom edge; before order 14 it slides in from x = -351
// while row < 32, from order 14 on it stands at x = 0 over the bubbles of the particle
// pool (PARTICLE_COUNT records), which rise by the elapsed time since the previous call.
// With a null canvas nothing is drawn and everything else moves on as it would.
void draw_bubbles_portrait(BubblesState& state, Particle* particles, Random& random, int elapsed, int row, int order,
                           Pixel* canvas, Image portrait);
// A bubble's size from its particle's life: 5 at life 0, 12 at life 149.
int bubble_radius(int life);

// ---- hills and columns ----
constexpr int HILL_STRIPS = 5;
constexpr int HILL_STRIP_START = 384;  // where a strip of columns starts, below the canvas
// What the hills keep from one call to the next.
struct HillsState {
  int last_phase = 0;  // the phase of the previous call
  // The top of each strip of columns; they scroll up from order 18 on.
  int strip_position[HILL_STRIPS] = {HILL_STRIP_START, HILL_STRIP_START, HILL_STRIP_START, HILL_STRIP_START,
                                     HILL_STRIP_START};
};
// Up to three hill layers, one line per column, scrolling with phase (music ms / 4)
// and rising in over orders 17 and 18; from order 18 on also bubbles of particle
// records 0..49, five strips of the columns picture (at full size, half and a third)
// and a ripple of the canvas. With a null canvas nothing is drawn and everything else
// moves on as it would.
void draw_hills(HillsState& state, Particle* particles, Random& random, int phase, int row, int order, Image columns,
                Pixel* canvas);

// ---- outfits, flicker and reveal ----
// A picture's top-left corner on the canvas.
struct Place {
  int x, y;
};
// Where the standing figure's pieces go; the picture maker draws each piece there too.
constexpr Place TROUSERS_PLACE{175, 301};
constexpr Place BRA_LEFT_PLACE{150, 242};
constexpr Place BRA_RIGHT_PLACE{318, 242};
constexpr Place SHIRT_PLACE{173, 225};
constexpr Place CAP_PLACE{100, 118};
// The clothed figure: stages 2..8 draw (others nothing), with a bounce on every eighth
// row in some stages and a sway on rows 5..15 and 37..47 of stages 5..7.
void draw_outfits(int time, int row, int stage, Pixel* canvas, Image cap, Image shirt, Image bra_left, Image bra_right,
                  Image trousers);
// What the flicker keeps from one call to the next, across scenes.
struct FlickerState {
  int anchor_row = 0;  // the row the picture last stepped at
};
// One of two pictures, by row mod 12, stepping 7 pixels left per anchor row. time and
// order are unused. With a null canvas only the anchor moves on.
void draw_flicker(FlickerState& state, int time, int row, int order, Image flicker_1, Image flicker_2, Pixel* canvas);
// Transparent grey noise over the whole canvas with an opaque 320-column block from
// the top: growing with the row at order 7, 240 rows from order 8 on. time is unused.
// With a null canvas the generator moves on as the noise would have drawn it.
void reveal_alpha(Random& random, int time, int row, int order, Pixel* canvas);

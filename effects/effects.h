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
// The portrait blended on the bottom edge; before order 14 it slides in from x = -351
// while row < 32, from order 14 on it stands at x = 0 over the particle pool's bubbles,
// which rise by the elapsed time since the previous call.
void draw_bubbles_portrait(int elapsed, int row, int order, Pixel* canvas, Image portrait);
// The elapsed time of the previous call (0 at start), kept between calls; the setter is
// for tests and for starting a run again in one process.
int bubbles_last_elapsed();
void set_bubbles_last_elapsed(int elapsed);
// A bubble's size from its particle's life: 5 at life 0, 12 at life 149.
int bubble_radius(int life);

// ---- hills and columns ----
// Up to three hill layers, one line per column, scrolling with phase (music ms / 4)
// and rising in over orders 17 and 18; from order 18 on also bubbles of particle
// records 0..49, five strips of the columns picture (at full size, half and a third)
// and a ripple of the canvas.
void draw_hills(int phase, int row, int order, Image columns, Pixel* canvas);
// The state kept between calls: the previous phase and the five strip positions
// (each 384 at start). For tests and for starting a run again in one process.
int hills_last_phase();
int hills_strip_position(int strip);
void reset_hills_state();

// ---- outfits, flicker and reveal ----
// The clothed figure: stages 2..8 draw (others nothing), with a bounce on every eighth
// row in some stages and a sway on rows 5..15 and 37..47 of stages 5..7.
void draw_outfits(int time, int row, int stage, Pixel* canvas, Image cap, Image shirt, Image bra_left, Image bra_right,
                  Image trousers);
// One of two pictures, by row mod 12, stepping 7 pixels left per anchor row. time and
// order are unused.
void draw_flicker(int time, int row, int order, Image flicker_1, Image flicker_2, Pixel* canvas);
// The anchor row (0 at start), kept between calls and scenes; the setter is for tests
// and for starting a run again in one process.
int flicker_anchor_row();
void set_flicker_anchor_row(int row);
// Transparent grey noise over the whole canvas with an opaque 320-column block from
// the top: growing with the row at order 7, 240 rows from order 8 on. time is unused.
void reveal_alpha(int time, int row, int order, Pixel* canvas);

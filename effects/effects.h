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

// ---- hills and columns ----

// ---- outfits, flicker and reveal ----

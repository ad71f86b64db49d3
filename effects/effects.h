// Effects: the composite drawing routines that the timeline calls. Each draws into
// the canvas it is given and clips to it.
#pragma once
#include <cstdint>

#include "raster/raster.h"

// ---- rounded frame, rings, staircase ----

// ---- bubbles and portrait ----

// ---- hills and columns ----

// ---- outfits, flicker and reveal ----

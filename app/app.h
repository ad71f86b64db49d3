// Demo sequence: start-up, the image assets, the canvases and the scene timeline.
#pragma once
#include "raster/raster.h"

// The four working canvases; only screen is presented.
extern Canvas screen;
extern Canvas backdrop;
extern Canvas layer_a;
extern Canvas layer_b;

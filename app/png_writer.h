// Snapshots as PNG files.
#pragma once
#include "raster/raster.h"

// 8-bit RGB PNG of packed pixels (stride = width), alpha ignored; false on failure.
bool write_png(const char* path, const Pixel* pixels, int width, int height);

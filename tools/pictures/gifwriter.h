// Writes one indexed picture as a GIF file with giflib, in the shapes GIF
// files take in the wild: interlaced or not, global or local colour table,
// with or without a graphic control or comment block before the image.
#pragma once
#include <cstdint>

struct GifWriteOptions {
  bool interlaced = false;
  bool local_table = false;   // colours in the image descriptor instead of the screen descriptor
  bool global_too = false;    // with local_table: also write a (grey) global table, as some editors do
  bool control_block = false; // graphic control extension before the image
  int transparent_index = -1; // written into the control block when >= 0
  const char* comment = nullptr;  // comment extension before the image (after the control block)
};

// palette: entries × 3 bytes R, G, B, entries 2..256 (padded up to a power of two);
// indices: width × height bytes, rows top to bottom, each below entries.
// Returns 0 on success, 1 on failure (bad arguments or an I/O error).
int write_gif(const char* path, int width, int height, const uint8_t* palette, int entries,
              const uint8_t* indices, const GifWriteOptions& options);

// Reads the program's snapshots back.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> rgb;  // 0x00RRGGBB, rows packed
  uint32_t at(int x, int y) const { return rgb[static_cast<size_t>(y) * width + x]; }
};

// False when the file is missing or not an 8-bit RGB PNG.
bool read_png(const std::string& path, Picture* out);

// 8-bit RGB PNG of any picture; false on failure.
bool write_png_rgb(const std::string& path, const Picture& picture);

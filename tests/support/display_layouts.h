// The eight converters' layouts as SDL pixel formats, what a screen shows of them, and the
// check that the open display uses one of them.
#pragma once
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "display/display.h"

struct DisplayLayout {
  const char* name;
  PixelConverter converter;
  Uint32 format;         // the SDL texture format of exactly this layout
  int red, green, blue;  // bits kept per channel
};

inline constexpr DisplayLayout DISPLAY_LAYOUTS[] = {
    {"xrgb32", convert_xrgb32, SDL_PIXELFORMAT_XRGB8888, 8, 8, 8},
    {"xbgr32", convert_xbgr32, SDL_PIXELFORMAT_XBGR8888, 8, 8, 8},
    {"rgb24", convert_rgb24, SDL_PIXELFORMAT_BGR24, 8, 8, 8},  // bytes B G R
    {"bgr24", convert_bgr24, SDL_PIXELFORMAT_RGB24, 8, 8, 8},  // bytes R G B
    {"rgb565", convert_rgb565, SDL_PIXELFORMAT_RGB565, 5, 6, 5},
    {"bgr565", convert_bgr565, SDL_PIXELFORMAT_BGR565, 5, 6, 5},
    {"rgb555", convert_rgb555, SDL_PIXELFORMAT_XRGB1555, 5, 5, 5},
    {"bgr555", convert_bgr555, SDL_PIXELFORMAT_XBGR1555, 5, 5, 5},
};

// The layout a converter writes, or nullptr.
inline const DisplayLayout* layout_of(PixelConverter converter) {
  for (const DisplayLayout& layout : DISPLAY_LAYOUTS)
    if (layout.converter == converter) return &layout;
  return nullptr;
}

// Whether an SDL texture format stores exactly the layout (alpha bits aside).
inline bool format_has_layout(Uint32 format, const DisplayLayout& layout) {
  int bpp = 0;
  Uint32 r = 0, g = 0, b = 0, a = 0, lr = 0, lg = 0, lb = 0, la = 0;
  if (!SDL_PixelFormatEnumToMasks(format, &bpp, &r, &g, &b, &a) ||
      !SDL_PixelFormatEnumToMasks(layout.format, &bpp, &lr, &lg, &lb, &la))
    return false;
  return SDL_BYTESPERPIXEL(format) == SDL_BYTESPERPIXEL(layout.format) && r == lr && g == lg && b == lb;
}

// The top bits of each channel of a 0x00RRGGBB colour.
inline uint32_t top_bits(uint32_t rgb, int red, int green, int blue) {
  const auto mask = [](int bits) { return (0xFFu << (8 - bits)) & 0xFFu; };
  return rgb & ((mask(red) << 16) | (mask(green) << 8) | mask(blue));
}

// The open display's converter is that of its texture's layout, of the depth it reports;
// nullptr when it is none of the eight.
inline const DisplayLayout* checked_layout() {
  const DisplayLayout* layout = layout_of(display_converter());
  EXPECT_NE(layout, nullptr);
  if (layout == nullptr) return nullptr;
  EXPECT_TRUE(format_has_layout(display_format(), *layout))
      << SDL_GetPixelFormatName(display_format()) << " with " << layout->name;
  EXPECT_EQ(static_cast<int>(SDL_BYTESPERPIXEL(layout->format)) * 8, display_depth());
  return layout;
}

#include "support/png_read.h"

#include <png.h>

#include <cstdio>

bool read_png(const std::string& path, Picture* out) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = false;
  if (png && info && !setjmp(png_jmpbuf(png))) {
    png_init_io(png, file);
    png_read_info(png, info);
    if (png_get_bit_depth(png, info) == 8 && png_get_color_type(png, info) == PNG_COLOR_TYPE_RGB) {
      out->width = static_cast<int>(png_get_image_width(png, info));
      out->height = static_cast<int>(png_get_image_height(png, info));
      out->rgb.assign(static_cast<size_t>(out->width) * out->height, 0);
      std::vector<uint8_t> row(static_cast<size_t>(out->width) * 3);
      for (int y = 0; y < out->height; ++y) {
        png_read_row(png, row.data(), nullptr);
        for (int x = 0; x < out->width; ++x)
          out->rgb[static_cast<size_t>(y) * out->width + x] =
              static_cast<uint32_t>(row[3 * x]) << 16 | static_cast<uint32_t>(row[3 * x + 1]) << 8 | row[3 * x + 2];
      }
      ok = true;
    }
  }
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(file);
  return ok;
}

bool write_png_rgb(const std::string& path, const Picture& picture) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = false;
  if (png && info && !setjmp(png_jmpbuf(png))) {
    png_init_io(png, file);
    png_set_IHDR(png, info, picture.width, picture.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<uint8_t> row(static_cast<size_t>(picture.width) * 3);
    for (int y = 0; y < picture.height; ++y) {
      for (int x = 0; x < picture.width; ++x) {
        const uint32_t v = picture.at(x, y);
        row[3 * x] = static_cast<uint8_t>(v >> 16);
        row[3 * x + 1] = static_cast<uint8_t>(v >> 8);
        row[3 * x + 2] = static_cast<uint8_t>(v);
      }
      png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    ok = true;
  }
  png_destroy_write_struct(&png, &info);
  return std::fclose(file) == 0 && ok;
}

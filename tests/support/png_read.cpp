#include "support/png_read.h"

#include <png.h>

#include <cstdio>

#include "app/png_writer.h"

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
  // 0x00RRGGBB is a Pixel with its top byte clear.
  return write_png(path.c_str(), picture.rgb.data(), picture.width, picture.height);
}

#include <png.h>
#include <zlib.h>

#include <cstdio>

#include "app/app.h"

namespace {
RunOptions* recording = nullptr;
std::FILE* frame_log = nullptr;
long frame_index = 0;

void rgb_row(const Pixel* src, uint8_t* out) {
  for (int x = 0; x < SCREEN_WIDTH; ++x) {
    out[3 * x] = static_cast<uint8_t>(src[x] >> 16);
    out[3 * x + 1] = static_cast<uint8_t>(src[x] >> 8);
    out[3 * x + 2] = static_cast<uint8_t>(src[x]);
  }
}
}  // namespace

uint32_t picture_crc(const Pixel* canvas) {
  uint8_t row[SCREEN_WIDTH * 3];
  uLong crc = crc32(0L, Z_NULL, 0);
  for (int y = 0; y < SCREEN_HEIGHT; ++y) {
    rgb_row(canvas + y * SCREEN_WIDTH, row);
    crc = crc32(crc, row, sizeof row);
  }
  return static_cast<uint32_t>(crc);
}

bool write_png(const char* path, const Pixel* canvas) {
  std::FILE* file = std::fopen(path, "wb");
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = false;
  if (png && info && !setjmp(png_jmpbuf(png))) {
    png_init_io(png, file);
    png_set_IHDR(png, info, SCREEN_WIDTH, SCREEN_HEIGHT, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    uint8_t row[SCREEN_WIDTH * 3];
    for (int y = 0; y < SCREEN_HEIGHT; ++y) {
      rgb_row(canvas + y * SCREEN_WIDTH, row);
      png_write_row(png, row);
    }
    png_write_end(png, nullptr);
    ok = true;
  }
  png_destroy_write_struct(&png, &info);
  if (std::fclose(file) != 0) ok = false;
  return ok;
}

bool record_open(RunOptions* options) {
  recording = options;
  frame_index = 0;
  if (options->frames_path.empty()) return true;
  frame_log = std::fopen(options->frames_path.c_str(), "w");
  if (!frame_log) return false;
  std::fputs("frame\torder\trow\ttime_ms\tcrc32\n", frame_log);
  return true;
}

void record_frame(const Pixel* canvas, const MusicPosition& drawn_from) {
  if (!recording) return;
  if (frame_log)
    std::fprintf(frame_log, "%ld\t%d\t%d\t%d\t%08x\n", frame_index, drawn_from.order, drawn_from.row,
                 drawn_from.time, picture_crc(canvas));
  for (SnapshotRequest& s : recording->snapshots) {
    if (s.written || s.order != drawn_from.order || s.row != drawn_from.row) continue;
    s.written = true;
    if (!write_png(s.path.c_str(), canvas)) std::fprintf(stderr, "orvel: cannot write '%s'\n", s.path.c_str());
  }
  ++frame_index;
}

void record_close() {
  if (frame_log) std::fclose(frame_log);
  frame_log = nullptr;
  recording = nullptr;
}

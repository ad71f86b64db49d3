#include <png.h>
#include <zlib.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <vector>

#include "app/app.h"

namespace {
RunOptions* recording = nullptr;
std::FILE* frame_log = nullptr;
long frame_index = 0;
bool capturing = false;

// One updating line on a terminal while an offline run works.
bool show_progress = false;
std::chrono::steady_clock::time_point progress_start, progress_shown;

void progress(const MusicPosition& at, bool last) {
  const auto now = std::chrono::steady_clock::now();
  if (!last && now - progress_shown < std::chrono::milliseconds(250)) return;
  progress_shown = now;
  const double wall = std::chrono::duration<double>(now - progress_start).count();
  const double length = music_length_ms() > 0 ? music_length_ms() : 1;
  const double done = at.time / length;
  const double speed = wall > 0 ? at.time / 1000.0 / wall : 0;  // music seconds per second
  const int left = speed > 0 ? static_cast<int>((length - at.time) / 1000.0 / speed) : 0;
  std::fprintf(stderr, "\r%3d%%  order %2d row %2d  %6.0f fps  %d:%02d left ", static_cast<int>(done * 100 + 0.5),
               at.order, at.row, wall > 0 ? (frame_index + 1) / wall : 0.0, left / 60, left % 60);
  if (last) std::fputc('\n', stderr);
}

void rgb_row(const Pixel* src, uint8_t* out, int width = SCREEN_WIDTH) {
  for (int x = 0; x < width; ++x) {
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

bool write_png(const char* path, const Pixel* pixels, int width, int height) {
  if (width <= 0 || height <= 0) return false;
  std::FILE* file = std::fopen(path, "wb");
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = false;
  if (png && info && !setjmp(png_jmpbuf(png))) {
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<uint8_t> row(static_cast<size_t>(width) * 3);
    for (int y = 0; y < height; ++y) {
      rgb_row(pixels + static_cast<size_t>(y) * width, row.data(), width);
      png_write_row(png, row.data());
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
  capturing = !options->capture_path.empty();
  show_progress = options->offline && isatty(2);
  progress_start = progress_shown = std::chrono::steady_clock::now();
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
  if (capturing) capture_frame(canvas);
  if (show_progress) progress(drawn_from, false);
  for (SnapshotRequest& s : recording->snapshots) {
    if (s.written || s.order != drawn_from.order || s.row != drawn_from.row) continue;
    s.written = true;
    if (!write_png(s.path.c_str(), canvas, SCREEN_WIDTH, SCREEN_HEIGHT)) std::fprintf(stderr, "orvel: cannot write '%s'\n", s.path.c_str());
  }
  ++frame_index;
}

void record_close(const MusicPosition& last) {
  if (show_progress && frame_index > 0) progress(last, true);
  if (frame_log) std::fclose(frame_log);
  frame_log = nullptr;
  recording = nullptr;
}

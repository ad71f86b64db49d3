// Renders the module as the program hears it (44.1 kHz, volume 192 of 256) into a
// WAV file, a waveform picture with the orders marked, and a table of levels per order.
#include <libopenmpt/libopenmpt.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "../read_file.h"  // this tool has no include path of the project

namespace {

constexpr int RATE = 44100;
constexpr int GAIN_MILLIBEL = -250;  // 20 log10(192 / 256) dB

void put_le(FILE* f, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) std::fputc(static_cast<int>((v >> (8 * i)) & 0xFF), f);
}

bool write_wav(const char* path, const std::vector<float>& stereo) {
  FILE* f = std::fopen(path, "wb");
  if (!f) return false;
  const uint32_t data = static_cast<uint32_t>(stereo.size() * 2);
  std::fwrite("RIFF", 1, 4, f);
  put_le(f, 36 + data, 4);
  std::fwrite("WAVEfmt ", 1, 8, f);
  put_le(f, 16, 4);
  put_le(f, 1, 2);
  put_le(f, 2, 2);
  put_le(f, RATE, 4);
  put_le(f, RATE * 4, 4);
  put_le(f, 4, 2);
  put_le(f, 16, 2);
  std::fwrite("data", 1, 4, f);
  put_le(f, data, 4);
  for (float v : stereo) {
    long s = std::lround(std::clamp(v, -1.0f, 1.0f) * 32767.0f);
    put_le(f, static_cast<uint32_t>(static_cast<uint16_t>(static_cast<int16_t>(s))), 2);
  }
  return std::fclose(f) == 0;
}

bool write_png(const char* path, int width, int height, const std::vector<uint8_t>& rgb) {
  FILE* f = std::fopen(path, "wb");
  if (!f) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    return false;
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) png_write_row(png, rgb.data() + static_cast<size_t>(y) * width * 3);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::fclose(f) == 0;
}

// Min/max of each column in blue, its RMS in light blue, every order boundary in grey
// (every fifth darker), and the -0.5 dBFS limit in red.
std::vector<uint8_t> draw_waveform(const std::vector<float>& stereo, int width, int height, double order_frames) {
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3, 255);
  auto plot = [&](int x, int y, uint8_t r, uint8_t g, uint8_t b) {
    if (x < 0 || x >= width || y < 0 || y >= height) return;
    uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
    p[0] = r;
    p[1] = g;
    p[2] = b;
  };
  const size_t frames = stereo.size() / 2;
  const double mid = (height - 1) / 2.0;
  for (int x = 0; frames > 0 && x < width; ++x) {
    size_t a = frames * x / width, b = std::max(a + 1, frames * (x + 1) / width);
    float lo = 0, hi = 0;
    double sum = 0;
    for (size_t i = a; i < b; ++i) {
      float v = 0.5f * (stereo[2 * i] + stereo[2 * i + 1]);
      lo = std::min(lo, v);
      hi = std::max(hi, v);
      sum += static_cast<double>(v) * v;
    }
    double rms = std::sqrt(sum / static_cast<double>(b - a));
    for (int y = static_cast<int>(mid - hi * mid); y <= static_cast<int>(mid - lo * mid); ++y) plot(x, y, 40, 70, 160);
    for (int y = static_cast<int>(mid - rms * mid); y <= static_cast<int>(mid + rms * mid); ++y)
      plot(x, y, 120, 170, 240);
  }
  for (int order = 0; order * order_frames <= frames; ++order) {
    int x = static_cast<int>(order * order_frames * width / std::max<size_t>(frames, 1));
    uint8_t shade = order % 5 == 0 ? 90 : 180;
    for (int y = 0; y < height; y += order % 5 == 0 ? 1 : 3) plot(x, y, shade, shade, shade);
  }
  const double limit = std::pow(10.0, -0.5 / 20.0);
  for (int x = 0; x < width; x += 2) {
    plot(x, static_cast<int>(mid - limit * mid), 220, 30, 30);
    plot(x, static_cast<int>(mid + limit * mid), 220, 30, 30);
  }
  return rgb;
}

double dbfs(double v) { return v > 0 ? 20.0 * std::log10(v) : -200.0; }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: render_soundtrack MODULE.it OUT.wav WAVEFORM.png LEVELS.tsv\n");
    return 2;
  }
  std::vector<uint8_t> bytes = read_file(argv[1]);
  openmpt_module* mod =
      openmpt_module_create_from_memory2(bytes.data(), bytes.size(), openmpt_log_func_silent, nullptr,
                                         openmpt_error_func_ignore, nullptr, nullptr, nullptr, nullptr);
  if (!mod) {
    std::fprintf(stderr, "render_soundtrack: cannot load %s\n", argv[1]);
    return 1;
  }
  openmpt_module_set_render_param(mod, OPENMPT_MODULE_RENDER_MASTERGAIN_MILLIBEL, GAIN_MILLIBEL);
  const double row_seconds = 2.5 * openmpt_module_get_current_speed(mod) / openmpt_module_get_current_tempo(mod);
  const int rows = openmpt_module_get_pattern_num_rows(mod, openmpt_module_get_order_pattern(mod, 0));
  std::vector<float> stereo;
  float block[2 * 4096];
  size_t got;
  while ((got = openmpt_module_read_interleaved_float_stereo(mod, RATE, 4096, block)) > 0)
    stereo.insert(stereo.end(), block, block + 2 * got);
  const int orders = openmpt_module_get_num_orders(mod);
  openmpt_module_destroy(mod);

  const double order_frames = rows * row_seconds * RATE;
  FILE* levels = std::fopen(argv[4], "w");
  if (!levels) return 1;
  std::fprintf(levels, "order\tpeak_dbfs\trms_dbfs\n");
  double song_peak = 0;
  for (int o = 0; o < orders; ++o) {
    size_t a = static_cast<size_t>(o * order_frames),
           b = std::min(stereo.size() / 2, static_cast<size_t>((o + 1) * order_frames));
    double peak = 0, sum = 0;
    for (size_t i = 2 * a; i < 2 * b; ++i) {
      peak = std::max(peak, static_cast<double>(std::fabs(stereo[i])));
      sum += static_cast<double>(stereo[i]) * stereo[i];
    }
    song_peak = std::max(song_peak, peak);
    std::fprintf(levels, "%d\t%.2f\t%.2f\n", o, dbfs(peak), b > a ? dbfs(std::sqrt(sum / (2.0 * (b - a)))) : -200.0);
  }
  std::fprintf(levels, "all\t%.2f\t-\n", dbfs(song_peak));
  std::fclose(levels);

  const int width = 1800, height = 360;
  if (!write_wav(argv[2], stereo) ||
      !write_png(argv[3], width, height, draw_waveform(stereo, width, height, order_frames))) {
    std::fprintf(stderr, "render_soundtrack: cannot write the outputs\n");
    return 1;
  }
  return 0;
}

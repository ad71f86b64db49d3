// Prints the balance of a rendered soundtrack (16-bit stereo WAV at 44.1 kHz, such as
// `orvel --render --wav`): band energies relative to 250-2000 Hz over the whole piece,
// per section and per order, the RMS of each order, integrated loudness and true peak.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "image/bytes.h"
#include "tools/read_file.h"
#include "tools/soundtrack/mixmeter.h"

namespace {

constexpr size_t ORDER_FRAMES = 64 * 5292;  // 64 rows at speed 6, tempo 125

// The song's sections as runs of orders (assets/music/song.txt).
struct Section {
  const char* name;
  int first, last;
};
constexpr Section SECTIONS[] = {
    {"intro", 0, 0},     {"build", 1, 2},  {"groove", 3, 7},   {"breakdown", 8, 8},    {"flicker", 9, 9},
    {"theme B", 10, 12}, {"fill", 13, 13}, {"drop", 14, 16},   {"transition", 17, 17}, {"main", 18, 20},
    {"bright", 21, 24},  {"lift", 25, 25}, {"climax", 26, 28}, {"outro", 29, 29},
};

bool read_wav(const char* path, std::vector<float>& stereo) {
  std::vector<uint8_t> b;
  if (!read_file(path, &b)) return false;
  auto u16 = [&](size_t at) { return static_cast<uint32_t>(load_le16(&b[at])); };
  auto u32 = [&](size_t at) { return load_le32(&b[at]); };
  if (b.size() < 12 || std::string(b.begin(), b.begin() + 4) != "RIFF" ||
      std::string(b.begin() + 8, b.begin() + 12) != "WAVE")
    return false;
  bool format_ok = false;
  for (size_t at = 12; at + 8 <= b.size();) {
    std::string id(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at) + 4);
    size_t size = u32(at + 4), body = at + 8;
    if (size > b.size() - body) size = b.size() - body;
    if (id == "fmt " && size >= 16)
      format_ok = u16(body) == 1 && u16(body + 2) == 2 && u32(body + 4) == MIX_RATE && u16(body + 14) == 16;
    if (id == "data" && format_ok) {
      stereo.resize(size / 2);
      for (size_t i = 0; i < stereo.size(); ++i)
        stereo[i] = static_cast<float>(static_cast<int16_t>(u16(body + 2 * i))) / 32768.0f;
      return true;
    }
    at = body + size + (size & 1);
  }
  return false;
}

void print_row(const char* name, const BandBalance& b, double rms) {
  std::printf("%-12s %+7.1f %+7.1f %+7.1f %+7.1f %8d %8.1f\n", name, b.low, b.upper, b.high, b.air, b.windows, rms);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: measure_mix SOUNDTRACK.wav\n");
    return 2;
  }
  std::vector<float> stereo;
  if (!read_wav(argv[1], stereo)) {
    std::fprintf(stderr, "measure_mix: %s is not a 16-bit stereo WAV at 44.1 kHz\n", argv[1]);
    return 1;
  }
  const size_t frames = stereo.size() / 2;
  const int orders = static_cast<int>((frames + ORDER_FRAMES / 2) / ORDER_FRAMES);
  std::vector<Spectrum> per_order;
  for (int o = 0; o < orders; ++o) per_order.push_back(measure_spectrum(stereo, o * ORDER_FRAMES, ORDER_FRAMES));
  auto order_rms = [&](int first, int last) {
    return rms_dbfs(stereo, first * ORDER_FRAMES, (last - first + 1) * ORDER_FRAMES);
  };

  std::printf("dB relative to 250-2000 Hz; windows of %zu frames above %.0f dBFS RMS\n", SPECTRUM_WINDOW,
              SPECTRUM_GATE_DBFS);
  std::printf("%-12s %7s %7s %7s %7s %8s %8s\n", "", "20-250", "2-6k", "6-11k", "11-20k", "windows", "rms dBFS");
  print_row("whole", band_balance(measure_spectrum(stereo, 0, frames)), rms_dbfs(stereo, 0, frames));
  std::printf("\n");
  for (const Section& s : SECTIONS) {
    if (s.last >= orders) break;
    // Windows that straddle two orders of one section count too.
    Spectrum spectrum = measure_spectrum(stereo, s.first * ORDER_FRAMES, (s.last - s.first + 1) * ORDER_FRAMES);
    std::string name =
        std::string(s.name) + " " + std::to_string(s.first) + (s.last > s.first ? "-" + std::to_string(s.last) : "");
    print_row(name.c_str(), band_balance(spectrum), order_rms(s.first, s.last));
  }
  std::printf("\n");
  for (int o = 0; o < orders; ++o)
    print_row(("order " + std::to_string(o)).c_str(), band_balance(per_order[o]), order_rms(o, o));
  std::printf("\nintegrated loudness %.1f LUFS, true peak %.2f dBTP\n", integrated_loudness(stereo),
              true_peak_dbtp(stereo));
  return 0;
}

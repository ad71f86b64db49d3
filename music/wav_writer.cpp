#include "music/wav_writer.h"

#include <cstring>

namespace {
void put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void wav_header(uint8_t* h, int rate, uint32_t data_bytes) {
  std::memcpy(h, "RIFF", 4);
  put32(h + 4, 36 + data_bytes);
  std::memcpy(h + 8, "WAVEfmt ", 8);
  put32(h + 16, 16);
  put16(h + 20, 1);  // PCM
  put16(h + 22, 2);
  put32(h + 24, static_cast<uint32_t>(rate));
  put32(h + 28, static_cast<uint32_t>(rate) * 4);
  put16(h + 32, 4);
  put16(h + 34, 16);
  std::memcpy(h + 36, "data", 4);
  put32(h + 40, data_bytes);
}
}  // namespace

bool WavWriter::open(const char* path, int rate) {
  file_ = std::fopen(path, "wb");
  rate_ = rate;
  frames_ = 0;
  failed_ = file_ == nullptr;
  if (!file_) return false;
  uint8_t header[44];
  wav_header(header, rate_, 0);
  if (std::fwrite(header, 1, sizeof header, file_) != sizeof header) failed_ = true;
  return !failed_;
}

void WavWriter::write(const int16_t* interleaved, int frames) {
  if (!file_ || frames <= 0) return;
  uint8_t bytes[4 * 256];
  for (int done = 0; done < frames;) {
    const int n = frames - done < 256 ? frames - done : 256;
    for (int i = 0; i < n * 2; ++i) put16(bytes + 2 * i, static_cast<uint16_t>(interleaved[done * 2 + i]));
    if (std::fwrite(bytes, 4, static_cast<size_t>(n), file_) != static_cast<size_t>(n)) failed_ = true;
    done += n;
  }
  frames_ += frames;
}

void WavWriter::close() {
  if (!file_) return;
  uint8_t header[44];
  wav_header(header, rate_, static_cast<uint32_t>(frames_ * 4));
  if (std::fseek(file_, 0, SEEK_SET) != 0 || std::fwrite(header, 1, sizeof header, file_) != sizeof header)
    failed_ = true;
  if (std::fclose(file_) != 0) failed_ = true;
  file_ = nullptr;
}

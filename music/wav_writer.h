// 16-bit stereo PCM WAV output for offline runs.
#pragma once
#include <cstdint>
#include <cstdio>

class WavWriter {
 public:
  bool open(const char* path, int rate);
  void write(const int16_t* interleaved, int frames);
  void close();  // patches the sizes into the header
  bool is_open() const { return file_ != nullptr; }
  bool ok() const { return !failed_; }

 private:
  std::FILE* file_ = nullptr;
  int64_t frames_ = 0;
  int rate_ = 0;
  bool failed_ = false;
};

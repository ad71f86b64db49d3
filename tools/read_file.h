// Reading a whole file into memory: the tools and the tests share this one way.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Appends the file's bytes to out (a std::string or a vector of bytes); false when it
// cannot be opened or read to its end.
template <typename Bytes>
bool read_file(const std::string& path, Bytes* out) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) out->insert(out->end(), buffer, buffer + n);
  const bool ok = !std::ferror(file);
  std::fclose(file);
  return ok;
}

// The file's bytes; none when it cannot be read.
inline std::vector<uint8_t> read_file(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (!read_file(path, &bytes)) bytes.clear();
  return bytes;
}

// Little-endian numbers in memory, as files store them (modules, WAV files) and as the
// CRC-32 reads its words.
#pragma once
#include <cstdint>

inline uint16_t load_le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

inline uint32_t load_le32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

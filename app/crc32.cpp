#include "app/app.h"

namespace {

// The reflected CRC-32 of zlib and PNG (polynomial 0xEDB88320), a byte at a time.
struct Crc32Table {
  uint32_t entry[256];
  constexpr Crc32Table() : entry() {
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      entry[n] = c;
    }
  }
};
constexpr Crc32Table crc_table;

}  // namespace

uint32_t crc32_update(uint32_t crc, const void* data, size_t size) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  uint32_t c = ~crc;
  for (size_t i = 0; i < size; ++i) c = crc_table.entry[(c ^ bytes[i]) & 0xFF] ^ (c >> 8);
  return ~c;
}

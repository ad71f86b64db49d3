#include "app/crc32.h"

#include "image/bytes.h"

#ifdef ORVEL_HAVE_ZLIB
#include <zlib.h>
#endif

namespace {

// The reflected CRC-32 of zlib and PNG (polynomial 0xEDB88320), eight bytes a step: table
// k gives the CRC of a byte followed by k zero bytes. Frame logs run it over 590 KB a
// frame, where one byte a step would cost three times as long. zlib's own is faster
// still, and takes its place where it is there.
struct Crc32Tables {
  uint32_t entry[8][256];
  constexpr Crc32Tables() : entry() {
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      entry[0][n] = c;
    }
    for (uint32_t n = 0; n < 256; ++n)
      for (int k = 1; k < 8; ++k) entry[k][n] = entry[0][entry[k - 1][n] & 0xFF] ^ (entry[k - 1][n] >> 8);
  }
};
constexpr Crc32Tables crc_tables;

}  // namespace

uint32_t crc32_tables(uint32_t crc, const void* data, size_t size) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  const auto& t = crc_tables.entry;
  uint32_t c = ~crc;
  for (; size >= 8; size -= 8, bytes += 8) {
    const uint32_t lo = load_le32(bytes) ^ c;
    const uint32_t hi = load_le32(bytes + 4);
    c = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^ t[3][hi & 0xFF] ^
        t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
  }
  for (; size > 0; --size) c = t[0][(c ^ *bytes++) & 0xFF] ^ (c >> 8);
  return ~c;
}

uint32_t crc32_update(uint32_t crc, const void* data, size_t size) {
#ifdef ORVEL_HAVE_ZLIB
  const auto* bytes = static_cast<const Bytef*>(data);
  uLong c = crc;
  for (; size > 0x40000000; size -= 0x40000000, bytes += 0x40000000) c = crc32(c, bytes, 0x40000000);
  return static_cast<uint32_t>(crc32(c, bytes, static_cast<uInt>(size)));
#else
  return crc32_tables(crc, data, size);
#endif
}

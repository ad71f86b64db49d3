#include "music/it_check.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "image/bytes.h"
#include "music/it_format.h"

namespace {

struct File {
  const SoundFileCallbacks& cb;
  void* handle;
  int64_t size;

  bool read_at(int64_t offset, void* out, int length) const {
    if (offset < 0 || length < 0 || offset + length > size) return false;
    if (cb.seek(handle, static_cast<int>(offset), 0) != 0) return false;
    return cb.read(out, length, handle) == length;
  }
};

// A compressed sample is a run of blocks, each its byte length (16 bits) and that many
// bytes, one block for every 0x8000 bytes of PCM in each channel. A block holds at
// least one sample, so an empty one is as broken as one that runs past the end.
bool blocks_inside(const File& file, int64_t at, int64_t length, uint8_t flags) {
  const int64_t per_block = (flags & 2) ? 0x4000 : 0x8000;
  int64_t blocks = (length + per_block - 1) / per_block * ((flags & 4) ? 2 : 1);
  for (; blocks > 0; --blocks) {
    uint8_t size[2];
    if (!file.read_at(at, size, 2) || load_le16(size) == 0) return false;
    at += 2 + load_le16(size);
    if (at > file.size) return false;
  }
  return true;
}

}  // namespace

bool it_structure_ok(const SoundFileCallbacks& files, void* handle) {
  if (files.seek(handle, 0, 2) != 0) return false;
  const File file{files, handle, files.tell(handle)};
  if (file.size < IT_HEADER_SIZE || file.size > INT32_MAX) return false;

  uint8_t header[IT_HEADER_SIZE];
  if (!file.read_at(0, header, IT_HEADER_SIZE) || std::memcmp(header, "IMPM", 4) != 0) return false;
  const int orders = load_le16(header + 0x20), instruments = load_le16(header + 0x22);
  const int samples = load_le16(header + 0x24), patterns = load_le16(header + 0x26);
  if (orders == 0 || orders > IT_MAX_ENTRIES || instruments > IT_MAX_ENTRIES || samples > IT_MAX_ENTRIES ||
      patterns > IT_MAX_ENTRIES)
    return false;

  const int table_length = orders + 4 * (instruments + samples + patterns);
  std::vector<uint8_t> tables(static_cast<size_t>(table_length));
  if (!file.read_at(IT_HEADER_SIZE, tables.data(), table_length)) return false;
  const uint8_t* pointers = tables.data() + orders;

  for (int i = 0; i < instruments; ++i) {
    const uint32_t at = load_le32(pointers + 4 * i);
    uint8_t signature[4];
    if (!file.read_at(at, signature, 4) || std::memcmp(signature, "IMPI", 4) != 0 ||
        at + int64_t{IT_INSTRUMENT_SIZE} > file.size)
      return false;
  }
  for (int i = 0; i < samples; ++i) {
    const uint32_t at = load_le32(pointers + 4 * (instruments + i));
    uint8_t sample[IT_SAMPLE_HEADER_SIZE];
    if (!file.read_at(at, sample, IT_SAMPLE_HEADER_SIZE) || std::memcmp(sample, "IMPS", 4) != 0) return false;
    const uint8_t flags = sample[0x12];
    if (!(flags & 1)) continue;  // header only, no data
    const int64_t length = load_le32(sample + 0x30);
    const int64_t data = load_le32(sample + 0x48);
    if (flags & 8) {
      if (!blocks_inside(file, data, length, flags)) return false;
      continue;
    }
    const int64_t bytes = length * ((flags & 2) ? 2 : 1) * ((flags & 4) ? 2 : 1);
    if (data + bytes > file.size) return false;
  }
  for (int i = 0; i < patterns; ++i) {
    const uint32_t at = load_le32(pointers + 4 * (instruments + samples + i));
    if (at == 0) continue;  // an empty pattern of 64 rows
    uint8_t pattern[IT_PATTERN_HEADER_SIZE];
    if (!file.read_at(at, pattern, IT_PATTERN_HEADER_SIZE)) return false;
    if (at + int64_t{IT_PATTERN_HEADER_SIZE} + load_le16(pattern) > file.size) return false;
  }
  return true;
}

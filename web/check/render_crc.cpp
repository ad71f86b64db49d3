// render_crc MODULE: renders the whole module as the production plays it (44.1 kHz, 16-bit
// interleaved stereo, gain -2.5 dB, no repeat, no dither) and prints the number of sample
// frames and the CRC-32 of the samples as stored in a little-endian WAV file.
// Built natively and for WebAssembly; the two must print the same line.
//
// Exit status: 0 printed; 1 the file could not be read or is no module libopenmpt plays;
// 2 wrong arguments.

#include <libopenmpt/libopenmpt.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#ifdef RENDER_CRC_ZLIB
#include <zlib.h>
#endif

namespace {

// zlib's CRC-32 (reflected, polynomial 0xEDB88320): the browser build has no zlib.
struct Crc32 {
  uint32_t table[256];
  uint32_t value = 0;
  Crc32() {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[i] = c;
    }
  }
  void add(const unsigned char* p, size_t n) {
    uint32_t c = ~value;
    while (n--) c = table[(c ^ *p++) & 0xFF] ^ (c >> 8);
    value = ~c;
  }
};

bool read_file(const char* path, std::vector<unsigned char>& out) {
  FILE* f = std::fopen(path, "rb");
  if (!f) return false;
  unsigned char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
  const bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: render_crc MODULE\n");
    return 2;
  }
  std::vector<unsigned char> data;
  if (!read_file(argv[1], data)) {
    std::fprintf(stderr, "render_crc: cannot read %s\n", argv[1]);
    return 1;
  }
  int error = 0;
  openmpt_module* mod = openmpt_module_create_from_memory2(data.data(), data.size(), openmpt_log_func_silent, nullptr,
                                                           openmpt_error_func_ignore, nullptr, &error, nullptr, nullptr);
  if (!mod) {
    std::fprintf(stderr, "render_crc: %s is not a module (error %d)\n", argv[1], error);
    return 1;
  }
  // Dither draws on a randomly seeded generator: without turning it off no two runs agree.
  if (!openmpt_module_ctl_set_integer(mod, "dither", 0) ||
      !openmpt_module_set_render_param(mod, OPENMPT_MODULE_RENDER_MASTERGAIN_MILLIBEL, -250) ||
      !openmpt_module_set_repeat_count(mod, 0)) {
    std::fprintf(stderr, "render_crc: libopenmpt refused a setting\n");
    openmpt_module_destroy(mod);
    return 1;
  }

  Crc32 crc;
#ifdef RENDER_CRC_ZLIB
  uLong zcrc = crc32(0L, Z_NULL, 0);
#endif
  uint64_t frames = 0;
  std::vector<int16_t> block(2 * 4096);
  std::vector<unsigned char> bytes(block.size() * 2);
  size_t got;
  while ((got = openmpt_module_read_interleaved_stereo(mod, 44100, block.size() / 2, block.data())) > 0) {
    for (size_t i = 0; i < got * 2; ++i) {
      const uint16_t s = static_cast<uint16_t>(block[i]);
      bytes[2 * i] = static_cast<unsigned char>(s & 0xFF);
      bytes[2 * i + 1] = static_cast<unsigned char>(s >> 8);
    }
    crc.add(bytes.data(), got * 4);
#ifdef RENDER_CRC_ZLIB
    zcrc = crc32(zcrc, bytes.data(), static_cast<uInt>(got * 4));
#endif
    frames += got;
  }
  openmpt_module_destroy(mod);
#ifdef RENDER_CRC_ZLIB
  if (zcrc != crc.value) {
    std::fprintf(stderr, "render_crc: own CRC %08x, zlib %08lx\n", static_cast<unsigned>(crc.value), zcrc);
    return 1;
  }
#endif
  std::printf("frames %llu crc32 %08x\n", static_cast<unsigned long long>(frames), static_cast<unsigned>(crc.value));
  return 0;
}

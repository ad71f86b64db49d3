// GIF files for the decoder's tests and bench: written with giflib, with our own
// small LZW encoder (for what giflib never writes: short sub-blocks, no clear
// code at a full table, chosen code streams) and decoded with giflib as the reference.
#pragma once
#include <gif_lib.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/read_file.h"

namespace giftest {

using Bytes = std::vector<uint8_t>;

struct Rgb {
  uint8_t r, g, b;
};

// An extension block as it is written before the image: label and data sub-blocks.
struct Extension {
  int label;
  std::vector<Bytes> blocks;
};

inline Extension graphic_control(int transparent_index = -1) {
  Bytes data = {static_cast<uint8_t>(transparent_index >= 0 ? 1 : 0), 10, 0,
                static_cast<uint8_t>(transparent_index >= 0 ? transparent_index : 0)};
  return {0xF9, {data}};
}

inline Extension comment(const std::string& text) {
  Extension extension{0xFE, {}};
  for (size_t at = 0; at < text.size(); at += 255)
    extension.blocks.emplace_back(text.begin() + static_cast<long>(at),
                                  text.begin() + static_cast<long>(at + 255 < text.size() ? at + 255 : text.size()));
  return extension;
}

inline Extension application() {
  return {0xFF, {Bytes{'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'}, Bytes{1, 0, 0}}};
}

// What a test file holds: one image covering the screen.
struct Picture {
  int width = 1;
  int height = 1;
  std::vector<Rgb> global;  // power-of-two size, or empty for none
  std::vector<Rgb> local;   // likewise
  bool interlaced = false;
  std::vector<Extension> extensions;
  Bytes indices;  // width × height, rows top to bottom
};

// ---- writing with giflib ----

inline int write_to_bytes(GifFileType* gif, const GifByteType* data, int length) {
  auto* out = static_cast<Bytes*>(gif->UserData);
  out->insert(out->end(), data, data + length);
  return length;
}

inline ColorMapObject* make_map(const std::vector<Rgb>& colours) {
  if (colours.empty()) return nullptr;
  std::vector<GifColorType> entries(colours.size());
  for (size_t i = 0; i < colours.size(); ++i) entries[i] = {colours[i].r, colours[i].g, colours[i].b};
  return GifMakeMapObject(static_cast<int>(entries.size()), entries.data());
}

// The rows in the order an interlaced file holds them.
inline std::vector<int> stream_rows(int height, bool interlaced) {
  std::vector<int> rows;
  if (!interlaced) {
    for (int y = 0; y < height; ++y) rows.push_back(y);
    return rows;
  }
  const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass)
    for (int y = start[pass]; y < height; y += step[pass]) rows.push_back(y);
  return rows;
}

inline Bytes write_giflib(const Picture& picture) {
  Bytes out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, write_to_bytes, &error);
  if (!gif) return {};
  EGifSetGifVersion(gif, true);
  ColorMapObject* global = make_map(picture.global);
  ColorMapObject* local = make_map(picture.local);
  bool ok = EGifPutScreenDesc(gif, picture.width, picture.height, 8, 0, global) == GIF_OK;
  for (const Extension& extension : picture.extensions) {
    ok = ok && EGifPutExtensionLeader(gif, extension.label) == GIF_OK;
    for (const Bytes& block : extension.blocks)
      ok = ok && EGifPutExtensionBlock(gif, static_cast<int>(block.size()), block.data()) == GIF_OK;
    ok = ok && EGifPutExtensionTrailer(gif) == GIF_OK;
  }
  ok = ok && EGifPutImageDesc(gif, 0, 0, picture.width, picture.height, picture.interlaced, local) == GIF_OK;
  Bytes row(static_cast<size_t>(picture.width));
  for (int y : stream_rows(picture.height, picture.interlaced)) {
    std::memcpy(row.data(), picture.indices.data() + static_cast<size_t>(y) * picture.width, row.size());
    ok = ok && EGifPutLine(gif, row.data(), picture.width) == GIF_OK;
  }
  ok = EGifCloseFile(gif, &error) == GIF_OK && ok;
  GifFreeMapObject(global);
  GifFreeMapObject(local);
  return ok ? out : Bytes{};
}

// ---- writing with our own encoder ----

class LsbWriter {
 public:
  void put(uint32_t code, int width) {
    accumulator_ |= static_cast<uint64_t>(code) << count_;
    count_ += width;
    while (count_ >= 8) {
      bytes.push_back(static_cast<uint8_t>(accumulator_));
      accumulator_ >>= 8;
      count_ -= 8;
    }
  }
  void flush() {
    if (count_ > 0) bytes.push_back(static_cast<uint8_t>(accumulator_));
    accumulator_ = 0;
    count_ = 0;
  }
  Bytes bytes;

 private:
  uint64_t accumulator_ = 0;
  int count_ = 0;
};

struct EncodeOptions {
  int min_code_size = 0;                 // 0: from the table size, at least 2
  bool clear_when_full = true;           // false: the table stays full, codes stay 12 bits
  int clear_every = 0;                   // > 0: a clear code after that many codes as well
  std::vector<int> block_sizes = {255};  // sub-block lengths, repeated; the last one is reused
  bool end_code = true;
};

// Plain LZW as a GIF encoder writes it; the decoder's width rule is mirrored:
// the width grows once the next free code passes 2^width.
inline Bytes lzw_encode(const Bytes& stream, int min_code_size, const EncodeOptions& options) {
  LsbWriter writer;
  const uint32_t clear = 1u << min_code_size;
  // (code << 8 | byte) -> generation << 12 | code; a clear starts a new generation.
  std::vector<uint32_t> child(4096 * 256, 0);
  uint32_t generation = 0;
  uint32_t next = 0;
  int width = 0;
  int since_clear = 0;
  auto reset = [&]() {
    ++generation;
    next = clear + 2;
    width = min_code_size + 1;
    since_clear = 0;
  };
  auto emit = [&](uint32_t code) {
    writer.put(code, width);
    ++since_clear;
  };
  reset();
  writer.put(clear, width);
  if (!stream.empty()) {
    uint32_t current = stream[0];
    for (size_t k = 1; k < stream.size(); ++k) {
      const uint8_t byte = stream[k];
      const uint32_t known = child[current * 256 + byte];
      if (known >> 12 == generation) {
        current = known & 4095;
        continue;
      }
      emit(current);
      if (next < 4096) {
        child[current * 256 + byte] = generation << 12 | next++;
        if (next > (1u << width) && width < 12) ++width;
      } else if (options.clear_when_full) {
        writer.put(clear, width);
        reset();
      }
      if (options.clear_every > 0 && since_clear >= options.clear_every && next > clear + 2) {
        writer.put(clear, width);
        reset();
      }
      current = byte;
    }
    emit(current);
    // The decoder adds an entry for this last code too and may widen before the end code.
    if (next < 4096 && next + 1 > (1u << width) && width < 12 && since_clear > 1) ++width;
  }
  if (options.end_code) writer.put(clear + 1, width);
  writer.flush();
  return writer.bytes;
}

inline void put_u16(Bytes& out, int value) {
  out.push_back(static_cast<uint8_t>(value & 0xFF));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

inline int table_bits(size_t entries) {
  int bits = 1;
  while ((1u << bits) < entries) ++bits;
  return bits;
}

inline void put_table(Bytes& out, const std::vector<Rgb>& colours) {
  for (const Rgb& c : colours) {
    out.push_back(c.r);
    out.push_back(c.g);
    out.push_back(c.b);
  }
}

// Header, tables and extensions of a file, up to the image data.
inline Bytes write_head(const Picture& picture) {
  Bytes out = {'G', 'I', 'F', '8', '9', 'a'};
  put_u16(out, picture.width);
  put_u16(out, picture.height);
  out.push_back(picture.global.empty() ? 0 : static_cast<uint8_t>(0xF0 | (table_bits(picture.global.size()) - 1)));
  out.push_back(0);
  out.push_back(0);
  put_table(out, picture.global);
  for (const Extension& extension : picture.extensions) {
    out.push_back(0x21);
    out.push_back(static_cast<uint8_t>(extension.label));
    for (const Bytes& block : extension.blocks) {
      out.push_back(static_cast<uint8_t>(block.size()));
      out.insert(out.end(), block.begin(), block.end());
    }
    out.push_back(0);
  }
  out.push_back(0x2C);
  put_u16(out, 0);
  put_u16(out, 0);
  put_u16(out, picture.width);
  put_u16(out, picture.height);
  uint8_t packed = picture.interlaced ? 0x40 : 0;
  if (!picture.local.empty()) packed |= static_cast<uint8_t>(0x80 | (table_bits(picture.local.size()) - 1));
  out.push_back(packed);
  put_table(out, picture.local);
  return out;
}

// Image data bytes cut into sub-blocks of the given lengths, then the empty block.
inline void put_blocks(Bytes& out, const Bytes& data, const std::vector<int>& sizes) {
  size_t at = 0;
  size_t which = 0;
  while (at < data.size()) {
    const size_t size = static_cast<size_t>(sizes[which < sizes.size() ? which : sizes.size() - 1]);
    ++which;
    const size_t n = size < data.size() - at ? size : data.size() - at;
    out.push_back(static_cast<uint8_t>(n));
    out.insert(out.end(), data.begin() + static_cast<long>(at), data.begin() + static_cast<long>(at + n));
    at += n;
  }
  out.push_back(0);
}

inline int default_code_size(const Picture& picture) {
  const size_t entries = picture.local.empty() ? picture.global.size() : picture.local.size();
  return entries > 4 ? table_bits(entries) : 2;
}

// A file whose image data is the LZW coding of stream, pixels in data order.
inline Bytes write_stream(const Picture& picture, const Bytes& stream, const EncodeOptions& options = {}) {
  const int m = options.min_code_size ? options.min_code_size : default_code_size(picture);
  Bytes out = write_head(picture);
  out.push_back(static_cast<uint8_t>(m));
  put_blocks(out, lzw_encode(stream, m, options), options.block_sizes);
  out.push_back(0x3B);
  return out;
}

inline Bytes write_own(const Picture& picture, const EncodeOptions& options = {}) {
  Bytes stream;
  for (int y : stream_rows(picture.height, picture.interlaced))
    stream.insert(stream.end(), picture.indices.begin() + static_cast<long>(y) * picture.width,
                  picture.indices.begin() + static_cast<long>(y + 1) * picture.width);
  return write_stream(picture, stream, options);
}

// What a correct decoder yields for picture: blue, green, red from the table in
// use, black for indices beyond it.
inline Bytes expected_bgr(const Picture& picture) {
  const std::vector<Rgb>& table = picture.local.empty() ? picture.global : picture.local;
  Bytes bgr(picture.indices.size() * 3, 0);
  for (size_t i = 0; i < picture.indices.size(); ++i) {
    const size_t index = picture.indices[i];
    if (index < table.size()) {
      bgr[i * 3 + 0] = table[index].b;
      bgr[i * 3 + 1] = table[index].g;
      bgr[i * 3 + 2] = table[index].r;
    }
  }
  return bgr;
}

// A file whose image data is the given codes, each written with its own width.
struct Code {
  uint32_t value;
  int width;
};
inline Bytes write_codes(const Picture& picture, int min_code_size, const std::vector<Code>& codes,
                         const std::vector<int>& block_sizes = {255}) {
  LsbWriter writer;
  for (const Code& code : codes) writer.put(code.value, code.width);
  writer.flush();
  Bytes out = write_head(picture);
  out.push_back(static_cast<uint8_t>(min_code_size));
  put_blocks(out, writer.bytes, block_sizes);
  out.push_back(0x3B);
  return out;
}

// The same file with its image data cut into other sub-blocks. Parses only what
// our writers and the tools write: header, tables, extensions, one image.
inline Bytes rechunk(const Bytes& gif, const std::vector<int>& sizes) {
  size_t at = 13;
  if (gif.size() < at) return {};
  if (gif[10] & 0x80) at += 3u << ((gif[10] & 7) + 1);
  Bytes out(gif.begin(), gif.begin() + static_cast<long>(at));
  while (at < gif.size() && gif[at] == 0x21) {
    size_t start = at;
    at += 2;
    while (at < gif.size() && gif[at] != 0) at += gif[at] + 1u;
    ++at;
    out.insert(out.end(), gif.begin() + static_cast<long>(start), gif.begin() + static_cast<long>(at));
  }
  if (at + 10 > gif.size() || gif[at] != 0x2C) return {};
  size_t head = 10;
  if (gif[at + 9] & 0x80) head += 3u << ((gif[at + 9] & 7) + 1);
  head += 1;  // minimum code size
  out.insert(out.end(), gif.begin() + static_cast<long>(at), gif.begin() + static_cast<long>(at + head));
  at += head;
  Bytes data;
  while (at < gif.size() && gif[at] != 0) {
    const size_t n = gif[at];
    data.insert(data.end(), gif.begin() + static_cast<long>(at + 1), gif.begin() + static_cast<long>(at + 1 + n));
    at += n + 1;
  }
  put_blocks(out, data, sizes);
  out.push_back(0x3B);
  return out;
}

// ---- giflib as the reference decoder ----

struct MemorySource {
  const Bytes* bytes;
  size_t at;
};

inline int read_from_bytes(GifFileType* gif, GifByteType* data, int length) {
  auto* source = static_cast<MemorySource*>(gif->UserData);
  size_t left = source->bytes->size() - source->at;
  size_t n = static_cast<size_t>(length) < left ? static_cast<size_t>(length) : left;
  if (n > 0) std::memcpy(data, source->bytes->data() + source->at, n);
  source->at += n;
  return static_cast<int>(n);
}

struct Reference {
  bool ok = false;
  bool covers_screen = false;  // the first image is the whole logical screen
  int width = 0;
  int height = 0;
  Bytes bgr;  // blue, green, red per pixel; indices beyond the table are black
};

inline Reference giflib_decode(const Bytes& gif) {
  Reference result;
  MemorySource source{&gif, 0};
  int error = 0;
  GifFileType* file = DGifOpen(&source, read_from_bytes, &error);
  if (!file) return result;
  if (DGifSlurp(file) == GIF_OK && file->ImageCount > 0) {
    const SavedImage& image = file->SavedImages[0];
    const GifImageDesc& desc = image.ImageDesc;
    const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : file->SColorMap;
    result.ok = true;
    result.covers_screen =
        desc.Left == 0 && desc.Top == 0 && desc.Width == file->SWidth && desc.Height == file->SHeight;
    result.width = desc.Width;
    result.height = desc.Height;
    const size_t total = static_cast<size_t>(desc.Width) * static_cast<size_t>(desc.Height);
    result.bgr.assign(total * 3, 0);
    for (size_t i = 0; i < total; ++i) {
      const int index = image.RasterBits[i];
      if (map && index < map->ColorCount) {
        result.bgr[i * 3 + 0] = map->Colors[index].Blue;
        result.bgr[i * 3 + 1] = map->Colors[index].Green;
        result.bgr[i * 3 + 2] = map->Colors[index].Red;
      }
    }
  }
  DGifCloseFile(file, &error);
  return result;
}

// ---- pictures ----

inline uint32_t step_random(uint32_t& state) {
  state = state * 1664525u + 1013904223u;
  return state >> 8;
}

inline std::vector<Rgb> make_palette(int entries, uint32_t seed) {
  std::vector<Rgb> colours(static_cast<size_t>(entries));
  uint32_t state = seed;
  for (Rgb& c : colours) {
    uint32_t v = step_random(state);
    c = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16)};
  }
  return colours;
}

enum class Pattern { noise, bands, shapes };

// Indices below entries: noise (short strings), bands (long runs) or flat shapes
// with a little dither, the way vector art quantised to a palette looks.
inline Bytes make_indices(int width, int height, int entries, Pattern pattern, uint32_t seed) {
  Bytes indices(static_cast<size_t>(width) * static_cast<size_t>(height));
  uint32_t state = seed;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      int value = 0;
      switch (pattern) {
        case Pattern::noise:
          value = static_cast<int>(step_random(state) % static_cast<uint32_t>(entries));
          break;
        case Pattern::bands:
          value = ((x / 7) + (y / 5)) % entries;
          break;
        case Pattern::shapes: {
          const int dx = x - width / 3, dy = y - height / 2;
          const int ring = (dx * dx + dy * dy) / 300;
          value = (ring + ((x + y) / 40) + ((step_random(state) & 31) == 0 ? 1 : 0)) % entries;
          break;
        }
      }
      indices[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] =
          static_cast<uint8_t>(value);
    }
  return indices;
}

inline bool write_file(const std::string& path, const Bytes& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

}  // namespace giftest

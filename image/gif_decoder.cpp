#include <cstdlib>
#include <cstring>

#include "image/image.h"

namespace {

constexpr int EXTENSION_INTRODUCER = 0x21;
constexpr int IMAGE_SEPARATOR = 0x2C;
constexpr int TRAILER = 0x3B;
constexpr int MAX_CODES = 4096;
// Room past the last pixel: a string that crosses the end of the picture and the
// wide copies both write a little beyond it.
constexpr int INDEX_SLACK = MAX_CODES + 32;

// Copies a dictionary string whose source lies wholly before the destination.
// Whole 16-byte chunks: the bytes written past length are overwritten later.
inline void copy_string(uint8_t* destination, const uint8_t* source, uint32_t length) {
  for (uint32_t k = 0; k < length; k += 16) {
    uint8_t chunk[16];
    std::memcpy(chunk, source + k, 16);
    std::memcpy(destination + k, chunk, 16);
  }
}

// The previous string followed by its own first byte: the source runs into the
// destination, distance bytes behind it, so bytes are copied as they appear.
inline void copy_repeating(uint8_t* destination, const uint8_t* source, uint32_t length, uint32_t distance) {
  if (distance >= 8) {
    for (uint32_t k = 0; k < length; k += 8) {
      uint8_t chunk[8];
      std::memcpy(chunk, source + k, 8);
      std::memcpy(destination + k, chunk, 8);
    }
  } else {
    for (uint32_t k = 0; k < length; ++k) destination[k] = source[k];
  }
}

}  // namespace

GifDecoder::GifDecoder() {
  std::memset(global_table_, 0, sizeof global_table_);
  std::memset(local_table_, 0, sizeof local_table_);
}

GifDecoder::~GifDecoder() { release(); }

void GifDecoder::release() {
  if (owns_output_) std::free(output_);
  output_ = nullptr;
  owns_output_ = 0;
  std::free(indices_);
  indices_ = nullptr;
}

void GifDecoder::read_table(uint8_t* table, int entries) {
  for (int i = 0; i < entries; ++i) {
    uint8_t rgb[3] = {0, 0, 0};
    reader_.read(rgb, 3);
    table[i * 3 + 0] = rgb[2];
    table[i * 3 + 1] = rgb[1];
    table[i * 3 + 2] = rgb[0];
  }
}

void GifDecoder::skip_sub_blocks() {
  uint8_t scratch[255];
  while (reader_.position() < file_size_) {
    int length = reader_.read_byte();
    if (length == 0 || reader_.read(scratch, length) < length) return;
  }
}

int GifDecoder::open(const uint8_t* data, int size) {
  release();
  width_ = height_ = 0;
  global_entries_ = local_entries_ = 0;
  interlaced_ = 0;
  data_start_ = -1;
  produced_ = -1;
  std::memset(global_table_, 0, sizeof global_table_);
  std::memset(local_table_, 0, sizeof local_table_);
  reader_.init(data, size);
  file_size_ = reader_.size();

  uint8_t signature[3] = {0, 0, 0};
  if (reader_.read(signature, 3) != 3 || std::memcmp(signature, "GIF", 3) != 0) return 0;
  uint8_t version[3];
  reader_.read(version, 3);  // any version is accepted

  reader_.read_u16();  // logical screen width and height: the image's own size is used
  reader_.read_u16();
  if (reader_.read_bits_msb(1)) {
    reader_.read_bits_msb(3);  // colour resolution
    reader_.read_bits_msb(1);  // sort flag
    global_entries_ = 2 << reader_.read_bits_msb(3);
  } else {
    reader_.read_bits_msb(7);
  }
  reader_.read_byte();  // background colour index
  reader_.read_byte();  // pixel aspect ratio
  read_table(global_table_, global_entries_);

  // Extensions are passed over by their sub-blocks, so a "," inside one (a
  // comment, say) is never taken for the image; a byte that starts no block at
  // all is skipped and the search goes on.
  for (;;) {
    if (reader_.position() >= file_size_) return 0;
    int byte = reader_.read_byte();
    if (byte == IMAGE_SEPARATOR) break;
    if (byte == TRAILER) return 0;
    if (byte == EXTENSION_INTRODUCER) {
      reader_.read_byte();  // label
      skip_sub_blocks();
    }
  }

  if (file_size_ - reader_.position() < 9) return 0;
  reader_.read_u16();  // left and top: the image is taken to cover the screen
  reader_.read_u16();
  int width = reader_.read_byte();
  width |= reader_.read_byte() << 8;
  int height = reader_.read_byte();
  height |= reader_.read_byte() << 8;
  if (reader_.read_bits_msb(1)) {
    interlaced_ = static_cast<int32_t>(reader_.read_bits_msb(1));
    reader_.read_bits_msb(1);  // sort flag
    reader_.read_bits_msb(2);  // reserved
    local_entries_ = 2 << reader_.read_bits_msb(3);
  } else {
    interlaced_ = static_cast<int32_t>(reader_.read_bits_msb(1));
    reader_.read_bits_msb(6);
  }
  read_table(local_table_, local_entries_);

  if (width == 0 || height == 0 || static_cast<int64_t>(width) * height > GIF_MAX_PIXELS) return 0;
  width_ = width;
  height_ = height;
  data_start_ = reader_.position();
  return width * height * 3;
}

// Decompresses the image data once into colour indices, in the order the data
// yields them (interlaced rows stay in pass order). Returns how many pixels it
// produced, at most width × height.
int GifDecoder::expand() {
  if (produced_ >= 0) return produced_;
  produced_ = 0;
  if (data_start_ < 0) return 0;

  // Sizes 0 and 1 are decoded by the same rules: their first free code already lies
  // at or past 2^(size + 1), so the width never grows and every code is a literal,
  // a clear or (size 1) the end.
  const int min_code_size = reader_.read_byte();
  if (min_code_size > 8) return 0;

  // The sub-blocks joined into one run of bytes: a code may be split across
  // blocks, and a block too short for a whole code simply adds its bits.
  const int room = file_size_ - reader_.position();
  uint8_t* packed = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(room) + 8));
  const uint32_t total = static_cast<uint32_t>(width_) * static_cast<uint32_t>(height_);
  indices_ = static_cast<uint8_t*>(std::malloc(total + INDEX_SLACK));
  if (!packed || !indices_) {
    std::free(packed);
    return 0;
  }
  int length = 0;
  while (reader_.position() < file_size_) {
    int block = reader_.read_byte();
    if (block == 0) break;
    int got = reader_.read(packed + length, block);
    length += got;
    if (got < block) break;  // the file ends inside the block
  }
  std::memset(packed + length, 0, 8);  // codes are fetched 8 bytes at a time

  const uint32_t clear = 1u << min_code_size;
  const uint32_t end = clear + 1;
  uint32_t next = clear + 2;
  int code_width = min_code_size + 1;
  uint32_t mask = (1u << code_width) - 1;
  bool have_previous = false;
  uint32_t previous_start = 0;  // the previous code's string: where it was written
  uint32_t previous_length = 0;
  uint8_t* out = indices_;
  uint32_t position = 0;
  const uint64_t bit_end = static_cast<uint64_t>(length) * 8;
  uint64_t bit = 0;

  // Only codes whose every bit is in the data are read.
  while (position < total && bit + static_cast<uint64_t>(code_width) <= bit_end) {
    uint64_t word;
    std::memcpy(&word, packed + (bit >> 3), 8);
    const uint32_t code = static_cast<uint32_t>(word >> (bit & 7)) & mask;
    bit += static_cast<uint64_t>(code_width);

    if (code == clear) {
      next = clear + 2;
      code_width = min_code_size + 1;
      mask = (1u << code_width) - 1;
      have_previous = false;
      continue;
    }
    if (code == end) break;

    uint32_t string_length;
    if (code < clear) {
      out[position] = static_cast<uint8_t>(code);
      string_length = 1;
    } else if (code < next) {
      string_length = string_length_[code];
      copy_string(out + position, out + string_start_[code], string_length);
    } else {
      // Only the code about to be defined can stand here, and only after another.
      if (!have_previous) break;
      string_length = previous_length + 1;
      copy_repeating(out + position, out + previous_start, string_length, previous_length);
    }

    if (have_previous && next < MAX_CODES) {
      string_start_[next] = previous_start;
      string_length_[next] = static_cast<uint16_t>(previous_length + 1);
      ++next;
      if (next == (1u << code_width) && next < MAX_CODES) {
        ++code_width;
        mask = (1u << code_width) - 1;
      }
    }
    have_previous = true;
    previous_start = position;
    previous_length = string_length;
    position += string_length;
  }

  std::free(packed);
  produced_ = static_cast<int32_t>(position < total ? position : total);
  return produced_;
}

// Where the n-th row in the data goes: interlaced data holds every eighth row
// from 0, every eighth from 4, every fourth from 2, then every second from 1.
int GifDecoder::row_of(int stream_row) const {
  if (!interlaced_) return stream_row;
  int pass_rows = (height_ + 7) / 8;
  if (stream_row < pass_rows) return stream_row * 8;
  stream_row -= pass_rows;
  pass_rows = (height_ + 3) / 8;
  if (stream_row < pass_rows) return 4 + stream_row * 8;
  stream_row -= pass_rows;
  pass_rows = (height_ + 1) / 4;
  if (stream_row < pass_rows) return 2 + stream_row * 4;
  stream_row -= pass_rows;
  return 1 + stream_row * 2;
}

int GifDecoder::decode(uint8_t* output) {
  if (data_start_ < 0) return 0;
  const size_t total = static_cast<size_t>(width_) * static_cast<size_t>(height_);
  if (owns_output_) std::free(output_);
  owns_output_ = 0;
  output_ = output;
  if (!output_) {
    output_ = static_cast<uint8_t*>(std::malloc(total * 3));
    if (!output_) return 0;
    owns_output_ = 1;
  }
  const int produced = expand();

  // Each colour as one 4-byte word, blue lowest; the word's fourth byte lands on
  // the next pixel of the same row, which is written right after.
  const uint8_t* table = active_table();
  uint32_t colours[256];
  for (int i = 0; i < 256; ++i)
    colours[i] = static_cast<uint32_t>(table[i * 3]) | static_cast<uint32_t>(table[i * 3 + 1]) << 8 |
                 static_cast<uint32_t>(table[i * 3 + 2]) << 16;

  const int w = width_;
  for (int start = 0, stream_row = 0; start < produced; start += w, ++stream_row) {
    const int count = produced - start < w ? produced - start : w;
    const uint8_t* source = indices_ + start;
    const int row = row_of(stream_row);
    if (row < 0 || row >= height_) break;
    uint8_t* target = output_ + static_cast<size_t>(row) * static_cast<size_t>(w) * 3;
    int x = 0;
    for (; x + 1 < count; ++x) std::memcpy(target + x * 3, &colours[source[x]], 4);
    std::memcpy(target + x * 3, &colours[source[x]], 3);
  }
  return static_cast<size_t>(produced) == total ? 1 : 0;
}

int GifDecoder::decode_pixels(Pixel* output) {
  if (data_start_ < 0 || !output) return 0;
  const int produced = expand();
  if (static_cast<int64_t>(produced) != static_cast<int64_t>(width_) * height_) return 0;

  // The key is a colour, not an index: any entry that is pure red is transparent.
  const uint8_t* table = active_table();
  Pixel colours[256];
  for (int i = 0; i < 256; ++i) {
    const int blue = table[i * 3], green = table[i * 3 + 1], red = table[i * 3 + 2];
    colours[i] = (red == 255 && green == 0 && blue == 0) ? COLOR_KEY : pack_pixel(red, green, blue, 255);
  }
  const int w = width_;
  for (int stream_row = 0; stream_row < height_; ++stream_row) {
    const uint8_t* source = indices_ + static_cast<size_t>(stream_row) * static_cast<size_t>(w);
    const int row = row_of(stream_row);
    if (row < 0 || row >= height_) return 0;
    Pixel* target = output + static_cast<size_t>(row) * static_cast<size_t>(w);
    for (int x = 0; x < w; ++x) target[x] = colours[source[x]];
  }
  return 1;
}

// Image decoding: a byte and bit reader over memory, our GIF decoder and the
// loader that turns a GIF file into keyed 32-bit pixels.
#pragma once
#include <cstdint>
#include <cstdio>

#include "raster/raster.h"

// Reads a buffer held in memory byte-wise and bit-wise from one shared position.
// Nothing outside the buffer is ever read: reads past the end are shortened and
// bytes that are not there read as 0. The buffer is the caller's.
class BitReader {
 public:
  BitReader();
  int init(const uint8_t* data, int size);
  // Copies up to length bytes; returns how many were copied.
  int read(uint8_t* destination, int length);
  int read_byte();
  // Big-endian: the first byte is the high one.
  int read_u16();
  // The next byte without consuming it; 0 when it is the last byte or there is none.
  int peek_byte() const;
  // The first bit read becomes the top bit of the n-bit result.
  uint32_t read_bits_msb(int n);
  // The first bit read becomes bit 0 of the result.
  uint32_t read_bits_lsb(int n);

  int position() const { return position_; }
  int bit_index() const { return bit_index_; }
  int size() const { return size_; }

 private:
  void realign();
  int bits_left() const { return (size_ - position_) * 8 - (7 - bit_index_); }
  void advance_bit();

  int32_t position_ = 0;
  int32_t bit_index_ = 7;  // 7: nothing of the current byte consumed
  int32_t size_ = 0;
  const uint8_t* data_ = nullptr;
  uint8_t masks_[8];
};

// Largest picture the decoder will take (4096 × 4096): a header may claim up to
// 65535 × 65535, and nothing is allocated from such a claim.
constexpr int GIF_MAX_PIXELS = 1 << 24;

// Decodes the first image of a GIF file held in memory into 24-bit pixels
// (blue, green, red per pixel, rows packed) or into keyed 32-bit Pixels.
// Order of use: open, then decode and/or decode_pixels; the file bytes must stay
// valid until decoding is done.
class GifDecoder {
 public:
  GifDecoder();
  ~GifDecoder();
  GifDecoder(const GifDecoder&) = delete;
  GifDecoder& operator=(const GifDecoder&) = delete;

  // Parses up to the image data. Returns width × height × 3, or 0 when the file
  // holds no image we can decode (no "GIF" signature, trailer or end of data
  // before an image, a zero size, more than GIF_MAX_PIXELS).
  int open(const uint8_t* data, int size);
  int width() const { return width_; }
  int height() const { return height_; }
  int interlaced() const { return interlaced_; }

  // Writes the pixels the image data yields, blue, green, red, into output (with
  // null: into a buffer of its own, see output()). Pixels the data does not reach
  // keep what the buffer held. Returns 1 when the whole picture was produced, 0
  // when the data gave less or could not be decoded at all.
  int decode(uint8_t* output);
  const uint8_t* output() const { return output_; }

  // All or nothing: writes width × height Pixels, pure red (255, 0, 0) as
  // COLOR_KEY and every other colour with alpha 255, only when the whole picture
  // was produced; returns 1 then, else 0 with output untouched.
  int decode_pixels(Pixel* output);

 private:
  void release();
  void read_table(uint8_t* table, int entries);
  void skip_sub_blocks();
  int expand();
  const uint8_t* active_table() const { return local_entries_ ? local_table_ : global_table_; }
  int row_of(int stream_row) const;

  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t global_entries_ = 0;
  int32_t local_entries_ = 0;
  int32_t interlaced_ = 0;
  int32_t data_start_ = -1;  // reader position of the minimum code size byte
  int32_t produced_ = -1;    // pixels the image data yielded; -1 before expand
  uint8_t* output_ = nullptr;
  int32_t owns_output_ = 0;
  uint8_t* indices_ = nullptr;  // colour indices in the order the data yields them
  int32_t file_size_ = 0;
  BitReader reader_;
  // Entry i stored blue, green, red; entries the file does not give stay black.
  uint8_t global_table_[256 * 3];
  uint8_t local_table_[256 * 3];
  // Dictionary: every string is a run of output already written, so a code is
  // where it starts and how long it is.
  uint32_t string_start_[4096];
  uint16_t string_length_[4096];
};

// Opens a data file: '\\' becomes '/', and a relative path is looked up in the
// working directory first, then beside the running executable, then in the
// share/orvel folder of an installed one (bin/../share/orvel).
FILE* open_data_file(const char* path, const char* mode);

// Decodes a GIF file into destination, a slot of width x height Pixels, packed
// (stride = width). Returns 0 when loaded; 1, with destination untouched, when the
// file cannot be read, holds no image, its picture is not exactly width x height, or
// its data ends before the picture is complete.
int load_image(const char* path, Pixel* destination, int width, int height);

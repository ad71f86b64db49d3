#include <cstring>

#include "image/image.h"

BitReader::BitReader() {
  for (int k = 0; k < 8; ++k) masks_[k] = static_cast<uint8_t>(1u << k);
}

int BitReader::init(const uint8_t* data, int size) {
  data_ = data;
  size_ = data ? (size > 0 ? size : 0) : 0;
  position_ = 0;
  bit_index_ = 7;
  return 1;
}

// A byte operation never starts inside a partly consumed byte: the rest of it is dropped.
void BitReader::realign() {
  if (bit_index_ != 7) {
    ++position_;
    bit_index_ = 7;
  }
}

void BitReader::advance_bit() {
  if (--bit_index_ < 0) {
    bit_index_ = 7;
    ++position_;
  }
}

int BitReader::read(uint8_t* destination, int length) {
  realign();
  if (length <= 0) return 0;
  if (length > size_ - position_) length = size_ - position_;
  if (length > 0) std::memcpy(destination, data_ + position_, static_cast<size_t>(length));
  position_ += length;
  return length;
}

int BitReader::read_byte() {
  uint8_t byte = 0;
  read(&byte, 1);
  return byte;
}

int BitReader::read_u16() {
  realign();
  int high = read_byte();
  int low = read_byte();
  return high * 256 + low;
}

int BitReader::peek_byte() const {
  int partial = bit_index_ != 7 ? 1 : 0;
  if (position_ + partial + 1 >= size_) return 0;
  return data_[position_ + partial];
}

uint32_t BitReader::read_bits_msb(int n) {
  if (n > 32) n = 32;
  if (n > bits_left()) n = bits_left();
  uint32_t result = 0;
  for (int k = 0; k < n; ++k) {
    uint32_t bit = (data_[position_] & masks_[bit_index_]) ? 1u : 0u;
    result = (result << 1) | bit;
    advance_bit();
  }
  return result;
}

uint32_t BitReader::read_bits_lsb(int n) {
  if (n > 32) n = 32;
  if (n > bits_left()) n = bits_left();
  uint32_t result = 0;
  for (int k = 0; k < n; ++k) {
    uint32_t bit = (data_[position_] & masks_[7 - bit_index_]) ? 1u : 0u;
    result |= bit << k;
    advance_bit();
  }
  return result;
}

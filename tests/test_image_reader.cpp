#include <gtest/gtest.h>

#include <cstring>

#include "image/image.h"

TEST(BitReader, MostSignificantFirstSharesThePositionWithBytes) {
  const uint8_t data[] = {0xB5, 0x01};
  BitReader reader;
  reader.init(data, 2);
  EXPECT_EQ(reader.read_bits_msb(1), 1u);
  EXPECT_EQ(reader.read_bits_msb(3), 3u);
  EXPECT_EQ(reader.read_bits_msb(1), 0u);
  EXPECT_EQ(reader.read_bits_msb(3), 5u);
  EXPECT_EQ(reader.position(), 1);
  EXPECT_EQ(reader.bit_index(), 7);
  EXPECT_EQ(reader.read_byte(), 0x01);
}

TEST(BitReader, LeastSignificantFirstShortensAtTheEnd) {
  const uint8_t data[] = {0x8C, 0x2D};
  BitReader reader;
  reader.init(data, 2);
  EXPECT_EQ(reader.read_bits_lsb(9), 0x18Cu);
  EXPECT_EQ(reader.read_bits_lsb(9), 0x16u);  // only 7 bits were left
  EXPECT_EQ(reader.position(), 2);
  EXPECT_EQ(reader.bit_index(), 7);
  EXPECT_EQ(reader.read_bits_lsb(4), 0u);
  EXPECT_EQ(reader.read_bits_msb(4), 0u);
}

TEST(BitReader, ByteReadsDropThePartlyReadByte) {
  const uint8_t data[] = {0xFF, 0x12, 0x34, 0x56};
  BitReader reader;
  reader.init(data, 4);
  reader.read_bits_lsb(3);
  EXPECT_EQ(reader.read_byte(), 0x12);
  reader.read_bits_msb(1);
  EXPECT_EQ(reader.read_u16(), 0x5600);  // 0x34 is dropped, the missing byte reads 0
  EXPECT_EQ(reader.read_byte(), 0);
  // The orders switch at a byte boundary.
  const uint8_t mixed[] = {0xA6, 0xC3};
  reader.init(mixed, 2);
  EXPECT_EQ(reader.read_bits_lsb(8), 0xA6u);
  EXPECT_EQ(reader.read_bits_msb(2), 0x3u);
  EXPECT_EQ(reader.read_bits_msb(6), 0x03u);
}

TEST(BitReader, PeekNeverReportsTheLastByte) {
  const uint8_t data[] = {0x21, 0x3B};
  BitReader reader;
  reader.init(data, 2);
  EXPECT_EQ(reader.peek_byte(), 0x21);
  EXPECT_EQ(reader.position(), 0);
  reader.read_byte();
  EXPECT_EQ(reader.peek_byte(), 0);
  reader.init(nullptr, 0);
  EXPECT_EQ(reader.peek_byte(), 0);
  EXPECT_EQ(reader.read_byte(), 0);
  EXPECT_EQ(reader.read_bits_lsb(12), 0u);
}

TEST(BitReader, BlockReadsAreShortenedToWhatIsLeft) {
  uint8_t data[10];
  for (int k = 0; k < 10; ++k) data[k] = static_cast<uint8_t>(k + 1);
  BitReader reader;
  reader.init(data, 10);
  uint8_t out[12];
  EXPECT_EQ(reader.read(out, 6), 6);
  std::memset(out, 0xEE, sizeof out);
  EXPECT_EQ(reader.read(out, 10), 4);
  EXPECT_EQ(out[0], 7);
  EXPECT_EQ(out[3], 10);
  EXPECT_EQ(out[4], 0xEE);
  EXPECT_EQ(reader.read(out, 10), 0);
  EXPECT_EQ(reader.read(out, -3), 0);
  EXPECT_EQ(reader.position(), 10);
}

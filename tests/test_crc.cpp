// Our CRC-32 (frame log and the page's sound check) against zlib's, the reference both
// logs are compared with.
#include <gtest/gtest.h>
#include <zlib.h>

#include <vector>

#include "app/crc32.h"
#include "app/record.h"

// crc32_tables is what the page computes its frame log with.
TEST(Crc32, AgreesWithZlibOnAnyDataAndAnySplit) {
  uint32_t seed = 7;
  std::vector<uint8_t> bytes(5000);
  for (auto& b : bytes) b = static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
  for (auto* crc : {crc32_tables, crc32_update}) {
    EXPECT_EQ(crc(0, nullptr, 0), 0u);
    EXPECT_EQ(crc(0, "123456789", 9), 0xCBF43926u);  // the check value of the polynomial
    for (size_t length :
         {size_t{1}, size_t{3}, size_t{7}, size_t{8}, size_t{9}, size_t{255}, size_t{4096}, bytes.size()}) {
      const uint32_t whole = crc(0, bytes.data(), length);
      EXPECT_EQ(whole, crc32(0, bytes.data(), static_cast<uInt>(length))) << length;
      // Any split, also one that leaves the eight-byte steps out of line with the data.
      for (size_t cut : {size_t{0}, size_t{1}, length / 3, length}) {
        if (cut > length) continue;
        EXPECT_EQ(crc(crc(0, bytes.data(), cut), bytes.data() + cut, length - cut), whole) << length << " " << cut;
      }
    }
  }
}

TEST(Crc32, APictureIsItsRedGreenBlueBytesInStorageOrder) {
  static Pixel canvas[SCREEN_PIXELS];
  std::vector<uint8_t> rgb;
  for (int i = 0; i < SCREEN_PIXELS; ++i) {
    canvas[i] = 0xA0000000u | static_cast<uint32_t>(i * 2654435761u >> 8);  // the top byte is not part of it
    rgb.push_back(static_cast<uint8_t>(canvas[i] >> 16));
    rgb.push_back(static_cast<uint8_t>(canvas[i] >> 8));
    rgb.push_back(static_cast<uint8_t>(canvas[i]));
  }
  EXPECT_EQ(picture_crc(canvas), crc32(0, rgb.data(), static_cast<uInt>(rgb.size())));
}

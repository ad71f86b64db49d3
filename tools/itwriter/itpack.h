// The Impulse Tracker sample compression, lossless. PCM is cut into blocks of
// 0x8000 bytes (0x8000 8-bit or 0x4000 16-bit samples); each block is written as
// its byte length (16 bits, little-endian) and a bitstream, least significant bit
// first, of the differences between samples, each in as few bits as the width
// changes allow. With `double_delta` the differences of the differences are
// coded instead, which suits smooth waves (the header's convert flag 4 says so).
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

constexpr size_t IT_PACK_BLOCK_BYTES = 0x8000;

std::vector<uint8_t> it_pack8(const int8_t* pcm, size_t length, bool double_delta);
std::vector<uint8_t> it_pack16(const int16_t* pcm, size_t length, bool double_delta);

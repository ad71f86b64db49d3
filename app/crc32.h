// The CRC-32 of zlib and PNG.
#pragma once
#include <cstddef>
#include <cstdint>

// Continued over size more bytes; start from 0. zlib's where the platform has it, else
// crc32_tables, our own.
uint32_t crc32_update(uint32_t crc, const void* data, size_t size);
uint32_t crc32_tables(uint32_t crc, const void* data, size_t size);

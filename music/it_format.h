// The Impulse Tracker file format's fixed sizes, which the music's check reads by and the
// project's own writer writes by.
#pragma once
#include <cstdint>

constexpr int IT_HEADER_SIZE = 0xC0;  // then the order list and the tables of offsets
constexpr int IT_SAMPLE_HEADER_SIZE = 0x50;
constexpr int IT_INSTRUMENT_SIZE = 554;
constexpr int IT_ENVELOPE_SIZE = 82;
constexpr int IT_PATTERN_HEADER_SIZE = 8;
constexpr int IT_MAX_ENTRIES = 256;  // orders, instruments, samples, patterns each

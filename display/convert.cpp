#include <cstring>

#include "display/display.h"

#if defined(__SSE2__) && !defined(ORVEL_NO_SIMD)
#include <emmintrin.h>
#include <tmmintrin.h>
#define ORVEL_CONVERT_SSE2 1
#endif

// Each block path ends where its last whole block ends; the per-pixel formula does
// the rest, so every pixel gets the same value whichever path it takes.

namespace {

inline void store16(uint8_t* destination, uint32_t value) {
  destination[0] = static_cast<uint8_t>(value);
  destination[1] = static_cast<uint8_t>(value >> 8);
}

inline void store32(uint8_t* destination, uint32_t value) {
  store16(destination, value);
  store16(destination + 2, value >> 16);
}

inline uint32_t xbgr32_of(Pixel p) { return ((p & 0xFFu) << 16) | ((p >> 16) & 0xFFu) | (p & 0xFF00u); }
inline uint32_t rgb565_of(Pixel p) { return ((p >> 8) & 0xF800u) | ((p >> 5) & 0x7E0u) | ((p >> 3) & 0x1Fu); }
inline uint32_t bgr565_of(Pixel p) { return ((p << 8) & 0xF800u) | ((p >> 5) & 0x7E0u) | ((p >> 19) & 0x1Fu); }
inline uint32_t rgb555_of(Pixel p) { return ((p >> 9) & 0x7C00u) | ((p >> 6) & 0x3E0u) | ((p >> 3) & 0x1Fu); }
inline uint32_t bgr555_of(Pixel p) { return ((p << 7) & 0x7C00u) | ((p >> 6) & 0x3E0u) | ((p >> 19) & 0x1Fu); }

template <uint32_t (*formula)(Pixel)>
inline void tail16(const Pixel* source, uint8_t* destination, int32_t count) {
  for (int32_t i = 0; i < count; ++i) store16(destination + 2 * i, formula(source[i]));
}

inline void tail_rgb24(const Pixel* source, uint8_t* destination, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    const Pixel p = source[i];
    destination[3 * i] = static_cast<uint8_t>(p);
    destination[3 * i + 1] = static_cast<uint8_t>(p >> 8);
    destination[3 * i + 2] = static_cast<uint8_t>(p >> 16);
  }
}

#if ORVEL_CONVERT_SSE2
inline __m128i load4(const Pixel* source) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(source)); }
inline void store_full(uint8_t* destination, __m128i v) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(destination), v);
}
inline void store_low8(uint8_t* destination, __m128i v) {
  _mm_storel_epi64(reinterpret_cast<__m128i*>(destination), v);
}

// Four Pixels packed to their 12 bytes B G R in the low 12 bytes, the top 4 zero.
inline __m128i pack_rgb24(__m128i v) {
  // Within each 64-bit half: the second Pixel's three bytes slide down onto the
  // first one's top byte, whose masks also drop both top bytes.
  const __m128i first = _mm_and_si128(v, _mm_set_epi32(0, 0x00FFFFFF, 0, 0x00FFFFFF));
  const __m128i second = _mm_and_si128(_mm_srli_epi64(v, 8), _mm_set_epi32(0x0000FFFF, static_cast<int>(0xFF000000u),
                                                                           0x0000FFFF, static_cast<int>(0xFF000000u)));
  const __m128i halves = _mm_or_si128(first, second);  // 6 bytes in each half
  const __m128i high = _mm_and_si128(_mm_srli_si128(halves, 2),
                                     _mm_set_epi32(0, static_cast<int>(0xFFFFFFFFu), static_cast<int>(0xFFFF0000u), 0));
  return _mm_or_si128(_mm_move_epi64(halves), high);
}

// Red and blue exchanged in each Pixel, the top byte cleared.
inline __m128i swap_red_blue(__m128i p) {
  const __m128i outer = _mm_set1_epi32(0xFF);
  const __m128i red = _mm_slli_epi32(_mm_and_si128(p, outer), 16);
  const __m128i blue = _mm_and_si128(_mm_srli_epi32(p, 16), outer);
  return _mm_or_si128(_mm_or_si128(red, blue), _mm_and_si128(p, _mm_set1_epi32(0xFF00)));
}

// Sixteen Pixels as 48 bytes of three-byte pixels in three 16-byte stores, then
// blocks of four; returns how many Pixels were done.
template <bool swap>
int32_t pack24_blocks(const Pixel* source, uint8_t* destination, int32_t count) {
  auto load = [&](int32_t i) {
    const __m128i p = load4(source + i);
    if constexpr (!swap) return pack_rgb24(p);
    // The 16-bit halves exchanged give bytes R A B G; green goes back over A, and
    // the top byte is dropped by the pack.
    const __m128i halves = _mm_shufflehi_epi16(_mm_shufflelo_epi16(p, 0xB1), 0xB1);
    const __m128i green = _mm_set1_epi32(0xFF00);
    return pack_rgb24(_mm_xor_si128(halves, _mm_and_si128(_mm_xor_si128(halves, p), green)));
  };
  int32_t i = 0;
  for (; i + 16 <= count; i += 16) {
    const __m128i a = load(i), b = load(i + 4), c = load(i + 8), d = load(i + 12);
    uint8_t* out = destination + 3 * i;
    store_full(out, _mm_or_si128(a, _mm_slli_si128(b, 12)));
    store_full(out + 16, _mm_or_si128(_mm_srli_si128(b, 4), _mm_slli_si128(c, 8)));
    store_full(out + 32, _mm_or_si128(_mm_srli_si128(c, 8), _mm_slli_si128(d, 4)));
  }
  for (; i + 4 <= count; i += 4) {
    const __m128i packed = load(i);
    uint8_t* out = destination + 3 * i;
    store_low8(out, packed);
    const uint32_t last = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(packed, 8)));
    std::memcpy(out + 8, &last, 4);  // little-endian: the bytes in their order
  }
  return i;
}

// With SSSE3 one byte shuffle turns four Pixels into their 12 bytes, in either order,
// where the SSE2 path needs masks and shifts (and a red and blue exchange for R G B);
// the stores are the same.
bool use_ssse3 = __builtin_cpu_supports("ssse3");

template <bool swap>
__attribute__((target("ssse3"))) inline __m128i load24_ssse3(const Pixel* source) {
  const __m128i order = swap ? _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1)
                             : _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  return _mm_shuffle_epi8(load4(source), order);
}

template <bool swap>
__attribute__((target("ssse3"))) int32_t pack24_blocks_ssse3(const Pixel* source, uint8_t* destination,
                                                             int32_t count) {
  int32_t i = 0;
  for (; i + 16 <= count; i += 16) {
    const __m128i a = load24_ssse3<swap>(source + i), b = load24_ssse3<swap>(source + i + 4);
    const __m128i c = load24_ssse3<swap>(source + i + 8), d = load24_ssse3<swap>(source + i + 12);
    uint8_t* out = destination + 3 * i;
    store_full(out, _mm_or_si128(a, _mm_slli_si128(b, 12)));
    store_full(out + 16, _mm_or_si128(_mm_srli_si128(b, 4), _mm_slli_si128(c, 8)));
    store_full(out + 32, _mm_or_si128(_mm_srli_si128(c, 8), _mm_slli_si128(d, 4)));
  }
  for (; i + 4 <= count; i += 4) {
    const __m128i packed = load24_ssse3<swap>(source + i);
    uint8_t* out = destination + 3 * i;
    store_low8(out, packed);
    const uint32_t last = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(packed, 8)));
    std::memcpy(out + 8, &last, 4);
  }
  return i;
}

template <bool swap>
int32_t pack24(const Pixel* source, uint8_t* destination, int32_t count) {
  return use_ssse3 ? pack24_blocks_ssse3<swap>(source, destination, count)
                   : pack24_blocks<swap>(source, destination, count);
}

// Four Pixels to four 5-6-5 words in the low 8 bytes. The 11 low bits come from a
// signed pack of 32-bit lanes, the top 5 from an unsigned byte pack of the 16-bit
// halves, whose high half holds the channel already in place.
template <bool red_high>
inline __m128i pack_565(__m128i p0, __m128i p1) {
  const __m128i green = _mm_set1_epi32(0xFC00);
  __m128i low0, low1, top0, top1;
  if constexpr (red_high) {
    const __m128i blue = _mm_set1_epi32(0xF8);
    const __m128i red = _mm_set1_epi32(0xF80000);
    low0 = _mm_srli_epi32(_mm_or_si128(_mm_and_si128(p0, green), _mm_slli_epi32(_mm_and_si128(p0, blue), 2)), 5);
    low1 = _mm_srli_epi32(_mm_or_si128(_mm_and_si128(p1, green), _mm_slli_epi32(_mm_and_si128(p1, blue), 2)), 5);
    top0 = _mm_and_si128(p0, red);
    top1 = _mm_and_si128(p1, red);
  } else {
    const __m128i red = _mm_set1_epi32(0xF80000);
    const __m128i blue = _mm_set1_epi32(0xF8);
    low0 = _mm_srli_epi32(_mm_or_si128(_mm_and_si128(p0, green), _mm_srli_epi32(_mm_and_si128(p0, red), 14)), 5);
    low1 = _mm_srli_epi32(_mm_or_si128(_mm_and_si128(p1, green), _mm_srli_epi32(_mm_and_si128(p1, red), 14)), 5);
    top0 = _mm_slli_epi32(_mm_and_si128(p0, blue), 16);
    top1 = _mm_slli_epi32(_mm_and_si128(p1, blue), 16);
  }
  return _mm_or_si128(_mm_packs_epi32(low0, low1), _mm_packus_epi16(top0, top1));
}

// Eight Pixels to eight 5-5-5 words: blue and red, masked in the two 16-bit halves
// of each Pixel, are scaled into place and summed by one multiply-add.
inline __m128i pack_555(__m128i p0, __m128i p1, __m128i multipliers) {
  const __m128i blue_red = _mm_set1_epi32(0x00F800F8);
  const __m128i green = _mm_set1_epi32(0xF800);
  const __m128i w0 =
      _mm_srli_epi32(_mm_or_si128(_mm_madd_epi16(_mm_and_si128(p0, blue_red), multipliers), _mm_and_si128(p0, green)), 6);
  const __m128i w1 =
      _mm_srli_epi32(_mm_or_si128(_mm_madd_epi16(_mm_and_si128(p1, blue_red), multipliers), _mm_and_si128(p1, green)), 6);
  return _mm_packs_epi32(w0, w1);
}

template <bool red_high>
void convert_565(const Pixel* source, uint8_t* destination, int32_t count) {
  int32_t i = 0;
  for (; i + 8 <= count; i += 8) store_full(destination + 2 * i, pack_565<red_high>(load4(source + i), load4(source + i + 4)));
  for (; i + 4 <= count; i += 4) {
    const __m128i p = load4(source + i);
    store_low8(destination + 2 * i, pack_565<red_high>(p, p));
  }
  tail16<red_high ? rgb565_of : bgr565_of>(source + i, destination + 2 * i, count - i);
}

template <bool red_high>
void convert_555(const Pixel* source, uint8_t* destination, int32_t count) {
  // 16-bit multipliers for the (blue, red) halves: blue x 8 + red x 0x2000 puts red
  // high; the exchange puts blue high.
  const __m128i multipliers = _mm_set1_epi32(red_high ? 0x20000008 : 0x00082000);
  int32_t i = 0;
  for (; i + 8 <= count; i += 8)
    store_full(destination + 2 * i, pack_555(load4(source + i), load4(source + i + 4), multipliers));
  tail16<red_high ? rgb555_of : bgr555_of>(source + i, destination + 2 * i, count - i);
}
#else
template <bool red_high>
void convert_565(const Pixel* source, uint8_t* destination, int32_t count) {
  tail16<red_high ? rgb565_of : bgr565_of>(source, destination, count);
}
template <bool red_high>
void convert_555(const Pixel* source, uint8_t* destination, int32_t count) {
  tail16<red_high ? rgb555_of : bgr555_of>(source, destination, count);
}
#endif

}  // namespace

void convert_xrgb32(const Pixel* source, uint8_t* destination, int32_t count) {
  if (count <= 0) return;
  const size_t bytes = static_cast<size_t>(count) * 4;
  size_t done = 0;
#if ORVEL_CONVERT_SSE2
  const uint8_t* from = reinterpret_cast<const uint8_t*>(source);
  for (; done + 64 <= bytes; done += 64) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + done));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + done + 16));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + done + 32));
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + done + 48));
    store_full(destination + done, a);
    store_full(destination + done + 16, b);
    store_full(destination + done + 32, c);
    store_full(destination + done + 48, d);
  }
#endif
  std::memcpy(destination + done, reinterpret_cast<const uint8_t*>(source) + done, bytes - done);
}

void convert_xbgr32(const Pixel* source, uint8_t* destination, int32_t count) {
  int32_t i = 0;
#if ORVEL_CONVERT_SSE2
  for (; i + 4 <= count; i += 4) store_full(destination + 4 * i, swap_red_blue(load4(source + i)));
#endif
  for (; i < count; ++i) store32(destination + 4 * i, xbgr32_of(source[i]));
}

void convert_rgb24(const Pixel* source, uint8_t* destination, int32_t count) {
  if (count <= 0) return;
  int32_t i = 0;
#if ORVEL_CONVERT_SSE2
  i = pack24<false>(source, destination, count);
#endif
  tail_rgb24(source + i, destination + 3 * i, count - i);
}

void convert_bgr24(const Pixel* source, uint8_t* destination, int32_t count) {
  if (count <= 0) return;
  int32_t i = 0;
#if ORVEL_CONVERT_SSE2
  i = pack24<true>(source, destination, count);
#endif
  for (; i < count; ++i) {
    const Pixel p = source[i];
    destination[3 * i] = static_cast<uint8_t>(p >> 16);
    destination[3 * i + 1] = static_cast<uint8_t>(p >> 8);
    destination[3 * i + 2] = static_cast<uint8_t>(p);
  }
}

void convert_rgb565(const Pixel* source, uint8_t* destination, int32_t count) {
  if (count > 0) convert_565<true>(source, destination, count);
}
void convert_bgr565(const Pixel* source, uint8_t* destination, int32_t count) {
  if (count > 0) convert_565<false>(source, destination, count);
}
void convert_rgb555(const Pixel* source, uint8_t* destination, int32_t count) {
  if (count > 0) convert_555<true>(source, destination, count);
}
void convert_bgr555(const Pixel* source, uint8_t* destination, int32_t count) {
  if (count > 0) convert_555<false>(source, destination, count);
}

bool converters_use_ssse3(bool on) {
#if ORVEL_CONVERT_SSE2
  use_ssse3 = on && __builtin_cpu_supports("ssse3");
  return use_ssse3;
#else
  (void)on;
  return false;
#endif
}

PixelConverter select_converter(int bits_per_pixel, uint32_t red_mask, uint32_t green_mask,
                                uint32_t blue_mask) {
  struct Layout {
    int bits;
    uint32_t red, green, blue;
    PixelConverter converter;
  };
  static constexpr Layout layouts[] = {
      {32, 0xFF0000, 0xFF00, 0xFF, convert_xrgb32}, {32, 0xFF, 0xFF00, 0xFF0000, convert_xbgr32},
      {24, 0xFF0000, 0xFF00, 0xFF, convert_rgb24},  {24, 0xFF, 0xFF00, 0xFF0000, convert_bgr24},
      {16, 0xF800, 0x7E0, 0x1F, convert_rgb565},    {16, 0x1F, 0x7E0, 0xF800, convert_bgr565},
      {16, 0x7C00, 0x3E0, 0x1F, convert_rgb555},    {16, 0x1F, 0x3E0, 0x7C00, convert_bgr555},
  };
  for (const Layout& layout : layouts) {
    if (layout.bits == bits_per_pixel && layout.red == red_mask && layout.green == green_mask &&
        layout.blue == blue_mask)
      return layout.converter;
  }
  return nullptr;
}

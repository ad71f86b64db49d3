#include <algorithm>
#include <cmath>
#include <cstdint>

#include "raster/raster.h"

#if defined(__GNUC__) && defined(__x86_64__)
#define ORVEL_BLEND_SIMD 1
#define ORVEL_BLEND_AVX2 1
#include <immintrin.h>
#elif defined(__wasm_simd128__) && defined(__SSE2__)
// In a web page the SSE2 rows run on WebAssembly's 128-bit SIMD, lane for lane the same.
#define ORVEL_BLEND_SIMD 1
#include <emmintrin.h>
#endif

namespace {

bool flag_on(int flag) { return (flag & 0xFF) != 0; }

// d + floor((s - d) * A / 256) equals floor((d * (256 - A) + s * A) / 256), whose
// numerator is never negative, so red and blue can share one multiply.
inline Pixel blend_pixel(Pixel src, Pixel dst) {
  const uint32_t a = src >> 24;
  const uint32_t ia = 256 - a;
  const uint32_t rb = (((src & 0xFF00FFu) * a + (dst & 0xFF00FFu) * ia) >> 8) & 0xFF00FFu;
  const uint32_t g = (((src & 0xFF00u) * a + (dst & 0xFF00u) * ia) >> 8) & 0xFF00u;
  const Pixel mixed = (a << 24) | rb | g;
  return a != 0 ? mixed : dst;
}

#ifdef ORVEL_BLEND_SIMD

// Loaded pictures and most canvases hold only alpha 0 and 255. For A = 255 the rule
// d + floor((s - d) * 255 / 256) is s - 1 where s > d and s elsewhere, per byte, which
// needs no multiply; mixed groups take the full rule in 16-bit lanes, where
// s * A + d * (256 - A) never exceeds 65280.
void blend_row_sse2(const Pixel* __restrict src, Pixel* __restrict dst, int count) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i ones = _mm_set1_epi32(-1);
  const __m128i low_bytes = _mm_set1_epi32(0x00FF00FF);
  const __m128i green = _mm_set1_epi32(0x0000FF00);
  const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  const __m128i opaque = _mm_set1_epi32(255);
  const __m128i two_five_six = _mm_set1_epi16(256);
  int k = 0;
  for (; k + 4 <= count; k += 4) {
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + k));
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + k));
    const __m128i a32 = _mm_srli_epi32(s, 24);
    const __m128i skip = _mm_cmpeq_epi32(a32, zero);
    __m128i mixed;
    if (_mm_movemask_epi8(_mm_or_si128(skip, _mm_cmpeq_epi32(a32, opaque))) == 0xFFFF) {
      const __m128i not_greater = _mm_cmpeq_epi8(_mm_subs_epu8(s, d), zero);
      mixed = _mm_or_si128(_mm_add_epi8(s, _mm_xor_si128(not_greater, ones)), alpha);
    } else {
      const __m128i a16 = _mm_or_si128(a32, _mm_slli_epi32(a32, 16));
      const __m128i ia16 = _mm_sub_epi16(two_five_six, a16);
      const __m128i rb = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_and_si128(s, low_bytes), a16),
                                                      _mm_mullo_epi16(_mm_and_si128(d, low_bytes), ia16)),
                                        8);
      const __m128i ga =
          _mm_add_epi16(_mm_mullo_epi16(_mm_srli_epi16(s, 8), a16), _mm_mullo_epi16(_mm_srli_epi16(d, 8), ia16));
      mixed = _mm_or_si128(_mm_or_si128(rb, _mm_and_si128(ga, green)), _mm_and_si128(s, alpha));
    }
    const __m128i out = _mm_or_si128(_mm_and_si128(skip, d), _mm_andnot_si128(skip, mixed));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + k), out);
  }
  for (; k < count; ++k) dst[k] = blend_pixel(src[k], dst[k]);
}

// The same, eight pixels at a time.
#ifdef ORVEL_BLEND_AVX2
__attribute__((target("avx2"))) void blend_row_avx2(const Pixel* __restrict src, Pixel* __restrict dst, int count) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i ones = _mm256_set1_epi32(-1);
  const __m256i low_bytes = _mm256_set1_epi32(0x00FF00FF);
  const __m256i green = _mm256_set1_epi32(0x0000FF00);
  const __m256i alpha = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  const __m256i opaque = _mm256_set1_epi32(255);
  const __m256i two_five_six = _mm256_set1_epi16(256);
  int k = 0;
  for (; k + 8 <= count; k += 8) {
    const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + k));
    const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + k));
    const __m256i a32 = _mm256_srli_epi32(s, 24);
    const __m256i skip = _mm256_cmpeq_epi32(a32, zero);
    __m256i mixed;
    if (_mm256_movemask_epi8(_mm256_or_si256(skip, _mm256_cmpeq_epi32(a32, opaque))) == -1) {
      const __m256i not_greater = _mm256_cmpeq_epi8(_mm256_subs_epu8(s, d), zero);
      mixed = _mm256_or_si256(_mm256_add_epi8(s, _mm256_xor_si256(not_greater, ones)), alpha);
    } else {
      const __m256i a16 = _mm256_or_si256(a32, _mm256_slli_epi32(a32, 16));
      const __m256i ia16 = _mm256_sub_epi16(two_five_six, a16);
      const __m256i rb = _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(_mm256_and_si256(s, low_bytes), a16),
                                                            _mm256_mullo_epi16(_mm256_and_si256(d, low_bytes), ia16)),
                                           8);
      const __m256i ga = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_srli_epi16(s, 8), a16),
                                          _mm256_mullo_epi16(_mm256_srli_epi16(d, 8), ia16));
      mixed = _mm256_or_si256(_mm256_or_si256(rb, _mm256_and_si256(ga, green)), _mm256_and_si256(s, alpha));
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + k), _mm256_blendv_epi8(mixed, d, skip));
  }
  for (; k < count; ++k) dst[k] = blend_pixel(src[k], dst[k]);
}

int best_blend_level() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") ? 2 : 1;
}
#else
int best_blend_level() { return 1; }
#endif
#else
int best_blend_level() { return 0; }
#endif

int blend_level = best_blend_level();

void blend_row(const Pixel* __restrict src, Pixel* __restrict dst, int count) {
#ifdef ORVEL_BLEND_SIMD
#ifdef ORVEL_BLEND_AVX2
  if (blend_level == 2) return blend_row_avx2(src, dst, count);
#endif
  if (blend_level == 1) return blend_row_sse2(src, dst, count);
#endif
  for (int k = 0; k < count; ++k) dst[k] = blend_pixel(src[k], dst[k]);
}

void opaque_row(const Pixel* __restrict src, Pixel* __restrict dst, int count) {
  int k = 0;
#ifdef ORVEL_BLEND_SIMD
  const __m128i colour = _mm_set1_epi32(0x00FFFFFF);
  for (; k + 4 <= count; k += 4) {
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + k));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + k), _mm_and_si128(s, colour));
  }
#endif
  for (; k < count; ++k) dst[k] = src[k] & 0x00FFFFFFu;
}

int64_t floor_div(int64_t a, int64_t b) {  // b > 0
  int64_t q = a / b;
  if (a % b != 0 && a < 0) --q;
  return q;
}

int64_t ceil_div(int64_t a, int64_t b) { return -floor_div(-a, b); }

}  // namespace

int set_blend_level(int level) {
  blend_level = std::clamp(level, 0, best_blend_level());
  return blend_level;
}

void blit(const Pixel* source, int width, int height, Pixel* canvas, int x, int y, int blend) {
  if (source == nullptr || canvas == nullptr || width <= 0 || height <= 0) return;
  // Visible source columns land on 1..511 (column 0 is never written), rows on 0..383.
  const int64_t i0 = std::max<int64_t>(0, 1 - static_cast<int64_t>(x));
  const int64_t i1 = std::min<int64_t>(width, SCREEN_WIDTH - static_cast<int64_t>(x));
  const int64_t j0 = std::max<int64_t>(0, -static_cast<int64_t>(y));
  const int64_t j1 = std::min<int64_t>(height, SCREEN_HEIGHT - static_cast<int64_t>(y));
  if (i0 >= i1 || j0 >= j1) return;
  const int count = static_cast<int>(i1 - i0);
  const bool blended = flag_on(blend);
  for (int64_t j = j0; j < j1; ++j) {
    const Pixel* src = source + j * width + i0;
    Pixel* dst = canvas + (y + j) * SCREEN_WIDTH + (x + i0);
    if (blended)
      blend_row(src, dst, count);
    else
      opaque_row(src, dst, count);
  }
}

void blit_rotated(const Pixel* source, int width, int height, Pixel* canvas, int centre_x, int centre_y, int angle) {
  if (source == nullptr || canvas == nullptr || width <= 0 || height <= 0) return;
  const int64_t cx = centre_x;
  const int64_t cy = centre_y;
  const int64_t left = cx - width / 2;
  const int64_t top = cy - height / 2;
  const double theta = angle * DEGREE_TO_RADIAN;
  const double sn = std::sin(theta);
  const double cs = std::cos(theta);
  // Clipping is tested on the unrotated position first, as the scenes were tuned with.
  const int64_t i_first = std::max<int64_t>(0, 1 - left);
  const int64_t i_end = std::min<int64_t>(width, SCREEN_WIDTH - left);
  const int64_t j_end = std::min<int64_t>(height, SCREEN_HEIGHT - top);
  // Columns then rows, so where two source pixels meet the later one wins.
  for (int64_t i = i_first; i < i_end; ++i) {
    const double dx = static_cast<double>(i - width / 2);
    for (int64_t j = 0; j < j_end; ++j) {
      const Pixel p = source[j * width + i];
      if ((p >> 24) == 0) continue;
      const double dy = static_cast<double>(j - height / 2);
      const int64_t ry = static_cast<int64_t>(sn * dx + cs * dy);
      const int64_t yy = cy + ry;
      if (yy <= 0 || yy >= SCREEN_HEIGHT) continue;
      const int64_t rx = static_cast<int64_t>(cs * dx - sn * dy);
      const int64_t xx = cx + rx;
      Pixel* row = canvas + yy * SCREEN_WIDTH;
      if (xx >= 0 && xx < SCREEN_WIDTH) row[xx] = p;
      if (xx + 1 >= 0 && xx + 1 < SCREEN_WIDTH) row[xx + 1] = p;
    }
  }
}

// The scaled blit is defined as a walk: per destination column a pass down the
// source with the errors ex and ey carried over from the previous step. The walk is
// evaluated here in closed form, which gives the same pixels without visiting
// invisible steps:
// - Horizontally, step k (from 1) is drawn at X = x0 + k from source column
//   ceil(k * sw / dw) - 1 when widening; when narrowing it reads source column k and
//   draws at X = x0 + ceil(k * dw / sw) - 1, up to X = x1 - 2.
// - Vertically, ey starts each pass at 0 for the very first pass and at dh for every
//   later one (one pass leaves ey at dh whatever it started with), so only two row
//   mappings exist per call.
// Where several writes hit a pixel the last one the walk makes wins; with the key set
// a key word is not a write, so the search falls back to the write before it.
void blit_scaled(int x0, int y0, int x1, int y1, Pixel* canvas, int source_width, int source_height,
                 const Pixel* source, int key) {
  if (canvas == nullptr || source == nullptr || source_width <= 0 || source_height <= 0) return;
  const int64_t sw = source_width;
  const int64_t sh = source_height;
  const int64_t dw = static_cast<int64_t>(x1) - x0;
  const int64_t dh = static_cast<int64_t>(y1) - y0;
  if (dw <= 0 || dh <= 0) return;
  // Equal width with a taller target and a wider target of equal height are not
  // covered by the table of cases; they take the neighbouring narrowing and lowering.
  const bool widening = dw > sw;
  const bool heightening = dh > sh;
  const bool use_key = flag_on(key);

  // Destination rows this call may touch: 1..383 within y0..y1 - 1.
  const int64_t y_first = std::max<int64_t>(1, y0);
  const int64_t y_end = std::min<int64_t>(SCREEN_HEIGHT, y1);
  if (y_first >= y_end) return;
  // Source row range per destination row, for the first pass [0] and the later ones [1].
  int32_t row_lo[2][SCREEN_HEIGHT];
  int32_t row_hi[2][SCREEN_HEIGHT];
  for (int64_t yy = y_first; yy < y_end; ++yy) {
    const int64_t m = yy - y0;
    int64_t lo[2];
    int64_t hi[2];
    if (heightening) {
      lo[0] = hi[0] = (m == 0) ? 0 : ceil_div(m * sh, dh) - 1;
      lo[1] = hi[1] = ceil_div(m * sh, dh);
    } else {
      lo[0] = (m == 0) ? 0 : floor_div(m * sh, dh) + 1;
      hi[0] = floor_div((m + 1) * sh, dh);
      lo[1] = floor_div(m * sh, dh);
      hi[1] = floor_div((m + 1) * sh, dh) - 1;
    }
    for (int t = 0; t < 2; ++t) {
      // Reads past the source's last row write nothing.
      const int64_t h = std::min(hi[t], sh - 1);
      if (lo[t] > h) {
        row_lo[t][yy] = 1;
        row_hi[t][yy] = 0;
      } else {
        row_lo[t][yy] = static_cast<int32_t>(lo[t]);
        row_hi[t][yy] = static_cast<int32_t>(h);
      }
    }
  }

  // Steps k_lo..k_hi land on each destination column 1..511 (an empty range when none).
  int64_t x_first;
  int64_t x_end;
  if (widening) {
    x_first = std::max<int64_t>(1, static_cast<int64_t>(x0) + 1);
    x_end = std::min<int64_t>(SCREEN_WIDTH, static_cast<int64_t>(x1) + 1);
  } else {
    if (dw < 3) return;  // the walk stops before its first step
    x_first = std::max<int64_t>(1, x0);
    x_end = std::min<int64_t>(SCREEN_WIDTH, static_cast<int64_t>(x1) - 1);
  }
  if (x_first >= x_end) return;
  int64_t step_lo[SCREEN_WIDTH];
  int64_t step_hi[SCREEN_WIDTH];
  int32_t column_of_last[SCREEN_WIDTH];
  for (int64_t xx = x_first; xx < x_end; ++xx) {
    const int64_t m = xx - x0;
    if (widening) {
      step_lo[xx] = step_hi[xx] = m;
      column_of_last[xx] = static_cast<int32_t>(ceil_div(m * sw, dw) - 1);
    } else {
      step_lo[xx] = floor_div(m * sw, dw) + 1;
      // The last column the walk reaches gets only the step that reaches it.
      step_hi[xx] = (m == dw - 2) ? step_lo[xx] : floor_div((m + 1) * sw, dw);
      column_of_last[xx] = static_cast<int32_t>(step_hi[xx]);
    }
  }

  // Where the last write to a pixel is a key word or misses its row, the writes are
  // searched backwards for the one that stays.
  const Pixel key_word = COLOR_KEY;
  auto earlier_write = [&](int64_t xx, int64_t yy) -> const Pixel* {
    for (int64_t k = step_hi[xx]; k >= step_lo[xx]; --k) {
      const Pixel* column = source + (widening ? column_of_last[xx] : k);
      const int t = k == 1 ? 0 : 1;
      for (int64_t r = row_hi[t][yy]; r >= row_lo[t][yy]; --r) {
        const Pixel* p = column + r * sw;
        if (!use_key || *p != key_word) return p;
      }
    }
    return nullptr;
  };
  // Only a column whose last step is the very first one reads the first pass's rows.
  int64_t first_pass_column = -1;
  for (int64_t xx = x_first; xx < x_end; ++xx)
    if (step_hi[xx] == 1) first_pass_column = xx;
  for (int64_t yy = y_first; yy < y_end; ++yy) {
    Pixel* dst_row = canvas + yy * SCREEN_WIDTH;
    const Pixel* last_row[2];
    for (int t = 0; t < 2; ++t) last_row[t] = row_lo[t][yy] <= row_hi[t][yy] ? source + row_hi[t][yy] * sw : nullptr;
    const Pixel* later_row = last_row[1];
    for (int64_t xx = x_first; xx < x_end; ++xx) {
      const Pixel* rp = xx == first_pass_column ? last_row[0] : later_row;
      if (rp != nullptr) {
        const Pixel p = rp[column_of_last[xx]];
        if (!use_key || p != key_word) {
          dst_row[xx] = p;
          continue;
        }
      }
      const Pixel* p = earlier_write(xx, yy);
      if (p != nullptr) dst_row[xx] = *p;
    }
  }
}

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "raster/raster.h"

namespace {

// Products of two 34-bit lengths: needed to jump into the middle of a walk whose
// ends lie far off the canvas.
__extension__ typedef __int128 Wide;

// A Bresenham walk in major/minor coordinates: p along the major axis, q along
// the minor one.
struct Walk {
  bool x_major;
  int64_t major, minor;
  int64_t p0, q0;
  int sp, sq;
  int64_t err0;
};

int sign_of(int64_t v) { return (v > 0) - (v < 0); }

Walk make_walk(int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
  const int64_t dx = x1 - x0, dy = y1 - y0;
  const int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
  Walk w;
  w.x_major = adx > ady;
  if (w.x_major) {
    w.major = adx, w.minor = ady, w.p0 = x0, w.q0 = y0, w.sp = sign_of(dx), w.sq = sign_of(dy);
  } else {
    w.major = ady, w.minor = adx, w.p0 = y0, w.q0 = x0, w.sp = sign_of(dy), w.sq = sign_of(dx);
  }
  w.err0 = w.major / 2;
  return w;
}

int64_t major_limit(const Walk& w) { return w.x_major ? SCREEN_WIDTH : SCREEN_HEIGHT; }
int64_t minor_limit(const Walk& w) { return w.x_major ? SCREEN_HEIGHT : SCREEN_WIDTH; }

// The stops n in [0, last] whose major coordinate p0 + sp * stride * n lies on
// the canvas. Needs sp != 0 and stride >= 1.
bool stops_on_canvas(const Walk& w, int64_t stride, int64_t last, int64_t& first_out,
                     int64_t& last_out) {
  const int64_t limit = major_limit(w);
  // The range that sp * (p - p0) = stride * n must fall in.
  int64_t lo = w.sp > 0 ? -w.p0 : w.p0 - (limit - 1);
  int64_t hi = w.sp > 0 ? (limit - 1) - w.p0 : w.p0;
  if (hi < 0) return false;
  lo = std::max<int64_t>(lo, 0);
  first_out = (lo + stride - 1) / stride;
  last_out = std::min(hi / stride, last);
  return first_out <= last_out;
}

// The error and the count of diagonal steps after the first n steps of a walk:
// walking them one by one leaves the same state.
struct Skip {
  int64_t err, diagonals;
};

Skip skip_steps(const Walk& w, int64_t n) {
  if (n == 0) return {w.err0, 0};
  // Plain 64-bit arithmetic for the lengths a canvas sees; 128 bits only for wild ends.
  if (n < (int64_t{1} << 31) && w.minor < (int64_t{1} << 31)) {
    const int64_t total = w.err0 + n * w.minor;
    return {total % w.major, total / w.major};
  }
  const Wide total = Wide(w.err0) + Wide(n) * w.minor;
  return {static_cast<int64_t>(total % w.major), static_cast<int64_t>(total / w.major)};
}

bool on_canvas(int64_t x, int64_t y) {
  return x >= 0 && x < SCREEN_WIDTH && y >= 0 && y < SCREEN_HEIGHT;
}

void plot_line(int64_t x0, int64_t y0, int64_t x1, int64_t y1, Pixel colour, Pixel* canvas) {
  const Walk w = make_walk(x0, y0, x1, y1);
  if (w.major == 0) {
    if (on_canvas(x0, y0)) canvas[y0 * SCREEN_WIDTH + x0] = colour;
    return;
  }
  int64_t first, last;
  if (!stops_on_canvas(w, 1, w.major, first, last)) return;

  const Skip skip = skip_steps(w, first);
  int64_t err = skip.err;
  int64_t q = w.q0 + w.sq * skip.diagonals;
  int64_t p = w.p0 + w.sp * first;
  const int64_t q_limit = minor_limit(w);
  const int64_t p_stride = w.x_major ? 1 : SCREEN_WIDTH;
  const int64_t q_stride = w.x_major ? SCREEN_WIDTH : 1;

  if (w.minor == 0) {
    if (q < 0 || q >= q_limit) return;
    const int64_t p_last = p + w.sp * (last - first);
    if (w.x_major) {
      Pixel* row = canvas + q * SCREEN_WIDTH;
      fill_run(row + std::min(p, p_last), std::abs(p_last - p) + 1, colour);
    } else {
      for (int64_t y = std::min(p, p_last), end = std::max(p, p_last); y <= end; ++y) {
        canvas[y * SCREEN_WIDTH + q] = colour;
      }
    }
    return;
  }
  for (int64_t n = first; n <= last; ++n) {
    if (q >= 0 && q < q_limit) canvas[q * q_stride + p * p_stride] = colour;
    err += w.minor;
    if (err >= w.major) {
      q += w.sq;
      err -= w.major;
    }
    p += w.sp;
  }
}

void stamp_line(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int step, int red, int green,
                int blue, Pixel* canvas) {
  if (step < 1) return;  // the walk would never advance
  const int radius = (step / 4) * 3;
  const Walk w = make_walk(x0, y0, x1, y1);
  auto stamp = [&](int64_t x, int64_t y) {
    fill_circle(red, green, blue, radius, static_cast<int>(x), static_cast<int>(y), 10, canvas);
  };
  if (w.major == 0) {
    if (on_canvas(x0, y0)) stamp(x0, y0);
    return;
  }
  int64_t first, last;
  if (!stops_on_canvas(w, step, w.major / step, first, last)) return;

  // The error counts in unscaled minor units; only the moves are step long.
  const Skip skip = skip_steps(w, first);
  int64_t err = skip.err;
  Wide q = Wide(w.q0) + Wide(w.sq) * step * skip.diagonals;
  int64_t p = w.p0 + int64_t{w.sp} * step * first;
  const int64_t q_limit = minor_limit(w);
  for (int64_t n = first; n <= last; ++n) {
    if (q >= 0 && q < q_limit) {
      const int64_t qq = static_cast<int64_t>(q);
      if (w.x_major) {
        stamp(p, qq);
      } else {
        stamp(qq, p);
      }
    }
    err += w.minor;
    if (err >= w.major) {
      q += Wide(w.sq) * step;
      err -= w.major;
    }
    p += int64_t{w.sp} * step;
  }
}

struct Point {
  int64_t x, y;
};

}  // namespace

void draw_line(int x0, int y0, int x1, int y1, int red, int green, int blue, int alpha,
               Pixel* canvas) {
  plot_line(x0, y0, x1, y1, pack_pixel(red, green, blue, alpha), canvas);
}

void fill_circle(int red, int green, int blue, int radius, int centre_x, int centre_y,
                 int stretch, Pixel* canvas) {
  if (radius <= 0) return;
  const Pixel colour = pack_pixel(red, green, blue, 255);
  const double factor = static_cast<float>(stretch * 0.1);
  const int64_t r = radius, cx = centre_x, cy = centre_y;

  auto fill_row = [&](int64_t i, int64_t y) {
    double half_f = std::trunc(std::sqrt(static_cast<double>(r * r - i * i)) * factor);
    // Far wider than the canvas either way; keeps the conversion defined.
    half_f = std::clamp(half_f, -1e12, 1e12);
    const int64_t half = static_cast<int64_t>(half_f);
    const int64_t left = std::max<int64_t>(cx - half, 0);
    const int64_t right = std::min<int64_t>(cx + half, SCREEN_WIDTH);
    if (left < right) fill_run(canvas + y * SCREEN_WIDTH + left, right - left, colour);
  };
  // Only the rows 1..383 can be written. The centre row belongs to both halves;
  // the upper one, when the row is on the canvas at all.
  for (int64_t i = std::max<int64_t>(0, cy - (SCREEN_HEIGHT - 1)), end = std::min(r - 1, cy - 1);
       i <= end; ++i) {
    fill_row(i, cy - i);
  }
  for (int64_t i = std::max<int64_t>(1, 1 - cy), end = std::min(r - 1, (SCREEN_HEIGHT - 1) - cy);
       i <= end; ++i) {
    fill_row(i, cy + i);
  }
}

void draw_thick_line(int x0, int y0, int x1, int y1, int step, int red, int green, int blue,
                     Pixel* canvas) {
  stamp_line(x0, y0, x1, y1, step, red, green, blue, canvas);
}

void draw_polygon(int sides, int red, int green, int blue, int radius_a, int radius_b,
                  int centre_x, int centre_y, Pixel* canvas, int thickness) {
  // Any other count would index the tables outside 0..359.
  if (sides <= 0 || 360 % sides != 0) return;
  const int angle_step = 360 / sides;
  const int half_step = 180 / sides;
  const Pixel colour = pack_pixel(red, green, blue, 255);

  auto vertex = [&](int index, int radius) {
    return Point{centre_x + (int64_t{sin_table[index]} * radius) / 4096,
                 centre_y + (int64_t{cos_table[index]} * radius) / 4096};
  };
  auto edge = [&](Point from, Point to) {
    if (thickness < 4) {
      plot_line(from.x, from.y, to.x, to.y, colour, canvas);
    } else {
      stamp_line(from.x, from.y, to.x, to.y, thickness, red, green, blue, canvas);
    }
  };

  Point first_a{}, last_b{};
  for (int k = 0; k * angle_step <= 359; ++k) {
    const Point a = vertex(359 - k * angle_step, radius_a);
    const Point b = vertex(359 - k * angle_step - half_step, radius_b);
    edge(a, b);
    if (k > 0) {
      edge(last_b, a);
    } else {
      first_a = a;
    }
    last_b = b;
  }
  edge(last_b, first_a);
}

#include "tools/itwriter/itpack.h"

#include <array>
#include <climits>

namespace {

// A width of `bits` + 1 holds any difference; narrower ones give some of their
// values up to the codes that change the width:
//   1..6:     the value with only the top bit set, then `fetch` bits naming the new width;
//   7..bits:  the 2 * `near_top` values around the top bit name the new width themselves;
//   bits + 1: a set top bit, the new width below it.
struct Coding {
  int bits;
  int fetch;
  int near_top;
};
constexpr Coding CODING8{8, 3, 4};
constexpr Coding CODING16{16, 4, 8};
constexpr int MAX_WIDTH = 17;
constexpr int UNREACHABLE = INT_MAX / 2;

int widest(const Coding& c) { return c.bits + 1; }

bool fits(const Coding& c, int width, int value) {
  if (width >= widest(c)) return true;
  const int top = 1 << (width - 1);
  const int highest = width <= 6 ? top - 1 : top - c.near_top - 1;
  const int lowest = width <= 6 ? -highest : -top + c.near_top;
  return value >= lowest && value <= highest;
}

int narrowest(const Coding& c, int value) {
  int width = 1;
  while (!fits(c, width, value)) ++width;
  return width;
}

// Bits that a change of width costs, written at the width it leaves.
int change_cost(const Coding& c, int from) { return from + (from <= 6 ? c.fetch : 0); }

struct BitSink {
  std::vector<uint8_t>& out;
  uint64_t pending = 0;
  int count = 0;
};

void put_bits(BitSink& sink, int width, uint32_t value) {
  sink.pending |= static_cast<uint64_t>(value & ((1u << width) - 1)) << sink.count;
  sink.count += width;
  while (sink.count >= 8) {
    sink.out.push_back(static_cast<uint8_t>(sink.pending & 0xFF));
    sink.pending >>= 8;
    sink.count -= 8;
  }
}

void flush_bits(BitSink& sink) {
  if (sink.count > 0) sink.out.push_back(static_cast<uint8_t>(sink.pending & 0xFF));
  sink.pending = 0;
  sink.count = 0;
}

void put_change(const Coding& c, BitSink& sink, int from, int to) {
  // The code counts only the widths other than the current one.
  const uint32_t code = static_cast<uint32_t>(to < from ? to - 1 : to - 2);
  const uint32_t top = 1u << (from - 1);
  if (from <= 6) {
    put_bits(sink, from, top);
    put_bits(sink, c.fetch, code);
  } else if (from < widest(c)) {
    put_bits(sink, from, top - static_cast<uint32_t>(c.near_top) + code);
  } else {
    put_bits(sink, from, top | static_cast<uint32_t>(to - 1));
  }
}

// The cheapest width for every value, found as a shortest path over (value, width):
// each value costs its width, each change of width its code. A block starts at the widest.
void choose_widths(const Coding& c, const std::vector<int>& values, std::vector<uint8_t>& came_from,
                   std::vector<uint8_t>& widths) {
  const int last = widest(c);
  const size_t n = values.size(), stride = static_cast<size_t>(last) + 1;
  came_from.assign(n * stride, 0);
  std::array<int, MAX_WIDTH + 1> cost, next;
  cost.fill(UNREACHABLE);
  cost[last] = 0;
  for (size_t i = 0; i < n; ++i) {
    int change = UNREACHABLE, change_from = last;
    for (int w = 1; w <= last; ++w) {
      if (cost[w] < UNREACHABLE && cost[w] + change_cost(c, w) < change) {
        change = cost[w] + change_cost(c, w);
        change_from = w;
      }
    }
    const int need = narrowest(c, values[i]);
    next.fill(UNREACHABLE);
    for (int w = need; w <= last; ++w) {
      const bool stay = cost[w] <= change;
      next[w] = (stay ? cost[w] : change) + w;
      came_from[i * stride + static_cast<size_t>(w)] = static_cast<uint8_t>(stay ? w : change_from);
    }
    cost = next;
  }
  int end = last;
  for (int w = 1; w <= last; ++w)
    if (cost[w] < cost[end]) end = w;
  widths.resize(n);
  for (size_t i = n; i-- > 0;) {
    widths[i] = static_cast<uint8_t>(end);
    end = came_from[i * stride + static_cast<size_t>(end)];
  }
}

template <typename Sample>
void pack_block(const Coding& c, const Sample* pcm, size_t n, bool double_delta, std::vector<uint8_t>& out,
                std::vector<int>& values, std::vector<uint8_t>& came_from, std::vector<uint8_t>& widths) {
  // Differences wrap around as the player's sums do; both restart with every block.
  values.resize(n);
  Sample previous = 0, previous_delta = 0;
  for (size_t i = 0; i < n; ++i) {
    const Sample delta = static_cast<Sample>(pcm[i] - previous);
    previous = pcm[i];
    values[i] = double_delta ? static_cast<Sample>(delta - previous_delta) : delta;
    previous_delta = delta;
  }
  choose_widths(c, values, came_from, widths);

  const size_t at = out.size();
  out.resize(at + 2);
  BitSink sink{out};
  int width = widest(c);
  for (size_t i = 0; i < n; ++i) {
    if (widths[i] != width) {
      put_change(c, sink, width, widths[i]);
      width = widths[i];
    }
    const uint32_t value = static_cast<uint32_t>(values[i]);
    put_bits(sink, width, width == widest(c) ? value & ((1u << c.bits) - 1) : value);
  }
  flush_bits(sink);
  // At most bits + 1 per value, as if no width ever changed: 0x8000 * 9 / 8 bytes.
  const size_t bytes = out.size() - at - 2;
  out[at] = static_cast<uint8_t>(bytes & 0xFF);
  out[at + 1] = static_cast<uint8_t>(bytes >> 8);
}

template <typename Sample>
std::vector<uint8_t> pack(const Coding& c, const Sample* pcm, size_t length, bool double_delta) {
  std::vector<uint8_t> out;
  std::vector<int> values;
  std::vector<uint8_t> came_from, widths;
  const size_t block = IT_PACK_BLOCK_BYTES / sizeof(Sample);
  for (size_t first = 0; first < length; first += block) {
    const size_t n = length - first < block ? length - first : block;
    pack_block(c, pcm + first, n, double_delta, out, values, came_from, widths);
  }
  return out;
}

}  // namespace

std::vector<uint8_t> it_pack8(const int8_t* pcm, size_t length, bool double_delta) {
  return pack(CODING8, pcm, length, double_delta);
}

std::vector<uint8_t> it_pack16(const int16_t* pcm, size_t length, bool double_delta) {
  return pack(CODING16, pcm, length, double_delta);
}

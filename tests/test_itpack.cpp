// The writer's sample compression, judged by the players: libopenmpt must render a
// module with compressed samples exactly as the same module stored plain, and xmp
// must play both alike.
#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "image/bytes.h"
#include "support/module_probe.h"
#include "support/run_program.h"
#include "tools/itwriter/itwriter.h"
#include "tools/read_file.h"

namespace {

enum class Signal {
  Silence,
  Noise,  // full scale, every value alike
  Sine,
  // Runs of differences near every power of two, for each width's edges: alternating
  // in sign, so the first differences are the small ones ...
  EdgesOnce,
  // ... or steady, so the differences of the differences are.
  EdgesTwice,
};

struct Case {
  int bits;
  Signal signal;
  size_t length;
  bool loop;
};

std::string describe(const Case& c) {
  const char* names[] = {"silence", "noise", "sine", "edges once", "edges twice"};
  return std::to_string(c.bits) + "-bit " + names[static_cast<int>(c.signal)] + ", " + std::to_string(c.length) +
         " samples" + (c.loop ? ", looped" : "");
}

// Differences near 2^p, each held for a run of samples; at most `limit` in size.
std::vector<int> edge_values(int bits) {
  std::vector<int> out;
  const int limit = (1 << (bits - 1)) - 1;
  for (int p = 0; p < bits; ++p)
    for (int offset = -9; offset <= 9; ++offset)
      for (int sign : {1, -1}) {
        const int v = sign * ((1 << p) + offset);
        if (v >= -limit - 1 && v <= limit && (out.empty() || out.back() != v)) out.push_back(v);
      }
  return out;
}

std::vector<int> signal_values(const Case& c) {
  std::vector<int> v(c.length, 0);
  const double full = (1 << (c.bits - 1)) - 1;
  uint32_t seed = 2463534242u;
  const std::vector<int> edges = edge_values(c.bits);
  long long sample = 0, delta = 0;
  for (size_t i = 0; i < c.length; ++i) {
    switch (c.signal) {
      case Signal::Silence:
        break;
      case Signal::Noise:
        seed ^= seed << 13;
        seed ^= seed >> 17;
        seed ^= seed << 5;
        v[i] = static_cast<int>(seed >> (32 - c.bits)) - (1 << (c.bits - 1));
        break;
      case Signal::Sine:
        v[i] = static_cast<int>(std::lround(0.9 * full * std::sin(2.0 * M_PI * static_cast<double>(i) / 100.37)));
        break;
      case Signal::EdgesOnce: {
        const int e = edges[(i / 24) % edges.size()];
        sample += i % 2 ? -e : e;
        v[i] = static_cast<int>(sample);
        break;
      }
      case Signal::EdgesTwice:
        delta += edges[(i / 24) % edges.size()];
        sample += delta;
        // Wrapped to the sample's size, as the player's sums wrap.
        v[i] = static_cast<int>(static_cast<uint32_t>(sample) & ((1u << c.bits) - 1));
        if (v[i] >= 1 << (c.bits - 1)) v[i] -= 1 << c.bits;
        break;
    }
  }
  return v;
}

// One note held from the first row for as long as the sample lasts, and a little more.
ItModule module_of(const Case& c, bool compressed) {
  ItSample s;
  s.name = "test";
  s.bits = c.bits;
  for (int v : signal_values(c)) {
    if (c.bits == 16)
      s.pcm16.push_back(static_cast<int16_t>(v));
    else
      s.pcm8.push_back(static_cast<int8_t>(v));
  }
  s.compressed = compressed;
  if (c.loop) {
    s.loop = true;
    s.loop_start = static_cast<uint32_t>(c.length / 4);
    s.loop_end = static_cast<uint32_t>(c.length);
  }
  ItModule m = it_module("packed", 1);
  m.samples = {s};
  const int rows = static_cast<int>(std::ceil((static_cast<double>(c.length) / 44100.0 + 0.3) / 0.12));
  ItPattern p = it_pattern(rows, 1);
  p.cells[0][0] = {IT_NOTE_C5, 1, 64, 0, 0};
  m.patterns = {p};
  m.orders = {0};
  return m;
}

std::vector<float> render(const std::vector<uint8_t>& bytes) {
  ProbedModule p = probe_module(bytes);
  EXPECT_NE(p.mod, nullptr);
  EXPECT_TRUE(p.warnings.empty()) << p.warnings;
  for (const std::string& line : p.log) ADD_FAILURE() << "libopenmpt logged: " << line;
  std::vector<float> audio;
  if (p.mod) {
    EXPECT_EQ(openmpt_module_ctl_set_integer(p.mod, "dither", 0), 1);
    audio = render_stereo_float(p.mod, 60.0, 0);
  }
  release_module(p);
  return audio;
}

uint32_t u32_at(const std::vector<uint8_t>& b, size_t at) { return load_le32(&b[at]); }

// The one sample's header, as written: the module has no instruments and one order.
struct SampleHeader {
  uint8_t flags, convert;
  uint32_t length, data;
};
SampleHeader sample_header(const std::vector<uint8_t>& b) {
  const size_t at = u32_at(b, 0xC0 + 2);
  return {b[at + 0x12], b[at + 0x2E], u32_at(b, at + 0x30), u32_at(b, at + 0x48)};
}

const Case CASES[] = {
    {8, Signal::Silence, 1000, false},      {8, Signal::Silence, 3 * 0x8000 + 1234, true},
    {8, Signal::Noise, 1000, true},         {8, Signal::Noise, 2 * 0x8000, false},
    {8, Signal::Sine, 777, false},          {8, Signal::Sine, 3 * 0x8000 + 1234, true},
    {8, Signal::EdgesOnce, 0x8000, false},  {8, Signal::EdgesTwice, 0x8000, false},
    {16, Signal::Silence, 1000, true},      {16, Signal::Silence, 3 * 0x4000 + 777, false},
    {16, Signal::Noise, 1000, false},       {16, Signal::Noise, 3 * 0x4000 + 777, true},
    {16, Signal::Sine, 1, false},           {16, Signal::Sine, 4 * 0x4000, true},
    {16, Signal::EdgesOnce, 0x4000, false}, {16, Signal::EdgesTwice, 0x4000 + 1, true},
};

bool have_xmp() { return std::system("command -v xmp >/dev/null 2>&1") == 0; }

}  // namespace

TEST(ItPack, LibopenmptRendersCompressedSamplesExactlyAsPlainOnes) {
  for (const Case& c : CASES) {
    SCOPED_TRACE(describe(c));
    const std::vector<uint8_t> plain = it_write(module_of(c, false)), packed = it_write(module_of(c, true));
    ASSERT_FALSE(packed.empty());
    const std::vector<float> expected = render(plain), got = render(packed);
    ASSERT_GT(expected.size(), 2 * c.length);
    EXPECT_TRUE(expected == got) << "the renders differ";
    if (c.signal != Signal::Silence && c.length > 100) {
      EXPECT_GT(measure_level(expected, 0, c.length).peak_dbfs, -30.0);
    }
  }
}

TEST(ItPack, BlocksTileTheDataAndTheCodingSuitsTheSignal) {
  for (const Case& c : CASES) {
    SCOPED_TRACE(describe(c));
    const std::vector<uint8_t> b = it_write(module_of(c, true));
    ASSERT_FALSE(b.empty());
    const SampleHeader h = sample_header(b);
    EXPECT_EQ(h.flags & 8, 8) << "compressed";
    EXPECT_EQ(h.flags & 2, c.bits == 16 ? 2 : 0);
    EXPECT_EQ(h.length, c.length);
    // One block per 0x8000 bytes of PCM, each its 16-bit length and that many bytes,
    // the last ending with the file (the sample data is written last).
    const size_t per_block = c.bits == 16 ? 0x4000 : 0x8000;
    size_t at = h.data, blocks = 0;
    while (at + 2 <= b.size()) {
      const size_t bytes = load_le16(&b[at]);
      EXPECT_GT(bytes, 0u);
      // Never more than every value at full width: bits + 1 each.
      const size_t values = std::min(per_block, c.length - std::min(c.length, blocks * per_block));
      EXPECT_LE(bytes, (values * (c.bits + 1) + 7) / 8);
      at += 2 + bytes;
      ++blocks;
    }
    EXPECT_EQ(at, b.size());
    EXPECT_EQ(blocks, (c.length + per_block - 1) / per_block);

    // Smooth waves take the differences twice; alternating steps once.
    const size_t raw = c.length * c.bits / 8, data = b.size() - h.data;
    switch (c.signal) {
      case Signal::Silence:
        EXPECT_EQ(h.convert, 1) << "a tie keeps the plain coding";
        EXPECT_LE(data, blocks * 5 + c.length / 8 + 1) << "one bit a sample";
        break;
      case Signal::Noise:  // its differences are as random as its values, either way
        break;
      case Signal::EdgesOnce:
        EXPECT_EQ(h.convert, 1);
        break;
      case Signal::Sine:
      case Signal::EdgesTwice:
        if (c.length > 1) {
          EXPECT_EQ(h.convert, 1 | 4);
        }
        if (c.signal == Signal::Sine && c.length > 1000) {
          EXPECT_LT(data, raw * 3 / 5);
        }
        break;
    }
    std::printf("%-40s %7zu bytes plain, %7zu compressed (%.3f), coding %s\n", describe(c).c_str(), raw, data,
                static_cast<double>(data) / static_cast<double>(raw), h.convert & 4 ? "twice" : "once");
  }
}

TEST(ItPack, XmpPlaysCompressedSamplesAsPlainOnes) {
  if (!have_xmp()) GTEST_SKIP() << "xmp is not installed";
  const std::string dir = scratch_dir("itpack");
  for (const Case& c : CASES) {
    if (c.length < 10000) continue;  // the short ones add nothing to what the long ones show
    SCOPED_TRACE(describe(c));
    std::vector<uint8_t> wav[2];
    for (int packed = 0; packed < 2; ++packed) {
      const std::string it = dir + "/m.it", out = dir + "/m.wav";
      std::remove(out.c_str());
      ASSERT_EQ(it_write_file(module_of(c, packed == 1), it), 0);
      ASSERT_EQ(std::system(("xmp -q -d wav -o " + out + " " + it + " >/dev/null 2>&1").c_str()), 0);
      wav[packed] = read_file(out);
    }
    // The same length (a WAV header and 16-bit stereo), and the same sound.
    ASSERT_GT(wav[0].size(), 44 + 4 * c.length);
    EXPECT_EQ(wav[1].size(), wav[0].size());
    EXPECT_TRUE(wav[0] == wav[1]) << "xmp plays them differently";
  }
}

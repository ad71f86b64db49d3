#include "tools/itwriter/itwriter.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "music/it_format.h"
#include "tools/itwriter/itpack.h"

namespace {

constexpr double PI = 3.14159265358979323846;
// Made with and compatible with format version 2.14.
constexpr uint16_t CREATED_WITH = 0x0214;
constexpr uint16_t COMPATIBLE_WITH = 0x0214;

void put8(std::vector<uint8_t>& out, size_t at, int value) { out[at] = static_cast<uint8_t>(value & 0xFF); }

void put16(std::vector<uint8_t>& out, size_t at, uint32_t value) {
  out[at] = static_cast<uint8_t>(value & 0xFF);
  out[at + 1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}

void put32(std::vector<uint8_t>& out, size_t at, uint32_t value) {
  put16(out, at, value & 0xFFFF);
  put16(out, at + 2, value >> 16);
}

// Fixed-size text fields keep at least one terminating zero.
void put_text(std::vector<uint8_t>& out, size_t at, const std::string& text, size_t field) {
  size_t n = text.size() < field - 1 ? text.size() : field - 1;
  std::memcpy(out.data() + at, text.data(), n);
}

std::string dos_name(const std::string& name) {
  std::string out;
  for (char c : name) {
    if (out.size() == 8) break;
    bool ok = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
      ok = true;
    }
    if (ok) out += c;
  }
  return out.empty() ? std::string("SAMPLE") : out;
}

bool cell_empty(const ItCell& c) {
  return c.note == IT_NOTE_NONE && c.instrument == 0 && c.volume == IT_VOLUME_NONE && c.effect == 0 && c.param == 0;
}

bool note_valid(int note) {
  return note == IT_NOTE_NONE || (note >= 0 && note <= 119) || note == IT_NOTE_OFF || note == IT_NOTE_CUT ||
         note == IT_NOTE_FADE;
}

std::string check_envelope(const ItEnvelope& e) {
  if (!e.enabled) return "";
  int n = static_cast<int>(e.nodes.size());
  if (n < 2 || n > IT_MAX_ENVELOPE_NODES) return "envelope needs 2..25 nodes";
  if (e.nodes[0].tick != 0) return "envelope must start at tick 0";
  for (int i = 0; i < n; ++i) {
    if (e.nodes[i].value < 0 || e.nodes[i].value > 64) return "envelope value outside 0..64";
    if (e.nodes[i].tick < 0 || e.nodes[i].tick > 9999) return "envelope tick outside 0..9999";
    if (i > 0 && e.nodes[i].tick <= e.nodes[i - 1].tick) return "envelope ticks must grow";
  }
  if (e.loop && (e.loop_start < 0 || e.loop_start > e.loop_end || e.loop_end >= n)) return "bad envelope loop";
  if (e.sustain && (e.sustain_start < 0 || e.sustain_start > e.sustain_end || e.sustain_end >= n))
    return "bad envelope sustain loop";
  return "";
}

// A disabled envelope still gets two flat nodes at `rest`, as trackers write them.
void put_envelope(std::vector<uint8_t>& out, size_t at, const ItEnvelope& e, int rest) {
  if (!e.enabled) {
    put8(out, at + 1, 2);
    put8(out, at + 6, rest);
    put8(out, at + 9, rest);
    put16(out, at + 10, 100);
    return;
  }
  put8(out, at, 1 | (e.loop ? 2 : 0) | (e.sustain ? 4 : 0));
  put8(out, at + 1, static_cast<int>(e.nodes.size()));
  put8(out, at + 2, e.loop_start);
  put8(out, at + 3, e.loop_end);
  put8(out, at + 4, e.sustain_start);
  put8(out, at + 5, e.sustain_end);
  for (size_t i = 0; i < e.nodes.size(); ++i) {
    put8(out, at + 6 + i * 3, e.nodes[i].value);
    put16(out, at + 7 + i * 3, static_cast<uint32_t>(e.nodes[i].tick));
  }
}

// The format's packing: per cell a channel byte, a mask when it differs from the
// channel's last one, then only the fields that differ from the channel's last values.
std::vector<uint8_t> pack_pattern(const ItPattern& p, int channels) {
  std::vector<uint8_t> out;
  int last_mask[IT_MAX_CHANNELS], last_note[IT_MAX_CHANNELS], last_ins[IT_MAX_CHANNELS];
  int last_vol[IT_MAX_CHANNELS], last_fx[IT_MAX_CHANNELS], last_param[IT_MAX_CHANNELS];
  for (int c = 0; c < IT_MAX_CHANNELS; ++c)
    last_mask[c] = last_note[c] = last_ins[c] = last_vol[c] = last_fx[c] = last_param[c] = -1;
  for (int r = 0; r < p.rows; ++r) {
    for (int c = 0; c < channels; ++c) {
      const ItCell& cell = p.cells[r][c];
      if (cell_empty(cell)) continue;
      int mask = 0;
      if (cell.note != IT_NOTE_NONE) mask |= cell.note == last_note[c] ? 0x10 : 0x01;
      if (cell.instrument != 0) mask |= cell.instrument == last_ins[c] ? 0x20 : 0x02;
      if (cell.volume != IT_VOLUME_NONE) mask |= cell.volume == last_vol[c] ? 0x40 : 0x04;
      if (cell.effect != 0 || cell.param != 0)
        mask |= (cell.effect == last_fx[c] && cell.param == last_param[c]) ? 0x80 : 0x08;
      if (mask == last_mask[c]) {
        out.push_back(static_cast<uint8_t>(c + 1));
      } else {
        out.push_back(static_cast<uint8_t>((c + 1) | 0x80));
        out.push_back(static_cast<uint8_t>(mask));
        last_mask[c] = mask;
      }
      if (mask & 0x01) {
        out.push_back(static_cast<uint8_t>(cell.note));
        last_note[c] = cell.note;
      }
      if (mask & 0x02) {
        out.push_back(static_cast<uint8_t>(cell.instrument));
        last_ins[c] = cell.instrument;
      }
      if (mask & 0x04) {
        out.push_back(static_cast<uint8_t>(cell.volume));
        last_vol[c] = cell.volume;
      }
      if (mask & 0x08) {
        out.push_back(static_cast<uint8_t>(cell.effect));
        out.push_back(static_cast<uint8_t>(cell.param));
        last_fx[c] = cell.effect;
        last_param[c] = cell.param;
      }
    }
    out.push_back(0);
  }
  return out;
}

}  // namespace

ItModule it_module(const std::string& name, int channels) {
  ItModule m;
  m.name = name;
  m.channels = channels;
  m.channel_pan.fill(32);
  m.channel_volume.fill(64);
  return m;
}

ItPattern it_pattern(int rows, int channels) {
  ItPattern p;
  p.rows = rows;
  if (rows > 0 && channels > 0)
    p.cells.assign(static_cast<size_t>(rows), std::vector<ItCell>(static_cast<size_t>(channels)));
  return p;
}

std::string it_check(const ItModule& m) {
  auto in = [](int v, int lo, int hi) { return v >= lo && v <= hi; };
  if (!in(m.speed, 1, 255)) return "speed outside 1..255";
  if (!in(m.tempo, 32, 255)) return "tempo outside 32..255";
  if (!in(m.global_volume, 0, 128)) return "global volume outside 0..128";
  if (!in(m.mix_volume, 0, 128)) return "mix volume outside 0..128";
  if (!in(m.separation, 0, 128)) return "panning separation outside 0..128";
  if (!in(m.channels, 1, IT_MAX_CHANNELS)) return "channel count outside 1..64";
  for (int c = 0; c < IT_MAX_CHANNELS; ++c) {
    if (!in(m.channel_pan[c], 0, 64) && m.channel_pan[c] != 100) return "channel pan outside 0..64";
    if (!in(m.channel_volume[c], 0, 64)) return "channel volume outside 0..64";
  }
  if (m.orders.empty() || m.orders.size() > IT_MAX_ORDERS) return "order count outside 1..255";
  if (m.patterns.empty() || m.patterns.size() > IT_MAX_PATTERNS) return "pattern count outside 1..200";
  if (m.samples.empty() || m.samples.size() > IT_MAX_SAMPLES) return "sample count outside 1..99";
  if (m.instruments.size() > IT_MAX_INSTRUMENTS) return "more than 99 instruments";
  for (int o : m.orders)
    if (o != IT_ORDER_SKIP && !in(o, 0, static_cast<int>(m.patterns.size()) - 1))
      return "order names a missing pattern";
  for (const ItSample& s : m.samples) {
    if (s.bits != 8 && s.bits != 16) return "sample bits must be 8 or 16";
    size_t length = s.bits == 16 ? s.pcm16.size() : s.pcm8.size();
    if (length == 0 || length > 0x7FFFFFFFu / 2) return "sample '" + s.name + "' is empty or too long";
    if (s.c5speed < 1 || s.c5speed > 9999999) return "C5 speed outside 1..9999999";
    if (s.loop && (s.loop_start >= s.loop_end || s.loop_end > length)) return "sample '" + s.name + "' has a bad loop";
    if (!in(s.volume, 0, 64) || !in(s.global_volume, 0, 64)) return "sample volume outside 0..64";
    if (s.pan != -1 && !in(s.pan, 0, 64)) return "sample pan outside 0..64";
    if (!in(s.vibrato_speed, 0, 64) || !in(s.vibrato_depth, 0, 64) || !in(s.vibrato_rate, 0, 255) ||
        !in(s.vibrato_type, 0, 3))
      return "sample vibrato out of range";
  }
  for (const ItInstrument& ins : m.instruments) {
    if (!in(ins.sample, 1, static_cast<int>(m.samples.size()))) return "instrument names a missing sample";
    if (!in(ins.new_note_action, 0, 3)) return "new note action outside 0..3";
    if (!in(ins.fadeout, 0, 1024)) return "fadeout outside 0..1024";
    if (!in(ins.global_volume, 0, 128)) return "instrument volume outside 0..128";
    if (ins.pan != -1 && !in(ins.pan, 0, 64)) return "instrument pan outside 0..64";
    std::string e = check_envelope(ins.volume_envelope);
    if (!e.empty()) return "instrument '" + ins.name + "': " + e;
  }
  int units = m.instruments.empty() ? static_cast<int>(m.samples.size()) : static_cast<int>(m.instruments.size());
  for (const ItPattern& p : m.patterns) {
    if (!in(p.rows, 1, IT_MAX_ROWS)) return "pattern rows outside 1..200";
    if (p.cells.size() != static_cast<size_t>(p.rows)) return "pattern cells do not match its rows";
    for (const auto& row : p.cells) {
      if (row.size() != static_cast<size_t>(m.channels)) return "pattern row does not match the channel count";
      for (const ItCell& c : row) {
        if (!note_valid(c.note)) return "bad note";
        if (!in(c.instrument, 0, units)) return "cell names a missing instrument or sample";
        if (c.volume != IT_VOLUME_NONE && !in(c.volume, 0, 212)) return "volume column outside 0..212";
        if (!in(c.effect, 0, 26) || !in(c.param, 0, 255)) return "bad effect";
      }
    }
    if (pack_pattern(p, m.channels).size() > 0xFFFF) return "packed pattern longer than 65535 bytes";
  }
  return "";
}

std::vector<uint8_t> it_write(const ItModule& m) {
  if (!it_check(m).empty()) return {};
  const size_t orders = m.orders.size() + 1;
  const size_t ins = m.instruments.size(), smp = m.samples.size(), pat = m.patterns.size();

  std::vector<uint8_t> out(IT_HEADER_SIZE + orders + 4 * (ins + smp + pat), 0);
  std::memcpy(out.data(), "IMPM", 4);
  put_text(out, 4, m.name, 26);
  put8(out, 0x1E, 4);  // row highlights: beat and bar
  put8(out, 0x1F, 16);
  put16(out, 0x20, static_cast<uint32_t>(orders));
  put16(out, 0x22, static_cast<uint32_t>(ins));
  put16(out, 0x24, static_cast<uint32_t>(smp));
  put16(out, 0x26, static_cast<uint32_t>(pat));
  put16(out, 0x28, CREATED_WITH);
  put16(out, 0x2A, COMPATIBLE_WITH);
  put16(out, 0x2C, (m.stereo ? 1 : 0) | (ins ? 4 : 0) | (m.linear_slides ? 8 : 0));
  put16(out, 0x2E, 4);  // the highlights above are meant
  put8(out, 0x30, m.global_volume);
  put8(out, 0x31, m.mix_volume);
  put8(out, 0x32, m.speed);
  put8(out, 0x33, m.tempo);
  put8(out, 0x34, m.separation);
  for (int c = 0; c < IT_MAX_CHANNELS; ++c) {
    put8(out, 0x40 + c, c < m.channels ? m.channel_pan[c] : 32 | 128);
    put8(out, 0x80 + c, m.channel_volume[c]);
  }
  for (size_t i = 0; i < m.orders.size(); ++i) put8(out, IT_HEADER_SIZE + i, m.orders[i]);
  put8(out, IT_HEADER_SIZE + orders - 1, 255);
  const size_t ins_table = IT_HEADER_SIZE + orders, smp_table = ins_table + 4 * ins, pat_table = smp_table + 4 * smp;

  for (size_t i = 0; i < ins; ++i) {
    const ItInstrument& in = m.instruments[i];
    size_t at = out.size();
    put32(out, ins_table + 4 * i, static_cast<uint32_t>(at));
    out.resize(at + IT_INSTRUMENT_SIZE, 0);
    std::memcpy(out.data() + at, "IMPI", 4);
    put_text(out, at + 4, dos_name(in.name), 13);
    put8(out, at + 0x11, in.new_note_action);
    put16(out, at + 0x14, static_cast<uint32_t>(in.fadeout));
    put8(out, at + 0x17, IT_NOTE_C5);  // pitch-pan centre
    put8(out, at + 0x18, in.global_volume);
    put8(out, at + 0x19, in.pan < 0 ? 32 | 128 : in.pan);
    put16(out, at + 0x1C, CREATED_WITH);
    put8(out, at + 0x1E, 1);
    put_text(out, at + 0x20, in.name, 26);
    put8(out, at + 0x3C, 0);     // MIDI channel: none
    put8(out, at + 0x3D, 0xFF);  // MIDI program and bank: none
    put16(out, at + 0x3E, 0xFFFF);
    for (int n = 0; n < 120; ++n) {
      put8(out, at + 0x40 + 2 * n, n);
      put8(out, at + 0x41 + 2 * n, in.sample);
    }
    put_envelope(out, at + 0x130, in.volume_envelope, 64);
    const ItEnvelope off;  // pan and pitch envelopes: signed values, 0 is the centre
    put_envelope(out, at + 0x130 + IT_ENVELOPE_SIZE, off, 0);
    put_envelope(out, at + 0x130 + 2 * IT_ENVELOPE_SIZE, off, 0);
  }

  std::vector<size_t> sample_headers(smp);
  for (size_t i = 0; i < smp; ++i) {
    sample_headers[i] = out.size();
    put32(out, smp_table + 4 * i, static_cast<uint32_t>(out.size()));
    out.resize(out.size() + IT_SAMPLE_HEADER_SIZE, 0);
  }

  for (size_t i = 0; i < pat; ++i) {
    std::vector<uint8_t> packed = pack_pattern(m.patterns[i], m.channels);
    size_t at = out.size();
    put32(out, pat_table + 4 * i, static_cast<uint32_t>(at));
    out.resize(at + IT_PATTERN_HEADER_SIZE, 0);
    put16(out, at, static_cast<uint32_t>(packed.size()));
    put16(out, at + 2, static_cast<uint32_t>(m.patterns[i].rows));
    out.insert(out.end(), packed.begin(), packed.end());
  }

  for (size_t i = 0; i < smp; ++i) {
    const ItSample& s = m.samples[i];
    const size_t at = sample_headers[i];
    const size_t length = s.bits == 16 ? s.pcm16.size() : s.pcm8.size();
    std::vector<uint8_t> packed;
    bool double_delta = false;
    if (s.compressed) {
      // Both codings, the smaller kept; on a tie the plain one, which every player reads.
      auto pack = [&](bool twice) {
        return s.bits == 16 ? it_pack16(s.pcm16.data(), length, twice) : it_pack8(s.pcm8.data(), length, twice);
      };
      packed = pack(false);
      std::vector<uint8_t> twice = pack(true);
      if (twice.size() < packed.size()) {
        packed.swap(twice);
        double_delta = true;
      }
    }
    std::memcpy(out.data() + at, "IMPS", 4);
    put_text(out, at + 4, dos_name(s.name), 13);
    put8(out, at + 0x11, s.global_volume);
    int flags =
        1 | (s.bits == 16 ? 2 : 0) | (s.compressed ? 8 : 0) | (s.loop ? 16 : 0) | (s.loop && s.pingpong ? 64 : 0);
    put8(out, at + 0x12, flags);
    put8(out, at + 0x13, s.volume);
    put_text(out, at + 0x14, s.name, 26);
    put8(out, at + 0x2E, 1 | (double_delta ? 4 : 0));  // signed samples; differences of differences
    put8(out, at + 0x2F, s.pan < 0 ? 32 : s.pan | 128);
    put32(out, at + 0x30, static_cast<uint32_t>(length));
    put32(out, at + 0x34, s.loop ? s.loop_start : 0);
    put32(out, at + 0x38, s.loop ? s.loop_end : 0);
    put32(out, at + 0x3C, s.c5speed);
    put32(out, at + 0x48, static_cast<uint32_t>(out.size()));
    put8(out, at + 0x4C, s.vibrato_speed);
    put8(out, at + 0x4D, s.vibrato_depth);
    put8(out, at + 0x4E, s.vibrato_rate);
    put8(out, at + 0x4F, s.vibrato_type);
    if (s.compressed) {
      out.insert(out.end(), packed.begin(), packed.end());
    } else if (s.bits == 16) {
      for (int16_t v : s.pcm16) {
        uint16_t u = static_cast<uint16_t>(v);
        out.push_back(static_cast<uint8_t>(u & 0xFF));
        out.push_back(static_cast<uint8_t>(u >> 8));
      }
    } else {
      for (int8_t v : s.pcm8) out.push_back(static_cast<uint8_t>(v));
    }
  }
  return out;
}

int it_write_file(const ItModule& module, const std::string& path) {
  std::vector<uint8_t> bytes = it_write(module);
  if (bytes.empty()) return 1;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 1;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = std::fclose(f) == 0 && ok;
  return ok ? 0 : 1;
}

double it_rows_seconds(int rows, int speed, int tempo) { return rows * speed * 2.5 / tempo; }

ItModule make_test_module(int orders, int rows, int speed, int tempo) {
  ItModule m = it_module("orvel test module", 1);
  m.mix_volume = 96;
  m.speed = speed;
  m.tempo = tempo;

  // A short bright tick for every row and a lower, longer knock for the accents.
  ItSample click;
  click.name = "click";
  click.bits = 16;
  const int click_len = 220;  // 5 ms
  for (int i = 0; i < click_len; ++i) {
    double env = std::exp(-i / 40.0);
    click.pcm16.push_back(static_cast<int16_t>(std::lround(30000.0 * env * std::sin(i * 2.0 * PI * 3000.0 / 44100.0))));
  }
  ItSample accent;
  accent.name = "accent";
  accent.bits = 8;
  const int accent_len = 1323;  // 30 ms
  for (int i = 0; i < accent_len; ++i) {
    double env = std::exp(-i / 300.0);
    accent.pcm8.push_back(static_cast<int8_t>(std::lround(120.0 * env * std::sin(i * 2.0 * PI * 1000.0 / 44100.0))));
  }
  m.samples = {click, accent};

  for (int o = 0; o < orders; ++o) {
    ItPattern p = it_pattern(rows, 1);
    for (int r = 0; r < rows; ++r) {
      ItCell& c = p.cells[r][0];
      c.note = IT_NOTE_C5;
      c.instrument = r % 8 == 0 ? 2 : 1;
      c.volume = r % 8 == 0 ? 64 : 48;
    }
    m.patterns.push_back(p);
    m.orders.push_back(o);
  }
  return m;
}

#include "tools/soundtrack/synth.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <set>
#include <vector>

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr double RATE = SYNTH_RATE;

// Reads parameters and remembers which ones were asked for, so that a
// misspelt name in the instrument list is reported instead of ignored.
struct Params {
  const SynthParams& values;
  std::set<std::string> used;
  double get(const std::string& key, double fallback) {
    used.insert(key);
    auto it = values.find(key);
    return it == values.end() ? fallback : it->second;
  }
  std::string unknown() const {
    for (const auto& [key, value] : values)
      if (!used.count(key)) return "unknown parameter '" + key + "'";
    return "";
  }
};

// A fixed generator, so that every build makes the same noise.
struct Noise {
  uint32_t state;
  double next() {
    state = state * 1664525u + 1013904223u;
    return static_cast<double>(state >> 8) / 8388608.0 - 1.0;
  }
};

struct OnePole {
  double a = 0.0, y = 0.0;
  explicit OnePole(double cutoff) : a(1.0 - std::exp(-2.0 * PI * cutoff / RATE)) {}
  double low(double x) { return y += a * (x - y); }
  double high(double x) { return x - low(x); }
};

// State-variable filter in trapezoidal form: stable at any cutoff below Nyquist.
struct Svf {
  double ic1 = 0.0, ic2 = 0.0;
  double band(double x, double cutoff, double q) {
    double g = std::tan(PI * std::min(cutoff, RATE * 0.45) / RATE), k = 1.0 / q;
    double a1 = 1.0 / (1.0 + g * (g + k)), a2 = g * a1, a3 = g * a2;
    double v3 = x - ic2, v1 = a1 * ic1 + a2 * v3, v2 = ic2 + a2 * ic1 + a3 * v3;
    ic1 = 2.0 * v1 - ic1;
    ic2 = 2.0 * v2 - ic2;
    return v1;
  }
};

double note_hz(double note) { return 440.0 * std::pow(2.0, (note - 69.0) / 12.0); }

size_t frames(double seconds) { return static_cast<size_t>(std::max(1.0, std::round(seconds * RATE))); }

// Short ramps at both ends keep one-shot samples free of clicks.
void fade_ends(std::vector<double>& w, double in_seconds, double out_seconds) {
  size_t in = std::min(w.size(), frames(in_seconds)), out = std::min(w.size(), frames(out_seconds));
  for (size_t i = 0; i < in; ++i) w[i] *= static_cast<double>(i) / in;
  for (size_t i = 0; i < out; ++i) w[w.size() - 1 - i] *= static_cast<double>(i) / out;
}

std::vector<double> kick(Params& p) {
  double start = p.get("start", 150), end = p.get("end", 48), sweep = p.get("sweep", 0.04);
  double decay = p.get("decay", 0.3), click = p.get("click", 0.3), drive = p.get("drive", 1.5);
  std::vector<double> w(frames(p.get("length", 0.5)));
  Noise noise{0x1234567u};
  OnePole click_hp(2000.0);
  double phase = 0.0;
  for (size_t i = 0; i < w.size(); ++i) {
    double t = i / RATE;
    double f = end + (start - end) * std::exp(-t / sweep);
    phase += 2.0 * PI * f / RATE;
    double body = std::sin(phase) * std::exp(-t / decay);
    double tick = click * click_hp.high(noise.next()) * std::exp(-t / 0.003);
    w[i] = std::tanh(drive * (body + tick)) / std::tanh(drive);
  }
  fade_ends(w, 0.0005, 0.01);
  return w;
}

std::vector<double> snare(Params& p) {
  double tone = p.get("tone", 190), tone2 = p.get("tone2", 330), tone_decay = p.get("tone_decay", 0.06);
  double noise_decay = p.get("noise_decay", 0.16), mix = p.get("noise", 0.6);
  OnePole hp(p.get("hp", 1200)), lp(p.get("lp", 9000));
  std::vector<double> w(frames(p.get("length", 0.35)));
  Noise noise{0xBEEF01u};
  double ph1 = 0.0, ph2 = 0.0;
  for (size_t i = 0; i < w.size(); ++i) {
    double t = i / RATE;
    double drop = 1.0 + 0.4 * std::exp(-t / 0.01);
    ph1 += 2.0 * PI * tone * drop / RATE;
    ph2 += 2.0 * PI * tone2 * drop / RATE;
    double body = (std::sin(ph1) + 0.5 * std::sin(ph2)) * std::exp(-t / tone_decay);
    double hiss = lp.low(hp.high(noise.next())) * std::exp(-t / noise_decay);
    w[i] = (1.0 - mix) * body + mix * 2.0 * hiss;
  }
  fade_ends(w, 0.0005, 0.02);
  return w;
}

std::vector<double> clap(Params& p) {
  int bursts = static_cast<int>(p.get("bursts", 3));
  double spacing = p.get("spacing", 0.011), tail = p.get("tail", 0.12);
  OnePole hp(p.get("hp", 800)), lp(p.get("lp", 4000));
  std::vector<double> w(frames(p.get("length", 0.35)));
  Noise noise{0xC1A9u};
  const double last = (bursts - 1) * spacing;
  for (size_t i = 0; i < w.size(); ++i) {
    double t = i / RATE, env = 0.0;
    for (int b = 0; b < bursts - 1; ++b)
      if (t >= b * spacing) env += std::exp(-(t - b * spacing) / 0.004);
    if (t >= last) env += std::exp(-(t - last) / tail);
    w[i] = lp.low(hp.high(noise.next())) * env;
  }
  fade_ends(w, 0.0003, 0.02);
  return w;
}

// Six detuned square waves at inharmonic ratios under a high-pass: hats and cymbals.
std::vector<double> metal(Params& p) {
  static const double ratios[6] = {205.3, 304.4, 369.6, 522.7, 540.0, 800.0};
  double tune = p.get("tune", 1.0), decay = p.get("decay", 0.05), mix = p.get("noise", 0.4);
  double attack = p.get("attack", 0.0005);
  OnePole hp1(p.get("hp", 7000)), hp2(p.get("hp", 7000));
  std::vector<double> w(frames(p.get("length", 0.3)));
  Noise noise{0x4A75u};
  for (size_t i = 0; i < w.size(); ++i) {
    double t = i / RATE, sq = 0.0;
    for (double r : ratios) sq += std::fmod(t * r * tune, 1.0) < 0.5 ? 1.0 : -1.0;
    double x = (1.0 - mix) * sq / 6.0 + mix * noise.next();
    w[i] = hp2.high(hp1.high(x)) * std::exp(-t / decay);
  }
  fade_ends(w, attack, 0.01);
  return w;
}

// Looped additive voices. Every partial makes a whole number of cycles over the
// loop, so the loop is seamless; the pitch error this leaves is returned and
// corrected through the C5 speed.
std::vector<double> wave(Params& p, double base_note, double& actual_hz) {
  int voices = std::max(1, static_cast<int>(p.get("voices", 1)));
  double step = p.get("detune", 1), shape = p.get("shape", 0.0), cutoff = p.get("cutoff", 3000);
  double sub = p.get("sub", 0.0), octave = p.get("octave", 0.0);
  const int64_t L = static_cast<int64_t>(frames(p.get("loop", 1.0)));
  int64_t c0 = std::llround(note_hz(base_note) * L / RATE);
  if (sub > 0.0 && c0 % 2) ++c0;
  actual_hz = c0 * RATE / L;
  std::vector<double> table(static_cast<size_t>(L));
  for (int64_t k = 0; k < L; ++k) table[k] = std::sin(2.0 * PI * k / L);
  std::vector<double> w(static_cast<size_t>(L), 0.0);
  Noise noise{0x5A11u};

  auto add_partials = [&](int64_t cycles, double gain, bool sine_only) {
    int64_t offset = static_cast<int64_t>((noise.next() + 1.0) * 0.5 * L) % L;
    for (int64_t h = 1; h * cycles < L / 2; ++h) {
      double hz = h * cycles * RATE / L;
      if (hz > 16000.0 || (sine_only && h > 1)) break;
      double a = (1.0 - shape) / h + ((h % 2) ? shape / h : 0.0);
      a *= 1.0 / std::sqrt(1.0 + std::pow(hz / cutoff, 4.0));
      if (a < 1e-5) continue;
      int64_t inc = (h * cycles) % L, idx = (h * offset) % L;
      for (int64_t n = 0; n < L; ++n) {
        w[n] += gain * a * table[idx];
        idx += inc;
        if (idx >= L) idx -= L;
      }
    }
  };
  for (int v = 0; v < voices; ++v) {
    int64_t c = c0 + std::llround((v - (voices - 1) / 2.0) * step);
    add_partials(c, 1.0 / voices, false);
  }
  if (sub > 0.0) add_partials(c0 / 2, sub, true);
  if (octave > 0.0) add_partials(2 * c0, octave, false);
  return w;
}

std::vector<double> fm(Params& p, double base_note) {
  double ratio = p.get("ratio", 2.0), index = p.get("index", 2.0), index_decay = p.get("index_decay", 0.2);
  double decay = p.get("decay", 0.5), attack = p.get("attack", 0.002);
  double hz = note_hz(base_note);
  std::vector<double> w(frames(p.get("length", 1.2)));
  for (size_t i = 0; i < w.size(); ++i) {
    double t = i / RATE;
    double mod = index * std::exp(-t / index_decay) * std::sin(2.0 * PI * ratio * hz * t);
    w[i] = std::sin(2.0 * PI * hz * t + mod) * std::exp(-t / decay);
  }
  fade_ends(w, attack, 0.03);
  return w;
}

std::vector<double> sweep(Params& p) {
  double from = p.get("from", 300), to = p.get("to", 8000), q = p.get("q", 3.0), curve = p.get("curve", 2.0);
  std::vector<double> w(frames(p.get("length", 7.68)));
  Noise noise{0x77E9u};
  Svf svf;
  const double n = static_cast<double>(w.size());
  for (size_t i = 0; i < w.size(); ++i) {
    double x = i / n;
    double cutoff = from * std::pow(to / from, x);
    w[i] = svf.band(noise.next(), cutoff, q) * std::pow(x, curve);
  }
  fade_ends(w, 0.0, 0.04);
  return w;
}

}  // namespace

int note_number(const std::string& name) {
  static const int steps[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
  if (name.size() < 2 || name[0] < 'A' || name[0] > 'G') return -1;
  int n = steps[name[0] - 'A'];
  size_t i = 1;
  if (name[i] == '#') {
    ++n;
    ++i;
  } else if (name[i] == 'b') {
    --n;
    ++i;
  }
  if (i + 1 != name.size() || name[i] < '0' || name[i] > '9') return -1;
  int midi = n + 12 * (name[i] - '0' + 1);
  return midi >= 0 && midi <= 119 ? midi : -1;
}

std::string synthesize(const std::string& kind, const SynthParams& values, ItSample& sample) {
  Params p{values, {}};
  double base = p.get("base", 60);  // the note at which the sample plays as made
  double level = p.get("level", 0.95);
  double saturate = p.get("saturate", 0.0);  // soft clipping that makes a peaky sound denser
  double actual_hz = note_hz(base);
  bool looped = false;
  std::vector<double> w;
  if (kind == "kick")
    w = kick(p);
  else if (kind == "snare")
    w = snare(p);
  else if (kind == "clap")
    w = clap(p);
  else if (kind == "metal")
    w = metal(p);
  else if (kind == "fm")
    w = fm(p, base);
  else if (kind == "sweep")
    w = sweep(p);
  else if (kind == "wave") {
    w = wave(p, base, actual_hz);
    looped = true;
  } else {
    return "unknown synthesis kind '" + kind + "'";
  }
  std::string unknown = p.unknown();
  if (!unknown.empty()) return unknown;
  if (level <= 0.0 || level > 1.0) return "level must lie in (0, 1]";

  double peak = 0.0;
  for (double v : w) peak = std::max(peak, std::fabs(v));
  if (peak <= 0.0) return "the synthesis made silence";
  if (saturate > 0.0) {
    for (double& v : w) v = std::tanh(saturate * v / peak);
    peak = std::tanh(saturate);
  }
  const double scale = level * 32767.0 / peak;
  sample.bits = 16;
  sample.pcm16.resize(w.size());
  for (size_t i = 0; i < w.size(); ++i) sample.pcm16[i] = static_cast<int16_t>(std::lround(w[i] * scale));
  sample.loop = looped;
  sample.loop_start = 0;
  sample.loop_end = looped ? static_cast<uint32_t>(w.size()) : 0;
  // Note `base` must sound at its own pitch: C-5 (60) then plays at this rate.
  double c5 = RATE * std::pow(2.0, (60.0 - base) / 12.0) * note_hz(base) / actual_hz;
  sample.c5speed = static_cast<uint32_t>(std::lround(c5));
  return "";
}

#include "tools/soundtrack/synth.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <set>
#include <vector>

namespace {

constexpr double PI = 3.14159265358979323846;

// One-shot sounds are made at OVERSAMPLE times the output rate and low-passed below
// 20 kHz before they are brought down to it: the drive of a kick, square waves and FM
// sidebands above the output's Nyquist frequency would otherwise fold back as hiss.
constexpr int OVERSAMPLE = 4;
// The rate the generators run at: SYNTH_RATE for the looped voices, which are
// band-limited as they are made, SYNTH_RATE * OVERSAMPLE for one-shots.
double rate = SYNTH_RATE;

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

// State-variable filter in trapezoidal form: stable at any cutoff below Nyquist and
// free to sweep. One step gives the low-, band- and high-pass outputs together.
struct Svf {
  double ic1 = 0.0, ic2 = 0.0, low = 0.0, band = 0.0, high = 0.0;
  double cutoff = -1.0, q = 0.0, a1 = 0.0, a2 = 0.0, a3 = 0.0, k = 0.0;
  void run(double x, double hz, double quality) {
    if (hz != cutoff || quality != q) {
      cutoff = hz;
      q = quality;
      double g = std::tan(PI * std::min(hz, rate * 0.45) / rate);
      k = 1.0 / q;
      a1 = 1.0 / (1.0 + g * (g + k));
      a2 = g * a1;
      a3 = g * a2;
    }
    double v3 = x - ic2, v1 = a1 * ic1 + a2 * v3, v2 = ic2 + a2 * ic1 + a3 * v3;
    ic1 = 2.0 * v1 - ic1;
    ic2 = 2.0 * v2 - ic2;
    band = v1;
    low = v2;
    high = x - k * v1 - v2;
  }
};

// Fourth-order Butterworth low- and high-pass: 24 dB an octave beyond the cutoff,
// where a one-pole filter gives 6 and leaves white noise nearly white.
struct Steep {
  Svf a, b;
  double low(double x, double hz) {
    a.run(x, hz, 0.5412);
    b.run(a.low, hz, 1.3066);
    return b.low;
  }
  double high(double x, double hz) {
    a.run(x, hz, 0.5412);
    b.run(a.high, hz, 1.3066);
    return b.high;
  }
};

// A square wave with its steps smoothed over one sample (polyBLEP), so that its
// harmonics fall off instead of folding back.
double square(double phase, double step) {
  auto blep = [step](double t) {
    if (t < step) {
      t /= step;
      return t + t - t * t - 1.0;
    }
    if (t > 1.0 - step) {
      t = (t - 1.0) / step;
      return t * t + t + t + 1.0;
    }
    return 0.0;
  };
  double half = phase + 0.5 - std::floor(phase + 0.5);
  return (phase < 0.5 ? 1.0 : -1.0) + blep(phase) - blep(half);
}

double note_hz(double note) { return 440.0 * std::pow(2.0, (note - 69.0) / 12.0); }

size_t frames(double seconds) { return static_cast<size_t>(std::max(1.0, std::round(seconds * rate))); }

// Short ramps at both ends keep one-shot samples free of clicks.
void fade_ends(std::vector<double>& w, double in_seconds, double out_seconds) {
  size_t in = std::min(w.size(), frames(in_seconds)), out = std::min(w.size(), frames(out_seconds));
  for (size_t i = 0; i < in; ++i) w[i] *= static_cast<double>(i) / in;
  for (size_t i = 0; i < out; ++i) w[w.size() - 1 - i] *= static_cast<double>(i) / out;
}

// From SYNTH_RATE * OVERSAMPLE down to SYNTH_RATE through a Kaiser-windowed sinc:
// flat to 18 kHz, at least 90 dB down from 22 kHz on. Centred, so onsets stay where
// they were made.
std::vector<double> decimate(const std::vector<double>& x) {
  constexpr int HALF = 36 * OVERSAMPLE;
  static std::vector<double> h;
  if (h.empty()) {
    const double cutoff = 20000.0 / (SYNTH_RATE * OVERSAMPLE), beta = 9.5;
    auto bessel_i0 = [](double v) {
      double sum = 1.0, term = 1.0;
      for (int k = 1; k < 50; ++k) {
        term *= (v / (2.0 * k)) * (v / (2.0 * k));
        sum += term;
      }
      return sum;
    };
    double total = 0.0;
    for (int n = -HALF; n <= HALF; ++n) {
      double sinc = n == 0 ? 2.0 * cutoff : std::sin(2.0 * PI * cutoff * n) / (PI * n);
      double r = static_cast<double>(n) / HALF;
      h.push_back(sinc * bessel_i0(beta * std::sqrt(1.0 - r * r)) / bessel_i0(beta));
      total += h.back();
    }
    for (double& v : h) v /= total;
  }
  std::vector<double> y((x.size() + OVERSAMPLE - 1) / OVERSAMPLE, 0.0);
  const long size = static_cast<long>(x.size());
  for (size_t i = 0; i < y.size(); ++i) {
    const long centre = static_cast<long>(i) * OVERSAMPLE;
    double sum = 0.0;
    for (long n = std::max(-static_cast<long>(HALF), -centre); n <= HALF && centre + n < size; ++n)
      sum += h[static_cast<size_t>(n + HALF)] * x[static_cast<size_t>(centre + n)];
    y[i] = sum;
  }
  return y;
}

// A decaying sine that falls in pitch, driven into soft clipping, with a short click
// of band-passed noise on top: kicks, toms and hits.
std::vector<double> kick(Params& p) {
  double start = p.get("start", 150), end = p.get("end", 48), sweep = p.get("sweep", 0.04);
  double decay = p.get("decay", 0.3), click = p.get("click", 0.3), drive = p.get("drive", 1.5);
  std::vector<double> w(frames(p.get("length", 0.5)));
  Noise noise{0x1234567u};
  Svf click_hp;
  Steep click_lp;
  double phase = 0.0;
  for (size_t i = 0; i < w.size(); ++i) {
    double t = i / rate;
    double f = end + (start - end) * std::exp(-t / sweep);
    phase += 2.0 * PI * f / rate;
    double body = std::sin(phase) * std::exp(-t / decay);
    click_hp.run(noise.next(), 1500.0, 0.7071);
    double tick = click * click_lp.low(click_hp.high, 6000.0) * std::exp(-t / 0.003);
    w[i] = std::tanh(drive * (body + tick)) / std::tanh(drive);
  }
  fade_ends(w, 0.0005, 0.01);
  return w;
}

// Two falling sines for the shell and a band of noise for the wires: the noise
// high-passed at `hp` (12 dB an octave) and low-passed at `lp` (24 dB an octave).
std::vector<double> snare(Params& p) {
  double tone = p.get("tone", 190), tone2 = p.get("tone2", 330), tone_decay = p.get("tone_decay", 0.06);
  double noise_decay = p.get("noise_decay", 0.1), mix = p.get("noise", 0.6);
  double hp = p.get("hp", 1000), lp = p.get("lp", 7000);
  std::vector<double> w(frames(p.get("length", 0.3)));
  Noise noise{0xBEEF01u};
  Svf high;
  Steep low;
  double ph1 = 0.0, ph2 = 0.0;
  for (size_t i = 0; i < w.size(); ++i) {
    double t = i / rate;
    double drop = 1.0 + 0.4 * std::exp(-t / 0.01);
    ph1 += 2.0 * PI * tone * drop / rate;
    ph2 += 2.0 * PI * tone2 * drop / rate;
    double body = (std::sin(ph1) + 0.5 * std::sin(ph2)) * std::exp(-t / tone_decay);
    high.run(noise.next() * std::exp(-t / noise_decay), hp, 0.7071);
    double wires = low.low(high.high, lp);
    w[i] = (1.0 - mix) * body + mix * 2.0 * wires;
  }
  fade_ends(w, 0.0005, 0.02);
  return w;
}

// A few quick bursts of noise and a short tail, all through one band: the noise
// high-passed at `hp` (12 dB an octave) and low-passed at `lp` (24 dB an octave).
// The envelope shapes the noise before the filters, which then round off its steps.
std::vector<double> clap(Params& p) {
  int bursts = static_cast<int>(p.get("bursts", 3));
  double spacing = p.get("spacing", 0.011), tail = p.get("tail", 0.08);
  double hp = p.get("hp", 900), lp = p.get("lp", 4500);
  std::vector<double> w(frames(p.get("length", 0.3)));
  Noise noise{0xC1A9u};
  Svf high;
  Steep low;
  const double last = (bursts - 1) * spacing;
  for (size_t i = 0; i < w.size(); ++i) {
    double t = i / rate, env = 0.0;
    for (int b = 0; b < bursts - 1; ++b)
      if (t >= b * spacing) env += std::exp(-(t - b * spacing) / 0.004);
    if (t >= last) env += std::exp(-(t - last) / tail);
    high.run(noise.next() * env, hp, 0.7071);
    w[i] = low.low(high.high, lp);
  }
  fade_ends(w, 0.0003, 0.02);
  return w;
}

// Six band-limited square waves at inharmonic ratios and some noise, in the band
// between `hp` and `lp` (24 dB an octave each side): hats and cymbals.
std::vector<double> metal(Params& p) {
  static const double ratios[6] = {205.3, 304.4, 369.6, 522.7, 540.0, 800.0};
  double tune = p.get("tune", 1.0), decay = p.get("decay", 0.05), mix = p.get("noise", 0.4);
  double attack = p.get("attack", 0.0005), hp = p.get("hp", 7000), lp = p.get("lp", 12000);
  std::vector<double> w(frames(p.get("length", 0.3)));
  Noise noise{0x4A75u};
  Steep high, low;
  double phases[6] = {};
  for (size_t i = 0; i < w.size(); ++i) {
    double t = i / rate, sq = 0.0;
    for (int k = 0; k < 6; ++k) {
      double step = ratios[k] * tune / rate;
      sq += square(phases[k], step);
      phases[k] += step;
      if (phases[k] >= 1.0) phases[k] -= 1.0;
    }
    double x = ((1.0 - mix) * sq / 6.0 + mix * noise.next()) * std::exp(-t / decay);
    w[i] = low.low(high.high(x, hp), lp);
  }
  fade_ends(w, attack, 0.01);
  return w;
}

// Looped additive voices. Every partial makes a whole number of cycles over the
// loop, so the loop is seamless; the pitch error this leaves is returned and
// corrected through the C5 speed. No partial is made that would pass 18 kHz when
// the player raises the sample to the highest note it is played at (`top`).
std::vector<double> wave(Params& p, double base_note, double& actual_hz) {
  int voices = std::max(1, static_cast<int>(p.get("voices", 1)));
  double step = p.get("detune", 1), shape = p.get("shape", 0.0), cutoff = p.get("cutoff", 3000);
  double sub = p.get("sub", 0.0), octave = p.get("octave", 0.0);
  const double limit = std::min(16000.0, 18000.0 * note_hz(base_note) / note_hz(p.get("top", base_note)));
  const int64_t L = static_cast<int64_t>(frames(p.get("loop", 1.0)));
  int64_t c0 = std::llround(note_hz(base_note) * L / rate);
  if (sub > 0.0 && c0 % 2) ++c0;
  actual_hz = c0 * rate / L;
  std::vector<double> table(static_cast<size_t>(L));
  for (int64_t k = 0; k < L; ++k) table[k] = std::sin(2.0 * PI * k / L);
  std::vector<double> w(static_cast<size_t>(L), 0.0);
  Noise noise{0x5A11u};

  auto add_partials = [&](int64_t cycles, double gain, bool sine_only) {
    int64_t offset = static_cast<int64_t>((noise.next() + 1.0) * 0.5 * L) % L;
    for (int64_t h = 1; h * cycles < L / 2; ++h) {
      double hz = h * cycles * rate / L;
      if (hz > limit || (sine_only && h > 1)) break;
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
    double t = i / rate;
    double mod = index * std::exp(-t / index_decay) * std::sin(2.0 * PI * ratio * hz * t);
    w[i] = std::sin(2.0 * PI * hz * t + mod) * std::exp(-t / decay);
  }
  fade_ends(w, attack, 0.03);
  return w;
}

// Noise through a band-pass that sweeps up from `from` to `to` Hz while it swells,
// then low-passed at `lp` (24 dB an octave) so that the band's skirt stays out of
// the top octaves.
std::vector<double> sweep(Params& p) {
  double from = p.get("from", 300), to = p.get("to", 5000), q = p.get("q", 3.0), curve = p.get("curve", 2.0);
  double lp = p.get("lp", 8000);
  std::vector<double> w(frames(p.get("length", 7.68)));
  Noise noise{0x77E9u};
  Svf svf;
  Steep low;
  const double n = static_cast<double>(w.size());
  for (size_t i = 0; i < w.size(); ++i) {
    double x = i / n;
    svf.run(noise.next(), from * std::pow(to / from, x), q);
    w[i] = low.low(svf.band, lp) * std::pow(x, curve);
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

int highest_note(const std::string& kind, const SynthParams& params) {
  if (kind != "wave") return 119;
  auto top = params.find("top"), base = params.find("base");
  return static_cast<int>(top != params.end() ? top->second : base != params.end() ? base->second : 60);
}

std::string synthesize(const std::string& kind, const SynthParams& values, ItSample& sample) {
  Params p{values, {}};
  double base = p.get("base", 60);  // the note at which the sample plays as made
  double level = p.get("level", 0.95);
  double actual_hz = note_hz(base);
  static const std::set<std::string> one_shots = {"kick", "snare", "clap", "metal", "fm", "sweep"};
  const bool looped = kind == "wave";
  if (!looped && !one_shots.count(kind)) return "unknown synthesis kind '" + kind + "'";
  rate = looped ? SYNTH_RATE : SYNTH_RATE * OVERSAMPLE;
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
  else
    w = wave(p, base, actual_hz);
  rate = SYNTH_RATE;
  if (!looped) w = decimate(w);
  std::string unknown = p.unknown();
  if (!unknown.empty()) return unknown;
  if (level <= 0.0 || level > 1.0) return "level must lie in (0, 1]";
  if (highest_note(kind, values) < base) return "top must not lie below base";

  double peak = 0.0;
  for (double v : w) peak = std::max(peak, std::fabs(v));
  if (peak <= 0.0) return "the synthesis made silence";
  const double scale = level * 32767.0 / peak;
  sample.bits = 16;
  sample.pcm16.resize(w.size());
  for (size_t i = 0; i < w.size(); ++i) sample.pcm16[i] = static_cast<int16_t>(std::lround(w[i] * scale));
  sample.loop = looped;
  sample.loop_start = 0;
  sample.loop_end = looped ? static_cast<uint32_t>(w.size()) : 0;
  // Note `base` must sound at its own pitch: C-5 (60) then plays at this rate.
  double c5 = SYNTH_RATE * std::pow(2.0, (60.0 - base) / 12.0) * note_hz(base) / actual_hz;
  sample.c5speed = static_cast<uint32_t>(std::lround(c5));
  return "";
}

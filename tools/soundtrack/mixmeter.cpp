#include "tools/soundtrack/mixmeter.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr size_t N = SPECTRUM_WINDOW;

double to_db(double power_ratio) { return power_ratio > 0.0 ? 10.0 * std::log10(power_ratio) : -200.0; }

// In-place radix-2 FFT of N points; the tables are made on first use.
void fft(std::vector<std::complex<double>>& z) {
  static std::vector<std::complex<double>> twiddle;
  static std::vector<size_t> reversed;
  if (twiddle.empty()) {
    twiddle.resize(N / 2);
    for (size_t k = 0; k < N / 2; ++k) twiddle[k] = std::polar(1.0, -2.0 * PI * k / N);
    reversed.resize(N);
    int bits = 0;
    while ((size_t{1} << bits) < N) ++bits;
    for (size_t i = 0; i < N; ++i) {
      size_t r = 0;
      for (int b = 0; b < bits; ++b) r |= ((i >> b) & 1) << (bits - 1 - b);
      reversed[i] = r;
    }
  }
  for (size_t i = 0; i < N; ++i)
    if (i < reversed[i]) std::swap(z[i], z[reversed[i]]);
  for (size_t len = 2; len <= N; len <<= 1) {
    const size_t half = len / 2, stride = N / len;
    for (size_t start = 0; start < N; start += len) {
      for (size_t k = 0; k < half; ++k) {
        std::complex<double> t = z[start + k + half] * twiddle[k * stride];
        z[start + k + half] = z[start + k] - t;
        z[start + k] += t;
      }
    }
  }
}

// Direct-form biquad, b0 b1 b2 / 1 a1 a2.
struct Biquad {
  double b0, b1, b2, a1, a2;
  double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  double run(double x) {
    double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
  }
};

// The two stages of BS.1770's K-weighting, worked out for MIX_RATE from their
// analogue prototypes (a high shelf of +4 dB near 1.7 kHz, a high-pass near 38 Hz).
std::array<Biquad, 2> k_weighting() {
  double k = std::tan(PI * 1681.974450955533 / MIX_RATE), q = 0.7071752369554196;
  double vh = std::pow(10.0, 3.999843853973347 / 20.0), vb = std::pow(vh, 0.4996667741545416);
  double a0 = 1.0 + k / q + k * k;
  Biquad shelf{(vh + vb * k / q + k * k) / a0, 2.0 * (k * k - vh) / a0, (vh - vb * k / q + k * k) / a0,
               2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
  k = std::tan(PI * 38.13547087602444 / MIX_RATE);
  q = 0.5003270373238773;
  a0 = 1.0 + k / q + k * k;
  Biquad high_pass{1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
  return {shelf, high_pass};
}

}  // namespace

double rms_dbfs(const std::vector<float>& stereo, size_t first_frame, size_t frame_count) {
  size_t begin = std::min(stereo.size(), 2 * first_frame),
         end = std::min(stereo.size(), 2 * (first_frame + frame_count));
  double sum = 0.0;
  for (size_t i = begin; i < end; ++i) sum += static_cast<double>(stereo[i]) * stereo[i];
  return end > begin ? to_db(sum / static_cast<double>(end - begin)) : -200.0;
}

Spectrum measure_spectrum(const std::vector<float>& stereo, size_t first_frame, size_t frame_count, double gate_dbfs) {
  Spectrum s;
  s.power.assign(N / 2 + 1, 0.0);
  static std::vector<double> hann;
  if (hann.empty()) {
    hann.resize(N);
    for (size_t i = 0; i < N; ++i) hann[i] = 0.5 - 0.5 * std::cos(2.0 * PI * i / N);
  }
  const size_t frames = stereo.size() / 2, end = std::min(frames, first_frame + frame_count);
  std::vector<std::complex<double>> z(N);
  for (size_t at = first_frame; at + N <= end; at += N / 2) {
    if (rms_dbfs(stereo, at, N) <= gate_dbfs) continue;
    // Left as the real part, right as the imaginary: one transform for both channels.
    for (size_t i = 0; i < N; ++i) z[i] = {hann[i] * stereo[2 * (at + i)], hann[i] * stereo[2 * (at + i) + 1]};
    fft(z);
    // |L[k]|^2 + |R[k]|^2 = (|Z[k]|^2 + |Z[N-k]|^2) / 2
    for (size_t k = 0; k <= N / 2; ++k) s.power[k] += 0.5 * (std::norm(z[k]) + std::norm(z[(N - k) % N]));
    ++s.windows;
  }
  return s;
}

void add_spectrum(Spectrum& into, const Spectrum& more) {
  if (into.power.empty()) into.power.assign(N / 2 + 1, 0.0);
  for (size_t k = 0; k < into.power.size() && k < more.power.size(); ++k) into.power[k] += more.power[k];
  into.windows += more.windows;
}

namespace {
double band_power(const Spectrum& s, double lo_hz, double hi_hz) {
  double sum = 0.0;
  for (size_t k = 0; k < s.power.size(); ++k) {
    double hz = static_cast<double>(k) * MIX_RATE / N;
    if (hz >= lo_hz && hz < hi_hz) sum += s.power[k];
  }
  return sum;
}
}  // namespace

double band_db(const Spectrum& s, double lo_hz, double hi_hz) {
  double reference = band_power(s, 250.0, 2000.0);
  return reference > 0.0 ? to_db(band_power(s, lo_hz, hi_hz) / reference) : -200.0;
}

BandBalance band_balance(const Spectrum& s) {
  return {band_db(s, 20.0, 250.0), band_db(s, 2000.0, 6000.0), band_db(s, 6000.0, 11000.0),
          band_db(s, 11000.0, 20000.0), s.windows};
}

double integrated_loudness(const std::vector<float>& stereo) {
  const size_t frames = stereo.size() / 2, step = MIX_RATE / 10;
  // Mean square of the weighted signal per 100 ms step, both channels summed.
  std::vector<double> steps;
  std::array<Biquad, 2> left = k_weighting(), right = k_weighting();
  double sum = 0.0;
  for (size_t i = 0; i < frames; ++i) {
    double l = left[1].run(left[0].run(stereo[2 * i])), r = right[1].run(right[0].run(stereo[2 * i + 1]));
    sum += l * l + r * r;
    if ((i + 1) % step == 0) {
      steps.push_back(sum / step);
      sum = 0.0;
    }
  }
  std::vector<double> blocks;  // 400 ms, a new one every 100 ms
  for (size_t b = 0; b + 4 <= steps.size(); ++b)
    blocks.push_back((steps[b] + steps[b + 1] + steps[b + 2] + steps[b + 3]) / 4);
  auto lufs = [](double mean_square) { return mean_square > 0.0 ? -0.691 + 10.0 * std::log10(mean_square) : -200.0; };
  auto gated_mean = [&](double gate) {
    double total = 0.0;
    int count = 0;
    for (double z : blocks) {
      if (lufs(z) > gate) {
        total += z;
        ++count;
      }
    }
    return count > 0 ? total / count : 0.0;
  };
  double absolute = gated_mean(-70.0);
  if (absolute <= 0.0) return -200.0;
  return lufs(gated_mean(lufs(absolute) - 10.0));
}

double true_peak_dbtp(const std::vector<float>& stereo) {
  // Windowed-sinc interpolation: phase p of 4 takes 16 neighbouring samples.
  constexpr int PHASES = 4, TAPS = 16;
  static double h[PHASES][TAPS];
  static bool made = false;
  if (!made) {
    for (int p = 0; p < PHASES; ++p) {
      double sum = 0.0;
      for (int t = 0; t < TAPS; ++t) {
        double x = (t - TAPS / 2 + 1) - static_cast<double>(p) / PHASES;  // distance in input samples
        double sinc = x == 0.0 ? 1.0 : std::sin(PI * x) / (PI * x);
        double w = 0.42 + 0.5 * std::cos(PI * x / (TAPS / 2)) + 0.08 * std::cos(2.0 * PI * x / (TAPS / 2));
        h[p][t] = sinc * w;
        sum += h[p][t];
      }
      for (int t = 0; t < TAPS; ++t) h[p][t] /= sum;
    }
    made = true;
  }
  // Each channel on its own, with silence around it so that every tap has a sample.
  // Phase 0 is the sample itself.
  const size_t frames = stereo.size() / 2;
  std::vector<double> x(frames + TAPS, 0.0);
  double peak = 0.0;
  for (int c = 0; c < 2; ++c) {
    for (size_t i = 0; i < frames; ++i) {
      x[i + TAPS / 2 - 1] = stereo[2 * i + c];
      peak = std::max(peak, std::fabs(x[i + TAPS / 2 - 1]));
    }
    for (size_t i = 0; i < frames; ++i) {
      const double* in = &x[i];
      for (int p = 1; p < PHASES; ++p) {
        double y = 0.0;
        for (int t = 0; t < TAPS; ++t) y += h[p][t] * in[t];
        peak = std::max(peak, std::fabs(y));
      }
    }
  }
  return peak > 0.0 ? 20.0 * std::log10(peak) : -200.0;
}

// Measures of a finished mix: how its energy spreads over the spectrum, its loudness
// and its true peak. Input is interleaved stereo at 44.1 kHz, full scale 1.0.
#pragma once
#include <cstddef>
#include <vector>

constexpr int MIX_RATE = 44100;
constexpr size_t SPECTRUM_WINDOW = 8192;
constexpr double SPECTRUM_GATE_DBFS = -46.0;

// The power spectrum summed over every SPECTRUM_WINDOW-frame window (Hann, hop of
// half a window, both channels) that lies wholly inside a range of frames and whose
// RMS is above the gate: quiet passages and silence do not count.
struct Spectrum {
  std::vector<double> power;  // SPECTRUM_WINDOW / 2 + 1 bins, MIX_RATE / SPECTRUM_WINDOW Hz apart
  int windows = 0;
};
Spectrum measure_spectrum(const std::vector<float>& stereo, size_t first_frame, size_t frame_count,
                          double gate_dbfs = SPECTRUM_GATE_DBFS);
void add_spectrum(Spectrum& into, const Spectrum& more);

// Energy of the bins in [lo_hz, hi_hz) relative to the 250-2000 Hz band, in dB.
// -200 when the spectrum is empty.
double band_db(const Spectrum& s, double lo_hz, double hi_hz);

// The four bands that tell a balanced mix from hiss, each relative to 250-2000 Hz.
struct BandBalance {
  double low;    // 20-250 Hz
  double upper;  // 2-6 kHz
  double high;   // 6-11 kHz
  double air;    // 11-20 kHz
  int windows;
};
BandBalance band_balance(const Spectrum& s);

// Integrated loudness after ITU-R BS.1770 (K-weighting, 400 ms blocks overlapping by
// 75 %, absolute gate -70 LUFS, relative gate -10 LU), in LUFS; -200 when every block
// is gated out.
double integrated_loudness(const std::vector<float>& stereo);

// The highest absolute value of either channel after 4x oversampling, in dBTP;
// -200 for silence.
double true_peak_dbtp(const std::vector<float>& stereo);

// Frames [first, first + count) as RMS of both channels in dBFS; -200 for silence.
double rms_dbfs(const std::vector<float>& stereo, size_t first_frame, size_t frame_count);

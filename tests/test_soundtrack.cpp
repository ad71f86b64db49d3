// The soundtrack as built: its shape, its length in a second player, its levels
// at the program's volume, its accents, its mix, the compiler that makes it and
// the meter that measures the mix.
#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "image/bytes.h"
#include "support/module_probe.h"
#include "tools/read_file.h"
#include "tools/soundtrack/mixmeter.h"
#include "tools/soundtrack/synth.h"

namespace {

const std::string MODULE = ORVEL_BUILD_DIR "/musica/XK_TRAM4.IT";
const std::string COMPILER = ORVEL_BUILD_DIR "/tools/soundtrack/make_soundtrack";
constexpr int GAIN_MILLIBEL = -250;  // volume 192 of 256
constexpr size_t ROW = 5292;         // frames at 44.1 kHz: speed 6, tempo 125
constexpr size_t ORDER = 64 * ROW;
constexpr int ORDERS = 30;
// The plan's sections as the first order of each: intro, build, groove, breakdown,
// flicker, theme B, fill, drop, transition, main, bright, lift, climax, outro; the end.
constexpr int SECTION_FIRST[] = {0, 1, 3, 8, 9, 10, 13, 14, 17, 18, 21, 25, 26, 29, ORDERS};

class Soundtrack : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    probed_ = new ProbedModule(probe_module(read_file(MODULE)));
    if (probed_->mod) {
      duration_ = openmpt_module_get_duration_seconds(probed_->mod);
      audio_ = new std::vector<float>(render_stereo_float(probed_->mod, 400.0, GAIN_MILLIBEL));
    }
  }
  static void TearDownTestSuite() {
    release_module(*probed_);
    delete probed_;
    delete audio_;
    probed_ = nullptr;
    audio_ = nullptr;
  }
  void SetUp() override {
    ASSERT_NE(probed_->mod, nullptr) << MODULE << " is missing or does not load";
    ASSERT_NE(audio_, nullptr);
  }
  static Level order_level(int order, int first_row = 0, int rows = 64) {
    return measure_level(*audio_, order * ORDER + first_row * ROW, rows * ROW);
  }

  static ProbedModule* probed_;
  static std::vector<float>* audio_;
  static double duration_;
};
ProbedModule* Soundtrack::probed_ = nullptr;
std::vector<float>* Soundtrack::audio_ = nullptr;
double Soundtrack::duration_ = 0.0;

bool have_program(const char* name) {
  return std::system(("command -v " + std::string(name) + " >/dev/null 2>&1").c_str()) == 0;
}

// Seconds of 16-bit stereo audio in a WAV file, -1 when it is not one.
double wav_seconds(const std::string& path) {
  std::vector<uint8_t> b = read_file(path);
  auto u32 = [&](size_t at) { return load_le32(&b[at]); };
  if (b.size() < 44 || std::string(b.begin(), b.begin() + 4) != "RIFF") return -1;
  uint32_t rate = u32(24);
  for (size_t at = 12; at + 8 <= b.size(); at += 8 + u32(at + 4))
    if (std::string(b.begin() + at, b.begin() + at + 4) == "data" && rate > 0) return u32(at + 4) / 4.0 / rate;
  return -1;
}

std::string write_temp(const std::string& name, const std::string& text) {
  std::string path = ORVEL_BUILD_DIR "/" + name;
  std::ofstream(path) << text;
  return path;
}

// Runs the compiler; returns its exit status and what it printed.
int compile(const std::string& instruments, const std::string& song, const std::string& out, std::string& printed) {
  std::string log = ORVEL_BUILD_DIR "/soundtrack_test.log";
  int status = std::system((COMPILER + " " + instruments + " " + song + " " + out + " >" + log + " 2>&1").c_str());
  std::vector<uint8_t> text = read_file(log);
  printed.assign(text.begin(), text.end());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST_F(Soundtrack, HasThirtyOrdersOfSixtyFourRowsAndLoadsCleanly) {
  EXPECT_TRUE(probed_->warnings.empty()) << probed_->warnings;
  for (const std::string& line : probed_->log) ADD_FAILURE() << "libopenmpt logged: " << line;
  ASSERT_EQ(openmpt_module_get_num_orders(probed_->mod), ORDERS);
  for (int o = 0; o < ORDERS; ++o)
    EXPECT_EQ(openmpt_module_get_pattern_num_rows(probed_->mod, openmpt_module_get_order_pattern(probed_->mod, o)), 64);
  EXPECT_EQ(openmpt_module_get_current_speed(probed_->mod), 6);
  EXPECT_EQ(openmpt_module_get_current_tempo(probed_->mod), 125);
  EXPECT_NEAR(duration_, ORDERS * 7.68, 0.01);
  EXPECT_NEAR(audio_->size() / 2 / 44100.0, duration_, 0.2);  // libopenmpt renders a short tail
}

TEST_F(Soundtrack, PlaysAsLongInXmp) {
  if (!have_program("xmp")) GTEST_SKIP() << "xmp is not installed";
  const std::string wav = ORVEL_BUILD_DIR "/soundtrack_xmp.wav";
  std::remove(wav.c_str());
  ASSERT_EQ(std::system(("xmp -q -d wav -o " + wav + " " + MODULE + " >/dev/null 2>&1").c_str()), 0);
  double seconds = wav_seconds(wav);
  std::remove(wav.c_str());
  EXPECT_NEAR(seconds, duration_, duration_ * 0.01);
}

TEST_F(Soundtrack, IsAsLoudAsPlannedAndPeaksBelowMinusOneDbtp) {
  EXPECT_NEAR(integrated_loudness(*audio_), -16.0, 2.0);
  EXPECT_LT(true_peak_dbtp(*audio_), -1.0);                                  // between the samples too
  EXPECT_GT(measure_level(*audio_, 0, audio_->size() / 2).peak_dbfs, -6.0);  // and uses the room it has
}

TEST_F(Soundtrack, KeepsItsTopOctavesWellBelowTheMids) {
  // Energy above 6 kHz relative to 250-2000 Hz: noise without a filter or an aliasing
  // oscillator shows here first.
  BandBalance whole = band_balance(measure_spectrum(*audio_, 0, ORDERS * ORDER));
  EXPECT_LT(whole.air, -20.0);
  EXPECT_LT(whole.high, -15.0);
  // ... and within what human-made tracker modules measure, so not dull or boomy either.
  EXPECT_GT(whole.air, -45.0);
  EXPECT_GT(whole.high, -39.9);
  EXPECT_GT(whole.upper, -17.1);
  EXPECT_LT(whole.upper, -4.3);
  EXPECT_GT(whole.low, -5.1);
  EXPECT_LT(whole.low, 9.6);

  // Every section of the plan, and every order with music in it, risers and transitions included.
  auto check = [](const Spectrum& s, const std::string& what) {
    BandBalance b = band_balance(s);
    EXPECT_GT(b.windows, 0) << what;
    EXPECT_LT(b.air, -12.0) << what;
    EXPECT_LT(b.high, -8.0) << what;
  };
  for (size_t i = 0; i + 1 < std::size(SECTION_FIRST); ++i) {
    int first = SECTION_FIRST[i], last = SECTION_FIRST[i + 1] - 1;
    check(measure_spectrum(*audio_, first * ORDER, (last - first + 1) * ORDER),
          "orders " + std::to_string(first) + "-" + std::to_string(last));
  }
  for (int o = 1; o <= 28; ++o) check(measure_spectrum(*audio_, o * ORDER, ORDER), "order " + std::to_string(o));
}

TEST_F(Soundtrack, EveryOrderIsAsLoudAsThePlanWants) {
  // The quiet intro, the breakdown that fades, the outro that ends; the rest even.
  double lowest = 0, highest = -200;
  for (int o = 0; o < ORDERS; ++o) {
    Level l = order_level(o);
    SCOPED_TRACE(testing::Message() << "order " << o << " rms " << l.rms_dbfs);
    if (o == 0) {
      EXPECT_GT(l.rms_dbfs, -42.0);
      EXPECT_LT(l.rms_dbfs, order_level(3).rms_dbfs - 10.0);
    } else if (o == 8 || o == 9 || o == 29) {
      EXPECT_GT(l.rms_dbfs, -30.0);
    } else {
      EXPECT_GT(l.rms_dbfs, -24.0);
      if (o != 1 && o != 17) {
        lowest = std::min(lowest, l.rms_dbfs);
        highest = std::max(highest, l.rms_dbfs);
      }
    }
  }
  EXPECT_LT(highest - lowest, 6.0) << "sections from " << lowest << " to " << highest << " dBFS";
  // The breakdown fades through its order; the drop is at least as full as the first groove.
  EXPECT_LT(order_level(8, 48, 16).rms_dbfs, order_level(8, 0, 16).rms_dbfs - 6.0);
  EXPECT_GE(order_level(14).rms_dbfs, order_level(3).rms_dbfs);
}

TEST_F(Soundtrack, HasNoSilenceExceptAtTheEnd) {
  for (size_t window = 0; window < ORDERS * 8; ++window) {
    int order = static_cast<int>(window / 8), row = static_cast<int>(window % 8) * 8;
    if (order == 29 && row >= 56) continue;
    EXPECT_GT(measure_level(*audio_, window * 8 * ROW, 8 * ROW).rms_dbfs, -45.0) << "order " << order << " row " << row;
  }
  // The outro has faded out by row 62 and the module ends with its last row.
  EXPECT_LT(order_level(29, 62, 2).peak_dbfs, -45.0);
  EXPECT_LT(order_level(29, 63, 1).peak_dbfs, -70.0);
  EXPECT_GT(order_level(29, 0, 32).rms_dbfs, -30.0);
}

TEST_F(Soundtrack, AccentsFallWhereThePicturesChange) {
  // How much louder the first 10 ms of a row are than the 10 ms before it.
  auto onset = [](int order, int row) {
    size_t at = order * ORDER + row * ROW;
    return measure_level(*audio_, at, 441).rms_dbfs - measure_level(*audio_, at - 441, 441).rms_dbfs;
  };
  // Order 1: a hit every 8 rows, well above anything between.
  for (int r = 0; r < 64; r += 8) {
    double others = -100;
    for (int k = 1; k < 8; ++k) others = std::max(others, onset(1, r + k));
    EXPECT_GT(onset(1, r), 6.0) << "order 1 row " << r;
    EXPECT_GT(onset(1, r), others + 3.0) << "order 1 row " << r;
  }
  // Orders 27 and 28: hits on rows 0 and 1 of every 8, standing out from the rows off the beat.
  for (int o : {27, 28}) {
    double hits = 0, off_beat = 0;
    for (int r = 0; r < 64; r += 8) {
      EXPECT_GT(onset(o, r), 6.0) << "order " << o << " row " << r;
      EXPECT_GT(onset(o, r + 1), 2.5) << "order " << o << " row " << r + 1;
      hits += (onset(o, r) + onset(o, r + 1)) / 16.0;
      for (int k : {2, 3, 5, 6, 7}) off_beat += onset(o, r + k) / 40.0;
    }
    EXPECT_GT(hits, off_beat + 4.0) << "order " << o;
  }
}

TEST(SoundtrackCompiler, MakesTheSameBytesAgainAndReportsBadInput) {
  const std::string instruments = ORVEL_SOURCE_DIR "/assets/music/instruments.txt";
  const std::string song = ORVEL_SOURCE_DIR "/assets/music/song.txt";
  const std::string again = ORVEL_BUILD_DIR "/soundtrack_again.it";
  std::string printed;
  ASSERT_EQ(compile(instruments, song, again, printed), 0) << printed;
  EXPECT_EQ(read_file(again), read_file(MODULE));
  std::remove(again.c_str());

  struct Bad {
    const char* song;
    const char* message;
  };
  const Bad cases[] = {
      {"channel a\nline x lead\n  A4:4 H9:4\n", "song:3: 'H9' is not a note"},
      {"channel a\nbeat x\n  k...\npattern p\n  a x\norders\n  p\n", "song:3: no drum for the letter 'k'"},
      {"channel a\nline x lead\n  A4:40\npattern p\n  a x*2\norders\n  p\n", "song:5: 'x*2' runs to row 80"},
      {"channel a\nline x lead\n  C5:4 B4:4\npattern p\n  a x'2\norders\n  p\n",
       "song:5: 'x'2' plays note 74, above its instrument's top (72)"},
      {"channel a\npattern p\n  b _4\norders\n  p\n", "song:3: no channel 'b'"},
      {"channel a\npattern p\n  a _4\norders\n  q\n", "song:5: no pattern 'q'"},
      {"channel a\npattern p\n  a 0:V80\n", "song: no orders"},
      {"tempo 20\n", "song:1: '20' is not a whole number in 32..255"},
  };
  const std::string lead = write_temp("soundtrack_test_ins.txt", "lead wave base=C5\n");
  for (const Bad& bad : cases) {
    std::string path = write_temp("soundtrack_test_song.txt", bad.song);
    EXPECT_EQ(compile(lead, path, again, printed), 1) << bad.song;
    EXPECT_NE(printed.find(bad.message), std::string::npos) << printed;
    EXPECT_TRUE(read_file(again).empty()) << "no module after an error";
  }
  const std::string bad_instrument = write_temp("soundtrack_test_ins.txt", "lead wave base=C5 cutof=900\n");
  EXPECT_EQ(compile(bad_instrument, ORVEL_SOURCE_DIR "/assets/music/song.txt", again, printed), 1);
  EXPECT_NE(printed.find("instruments:1: lead: unknown parameter 'cutof'"), std::string::npos) << printed;
  const std::string low_top = write_temp("soundtrack_test_ins.txt", "lead wave base=C5 top=B4\n");
  EXPECT_EQ(compile(low_top, ORVEL_SOURCE_DIR "/assets/music/song.txt", again, printed), 1);
  EXPECT_NE(printed.find("instruments:1: lead: top must not lie below base"), std::string::npos) << printed;
}

namespace {
// A synthesised sample as stereo audio at full scale 1, padded to one spectrum window.
std::vector<float> sample_audio(const ItSample& sample) {
  std::vector<float> stereo;
  for (int16_t v : sample.pcm16) stereo.insert(stereo.end(), 2, v / 32768.0f);
  stereo.resize(std::max(stereo.size(), 2 * SPECTRUM_WINDOW), 0.0f);
  return stereo;
}
double energy_db(const Spectrum& s, double lo_hz, double hi_hz) {
  double sum = 0.0;
  for (size_t k = 0; k < s.power.size(); ++k) {
    double hz = static_cast<double>(k) * MIX_RATE / SPECTRUM_WINDOW;
    if (hz >= lo_hz && hz < hi_hz) sum += s.power[k];
  }
  return 10.0 * std::log10(sum + 1e-30);
}
}  // namespace

TEST(SoundtrackSynth, KeepsHarmonicsFromFoldingBackBelowNyquist) {
  // Square waves up in the top octave: the odd harmonics of each lie above Nyquist,
  // and anything below their fundamentals' lowest is what folded back.
  ItSample hats;
  ASSERT_EQ(synthesize("metal",
                       {{"tune", 30.0}, {"noise", 0.0}, {"hp", 20.0}, {"lp", 21000.0}, {"decay", 1.0}, {"length", 0.5}},
                       hats),
            "");
  Spectrum s = measure_spectrum(sample_audio(hats), 0, SPECTRUM_WINDOW, -200.0);
  ASSERT_EQ(s.windows, 1);
  const double lowest = 205.3 * 30.0;  // the six fundamentals run from 6.2 to 24 kHz
  EXPECT_LT(energy_db(s, 20.0, lowest - 200.0), energy_db(s, lowest - 200.0, 22050.0) - 50.0);

  // A looped voice played an octave above its base keeps its partials below 18 kHz there.
  ItSample lead;
  ASSERT_EQ(synthesize("wave", {{"base", 72.0}, {"top", 84.0}, {"shape", 0.5}, {"cutoff", 20000.0}}, lead), "");
  s = measure_spectrum(sample_audio(lead), 0, SPECTRUM_WINDOW, -200.0);
  EXPECT_LT(energy_db(s, 9100.0, 22050.0), energy_db(s, 20.0, 9100.0) - 80.0);
  EXPECT_GT(energy_db(s, 8000.0, 9100.0), energy_db(s, 20.0, 9100.0) - 40.0) << "and up to there";
}

namespace {
// Stereo test signals: the same tones in both channels, amplitudes in full scale,
// faded in and out over 10 ms (a step would have true peaks of its own).
struct Tone {
  double hz, amplitude, phase = 0.0;
};
std::vector<float> tones(const std::vector<Tone>& parts, double seconds) {
  const size_t frames = static_cast<size_t>(seconds * MIX_RATE), fade = MIX_RATE / 100;
  std::vector<float> stereo(2 * frames);
  for (size_t i = 0; i < frames; ++i) {
    double v = 0.0;
    for (const Tone& t : parts) v += t.amplitude * std::sin(2.0 * M_PI * t.hz * i / MIX_RATE + t.phase);
    size_t edge = std::min(i, frames - 1 - i);
    if (edge < fade) v *= 0.5 - 0.5 * std::cos(M_PI * edge / fade);
    stereo[2 * i] = stereo[2 * i + 1] = static_cast<float>(v);
  }
  return stereo;
}
double db_to_amplitude(double db) { return std::pow(10.0, db / 20.0); }
}  // namespace

TEST(MixMeter, WeighsBandsAgainstTheMidsAndLeavesQuietWindowsOut) {
  const double a = 0.1;
  std::vector<float> s = tones(
      {{1000, a}, {100, a * db_to_amplitude(6)}, {8000, a * db_to_amplitude(-30)}, {15000, a * db_to_amplitude(-20)}},
      3.0);
  BandBalance b = band_balance(measure_spectrum(s, 0, s.size() / 2));
  EXPECT_NEAR(b.low, 6.0, 0.2);
  EXPECT_LT(b.upper, -60.0);  // nothing there but the window's leakage
  EXPECT_NEAR(b.high, -30.0, 0.2);
  EXPECT_NEAR(b.air, -20.0, 0.2);
  EXPECT_NEAR(band_db(measure_spectrum(s, 0, s.size() / 2), 14000, 16000), -20.0, 0.2);

  // Windows below the gate count for nothing, even when their top octave is loud;
  // a range shorter than a window has none.
  std::vector<float> quiet = tones({{1000, 0.005}, {15000, 0.005}}, 3.0), both = s;
  EXPECT_LT(rms_dbfs(quiet, 0, quiet.size() / 2), SPECTRUM_GATE_DBFS);
  EXPECT_EQ(measure_spectrum(quiet, 0, quiet.size() / 2).windows, 0);
  both.insert(both.end(), quiet.begin(), quiet.end());
  EXPECT_NEAR(band_balance(measure_spectrum(both, 0, both.size() / 2)).air, -20.0, 0.2);
  Spectrum none = measure_spectrum(s, 100, SPECTRUM_WINDOW - 1);
  EXPECT_EQ(none.windows, 0);
  EXPECT_EQ(band_db(none, 11000, 20000), -200.0);
  EXPECT_EQ(measure_spectrum(s, s.size(), 1000000).windows, 0) << "a range past the end";
}

TEST(MixMeter, MeasuresLoudnessAndTruePeakAsBroadcastersDo) {
  // A 1 kHz sine at -23 dBFS in both channels reads -23 LUFS; silence and a passage
  // 20 dB quieter are gated out of the integration.
  std::vector<float> s = tones({{1000, db_to_amplitude(-23)}}, 10.0);
  EXPECT_NEAR(integrated_loudness(s), -23.0, 0.1);
  std::vector<float> longer = s, quieter = tones({{1000, db_to_amplitude(-43)}}, 5.0);
  longer.insert(longer.end(), quieter.begin(), quieter.end());
  longer.insert(longer.end(), 2 * 5 * MIX_RATE, 0.0f);
  EXPECT_NEAR(integrated_loudness(longer), -23.0, 0.1);
  EXPECT_EQ(integrated_loudness(std::vector<float>(2 * MIX_RATE, 0.0f)), -200.0);
  // Higher frequencies weigh more: the shelf adds 3.3 dB at 10 kHz against 1 kHz.
  EXPECT_NEAR(integrated_loudness(tones({{10000, db_to_amplitude(-23)}}, 10.0)), -23.0 + 3.3, 0.15);

  // A quarter-rate sine sampled 45 degrees off its crests: every sample is 3 dB below
  // the peak between them.
  std::vector<float> between = tones({{MIX_RATE / 4.0, 0.5, M_PI / 4}}, 1.0);
  EXPECT_NEAR(rms_dbfs(between, MIX_RATE / 50, MIX_RATE / 2), 20.0 * std::log10(0.5 / std::sqrt(2.0)), 0.01);
  EXPECT_NEAR(true_peak_dbtp(between), 20.0 * std::log10(0.5), 0.1);
  EXPECT_NEAR(true_peak_dbtp(tones({{1000, 0.25}}, 1.0)), 20.0 * std::log10(0.25), 0.05);
  EXPECT_EQ(true_peak_dbtp(std::vector<float>(1000, 0.0f)), -200.0);
}

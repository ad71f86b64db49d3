// The Impulse Tracker writer, checked by loading and playing what it writes with libopenmpt.
#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.h>

#include <cmath>
#include <cstdio>
#include <set>
#include <utility>

#include "support/module_probe.h"
#include "tools/itwriter/itwriter.h"
#include "tools/read_file.h"

namespace {

constexpr double ROW_SECONDS = 0.12;  // speed 6, tempo 125

struct Loaded {
  ProbedModule p;
  explicit Loaded(const ItModule& m) {
    std::vector<uint8_t> bytes = it_write(m);
    EXPECT_FALSE(bytes.empty()) << it_check(m);
    p = probe_module(bytes);
  }
  ~Loaded() { release_module(p); }
  openmpt_module* mod() const { return p.mod; }
};

void expect_clean(const Loaded& l) {
  ASSERT_NE(l.mod(), nullptr);
  EXPECT_TRUE(l.p.warnings.empty()) << l.p.warnings;
  for (const std::string& line : l.p.log) ADD_FAILURE() << "libopenmpt logged: " << line;
}

std::string cell_text(openmpt_module* mod, int pattern, int row, int channel, int command) {
  const char* s = openmpt_module_format_pattern_row_channel_command(mod, pattern, row, channel, command);
  std::string out = s ? s : "";
  if (s) openmpt_free_string(s);
  return out;
}

// One looped sine cycle set: `cycles` periods in `length` frames, so C-5 at
// 44100 Hz plays cycles * 44100 / length Hz.
ItSample sine_sample(int bits, int length, int cycles, double amplitude) {
  ItSample s;
  s.name = bits == 16 ? "sine16" : "sine8";
  s.bits = bits;
  for (int i = 0; i < length; ++i) {
    double v = amplitude * std::sin(2.0 * 3.14159265358979 * cycles * i / length);
    if (bits == 16)
      s.pcm16.push_back(static_cast<int16_t>(std::lround(v * 32767.0)));
    else
      s.pcm8.push_back(static_cast<int8_t>(std::lround(v * 127.0)));
  }
  s.loop = true;
  s.loop_start = 0;
  s.loop_end = static_cast<uint32_t>(length);
  return s;
}

// A module that holds one note of sample 1 from row 0 of a single pattern.
ItModule held_note_module(const ItSample& sample, int rows) {
  ItModule m = it_module("held", 1);
  m.samples = {sample};
  ItPattern p = it_pattern(rows, 1);
  p.cells[0][0] = {IT_NOTE_C5, 1, 64, 0, 0};
  m.patterns = {p};
  m.orders = {0};
  return m;
}

int zero_crossings(const std::vector<int16_t>& stereo, size_t first_frame, size_t frames) {
  int n = 0;
  for (size_t i = first_frame + 1; i < first_frame + frames && 2 * i < stereo.size(); ++i)
    if ((stereo[2 * i - 2] < 0) != (stereo[2 * i] < 0)) ++n;
  return n;
}

}  // namespace

TEST(ItWriter, TestModuleHasTheShapeAskedFor) {
  struct Shape {
    int orders, rows, speed, tempo;
  };
  for (Shape s : {Shape{3, 32, 4, 150}, Shape{1, 64, 6, 125}, Shape{7, 17, 3, 90}}) {
    Loaded l(make_test_module(s.orders, s.rows, s.speed, s.tempo));
    expect_clean(l);
    EXPECT_EQ(openmpt_module_get_num_orders(l.mod()), s.orders);
    EXPECT_EQ(openmpt_module_get_num_patterns(l.mod()), s.orders);
    for (int o = 0; o < s.orders; ++o) {
      EXPECT_EQ(openmpt_module_get_order_pattern(l.mod(), o), o);
      EXPECT_EQ(openmpt_module_get_pattern_num_rows(l.mod(), o), s.rows);
    }
    EXPECT_EQ(openmpt_module_get_current_speed(l.mod()), s.speed);
    EXPECT_EQ(openmpt_module_get_current_tempo(l.mod()), s.tempo);
    // libopenmpt times ticks in whole frames at 48 kHz.
    const int ticks = s.orders * s.rows * s.speed;
    EXPECT_NEAR(openmpt_module_get_duration_seconds(l.mod()), it_rows_seconds(s.orders * s.rows, s.speed, s.tempo),
                ticks / 48000.0 + 0.001);
  }
}

TEST(ItWriter, CellsSurviveThePacking) {
  // Repeated values on a channel take the packing's "same as last" paths.
  ItModule m = it_module("cells", 4);
  m.samples = {sine_sample(16, 100, 1, 0.5), sine_sample(8, 100, 1, 0.5)};
  ItPattern p = it_pattern(8, 4);
  p.cells[0][0] = {60, 1, 64, IT_FX_SET_SPEED, 6};
  p.cells[1][0] = {60, 1, 64, IT_FX_SET_SPEED, 6};
  p.cells[2][0] = {62, 2, 32, IT_FX_VOLUME_SLIDE, 0x04};
  p.cells[3][0] = {IT_NOTE_OFF, 0, IT_VOLUME_NONE, 0, 0};
  p.cells[4][0] = {62, 2, 32, IT_FX_VOLUME_SLIDE, 0x04};
  p.cells[0][3] = {IT_NOTE_NONE, 0, IT_VOLUME_NONE, IT_FX_SET_TEMPO, 0x80};
  p.cells[5][3] = {IT_NOTE_CUT, 0, IT_VOLUME_NONE, 0, 0};
  p.cells[6][2] = {119, 2, 0, IT_FX_VIBRATO, 0x44};
  p.cells[7][1] = {0, 1, IT_VOLUME_NONE, IT_FX_PATTERN_BREAK, 0};
  m.patterns = {p};
  m.orders = {0};
  Loaded l(m);
  expect_clean(l);
  ASSERT_EQ(openmpt_module_get_num_channels(l.mod()), 4);

  struct Expect {
    int row, channel;
    const char *note, *instrument;
    int volume;
    const char* effect;
  };
  const Expect expects[] = {
      {0, 0, "C-5", "01", 64, "A06"}, {1, 0, "C-5", "01", 64, "A06"}, {2, 0, "D-5", "02", 32, "D04"},
      {3, 0, "===", "..", -1, "..."}, {4, 0, "D-5", "02", 32, "D04"}, {0, 3, "...", "..", -1, "T80"},
      {5, 3, "^^^", "..", -1, "..."}, {6, 2, "B-9", "02", 0, "H44"},  {7, 1, "C-0", "01", -1, "C00"},
      {1, 1, "...", "..", -1, "..."},
  };
  for (const Expect& e : expects) {
    SCOPED_TRACE(testing::Message() << "row " << e.row << " channel " << e.channel);
    EXPECT_EQ(cell_text(l.mod(), 0, e.row, e.channel, OPENMPT_MODULE_COMMAND_NOTE), e.note);
    EXPECT_EQ(cell_text(l.mod(), 0, e.row, e.channel, OPENMPT_MODULE_COMMAND_INSTRUMENT), e.instrument);
    if (e.volume < 0) {
      EXPECT_EQ(openmpt_module_get_pattern_row_channel_command(l.mod(), 0, e.row, e.channel,
                                                               OPENMPT_MODULE_COMMAND_VOLUMEEFFECT),
                0);
    } else {
      EXPECT_EQ(cell_text(l.mod(), 0, e.row, e.channel, OPENMPT_MODULE_COMMAND_VOLUMEEFFECT), "v");
      EXPECT_EQ(
          openmpt_module_get_pattern_row_channel_command(l.mod(), 0, e.row, e.channel, OPENMPT_MODULE_COMMAND_VOLUME),
          e.volume);
    }
    EXPECT_EQ(cell_text(l.mod(), 0, e.row, e.channel, OPENMPT_MODULE_COMMAND_EFFECT) +
                  cell_text(l.mod(), 0, e.row, e.channel, OPENMPT_MODULE_COMMAND_PARAMETER),
              e.effect);
  }
}

TEST(ItWriter, JumpsBreaksSpeedAndTempoSteerPlayback) {
  // Four orders of 16 rows. Order 0 breaks to row 8 of order 1 at its row 7;
  // order 1 jumps to order 3 at its row 15, so order 2 never plays.
  ItModule m = make_test_module(4, 16, 6, 125);
  m.patterns[0].cells[7][0].effect = IT_FX_PATTERN_BREAK;
  m.patterns[0].cells[7][0].param = 8;
  m.patterns[1].cells[15][0].effect = IT_FX_POSITION_JUMP;
  m.patterns[1].cells[15][0].param = 3;
  {
    Loaded l(m);
    expect_clean(l);
    EXPECT_NEAR(openmpt_module_get_duration_seconds(l.mod()), (8 + 8 + 16) * ROW_SECONDS, 0.002);

    std::set<std::pair<int, int>> seen;
    int16_t block[2 * 256];
    while (openmpt_module_read_interleaved_stereo(l.mod(), 44100, 256, block) > 0)
      seen.insert({openmpt_module_get_current_order(l.mod()), openmpt_module_get_current_row(l.mod())});
    EXPECT_TRUE(seen.count({0, 7}));
    EXPECT_FALSE(seen.count({0, 8}));
    EXPECT_FALSE(seen.count({1, 7}));
    EXPECT_TRUE(seen.count({1, 8}));
    for (int r = 0; r < 16; ++r) EXPECT_FALSE(seen.count({2, r})) << "order 2 row " << r;
    EXPECT_TRUE(seen.count({3, 15}));
  }

  // Speed 3 from the first row and tempo 100 from row 4 of order 3.
  m.patterns[0].cells[0][0].effect = IT_FX_SET_SPEED;
  m.patterns[0].cells[0][0].param = 3;
  m.patterns[3].cells[4][0].effect = IT_FX_SET_TEMPO;
  m.patterns[3].cells[4][0].param = 100;
  Loaded l(m);
  expect_clean(l);
  double expected = it_rows_seconds(8 + 8 + 4, 3, 125) + it_rows_seconds(12, 3, 100);
  EXPECT_NEAR(openmpt_module_get_duration_seconds(l.mod()), expected, 0.002);
}

TEST(ItWriter, EightAndSixteenBitSamplesSoundAlike) {
  // 441 Hz: 1 cycle in 100 frames at 44.1 kHz.
  Level levels[2];
  for (int i = 0; i < 2; ++i) {
    int bits = i == 0 ? 8 : 16;
    SCOPED_TRACE(bits);
    Loaded l(held_note_module(sine_sample(bits, 100, 1, 0.9), 16));
    expect_clean(l);
    std::vector<int16_t> audio = render_stereo(l.mod(), 1.0, 0);
    ASSERT_GE(audio.size(), 2u * 44100u);
    levels[i] = measure_level(audio, 4410, 22050);
    EXPECT_GT(levels[i].rms_dbfs, -40.0);
    // A wrong byte order or sign turns the sine into noise: count its zero crossings.
    EXPECT_NEAR(zero_crossings(audio, 4410, 22050), 441, 10);
  }
  EXPECT_NEAR(levels[0].rms_dbfs, levels[1].rms_dbfs, 0.5);
}

TEST(ItWriter, VolumeSlideAndInstrumentEnvelopeShapeTheSound) {
  const ItSample tone = sine_sample(16, 100, 1, 0.9);
  {
    // D0F from row 4: fifteen down per tick after the first, silent within a row.
    ItModule m = held_note_module(tone, 16);
    for (int r = 4; r < 16; ++r)
      m.patterns[0].cells[r][0] = {IT_NOTE_NONE, 0, IT_VOLUME_NONE, IT_FX_VOLUME_SLIDE, 0x0F};
    Loaded l(m);
    expect_clean(l);
    std::vector<int16_t> audio = render_stereo(l.mod(), 2.0, 0);
    const size_t row = 5292;
    EXPECT_GT(measure_level(audio, 1 * row, row).rms_dbfs, -30.0);
    EXPECT_LT(measure_level(audio, 6 * row, 8 * row).peak_dbfs, -80.0);
  }
  {
    // Instrument mode: a sustained envelope that releases over 24 ticks after the note-off at row 4.
    ItModule m = held_note_module(tone, 16);
    ItInstrument ins;
    ins.name = "enveloped";
    ins.sample = 1;
    ins.volume_envelope.enabled = true;
    ins.volume_envelope.sustain = true;
    ins.volume_envelope.nodes = {{0, 64}, {6, 64}, {30, 0}};
    ins.volume_envelope.sustain_start = ins.volume_envelope.sustain_end = 1;
    m.instruments = {ins};
    m.patterns[0].cells[4][0] = {IT_NOTE_OFF, 0, IT_VOLUME_NONE, 0, 0};
    Loaded l(m);
    expect_clean(l);
    EXPECT_EQ(openmpt_module_get_num_instruments(l.mod()), 1);
    std::vector<int16_t> audio = render_stereo(l.mod(), 2.0, 0);
    const size_t row = 5292;
    EXPECT_GT(measure_level(audio, 2 * row, row).rms_dbfs, -30.0);  // held at the sustain point
    Level releasing = measure_level(audio, 5 * row, row);
    EXPECT_LT(releasing.rms_dbfs, measure_level(audio, 2 * row, row).rms_dbfs - 2.0);
    EXPECT_GT(releasing.rms_dbfs, -60.0);
    EXPECT_LT(measure_level(audio, 9 * row, 6 * row).peak_dbfs, -80.0);  // released by row 9
  }
}

TEST(ItWriter, RejectsWhatItCannotWrite) {
  auto broken = [](auto change) {
    ItModule m = make_test_module(2, 16, 6, 125);
    change(m);
    return m;
  };
  const ItModule cases[] = {
      broken([](ItModule& m) { m.orders.push_back(5); }),
      broken([](ItModule& m) { m.orders.clear(); }),
      broken([](ItModule& m) { m.orders.assign(256, 0); }),
      broken([](ItModule& m) { m.patterns[1] = it_pattern(0, 1); }),
      broken([](ItModule& m) { m.patterns[1] = it_pattern(201, 1); }),
      broken([](ItModule& m) { m.patterns[1].cells[3].resize(2); }),
      broken([](ItModule& m) { m.patterns[0].cells[0][0].note = 130; }),
      broken([](ItModule& m) { m.patterns[0].cells[0][0].instrument = 3; }),
      broken([](ItModule& m) { m.patterns[0].cells[0][0].effect = 27; }),
      broken([](ItModule& m) { m.samples[0].pcm16.clear(); }),
      broken([](ItModule& m) { m.samples[1].bits = 12; }),
      broken([](ItModule& m) {
        m.samples[0].loop = true;
        m.samples[0].loop_start = 10;
        m.samples[0].loop_end = 100000;
      }),
      broken([](ItModule& m) { m.speed = 0; }),
      broken([](ItModule& m) { m.tempo = 31; }),
      broken([](ItModule& m) { m.channels = 65; }),
      broken([](ItModule& m) {
        ItInstrument ins;
        ins.volume_envelope.enabled = true;
        ins.volume_envelope.nodes = {{0, 64}, {0, 0}};
        m.instruments = {ins, ins};
      }),
  };
  for (const ItModule& m : cases) {
    EXPECT_FALSE(it_check(m).empty());
    EXPECT_TRUE(it_write(m).empty());
  }
  EXPECT_EQ(it_write_file(cases[0], ORVEL_BUILD_DIR "/itwriter_rejected.it"), 1);
  EXPECT_EQ(std::fopen(ORVEL_BUILD_DIR "/itwriter_rejected.it", "rb"), nullptr);
  EXPECT_EQ(it_write_file(make_test_module(1, 8, 6, 125), "/nonexistent-folder/x.it"), 1);
  EXPECT_TRUE(it_check(make_test_module(2, 16, 6, 125)).empty());
}

TEST(ItWriter, SyncTrackFixtureHasItsShapeAndAccents) {
  ProbedModule p = probe_module(read_file(ORVEL_BUILD_DIR "/fixtures/synctrack.it"));
  ASSERT_NE(p.mod, nullptr) << "fixtures/synctrack.it is missing or unreadable";
  EXPECT_TRUE(p.warnings.empty()) << p.warnings;
  EXPECT_TRUE(p.log.empty());
  EXPECT_EQ(openmpt_module_get_num_orders(p.mod), 30);
  for (int o = 0; o < 30; ++o)
    EXPECT_EQ(openmpt_module_get_pattern_num_rows(p.mod, openmpt_module_get_order_pattern(p.mod, o)), 64);
  EXPECT_NEAR(openmpt_module_get_duration_seconds(p.mod), 230.4, 0.005);

  // Every row starts with a click; the accent rows are the loudest.
  std::vector<int16_t> audio = render_stereo(p.mod, 3 * 64 * ROW_SECONDS, -250);
  const size_t row = 5292;
  for (int r = 0; r < 3 * 64; ++r) {
    Level onset = measure_level(audio, r * row, 441);
    Level tail = measure_level(audio, r * row + 2646, 2646);
    EXPECT_GT(onset.peak_dbfs, r % 8 == 0 ? -16.0 : -24.0) << "row " << r;
    if (r % 8 != 0) {
      EXPECT_LT(onset.rms_dbfs, measure_level(audio, (r - r % 8) * row, 441).rms_dbfs - 3.0) << "row " << r;
    }
    EXPECT_LT(tail.peak_dbfs, -60.0) << "row " << r;  // each click is short
  }
  release_module(p);
}

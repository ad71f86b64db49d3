// A writer of Impulse Tracker modules: the header, order list, optional
// instruments with volume envelopes, 8- or 16-bit mono samples (as they are or
// compressed) and packed patterns. The build makes the sync test track and the
// soundtrack with it; tests make small modules of known shape.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

constexpr int IT_MAX_CHANNELS = 64;
constexpr int IT_MAX_ROWS = 200;
constexpr int IT_MAX_PATTERNS = 200;
constexpr int IT_MAX_ORDERS = 255;  // the order list's end mark takes one more byte
constexpr int IT_MAX_SAMPLES = 99;
constexpr int IT_MAX_INSTRUMENTS = 99;
constexpr int IT_MAX_ENVELOPE_NODES = 25;

// Cell values. A note is 0..119 (C-0 .. B-9, C-5 = 60), or one of the marks below.
constexpr int IT_NOTE_NONE = -1;
constexpr int IT_NOTE_OFF = 255;
constexpr int IT_NOTE_CUT = 254;
constexpr int IT_NOTE_FADE = 246;
constexpr int IT_NOTE_C5 = 60;
constexpr int IT_VOLUME_NONE = -1;  // otherwise the raw volume column byte, 0..64 sets the volume
constexpr int IT_ORDER_SKIP = 254;  // "+++" in the order list

// Effect letters as the format numbers them: A = 1 ... Z = 26.
constexpr int it_effect(char letter) { return letter - 'A' + 1; }
constexpr int IT_FX_SET_SPEED = it_effect('A');
constexpr int IT_FX_POSITION_JUMP = it_effect('B');
constexpr int IT_FX_PATTERN_BREAK = it_effect('C');
constexpr int IT_FX_VOLUME_SLIDE = it_effect('D');
constexpr int IT_FX_PORTA_DOWN = it_effect('E');
constexpr int IT_FX_PORTA_UP = it_effect('F');
constexpr int IT_FX_TONE_PORTA = it_effect('G');
constexpr int IT_FX_VIBRATO = it_effect('H');
constexpr int IT_FX_ARPEGGIO = it_effect('J');
constexpr int IT_FX_SAMPLE_OFFSET = it_effect('O');
constexpr int IT_FX_RETRIGGER = it_effect('Q');
constexpr int IT_FX_SPECIAL = it_effect('S');
constexpr int IT_FX_SET_TEMPO = it_effect('T');
constexpr int IT_FX_GLOBAL_VOLUME = it_effect('V');
constexpr int IT_FX_GLOBAL_VOLUME_SLIDE = it_effect('W');
constexpr int IT_FX_SET_PAN = it_effect('X');

struct ItCell {
  int note = IT_NOTE_NONE;
  int instrument = 0;  // 1-based; 0 = none
  int volume = IT_VOLUME_NONE;
  int effect = 0;  // 0 = none
  int param = 0;
};

struct ItPattern {
  int rows = 64;
  std::vector<std::vector<ItCell>> cells;  // cells[row][channel]
};

struct ItSample {
  std::string name;
  int bits = 16;  // 8 or 16: selects pcm8 or pcm16
  std::vector<int16_t> pcm16;
  std::vector<int8_t> pcm8;
  bool compressed = false;   // stored with the format's lossless sample compression (itpack.h)
  uint32_t c5speed = 44100;  // playback rate of note C-5
  bool loop = false;
  bool pingpong = false;
  uint32_t loop_start = 0;
  uint32_t loop_end = 0;   // one past the last looped sample
  int volume = 64;         // default volume 0..64
  int global_volume = 64;  // 0..64
  int pan = -1;            // default pan 0..64, -1 = none
  // Auto-vibrato: speed 0..64, depth 0..64 (0 = off), sweep rate 0..255, type 0 sine .. 3 random.
  int vibrato_speed = 0, vibrato_depth = 0, vibrato_rate = 0, vibrato_type = 0;
};

struct ItEnvelopeNode {
  int tick = 0;
  int value = 0;  // 0..64 for volume
};

struct ItEnvelope {
  bool enabled = false;
  bool loop = false;
  bool sustain = false;
  int loop_start = 0, loop_end = 0;        // node indices
  int sustain_start = 0, sustain_end = 0;  // node indices
  std::vector<ItEnvelopeNode> nodes;
};

// New note actions.
constexpr int IT_NNA_CUT = 0;
constexpr int IT_NNA_CONTINUE = 1;
constexpr int IT_NNA_OFF = 2;
constexpr int IT_NNA_FADE = 3;

struct ItInstrument {
  std::string name;
  int sample = 1;  // 1-based sample played over the whole keyboard
  int new_note_action = IT_NNA_CUT;
  int fadeout = 0;          // 0..1024
  int global_volume = 128;  // 0..128
  int pan = -1;             // 0..64, -1 = none
  ItEnvelope volume_envelope;
};

struct ItModule {
  std::string name;
  int speed = 6;
  int tempo = 125;
  int global_volume = 128;  // 0..128
  int mix_volume = 48;      // 0..128
  int separation = 128;     // 0..128
  bool stereo = true;
  bool linear_slides = true;
  int channels = 1;                                   // channels in use; the rest are written as disabled
  std::array<int, IT_MAX_CHANNELS> channel_pan{};     // 0..64; filled with 32 by it_module()
  std::array<int, IT_MAX_CHANNELS> channel_volume{};  // 0..64; filled with 64 by it_module()
  std::vector<int> orders;                            // pattern indices or IT_ORDER_SKIP, without the end mark
  std::vector<ItSample> samples;
  std::vector<ItInstrument> instruments;  // empty: the module plays in sample mode
  std::vector<ItPattern> patterns;
};

// A module with the defaults above and centred, full-volume channels.
ItModule it_module(const std::string& name, int channels);
// An empty pattern of the given size.
ItPattern it_pattern(int rows, int channels);

// Empty when the module can be written; otherwise what is wrong with it.
std::string it_check(const ItModule& module);
// The file's bytes, or an empty vector when it_check finds a fault.
std::vector<uint8_t> it_write(const ItModule& module);
// 0 when the file was written, 1 when the module is invalid or the file could not be written.
int it_write_file(const ItModule& module, const std::string& path);

// Test modules: `orders` orders (order i plays pattern i) of `rows` rows, one channel
// with a click on every row, louder and lower on every 8th row. Sample 1 is the
// click (16-bit), sample 2 the accent (8-bit).
ItModule make_test_module(int orders, int rows, int speed, int tempo);
// Seconds that a module of `rows` rows in all lasts at constant speed and tempo.
double it_rows_seconds(int rows, int speed, int tempo);

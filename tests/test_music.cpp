// The music clock on the program's own player: loading and refusing files, the offline
// clock, the end of the module, and the live clock with and without an audio device.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "image/bytes.h"
#include "music/music.h"
#include "support/run_program.h"
#include "tools/itwriter/itwriter.h"

namespace {

constexpr int ROW_SAMPLES = 5292;  // speed 6, tempo 125: 0.12 s at 44.1 kHz

std::string write_module(const std::string& name, const ItModule& module) {
  const std::string path = scratch_dir("music") + "/" + name;
  EXPECT_EQ(it_write_file(module, path), 0);
  return path;
}

void use_offline(int fps, const char* wav = nullptr) {
  SoundSettings s;
  s.mode = SoundMode::Offline;
  s.fps = fps;
  s.wav_path = wav;
  music_configure(s);
}

void read(MusicPosition* p) {
  music_position(&p->row, &p->order);
  p->time = music_time();
}

}  // namespace

TEST(MusicFiles, BrokenModulesAreRefused) {
  use_offline(60);
  const std::string dir = scratch_dir("broken");
  EXPECT_EQ(music_init((dir + "/missing.it").c_str()), 1);
  music_free();

  write_bytes(dir + "/empty.it", {});
  EXPECT_EQ(music_init((dir + "/empty.it").c_str()), 1);
  music_free();

  std::vector<unsigned char> noise(20000);
  uint32_t s = 12345;
  for (auto& b : noise) b = static_cast<unsigned char>((s = s * 1103515245 + 12345) >> 16);
  write_bytes(dir + "/noise.it", noise);
  EXPECT_EQ(music_init((dir + "/noise.it").c_str()), 1);
  music_free();

  const std::vector<uint8_t> whole = it_write(make_test_module(3, 16, 6, 125));
  ASSERT_GT(whole.size(), 400u);
  write_bytes(dir + "/whole.it", std::vector<unsigned char>(whole.begin(), whole.end()));
  EXPECT_EQ(music_init((dir + "/whole.it").c_str()), 0);
  music_free();
  // Cut anywhere, from inside the header to the last byte of sample data.
  for (size_t cut : {size_t{4}, size_t{100}, size_t{0xC0}, whole.size() / 2, whole.size() - 1}) {
    write_bytes(dir + "/cut.it", std::vector<unsigned char>(whole.begin(), whole.begin() + cut));
    EXPECT_EQ(music_init((dir + "/cut.it").c_str()), 1) << "cut at " << cut;
    music_free();
  }
}

TEST(MusicFiles, CompressedSamplesAreRefusedWhenAnyBlockIsCut) {
  use_offline(60);
  const std::string dir = scratch_dir("packed");
  for (int bits : {8, 16}) {
    SCOPED_TRACE(bits);
    // The test module's click and accent, then a tone of four blocks, all compressed.
    ItModule m = make_test_module(2, 16, 6, 125);
    ItSample tone;
    tone.bits = bits;
    const int length = (bits == 16 ? 3 * 0x4000 : 3 * 0x8000) + 500;
    for (int i = 0; i < length; ++i) {
      const double v = std::sin(i * 0.0713);
      if (bits == 16)
        tone.pcm16.push_back(static_cast<int16_t>(std::lround(20000.0 * v)));
      else
        tone.pcm8.push_back(static_cast<int8_t>(std::lround(80.0 * v)));
    }
    m.samples.push_back(tone);
    for (ItSample& s : m.samples) s.compressed = true;
    const std::vector<uint8_t> whole = it_write(m);
    ASSERT_FALSE(whole.empty());
    write_bytes(dir + "/whole.it", std::vector<unsigned char>(whole.begin(), whole.end()));
    EXPECT_EQ(music_init((dir + "/whole.it").c_str()), 0);
    music_free();

    // Where the tone's blocks begin, from its header: the data is the file's last.
    auto u32 = [&](size_t at) { return load_le32(&whole[at]); };
    const size_t tone_header = u32(0xC0 + m.orders.size() + 1 + 4 * 2);
    ASSERT_EQ(u32(tone_header + 0x30), static_cast<uint32_t>(length));
    std::vector<size_t> starts;
    for (size_t at = u32(tone_header + 0x48); at < whole.size(); at += 2 + load_le16(&whole[at])) starts.push_back(at);
    ASSERT_EQ(starts.size(), 4u);

    // Cut between two blocks, inside a length, just after one, inside the data.
    for (size_t cut : {starts[1], starts[3], starts[2] + 1, starts[2] + 2, starts[2] + 500, whole.size() - 1}) {
      write_bytes(dir + "/cut.it", std::vector<unsigned char>(whole.begin(), whole.begin() + cut));
      EXPECT_EQ(music_init((dir + "/cut.it").c_str()), 1) << "cut at " << cut << " of " << whole.size();
      music_free();
    }
    // An empty block decodes nothing: the tone would lack its last block.
    std::vector<unsigned char> empty_block(whole.begin(), whole.end());
    empty_block[starts[1]] = empty_block[starts[1] + 1] = 0;
    write_bytes(dir + "/empty_block.it", empty_block);
    EXPECT_EQ(music_init((dir + "/empty_block.it").c_str()), 1);
    music_free();
  }
}

TEST(MusicFiles, CallbacksWrapTheStandardStream) {
  const std::string dir = scratch_dir("callbacks");
  write_bytes(dir + "/ten.bin", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  EXPECT_EQ(music_file_open((dir + "/none.bin").c_str()), nullptr);
  void* f = music_file_open((dir + "/ten.bin").c_str());
  ASSERT_NE(f, nullptr);
  unsigned char buf[16] = {};
  EXPECT_EQ(music_file_read(buf, 4, f), 4);
  EXPECT_EQ(buf[3], 4);
  EXPECT_EQ(music_file_tell(f), 4);
  EXPECT_EQ(music_file_seek(f, 0, 2), 0);
  EXPECT_EQ(music_file_tell(f), 10);
  EXPECT_EQ(music_file_read(buf, 16, f), 0);
  EXPECT_EQ(music_file_seek(f, -3, 1), 0);
  EXPECT_EQ(music_file_read(buf, 16, f), 3);
  EXPECT_NE(music_file_seek(f, -1, 0), 0);
  music_file_close(f);

  // The module path is written with a backslash.
  const std::string sub = dir + "/musica";
  std::filesystem::create_directories(sub);
  write_bytes(sub + "/x.it", {42});
  f = music_file_open((dir + "/musica\\x.it").c_str());
  ASSERT_NE(f, nullptr);
  music_file_close(f);

  void* block = music_mem_alloc(64);
  ASSERT_NE(block, nullptr);
  block = music_mem_realloc(block, 4096);
  ASSERT_NE(block, nullptr);
  music_mem_free(block);
}

TEST(MusicOffline, TheClockFollowsTheModuleFrameByFrame) {
  const std::string path = write_module("offline.it", make_test_module(4, 16, 6, 125));
  const std::string wav = scratch_dir("wav") + "/offline.wav";
  use_offline(50, wav.c_str());
  ASSERT_EQ(music_init(path.c_str()), 0);
  EXPECT_EQ(music_output(), SoundOutput::Offline);
  music_start();
  music_set_order(0);
  MusicPosition p{};
  read(&p);
  EXPECT_EQ(p.order, 0);
  EXPECT_EQ(p.row, 0);
  EXPECT_EQ(p.time, 0);

  // 4 orders of 16 rows: 7.68 s, 384 frames at 50 fps; run past the end.
  int frames = 0;
  for (; frames < 500; ++frames) {
    music_frame_presented();
    read(&p);
    const int64_t sample = int64_t{frames + 1} * 44100 / 50;
    ASSERT_EQ(p.time, sample * 1000 / 44100) << frames;
    const int64_t row = sample / ROW_SAMPLES;  // the row that holds the sample
    if (row < 64) {
      ASSERT_EQ(p.order, row / 16) << frames;
      ASSERT_EQ(p.row, row % 16) << frames;
    } else {
      ASSERT_EQ(p.order, 255) << "after the end the order is the list's end mark";
    }
  }
  // Jumping to an order takes effect at once offline.
  music_set_order(2);
  read(&p);
  EXPECT_EQ(p.order, 2);
  EXPECT_EQ(p.row, 0);
  EXPECT_EQ(music_set_order(9), 0);
  music_stop();
  music_free();
  EXPECT_TRUE(music_wav_ok());
  // The WAV holds exactly the audio of the frames presented before the jump.
  std::ifstream in(wav, std::ios::binary | std::ios::ate);
  EXPECT_EQ(static_cast<int64_t>(in.tellg()), 44 + int64_t{500} * 44100 / 50 * 4);
}

namespace {
std::vector<int16_t> heard_offline;
void hear(const int16_t* stereo, int frames) { heard_offline.insert(heard_offline.end(), stereo, stereo + 2 * frames); }

struct OfflineClock {
  std::vector<MusicPosition> reads;  // one a frame, the first before any is presented
  std::vector<int16_t> sound;
  int64_t rehearsed = 0;
};

// The clock offline at 30 fps from the start, or cued at an order: every frame's read and
// the sound, until order 5.
OfflineClock offline_clock(const std::string& path, int cue_order) {
  SoundSettings s;
  s.mode = SoundMode::Offline;
  s.fps = 30;
  s.audio_sink = hear;
  music_configure(s);
  heard_offline.clear();
  OfflineClock c;
  EXPECT_EQ(music_init(path.c_str()), 0);
  music_start();
  music_set_order(0);
  if (cue_order > 0) c.rehearsed = music_cue(cue_order);
  for (int64_t k = 0;; ++k) {
    MusicPosition next{};
    const bool rehearsal = music_rehearsal(&next);
    EXPECT_EQ(rehearsal, k < c.rehearsed) << k;
    MusicPosition p{};
    read(&p);
    c.reads.push_back(p);
    if (p.order >= 5) break;
    music_frame_presented();
    if (rehearsal) {
      MusicPosition after{};
      read(&after);
      EXPECT_EQ(after.order, next.order) << k;
      EXPECT_EQ(after.row, next.row) << k;
      EXPECT_EQ(after.time, next.time) << k;
    }
  }
  music_stop();
  music_free();
  c.sound = heard_offline;
  return c;
}
}  // namespace

// A cue mixes silently up to the order and turns the frames before it into rehearsals:
// they read what a run from the start reads, and from the order's first frame on the
// reads and the sound are that run's.
TEST(MusicOffline, ACuedClockRehearsesThenPlaysOnAsFromTheStart) {
  const std::string path = write_module("cue.it", make_test_module(6, 16, 6, 125));
  const OfflineClock whole = offline_clock(path, 0);
  EXPECT_EQ(whole.rehearsed, 0);
  for (const int order : {1, 3}) {
    const OfflineClock cued = offline_clock(path, order);
    // Order 1 begins at sample 16 × 5292; the first frame at or after it is frame 58.
    const int64_t first = (int64_t{order} * 16 * ROW_SAMPLES * 30 + 44099) / 44100;
    EXPECT_EQ(cued.rehearsed, first);
    ASSERT_EQ(cued.reads.size(), whole.reads.size());
    for (size_t k = 0; k < whole.reads.size(); ++k) {
      ASSERT_EQ(cued.reads[k].order, whole.reads[k].order) << k;
      ASSERT_EQ(cued.reads[k].row, whole.reads[k].row) << k;
      ASSERT_EQ(cued.reads[k].time, whole.reads[k].time) << k;
    }
    EXPECT_EQ(cued.reads[first].order, order);
    EXPECT_EQ(cued.reads[first - 1].order, order - 1);
    const size_t from = static_cast<size_t>(first * 44100 / 30 * 2);
    ASSERT_EQ(cued.sound.size(), whole.sound.size() - from);
    EXPECT_TRUE(std::equal(cued.sound.begin(), cued.sound.end(), whole.sound.begin() + from));
  }
  // An order the module does not have, or a cue once the clock was read, is refused.
  use_offline(30);
  ASSERT_EQ(music_init(path.c_str()), 0);
  music_start();
  music_set_order(0);
  EXPECT_EQ(music_cue(6), -1);
  music_free();
  ASSERT_EQ(music_init(path.c_str()), 0);
  music_start();
  music_set_order(0);
  MusicPosition p{};
  read(&p);
  EXPECT_EQ(music_cue(2), -1);
  EXPECT_FALSE(music_rehearsal(nullptr));
  music_free();
}

// Tempo and speed change from row to row: each row lasts speed × (44100 × 2.5 / tempo,
// truncated) samples, and the clock must see each row from its first sample on and the
// end where the mixer stops, not where the module's estimated length says.
TEST(MusicOffline, EveryRowFromItsFirstSampleAndTheEndWhereTheMixerStops) {
  ItModule m = make_test_module(2, 12, 6, 125);
  struct Change {
    int order, row, effect, param;
  };
  const Change changes[] = {{0, 0, IT_FX_SET_TEMPO, 150}, {0, 3, IT_FX_SET_SPEED, 2}, {0, 5, IT_FX_SET_TEMPO, 83},
                            {0, 9, IT_FX_SET_TEMPO, 255}, {1, 0, IT_FX_SET_SPEED, 5}, {1, 2, IT_FX_SET_TEMPO, 33},
                            {1, 4, IT_FX_SET_TEMPO, 97},  {1, 7, IT_FX_SET_SPEED, 1}, {1, 10, IT_FX_SET_TEMPO, 211}};
  for (const Change& c : changes) {
    m.patterns[c.order].cells[c.row][0].effect = c.effect;
    m.patterns[c.order].cells[c.row][0].param = c.param;
  }
  std::vector<int64_t> row_start;  // first sample of each row, then the end
  int64_t at = 0;
  int speed = 6, tempo = 125;
  for (int order = 0; order < 2; ++order)
    for (int row = 0; row < 12; ++row) {
      for (const Change& c : changes)
        if (c.order == order && c.row == row) (c.effect == IT_FX_SET_TEMPO ? tempo : speed) = c.param;
      row_start.push_back(at);
      at += int64_t{speed} * (44100 * 5 / (2 * tempo));
    }
  const int64_t end = at;

  const std::string path = write_module("tempo.it", m);
  use_offline(44100);  // one sample a frame
  ASSERT_EQ(music_init(path.c_str()), 0);
  music_start();
  music_set_order(0);
  MusicPosition p{};
  size_t row = 0;
  for (int64_t sample = 0; sample < end + 500; ++sample) {
    read(&p);
    while (row + 1 < row_start.size() && row_start[row + 1] <= sample) ++row;
    if (sample < end) {
      ASSERT_EQ(p.order * 12 + p.row, static_cast<int>(row)) << "sample " << sample;
    } else {
      ASSERT_EQ(p.order, 255) << "sample " << sample << ", the end is at " << end;
    }
    music_frame_presented();
  }
  music_stop();
  music_free();
}

TEST(MusicOffline, UnwritableWavIsReported) {
  const std::string path = write_module("wavfail.it", make_test_module(1, 4, 6, 125));
  use_offline(60, "/nonexistent-folder/x.wav");
  ASSERT_EQ(music_init(path.c_str()), 0);
  music_start();
  music_frame_presented();
  music_free();
  EXPECT_FALSE(music_wav_ok());
}

namespace {
// Reads the live clock for a while: it never goes backwards, each read is one moment, and
// it keeps real time. Every bound holds however loaded the machine is: the clock can
// only trail the wall clock, and the waits are deadlines, not durations.
void check_live_clock(SoundOutput expected) {
  using Clock = std::chrono::steady_clock;
  const auto ms_since = [](Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
  };
  const std::string path = write_module("live.it", make_test_module(8, 64, 6, 125));
  music_configure(SoundSettings{});
  ASSERT_EQ(music_init(path.c_str()), 0);
  EXPECT_EQ(music_output(), expected);
  const auto before_start = Clock::now();
  music_start();
  const auto after_start = Clock::now();
  music_set_order(0);
  MusicPosition p{}, last{};
  read(&last);
  EXPECT_EQ(last.order, 0);
  const auto deadline = Clock::now() + std::chrono::seconds(30);
  int reads = 0;
  while (ms_since(after_start) < 600 || (last.time < 200 && Clock::now() < deadline)) {
    read(&p);
    ++reads;
    ASSERT_GE(p.time, last.time);
    ASSERT_GE(p.order * 64 + p.row, last.order * 64 + last.row);
    ASSERT_EQ(p.order * 64 + p.row, p.time / 120) << "row and time from one moment";
    ASSERT_LE(p.time, ms_since(before_start) + 1) << "ahead of real time";
    last = p;
    std::this_thread::sleep_for(std::chrono::microseconds(300));
  }
  EXPECT_GE(last.time, 200) << "the clock did not advance in 30 s";
  if (expected == SoundOutput::Silent) {
    // With no device the clock is the wall clock itself.
    const double least = ms_since(after_start);
    read(&p);
    EXPECT_GE(p.time, least - 1);
  }

  // The jump is heard once the device has played what it holds.
  music_set_order(5);
  do {
    read(&p);
  } while (p.order < 5 && Clock::now() < deadline);
  EXPECT_EQ(p.order, 5);

  music_stop();
  const int32_t stopped = music_time();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(music_time(), stopped);
  read(&p);
  EXPECT_EQ(p.time, stopped);
  music_free();
}
}  // namespace

TEST(MusicLive, SilentFallbackWithoutAnAudioDevice) {
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  check_live_clock(SoundOutput::Silent);
}

TEST(MusicLive, DummyAudioDevice) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  check_live_clock(SoundOutput::Device);
}

TEST(MusicFiles, CorruptedModulesNeverCrashTheLoader) {
  use_offline(60);
  const std::string dir = scratch_dir("corrupt");
  const std::vector<uint8_t> whole = it_write(make_test_module(2, 8, 6, 125));
  uint32_t s = 99;
  auto next = [&s] { return (s = s * 1664525 + 1013904223) >> 8; };
  int loaded = 0;
  for (int round = 0; round < 300; ++round) {
    std::vector<unsigned char> bytes(whole.begin(), whole.end());
    // A few bytes set to random or extreme values, often inside the header's counts and pointers.
    for (int k = 0; k < 1 + round % 6; ++k) {
      const size_t at = (round % 2 ? next() % 0x100 : next()) % bytes.size();
      bytes[at] = static_cast<unsigned char>(k % 3 == 0 ? 0xFF : next());
    }
    write_bytes(dir + "/m.it", bytes);
    const int result = music_init((dir + "/m.it").c_str());
    ASSERT_TRUE(result == 0 || result == 1);
    if (result == 0) {
      ++loaded;
      music_start();
      for (int f = 0; f < 30; ++f) music_frame_presented();
      music_stop();
    }
    music_free();
  }
  EXPECT_GT(loaded, 0) << "some corruptions leave a playable module";
}

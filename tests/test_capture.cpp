// Video capture of offline runs, checked with the ffmpeg tools as an independent reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "support/run_program.h"
#include "tools/itwriter/itwriter.h"

namespace fs = std::filesystem;

// Without FFmpeg the program is built without capture, and these are skipped.
#define SKIP_WITHOUT_CAPTURE() \
  if (!ORVEL_HAS_CAPTURE) GTEST_SKIP() << "built without video capture"

namespace {

bool have(const char* tool) { return std::system((std::string("command -v ") + tool + " >/dev/null").c_str()) == 0; }

// A staged folder whose module is 3 orders of 16 rows: 5.76 s.
std::string stage_short(const std::string& name) {
  const std::string dir = scratch_dir(name);
  fs::copy_file(ORVEL_BIN, dir + "/orvel");
  fs::create_directories(dir + "/musica");
  EXPECT_EQ(it_write_file(make_test_module(3, 16, 6, 125), dir + "/musica/XK_TRAM4.IT"), 0);
  return dir;
}

std::string probe(const std::string& file, const std::string& entries, const std::string& select = "") {
  const std::string command = "ffprobe -v error " + select + " -show_entries " + entries +
                              " -of default=noprint_wrappers=1:nokey=1 '" + file + "'";
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buffer[256];
    while (fgets(buffer, sizeof buffer, p)) out += buffer;
    pclose(p);
  }
  return out;
}

std::vector<int16_t> pcm(const std::string& bytes, size_t skip) {
  std::vector<int16_t> out((bytes.size() - skip) / 2);
  std::memcpy(out.data(), bytes.data() + skip, out.size() * 2);
  return out;
}

}  // namespace

TEST(Capture, StreamsSizesAndDurations) {
  SKIP_WITHOUT_CAPTURE();
  if (!have("ffprobe")) GTEST_SKIP() << "ffprobe not installed";
  const std::string dir = stage_short("capture");
  const ProgramResult r =
      run_program({dir + "/orvel", "--capture", "run.mp4", "--fps", "10", "--frames", "log.tsv"}, dir);
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string file = dir + "/run.mp4";
  EXPECT_EQ(probe(file, "stream=codec_name"), "h264\naac\n");
  EXPECT_EQ(probe(file, "stream=width,height,pix_fmt,r_frame_rate", "-select_streams v"),
            "1536\n1152\nyuv420p\n10/1\n");
  EXPECT_EQ(probe(file, "stream=sample_rate,channels", "-select_streams a"), "44100\n2\n");

  // The run presented one frame per line of its log after the header.
  const std::string log = read_text(dir + "/log.tsv");
  const long frames = std::count(log.begin(), log.end(), '\n') - 1;
  ASSERT_GT(frames, 50);
  const double video = std::stod(probe(file, "stream=duration", "-select_streams v"));
  const double audio = std::stod(probe(file, "stream=duration", "-select_streams a"));
  EXPECT_NEAR(video, frames / 10.0, 0.1 + 1e-9);
  EXPECT_NEAR(audio, video, 0.025);
}

TEST(Capture, SoundMatchesTheWavOfTheSameRun) {
  SKIP_WITHOUT_CAPTURE();
  if (!have("ffmpeg")) GTEST_SKIP() << "ffmpeg not installed";
  const std::string dir = stage_short("capture-sound");
  const ProgramResult r = run_program(
      {dir + "/orvel", "--capture", "run.mp4", "--capture-scale", "1", "--fps", "25", "--wav", "run.wav"}, dir);
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_EQ(
      std::system(
          ("ffmpeg -v error -y -i '" + dir + "/run.mp4' -f s16le -ac 2 -ar 44100 '" + dir + "/decoded.raw'").c_str()),
      0);
  const std::vector<int16_t> wav = pcm(read_text(dir + "/run.wav"), 44);
  const std::vector<int16_t> decoded = pcm(read_text(dir + "/decoded.raw"), 0);
  ASSERT_GT(wav.size(), 44100u * 2 * 5);
  EXPECT_NEAR(static_cast<double>(decoded.size()), static_cast<double>(wav.size()), 2 * 1024.0);
  const size_t n = std::min(wav.size(), decoded.size());
  double xy = 0, xx = 0, yy = 0;
  for (size_t i = 0; i < n; ++i) {
    xy += double(wav[i]) * decoded[i];
    xx += double(wav[i]) * wav[i];
    yy += double(decoded[i]) * decoded[i];
  }
  ASSERT_GT(xx, 0);
  EXPECT_GT(xy / std::sqrt(xx * yy), 0.95);
}

TEST(Capture, AnUnwritablePathExits2AndLeavesNothing) {
  SKIP_WITHOUT_CAPTURE();
  const std::string dir = stage_short("capture-fail");
  const ProgramResult r = run_program({dir + "/orvel", "--capture", dir + "/no/such/folder/x.mp4"}, dir);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  EXPECT_FALSE(fs::exists(dir + "/no"));
  EXPECT_EQ(run_program({dir + "/orvel", "--capture", "x.mp4", "--capture-scale", "0"}, dir).status, 2);
  EXPECT_FALSE(fs::exists(dir + "/x.mp4"));
}

TEST(Capture, TwoRunsGiveTheSameFile) {
  SKIP_WITHOUT_CAPTURE();
  const std::string dir = stage_short("capture-twice");
  for (const char* name : {"a.mp4", "b.mp4"}) {
    const ProgramResult r =
        run_program({dir + "/orvel", "--capture", name, "--capture-scale", "1", "--fps", "25"}, dir);
    ASSERT_EQ(r.status, 0) << r.err;
  }
  const std::string a = read_text(dir + "/a.mp4");
  EXPECT_GT(a.size(), 10000u);
  EXPECT_TRUE(a == read_text(dir + "/b.mp4")) << "picture or sound differ between runs";
}

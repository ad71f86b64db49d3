// The program as a whole, run as a child process: options, exit statuses, and a whole
// offline run of the sync test track checked against the module's own timing.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "support/run_program.h"

namespace fs = std::filesystem;

namespace {

const std::string SYNC_TRACK = std::string(ORVEL_BUILD_DIR) + "/fixtures/synctrack.it";

// A folder with a copy of the program and the given module, so that nothing beside the
// build's own program is found.
std::string stage(const std::string& name, const std::vector<unsigned char>* module) {
  const std::string dir = scratch_dir(name);
  fs::copy_file(ORVEL_BIN, dir + "/orvel");
  if (module) {
    fs::create_directories(dir + "/musica");
    write_bytes(dir + "/musica/XK_TRAM4.IT", *module);
  }
  return dir;
}

std::vector<unsigned char> file_bytes(const std::string& path) {
  const std::string text = read_text(path);
  return std::vector<unsigned char>(text.begin(), text.end());
}

struct LogLine {
  long frame;
  int order, row, time;
  std::string crc;
};

std::vector<LogLine> read_log(const std::string& path, std::string* header) {
  std::istringstream in(read_text(path));
  std::string line;
  std::getline(in, *header);
  std::vector<LogLine> lines;
  while (std::getline(in, line)) {
    LogLine l;
    std::istringstream fields(line);
    fields >> l.frame >> l.order >> l.row >> l.time >> l.crc;
    lines.push_back(l);
  }
  return lines;
}

}  // namespace

TEST(Program, WrongOptionsExit2WithOneLine) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--bogus"},
                                               {"--depth", "17"},
                                               {"--depth"},
                                               {"--fps", "0"},
                                               {"--fps", "x"},
                                               {"--snapshot", "1:2"},
                                               {"--snapshot", "a:2:x.png"},
                                               {"--wav", "x.wav"},
                                               {"extra"}}) {
    std::vector<std::string> argv{ORVEL_BIN};
    argv.insert(argv.end(), args.begin(), args.end());
    const ProgramResult r = run_program(argv);
    EXPECT_EQ(r.status, 2) << args[0];
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_TRUE(r.out.empty());
  }
  const ProgramResult help = run_program({ORVEL_BIN, "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--render"), std::string::npos);
  // Video capture is offered only by a build that has it; otherwise its options are unknown.
  EXPECT_EQ(help.out.find("--capture") != std::string::npos, ORVEL_HAS_CAPTURE);
  if (!ORVEL_HAS_CAPTURE) {
    for (const char* option : {"--capture", "--capture-scale"})
      EXPECT_EQ(run_program({ORVEL_BIN, "--render", option, "1"}).status, 2) << option;
  }
  EXPECT_EQ(run_program({ORVEL_BIN, "--version"}).status, 0);
}

TEST(Program, ABadModuleExits1BeforeAnyWindow) {
  const std::vector<unsigned char> empty;
  std::vector<unsigned char> noise(5000);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<unsigned char>(i * 7919 >> 3);
  std::vector<unsigned char> truncated = file_bytes(SYNC_TRACK);
  ASSERT_GT(truncated.size(), 1000u);
  truncated.resize(truncated.size() - 100);

  using Case = std::pair<const char*, const std::vector<unsigned char>*>;
  for (const auto& [name, module] :
       {Case{"missing", nullptr}, Case{"empty", &empty}, Case{"noise", &noise}, Case{"truncated", &truncated}}) {
    const std::string dir = stage(std::string("bad-") + name, module);
    // The live mode would open a window next: a status of 1 with no output shows it stopped before.
    for (bool offline : {false, true}) {
      std::vector<std::string> argv{dir + "/orvel"};
      if (offline) argv.push_back("--render");
      const ProgramResult r = run_program(argv, dir);
      EXPECT_EQ(r.status, 1) << name;
      EXPECT_TRUE(r.err.empty()) << r.err;
    }
  }
}

TEST(Program, WithoutADisplayTheLiveModeExits1) {
  const std::vector<unsigned char> module = file_bytes(SYNC_TRACK);
  const std::string dir = stage("nodisplay", &module);
  const ProgramResult r = run_program({dir + "/orvel"}, dir, {"SDL_VIDEODRIVER=no-such-driver"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.err.empty()) << r.err;
}

// Every file under dir, by path relative to it.
std::vector<std::string> files_in(const std::string& dir) {
  std::vector<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) files.push_back(fs::relative(entry.path(), dir));
  std::sort(files.begin(), files.end());
  return files;
}

TEST(Program, WithNoDisplayAtAllTheLiveModeExits1Silently) {
  const std::vector<unsigned char> module = file_bytes(SYNC_TRACK);
  const std::string dir = stage("no-display-at-all", &module);
  const std::vector<std::string> staged = files_in(dir);
  // SDL's disk driver writes what the audio device plays: silence until the music starts.
  const std::string heard = scratch_dir("no-display-audio") + "/heard.raw";
  // No X or Wayland display and no video driver named, where SDL would fall back to its
  // offscreen driver. The program is expected to stop at once; the 60 s limit is only a
  // guard against a hang.
  const ProgramResult r = run_program(
      {"/usr/bin/env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u", "SDL_VIDEODRIVER", "-u", "XDG_RUNTIME_DIR",
       "SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + heard, "timeout", "60", dir + "/orvel"},
      dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(files_in(dir), staged);
  ASSERT_TRUE(fs::exists(heard)) << "the audio device did not open";
  EXPECT_EQ(read_text(heard).find_first_not_of('\0'), std::string::npos) << "the music started";
}

// Frame k of an offline run is drawn from the music position at sample k × 44100 / fps:
// the row that holds that sample, and its time in whole milliseconds, at every fps.
TEST(Program, TheSyncTrackRendersInStepWithTheModule) {
  const std::vector<unsigned char> module = file_bytes(SYNC_TRACK);
  const std::string dir = stage("synctrack", &module);
  constexpr int64_t ROW_SAMPLES = 5292;  // speed 6, tempo 125
#if defined(__SANITIZE_ADDRESS__)
  // Under the sanitizers one rate runs the same code as four, at a quarter of the cost.
  const std::vector<int> rates = {30};
#else
  const std::vector<int> rates = {25, 30, 50, 60};
#endif
  for (const int fps : rates) {
    const std::string name = "log" + std::to_string(fps) + ".tsv";
    const ProgramResult r =
        run_program({dir + "/orvel", "--render", "--fps", std::to_string(fps), "--frames", name}, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    std::string header;
    const std::vector<LogLine> log = read_log(dir + "/" + name, &header);
    EXPECT_EQ(header, "frame\torder\trow\ttime_ms\tcrc32");

    // One frame draws again from the read before it: the first of order 1's second scene,
    // which takes over from the scene whose frames read the position before drawing.
    int repeated = 0;
    bool seen[30] = {};
    for (size_t i = 0; i < log.size(); ++i) {
      const LogLine& l = log[i];
      ASSERT_EQ(l.frame, static_cast<long>(i));
      ASSERT_EQ(l.crc.size(), 8u);
      int64_t sample = static_cast<int64_t>(i) * 44100 / fps;
      if (i > 0 && l.order == 1 && l.row == 48 && log[i - 1].row == 48 && l.time == log[i - 1].time &&
          l.time != sample * 1000 / 44100) {
        ++repeated;
        sample = static_cast<int64_t>(i - 1) * 44100 / fps;
      }
      const int64_t rows = sample / ROW_SAMPLES;
      ASSERT_EQ(l.order, rows / 64) << fps << " fps, frame " << i;
      ASSERT_EQ(l.row, rows % 64) << fps << " fps, frame " << i;
      ASSERT_EQ(l.time, sample * 1000 / 44100) << fps << " fps, frame " << i;
      seen[l.order] = true;
    }
    EXPECT_EQ(repeated, 1) << fps << " fps";
    for (int order = 0; order < 30; ++order) EXPECT_TRUE(seen[order]) << order;
    // The run ends at the first read of row 60 in order 29.
    ASSERT_FALSE(log.empty());
    const int64_t end = (29 * 64 + 60) * ROW_SAMPLES;
    EXPECT_LT(static_cast<int64_t>(log.size() - 1) * 44100 / fps, end);
    EXPECT_GE(static_cast<int64_t>(log.size()) * 44100 / fps, end);
  }
}

TEST(Program, OfflineRunsAreDeterministic) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "not in the sanitizer build: the same whole runs are checked there by the sync track's";
#endif
  const std::vector<unsigned char> module = file_bytes(SYNC_TRACK);
  const std::string dir = stage("determinism", &module);
  for (const char* name : {"a", "b"}) {
    const std::string n = name;
    const ProgramResult r =
        run_program({dir + "/orvel", "--render", "--fps", "24", "--frames", n + ".tsv", "--wav", n + ".wav"}, dir);
    ASSERT_EQ(r.status, 0) << r.err;
  }
  const std::string a = read_text(dir + "/a.tsv");
  EXPECT_GT(a.size(), 1000u);
  EXPECT_TRUE(a == read_text(dir + "/b.tsv")) << "the frames differ";
  const std::string wav = read_text(dir + "/a.wav");
  EXPECT_GT(wav.size(), 44u + 44100u * 4 * 200);
  EXPECT_TRUE(wav == read_text(dir + "/b.wav")) << "the sound differs";
}

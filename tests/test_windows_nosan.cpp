// orvel.exe, the Windows build, run under Wine: its offline runs give the native program's
// frame log, sound and snapshots byte for byte; it takes Windows paths (drive letters,
// backslashes, names beyond ASCII); live under Xvfb it shows the frames it logs, runs its
// clock in real time with no sound device, and ends with status 0 on Escape or a close
// request. Skipped when there is no Windows build (./build.sh windows) or no Wine.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <set>
#include <sstream>
#include <thread>

#include "app/crc32.h"
#include "support/png_read.h"
#include "support/run_program.h"
#include "support/xserver.h"
#include "tools/itwriter/itwriter.h"

namespace fs = std::filesystem;

namespace {

// The unpacked zip: orvel.exe, README.txt, gfx/ and musica/.
const std::string PACKAGE = std::string(ORVEL_WINDOWS_BUILD) + "/zip";
const std::string EXE = PACKAGE + "/orvel.exe";
const std::string PREFIX = std::string(ORVEL_WINDOWS_BUILD) + "/wine-prefix";
// The live test's own: a Wine server's desktop takes the display of the first program that
// starts in it, and the other tests start theirs with none. Hard links of the first, made
// in an instant.
const std::string LIVE_PREFIX = PREFIX + "-live";

// No sound device: Wine's audio drivers are left out, so every one of SDL's fails. Mono and
// Gecko, which a new prefix would offer to install, are not wanted.
const std::vector<std::string> WINE_ENV = {"WINEPREFIX=" + PREFIX, "WINEDEBUG=-all",
                                           "WINEDLLOVERRIDES=mscoree,mshtml,winepulse.drv,winealsa.drv,wineoss.drv="};

// Wine makes its prefix on first use, which takes a while; the test processes that ctest
// runs side by side wait for the first to finish it.
bool prefix_ready() {
  fs::create_directories(ORVEL_WINDOWS_BUILD);
  const std::string lock = PREFIX + ".lock";
  FILE* f = std::fopen(lock.c_str(), "w");
  if (!f) return false;
  flock(fileno(f), LOCK_EX);
  bool ok = fs::exists(PREFIX + "/system.reg");
  if (!ok) {
    std::vector<std::string> argv = {"/usr/bin/env"};
    argv.insert(argv.end(), WINE_ENV.begin(), WINE_ENV.end());
    argv.insert(argv.end(), {"sh", "-c", "wine wineboot --init && wineserver -w"});
    ok = run_program(argv).status == 0 && fs::exists(PREFIX + "/system.reg");
  }
  if (ok && !fs::exists(LIVE_PREFIX + "/system.reg")) {
    fs::remove_all(LIVE_PREFIX);
    ok = run_program({"/bin/cp", "-al", PREFIX, LIVE_PREFIX}).status == 0;
  }
  std::fclose(f);
  return ok;
}

#define REQUIRE_WINDOWS_BUILD()                                                             \
  if (!fs::exists(EXE) || !on_path("wine")) GTEST_SKIP() << "no " << EXE << ", or no wine"; \
  ASSERT_TRUE(prefix_ready()) << "Wine could not make its prefix " << PREFIX

// The folder's path as a Windows program sees it: Wine's drive Z: is the root.
std::string windows_path(const std::string& path) {
  std::string p = "Z:" + fs::absolute(path).string();
  std::replace(p.begin(), p.end(), '/', '\\');
  return p;
}

ProgramResult run_exe(const std::string& exe, const std::vector<std::string>& args, const std::string& dir) {
  std::vector<std::string> argv = {"/usr/bin/env"};
  argv.insert(argv.end(), WINE_ENV.begin(), WINE_ENV.end());
  argv.insert(argv.end(), {"wine", exe});
  argv.insert(argv.end(), args.begin(), args.end());
  return run_program(argv, dir);
}

std::string without_cr(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  return text;
}

long lines(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

// A folder with a copy of the program (native or Windows) and a short module: 3 orders of
// 16 rows, 5.76 s. Its pictures are missing and stay blank.
std::string stage(const std::string& name, const std::string& program, const std::string& as) {
  const std::string dir = scratch_dir(name);
  fs::copy_file(program, dir + "/" + as);
  fs::create_directories(dir + "/musica");
  EXPECT_EQ(it_write_file(make_test_module(3, 16, 6, 125), dir + "/musica/XK_TRAM4.IT"), 0);
  return dir;
}

struct LogLine {
  int order = 0, row = 0, time = 0;
  uint32_t crc = 0;
};

std::vector<LogLine> read_log(const std::string& path) {
  std::istringstream in(read_text(path));
  std::string line;
  std::getline(in, line);  // the header
  std::vector<LogLine> log;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    long frame;
    LogLine l;
    std::string crc;
    if (!(fields >> frame >> l.order >> l.row >> l.time >> crc)) break;  // a line still being written
    l.crc = static_cast<uint32_t>(std::stoul(crc, nullptr, 16));
    log.push_back(l);
  }
  return log;
}

// The frame log's CRC of a screenshot: R, G, B bytes in storage order.
uint32_t picture_crc(const Picture& p) {
  std::vector<uint8_t> bytes;
  bytes.reserve(p.rgb.size() * 3);
  for (uint32_t v : p.rgb) bytes.insert(bytes.end(), {uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
  return crc32_update(0, bytes.data(), bytes.size());
}

}  // namespace

TEST(Windows, OptionsAndExitStatuses) {
  REQUIRE_WINDOWS_BUILD();
  const std::string dir = scratch_dir("windows-options");
  const ProgramResult help = run_exe(EXE, {"--help"}, dir);
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--render"), std::string::npos) << help.out;
  // Built without FFmpeg: no video capture, and its options are unknown.
  EXPECT_EQ(help.out.find("--capture"), std::string::npos) << help.out;
  const ProgramResult version = run_exe(EXE, {"--version"}, dir);
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(without_cr(version.out), run_program({ORVEL_BIN, "--version"}).out);
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--capture", "x.mp4"},
                                               {"--render", "--capture-scale", "1"},
                                               {"--bogus"},
                                               {"--fps", "0"},
                                               {"--wav", "x.wav"}}) {
    const ProgramResult r = run_exe(EXE, args, dir);
    EXPECT_EQ(r.status, 2) << args[0];
    EXPECT_EQ(lines(r.err), 1) << r.err;
  }
  // No module beside the program or in the working folder: status 1 and nothing said.
  const std::string alone = scratch_dir("windows-alone");
  fs::copy_file(EXE, alone + "/orvel.exe");
  const ProgramResult r = run_exe(alone + "/orvel.exe", {"--render"}, alone);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "");
}

// The whole production at 30 fps, once natively and once under Wine.
TEST(Windows, TheOfflineRunIsTheNativeOne) {
  REQUIRE_WINDOWS_BUILD();
  const std::string dir = scratch_dir("windows-offline");
  const std::vector<std::string> moments = {"3:0", "8:32", "13:16", "20:8", "25:20", "29:59"};
  auto outputs = [&](const std::string& name, const std::string& folder) {
    std::vector<std::string> args = {
        "--render", "--fps", "30", "--frames", folder + name + ".tsv", "--wav", folder + name + ".wav"};
    for (const std::string& at : moments) {
      std::string file = name + "-" + at + ".png";
      std::replace(file.begin(), file.end(), ':', '-');
      args.insert(args.end(), {"--snapshot", at + ":" + folder + file});
    }
    return args;
  };
  // The Windows program runs elsewhere than its folder: its data is found beside it.
  std::vector<std::string> native = outputs("native", dir + "/");
  native.insert(native.begin(), ORVEL_BIN);
  const ProgramResult n = run_program(native, ORVEL_BUILD_DIR);
  ASSERT_EQ(n.status, 0) << n.err;
  const ProgramResult w = run_exe(EXE, outputs("windows", ""), dir);
  ASSERT_EQ(w.status, 0) << w.err;
  EXPECT_EQ(w.err, "");

  const std::string log = read_text(dir + "/native.tsv");
  EXPECT_GT(lines(log), 6000);
  EXPECT_TRUE(log == read_text(dir + "/windows.tsv")) << "the frame logs differ";
  const std::string wav = read_text(dir + "/native.wav");
  EXPECT_GT(wav.size(), 40000000u);
  EXPECT_TRUE(wav == read_text(dir + "/windows.wav")) << "the sound differs";
  for (std::string at : moments) {
    std::replace(at.begin(), at.end(), ':', '-');
    Picture a, b;
    ASSERT_TRUE(read_png(dir + "/native-" + at + ".png", &a)) << at;
    ASSERT_TRUE(read_png(dir + "/windows-" + at + ".png", &b)) << at;
    EXPECT_TRUE(a.width == b.width && a.height == b.height && a.rgb == b.rgb) << "the snapshots differ at " << at;
  }
}

TEST(Windows, DriveLettersBackslashesAndNamesBeyondAscii) {
  REQUIRE_WINDOWS_BUILD();
  const std::string dir = stage("windows-paths", EXE, "orvel.exe");
  const std::string native = stage("windows-paths-native", ORVEL_BIN, "orvel");
  const std::string folder = "música ñ";
  fs::create_directories(dir + "/" + folder);
  const std::string absolute = windows_path(dir) + "\\" + folder + "\\";
  ProgramResult r = run_exe(dir + "/orvel.exe",
                            {"--render", "--fps", "25", "--frames", absolute + "registro.tsv", "--wav",
                             folder + "/sonido €.wav", "--snapshot", "1:0:" + absolute + "ñandú.png"},
                            dir);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  r = run_program({native + "/orvel", "--render", "--fps", "25", "--frames", "log.tsv", "--wav", "sound.wav"}, native);
  ASSERT_EQ(r.status, 0) << r.err;
  // The names arrive as they were given, in UTF-8, and so do the contents.
  const std::string log = read_text(native + "/log.tsv");
  EXPECT_GT(lines(log), 100);
  EXPECT_TRUE(read_text(dir + "/" + folder + "/registro.tsv") == log) << "the frame logs differ";
  EXPECT_TRUE(read_text(dir + "/" + folder + "/sonido €.wav") == read_text(native + "/sound.wav"))
      << "the sound differs";
  Picture shot;
  EXPECT_TRUE(read_png(dir + "/" + folder + "/ñandú.png", &shot));

  // Refused before anything runs: a folder that is not there, and a folder's own name.
  for (const std::string& bad : {absolute + "no such folder\\x.tsv", absolute, folder + "\\"}) {
    r = run_exe(dir + "/orvel.exe", {"--render", "--frames", bad}, dir);
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_EQ(lines(r.err), 1) << r.err;
    EXPECT_NE(r.err.find("'" + bad + "'"), std::string::npos) << r.err;
  }
  EXPECT_FALSE(fs::exists(dir + "/" + folder + "/no such folder"));
}

// The production live, fullscreen on a 512x384 X screen under Wine, with no sound device.
TEST(Windows, LiveItShowsItsFramesAndEndsOnEscapeOrAClose) {
  REQUIRE_WINDOWS_BUILD();
  if (!on_path("Xvfb") || !on_path("xwd") || !on_path("xdotool")) GTEST_SKIP() << "Xvfb, xwd or xdotool missing";
  XServer server;
  ASSERT_TRUE(server.start("512x384x24"));
  // A copy of its own name, so that the close request reaches this program only and not
  // another test's under the same Wine server; the data is found in the working folder.
  const std::string dir = scratch_dir("windows-live");
  const std::string exe = dir + "/orvel-live.exe";
  fs::copy_file(EXE, exe);
  for (const char* data : {"gfx", "musica"}) fs::create_directory_symlink(PACKAGE + "/" + data, dir + "/" + data);
  std::vector<std::string> live_env = WINE_ENV;
  live_env[0] = "WINEPREFIX=" + LIVE_PREFIX;
  // A server left from an earlier run would keep that run's display.
  auto stop_wine = [&] {
    std::vector<std::string> argv = {"/usr/bin/env"};
    argv.insert(argv.end(), live_env.begin(), live_env.end());
    argv.insert(argv.end(), {"wineserver", "-k"});
    run_program(argv);
  };
  stop_wine();
  auto start = [&](const std::string& log) {
    const pid_t pid = fork();
    if (pid == 0) {
      setenv("DISPLAY", server.display.c_str(), 1);
      // SDL chooses its own Windows drivers.
      unsetenv("SDL_VIDEODRIVER");
      unsetenv("SDL_AUDIODRIVER");
      for (const std::string& e : live_env) putenv(const_cast<char*>(e.c_str()));
      if (chdir(dir.c_str()) != 0) _exit(127);
      execlp("wine", "wine", exe.c_str(), "--frames", log.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    return pid;
  };
  auto exited = [](pid_t pid, int* status, int seconds) {
    for (int i = 0; i < seconds * 20; ++i) {
      if (waitpid(pid, status, WNOHANG) == pid) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(pid, SIGKILL);
    waitpid(pid, status, 0);
    return false;
  };
  using Clock = std::chrono::steady_clock;

  // The log reaches the disk in blocks: once order 1 is in it, the staircase is on screen.
  const Clock::time_point started = Clock::now();
  pid_t pid = start("escape.tsv");
  LogLine reached;
  const auto deadline = started + std::chrono::seconds(180);
  while (Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    const std::vector<LogLine> log = read_log(dir + "/escape.tsv");
    if (!log.empty() && log.back().order >= 1) {
      reached = log.back();
      break;
    }
  }
  const double wall_ms = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
  ASSERT_GE(reached.order, 1) << "the music never reached order 1";
  // Without a sound device the clock still runs, in real time: never ahead of the wall clock.
  EXPECT_LE(reached.time, wall_ms);
  EXPECT_GE(reached.time, 7680);

  // Screenshots until one shows a scene: which frame it is does not matter, only that the
  // program logged it.
  std::vector<uint32_t> seen;
  Picture shot;
  for (int i = 0; i < 40 && seen.size() < 5; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    if (!screenshot(server.display, dir + "/live.xwd", shot) || shot.width != 512 || shot.height != 384) continue;
    if (std::count(shot.rgb.begin(), shot.rgb.end(), 0u) < static_cast<long>(shot.rgb.size())) {
      seen.push_back(picture_crc(shot));
      write_png_rgb(dir + "/live.png", shot);
    }
  }
  ASSERT_FALSE(seen.empty()) << "no scene on the screen";
  int status = -1;
  EXPECT_EQ(std::system(("DISPLAY=" + server.display + " xdotool key --clearmodifiers Escape").c_str()), 0);
  EXPECT_TRUE(exited(pid, &status, 60)) << "Escape did not end the program";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  std::set<uint32_t> logged;
  for (const LogLine& l : read_log(dir + "/escape.tsv")) logged.insert(l.crc);
  EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [&](uint32_t crc) { return logged.count(crc); }))
      << "none of " << seen.size() << " screenshots is a frame of the log (the last is live.png)";

  // A close request, as the window's close button makes it: WM_CLOSE to its window.
  pid = start("close.tsv");
  const auto second_deadline = Clock::now() + std::chrono::seconds(180);
  while (Clock::now() < second_deadline && read_log(dir + "/close.tsv").empty())
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
  ASSERT_FALSE(read_log(dir + "/close.tsv").empty()) << "the second run showed no frame";
  std::vector<std::string> taskkill = {"/usr/bin/env"};
  taskkill.insert(taskkill.end(), live_env.begin(), live_env.end());
  taskkill.insert(taskkill.end(), {"DISPLAY=" + server.display, "wine", "taskkill", "/im", "orvel-live.exe"});
  EXPECT_EQ(run_program(taskkill).status, 0);
  EXPECT_TRUE(exited(pid, &status, 60)) << "the close request did not end the program";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  stop_wine();
  server.stop();
}

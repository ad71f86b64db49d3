// The files a run writes, seen from outside: every path is checked before anything
// runs and a refused run touches no file; an output that cannot be finished is
// reported with one line and exit status 1.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "support/run_program.h"
#include "tools/itwriter/itwriter.h"

namespace fs = std::filesystem;

namespace {

// A staged folder whose module is 3 orders of 16 rows (5.76 s), or none.
std::string stage(const std::string& name, bool with_module = true) {
  const std::string dir = scratch_dir(name);
  fs::copy_file(ORVEL_BIN, dir + "/orvel");
  if (with_module) {
    fs::create_directories(dir + "/musica");
    EXPECT_EQ(it_write_file(make_test_module(3, 16, 6, 125), dir + "/musica/XK_TRAM4.IT"), 0);
  }
  return dir;
}

// What the run may write to: every entry of dir but the program and its music, with
// the size and a hash of each file's content.
std::map<std::string, std::string> contents(const std::string& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (name == "orvel" || name == "musica") continue;
    const std::string text = entry.is_regular_file() ? read_text(entry.path().string()) : "(not a file)";
    files[name] = std::to_string(text.size()) + " bytes, " + std::to_string(std::hash<std::string>{}(text));
  }
  return files;
}

long lines(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

ProgramResult run_in(const std::string& dir, std::vector<std::string> args, const std::vector<std::string>& env = {}) {
  args.insert(args.begin(), dir + "/orvel");
  return run_program(args, dir, env);
}

bool is_png(const std::string& path) { return read_text(path).rfind("\x89PNG\r\n\x1a\n", 0) == 0; }

}  // namespace

TEST(Outputs, ABadPathExits2BeforeAnyFileIsTouched) {
  const std::string dir = stage("outputs-refused");
  for (const char* name : {"keep.wav", "keep.tsv", "keep.png", "keep.mp4"})
    write_bytes(dir + "/" + name, {'k', 'e', 'e', 'p'});
  const std::vector<std::string> keep = {"--wav",      "keep.wav",     "--frames", "keep.tsv",
                                         "--snapshot", "0:0:keep.png", "--fps",    "10"};
  struct Case {
    std::vector<std::string> args;
    std::string refused;
  };
  const Case cases[] = {
      {{"--capture", "/nonexistent/x.mp4"}, "/nonexistent/x.mp4"},
      {{"--capture", "keep.mp4", "--snapshot", "1:0:" + dir + "/no/such/folder/x.png"}, dir + "/no/such/folder/x.png"},
      {{"--capture", "keep.mp4", "--snapshot", "1:0:keep.wav/x.png"}, "keep.wav/x.png"},  // under a file
      {{"--capture", "keep.mp4", "--snapshot", "1:0:" + dir}, dir},                       // a folder
      {{"--capture", "new/"}, "new/"},
      {{"--capture", ""}, "--capture"},  // named by its option
  };
  const auto before = contents(dir);
  for (const Case& c : cases) {
    if (!ORVEL_HAS_CAPTURE) break;  // every case names --capture
    std::vector<std::string> args = {"--render"};
    args.insert(args.end(), keep.begin(), keep.end());
    args.insert(args.end(), c.args.begin(), c.args.end());
    const ProgramResult r = run_in(dir, args);
    SCOPED_TRACE(c.refused);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(lines(r.err), 1) << r.err;
    EXPECT_NE(r.err.find("'" + c.refused + "'"), std::string::npos) << r.err;
    EXPECT_EQ(contents(dir), before);
  }
  // The frame log and the WAV are checked the same way, also in the live mode, before
  // any window would be opened.
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--frames", dir + "/no/x.tsv", "--snapshot", "0:0:new.png"},
        {"--render", "--frames", "new.tsv", "--wav", "keep.tsv/x.wav"},
        {"--render", "--wav", "new.wav", "--frames", dir}}) {
    const ProgramResult r = run_in(dir, args, {"SDL_VIDEODRIVER=no-such-driver"});
    EXPECT_EQ(r.status, 2) << args[1];
    EXPECT_EQ(lines(r.err), 1) << r.err;
    EXPECT_EQ(contents(dir), before);
  }
}

TEST(Outputs, NoFileIsCreatedWhenTheRunCannotStart) {
  // No module: exit 1 before the run. No display: the live mode exits 1.
  const std::string no_module = stage("outputs-no-module", false);
  std::vector<std::string> outputs = {"--frames", "new.tsv", "--snapshot", "0:0:new.png"};
  if (ORVEL_HAS_CAPTURE) outputs.insert(outputs.end(), {"--capture", "new.mp4"});
  ProgramResult r = run_in(no_module, outputs);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "");
  const std::string no_display = stage("outputs-no-display");
  r = run_in(no_display, {"--frames", "new.tsv", "--snapshot", "0:0:new.png"}, {"SDL_VIDEODRIVER=no-such-driver"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "");
  for (const std::string& dir : {no_module, no_display})
    for (const char* name : {"new.tsv", "new.png", "new.mp4"}) EXPECT_FALSE(fs::exists(dir + "/" + name)) << name;
  // Offline, the sound file too: neither made nor emptied.
  write_bytes(no_module + "/keep.wav", {1, 2, 3});
  for (const char* wav : {"new.wav", "keep.wav"}) {
    r = run_in(no_module, {"--render", "--wav", wav});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "");
  }
  EXPECT_FALSE(fs::exists(no_module + "/new.wav"));
  EXPECT_EQ(read_text(no_module + "/keep.wav"), std::string("\1\2\3", 3));
}

TEST(Outputs, AnOutputThatCannotBeFinishedExits1WithOneLineEach) {
  const std::string dir = stage("outputs-unfinished");
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> named;  // each on its own line of stderr
  };
  const Case cases[] = {
      {{"--frames", "/dev/full"}, {"/dev/full"}},
      {{"--snapshot", "0:0:/dev/full", "--snapshot", "1:0:first.png"}, {"/dev/full"}},
      {{"--wav", "/dev/full"}, {"/dev/full"}},
      // The module has orders 0 to 2: order 5 never comes, nor row 40 of order 1.
      {{"--snapshot", "5:0:never.png", "--snapshot", "1:40:never2.png", "--snapshot", "2:0:second.png"},
       {"never.png", "never2.png"}},
      {{"--frames", "/dev/full", "--snapshot", "9:9:never3.png"}, {"/dev/full", "never3.png"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"--render", "--fps", "10"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const ProgramResult r = run_in(dir, args);
    SCOPED_TRACE(c.args[1]);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(lines(r.err), static_cast<long>(c.named.size())) << r.err;
    for (const std::string& name : c.named) EXPECT_NE(r.err.find(name + "'"), std::string::npos) << r.err;
  }
  // The snapshots that were due are written all the same; those never due are not made.
  EXPECT_TRUE(is_png(dir + "/first.png"));
  EXPECT_TRUE(is_png(dir + "/second.png"));
  for (const char* name : {"never.png", "never2.png", "never3.png"}) EXPECT_FALSE(fs::exists(dir + "/" + name));
}

TEST(Outputs, AFailedCaptureLeavesADeviceInPlace) {
  if (!ORVEL_HAS_CAPTURE) GTEST_SKIP() << "built without video capture";
  // A device like /dev/full: writes fail, and the capture must not remove it.
  const std::string dir = stage("outputs-capture-device");
  const std::string device = dir + "/full";
  if (mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0) GTEST_SKIP() << "cannot make a device node here";
  const ProgramResult r = run_in(dir, {"--capture", device, "--capture-scale", "1", "--fps", "10"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(lines(r.err), 1) << r.err;
  struct stat st;
  ASSERT_EQ(stat(device.c_str(), &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
  fs::remove(device);
}

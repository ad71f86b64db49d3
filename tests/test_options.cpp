// The one table of options: the parser and the usage text made from it, and the README's
// table of options kept to it.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "app/options.h"
#include "support/run_program.h"

namespace {

// The options the README's table names, with the value each is shown with ("" for a
// switch): every `--name VALUE` in the first cell of a row under "## Options".
std::map<std::string, std::string> readme_options() {
  std::istringstream in(read_text(std::string(ORVEL_SOURCE_DIR) + "/README.md"));
  std::map<std::string, std::string> found;
  std::string line;
  bool inside = false;
  while (std::getline(in, line)) {
    if (line.rfind("## ", 0) == 0) inside = line == "## Options";
    if (!inside || line.rfind("| `--", 0) != 0) continue;
    // The first cell ends at the first '|' that is not escaped.
    size_t end = 1;
    while (end < line.size() && !(line[end] == '|' && line[end - 1] != '\\')) ++end;
    const std::string cell = line.substr(1, end - 1);
    static const std::regex spelled("`(--[a-z-]+)( [^`]*)?`");
    for (auto it = std::sregex_iterator(cell.begin(), cell.end(), spelled); it != std::sregex_iterator(); ++it) {
      std::string value = (*it)[2].matched ? (*it)[2].str().substr(1) : "";
      value = std::regex_replace(value, std::regex(R"(\\\|)"), "|");
      EXPECT_TRUE(found.emplace((*it)[1].str(), value).second) << "named twice: " << (*it)[1].str();
    }
  }
  return found;
}

struct Parsed {
  OptionsResult result;
  RunOptions options;
};

Parsed parse(std::vector<std::string> args) {
  args.insert(args.begin(), "orvel");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  Parsed p{OptionsResult::Run, {}};
  testing::internal::CaptureStderr();
  p.result = parse_options(static_cast<int>(argv.size()), argv.data(), &p.options);
  testing::internal::GetCapturedStderr();
  return p;
}

}  // namespace

TEST(Options, TheReadmeListsExactlyTheTablesOptions) {
  std::map<std::string, std::string> table;
  for (const OptionSpec& o : option_table()) table[o.name] = o.value ? o.value : "";
  EXPECT_EQ(readme_options(), table);
}

TEST(Options, TheUsageHasALineForEveryOptionOfTheBuild) {
  const std::string usage = usage_text();
  for (const OptionSpec& o : option_table()) {
    const std::string spelled = std::string("  ") + o.name + (o.value ? std::string(" ") + o.value : "") + "  ";
    EXPECT_EQ(usage.find(spelled) != std::string::npos, option_built(o)) << o.name;
  }
  testing::internal::CaptureStdout();
  EXPECT_EQ(parse({"--help"}).result, OptionsResult::ExitOk);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), usage);
}

TEST(Options, ValuesLandInTheirFields) {
  const Parsed p = parse({"--window", "--depth", "24", "--render", "--fps", "30", "--start", "17", "--frames", "a.tsv",
                          "--wav", "b.wav", "--snapshot", "3:12:c.png", "--snapshot", "4:0:d:e.png"});
  ASSERT_EQ(p.result, OptionsResult::Run);
  EXPECT_TRUE(p.options.windowed);
  EXPECT_EQ(p.options.depth, 24);
  EXPECT_TRUE(p.options.offline);
  EXPECT_EQ(p.options.fps, 30);
  EXPECT_EQ(p.options.start_order, 17);
  EXPECT_EQ(p.options.frames_path, "a.tsv");
  EXPECT_EQ(p.options.wav_path, "b.wav");
  ASSERT_EQ(p.options.snapshots.size(), 2u);
  EXPECT_EQ(p.options.snapshots[0].order, 3);
  EXPECT_EQ(p.options.snapshots[0].row, 12);
  EXPECT_EQ(p.options.snapshots[1].path, "d:e.png");
  // A value that looks like an option is a value.
  EXPECT_EQ(parse({"--frames", "--window"}).options.frames_path, "--window");
}

TEST(Options, WrongValuesAreRefusedAtTheEdgesOfTheirRanges) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{{"--depth", "8"},
                                                                                    {"--depth", "20"},
                                                                                    {"--fps", "1001"},
                                                                                    {"--fps", "-1"},
                                                                                    {"--fps", "30x"},
                                                                                    {"--frames", ""},
                                                                                    {"--snapshot", "1:256:x.png"},
                                                                                    {"--snapshot", "1:2:"},
                                                                                    {"--fps"},
                                                                                    {"-fps", "30"}})
    EXPECT_EQ(parse(args).result, OptionsResult::ExitUsage) << args[0] << " " << (args.size() > 1 ? args[1] : "");
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--fps", "1"}, {"--fps", "1000"}, {"--start", "0"}, {"--start", "29"}, {"--snapshot", "255:255:x.png"}})
    EXPECT_EQ(parse(args).result, OptionsResult::Run) << args[0] << " " << args[1];
}

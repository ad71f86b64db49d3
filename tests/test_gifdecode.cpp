#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "test_gif_util.h"

using namespace giftest;
namespace fs = std::filesystem;

namespace {

const std::string TOOL = std::string(ORVEL_BUILD_DIR) + "/tools/gifdecode/gifdecode";

class GifdecodeTool : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/orvel-gifdecode-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { fs::remove_all(folder_); }
  std::string path(const std::string& name) const { return (folder_ / name).string(); }

  // Exit status, with what it printed on stderr.
  int run(const std::string& arguments, std::string* message) const {
    const std::string errors = path("stderr.txt");
    const int status = std::system((TOOL + " " + arguments + " 2>'" + errors + "'").c_str());
    const Bytes text = read_file(errors);
    message->assign(text.begin(), text.end());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  fs::path folder_;
};

}  // namespace

TEST_F(GifdecodeTool, WritesTheImageAsPpmWithTheKeyRed) {
  Picture picture;
  picture.width = 5;
  picture.height = 3;
  picture.interlaced = true;
  picture.global = {{255, 0, 0}, {1, 2, 3}, {250, 128, 7}, {255, 0, 1}};
  picture.indices = {0, 1, 2, 3, 0, 1, 1, 1, 1, 1, 2, 2, 3, 3, 0};
  ASSERT_TRUE(write_file(path("in.gif"), write_giflib(picture)));
  std::string message;
  ASSERT_EQ(run("'" + path("in.gif") + "' '" + path("out.ppm") + "'", &message), 0) << message;
  EXPECT_EQ(message, "");

  const Bytes ppm = read_file(path("out.ppm"));
  const std::string head = "P6\n5 3\n255\n";
  ASSERT_EQ(ppm.size(), head.size() + 15 * 3);
  EXPECT_EQ(std::string(ppm.begin(), ppm.begin() + static_cast<long>(head.size())), head);
  for (size_t i = 0; i < 15; ++i) {
    const Rgb c = picture.global[picture.indices[i]];
    const uint8_t* p = ppm.data() + head.size() + i * 3;
    EXPECT_EQ((Bytes{p[0], p[1], p[2]}), (Bytes{c.r, c.g, c.b})) << i;
  }
}

TEST_F(GifdecodeTool, FailsWithOneLineWhenThereIsNoImage) {
  std::string message;
  EXPECT_EQ(run("'" + path("absent.gif") + "' '" + path("out.ppm") + "'", &message), 1);
  EXPECT_NE(message.find("cannot read"), std::string::npos) << message;
  EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1);

  ASSERT_TRUE(write_file(path("text.gif"), {'n', 'o', 't', ' ', 'a', ' ', 'g', 'i', 'f'}));
  EXPECT_EQ(run("'" + path("text.gif") + "' '" + path("out.ppm") + "'", &message), 1);
  EXPECT_NE(message.find("holds no image"), std::string::npos) << message;
  EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1);
  EXPECT_FALSE(fs::exists(path("out.ppm")));

  EXPECT_EQ(run("", &message), 2);
  EXPECT_NE(message.find("usage"), std::string::npos);
}

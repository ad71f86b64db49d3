// Key frames of the whole production, offline with the real content: one run takes
// snapshots of every order, and the pixels are checked against what each scene draws.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

#include "app/assets.h"
#include "app/layout.h"
#include "app/timeline.h"
#include "image/image.h"
#include "support/png_read.h"
#include "support/run_program.h"

namespace {

constexpr uint32_t GROUND = 0x8F89A6;  // palette entry 0 + 50

std::string run_dir;
std::map<std::pair<int, int>, Picture> shots;
std::string frame_log;

std::vector<std::pair<int, int>> wanted() {
  std::vector<std::pair<int, int>> w;
  for (int order = 0; order < 30; ++order)
    for (int row : {0, 16, 32, 48}) w.push_back({order, row});
  for (auto extra : std::vector<std::pair<int, int>>{{1, 40},  {3, 4},  {27, 34}, {9, 8},  {20, 8}, {21, 10}, {25, 5},
                                                     {25, 20}, {26, 1}, {26, 8},  {27, 1}, {27, 2}, {27, 7},  {27, 8},
                                                     {27, 9},  {28, 1}, {28, 2},  {28, 7}, {28, 8}, {28, 9},  {29, 59}})
    w.push_back(extra);
  return w;
}

void write_contact_sheet();

// One offline run for all the checks: the snapshots it took, by order and row.
void run_production() {
  run_dir = scratch_dir("scenes");
  std::vector<std::string> argv{ORVEL_BIN, "--render", "--fps", "30", "--frames", run_dir + "/log.tsv"};
  for (auto [order, row] : wanted()) {
    argv.push_back("--snapshot");
    argv.push_back(std::to_string(order) + ":" + std::to_string(row) + ":" + run_dir + "/" + std::to_string(order) +
                   "-" + std::to_string(row) + ".png");
  }
  const ProgramResult r = run_program(argv, ORVEL_BUILD_DIR);
  ASSERT_EQ(r.status, 0) << r.err;
  for (auto key : wanted()) {
    Picture p;
    if (read_png(run_dir + "/" + std::to_string(key.first) + "-" + std::to_string(key.second) + ".png", &p))
      shots[key] = p;
  }
  frame_log = read_text(run_dir + "/log.tsv");
  write_contact_sheet();
}

// Rows 0, 16, 32 and 48 of every order at half size, two orders a line, for looking at.
void write_contact_sheet() {
  Picture sheet;
  sheet.width = 8 * 256;
  sheet.height = 15 * 192;
  sheet.rgb.assign(static_cast<size_t>(sheet.width) * sheet.height, 0x202020);
  for (int order = 0; order < 30; ++order)
    for (int i = 0; i < 4; ++i) {
      auto it = shots.find({order, i * 16});
      if (it == shots.end()) continue;
      const int left = ((order % 2) * 4 + i) * 256, top = (order / 2) * 192;
      for (int y = 0; y < 192; ++y)
        for (int x = 0; x < 256; ++x)
          sheet.rgb[static_cast<size_t>(top + y) * sheet.width + left + x] = it->second.at(2 * x, 2 * y);
    }
  write_png_rgb(std::string(ORVEL_BUILD_DIR) + "/scenes-contact-sheet.png", sheet);
}

const Picture& shot(int order, int row) {
  static const Picture none;
  auto it = shots.find({order, row});
  EXPECT_NE(it, shots.end()) << "no snapshot at " << order << ":" << row;
  return it == shots.end() ? none : it->second;
}

bool all(const Picture& p, uint32_t colour) {
  for (uint32_t v : p.rgb)
    if (v != colour) return false;
  return !p.rgb.empty();
}

void check_EveryOrderWasShownInTurn() {
  SCOPED_TRACE("EveryOrderWasShownInTurn");
  for (auto key : wanted()) EXPECT_TRUE(shots.count(key)) << key.first << ":" << key.second;
  std::istringstream in(frame_log);
  std::string line;
  std::getline(in, line);
  int last_order = 0, last_row = 0;
  while (std::getline(in, line)) {
    std::istringstream f(line);
    long frame;
    int order, row;
    f >> frame >> order >> row;
    ASSERT_GE(order, last_order);
    last_order = order;
    last_row = row;
  }
  EXPECT_EQ(last_order, 29);
  EXPECT_EQ(last_row, 59);
}

void check_BlackStartStaircaseAndBlackEnd() {
  SCOPED_TRACE("BlackStartStaircaseAndBlackEnd");
  EXPECT_TRUE(all(shot(0, 0), 0));
  EXPECT_TRUE(all(shot(0, 48), 0));
  const Picture& stairs = shot(1, 40);
  if (!stairs.rgb.empty()) {
    EXPECT_EQ(stairs.at(256, 55), 0x500000u);
    EXPECT_EQ(stairs.at(0, 54), 0x525943u);
  }
  EXPECT_TRUE(all(shot(29, 0), 0));
  EXPECT_TRUE(all(shot(29, 59), 0));
}

void check_CornersFromOrder9AndTheGroundOfOrders9To20() {
  SCOPED_TRACE("CornersFromOrder9AndTheGroundOfOrders9To20");
  for (int order = 9; order < 29; ++order)
    for (int row : {0, 16, 32, 48}) {
      const Picture& p = shot(order, row);
      if (p.rgb.empty()) continue;
      for (auto [x, y] : {std::pair{0, 0}, {511, 0}, {0, 383}, {511, 383}, {1, 63}})
        EXPECT_EQ(p.at(x, y), 0u) << order << ":" << row << " at " << x << "," << y;
      if (order <= 20) {
        EXPECT_NE(p.at(2, 63), 0u) << order << ":" << row;
      }
    }
  // Where nothing is drawn the scenes of orders 9 to 20 show the ground colour.
  for (int order = 9; order <= 20; ++order) {
    const Picture& p = shot(order, 48);
    if (p.rgb.empty()) continue;
    long ground = 0;
    for (uint32_t v : p.rgb) ground += v == GROUND;
    EXPECT_GT(ground, 0) << order;
  }
}

void check_CreditsFlashNegativeOnTwoRowsOfEight() {
  SCOPED_TRACE("CreditsFlashNegativeOnTwoRowsOfEight");
  // The credits and the text strip sit on the left and at the bottom; the final picture
  // alone shows at this point in every frame of orders 26 to 28.
  const int x = 420, y = 300;
  const uint32_t plain = shot(26, 1).rgb.empty() ? 0 : shot(26, 1).at(x, y);
  EXPECT_EQ(shot(26, 8).rgb.empty() ? 0 : shot(26, 8).at(x, y), plain) << "order 26 is never inverted";
  for (int order : {27, 28}) {
    for (int row : {0, 1, 8, 9, 16, 32, 48}) {
      const Picture& p = shot(order, row);
      if (!p.rgb.empty()) {
        EXPECT_EQ(p.at(x, y), plain ^ 0xFFFFFFu) << order << ":" << row;
      }
    }
    for (int row : {2, 7}) {
      const Picture& p = shot(order, row);
      if (!p.rgb.empty()) {
        EXPECT_EQ(p.at(x, y), plain) << order << ":" << row;
      }
    }
  }
  // The corners stay black in the inverted frames too.
  if (!shot(27, 8).rgb.empty()) {
    EXPECT_EQ(shot(27, 8).at(511, 383), 0u);
  }
}

void check_TheFinalPictureWipesDownSixRowsARow() {
  SCOPED_TRACE("TheFinalPictureWipesDownSixRowsARow");
  const Picture& wipe = shot(25, 20);
  const Picture& whole = shot(26, 1);
  if (wipe.rgb.empty() || whole.rgb.empty()) return;
  // Rows 0..119 are the final picture (away from the corners and column 0).
  for (int y = 70; y < 120; ++y)
    for (int x = 1; x < 512; x += 7) ASSERT_EQ(wipe.at(x, y), whole.at(x, y)) << x << "," << y;
  int same_below = 0;
  for (int x = 1; x < 512; ++x) same_below += wipe.at(x, 200) == whole.at(x, 200);
  EXPECT_LT(same_below, 400) << "below the wipe the logos and hangers still show";
}

void check_ColumnZeroCarriesOverInTheGreetingsAndIsBlackFromTheWipe() {
  SCOPED_TRACE("ColumnZeroCarriesOverInTheGreetingsAndIsBlackFromTheWipe");
  const Picture& greetings = shot(21, 10);
  const Picture& wipe = shot(25, 5);
  if (greetings.rgb.empty() || wipe.rgb.empty()) return;
  bool coloured = false, black = true;
  for (int y = 100; y < 300; ++y) {
    coloured |= greetings.at(0, y) != 0;
    black &= wipe.at(0, y) == 0;
  }
  EXPECT_TRUE(coloured) << "no blit writes column 0: it keeps the hills scene's last frame";
  EXPECT_TRUE(black);
}

struct Box {
  int left, top, right, bottom;  // right and bottom past the end
};

// Where two frames differ: inside the boxes only, and in each box out to its edges, both
// within tolerance pixels.
void expect_changes_in(const Picture& a, const Picture& b, const std::vector<Box>& boxes, int tolerance,
                       const std::string& what) {
  if (a.rgb.empty() || b.rgb.empty()) return;
  std::vector<Box> seen(boxes.size(), Box{SCREEN_WIDTH, SCREEN_HEIGHT, 0, 0});
  long outside = 0;
  for (int y = 0; y < SCREEN_HEIGHT; ++y)
    for (int x = 0; x < SCREEN_WIDTH; ++x) {
      if (a.at(x, y) == b.at(x, y)) continue;
      bool in = false;
      for (size_t i = 0; i < boxes.size(); ++i) {
        const Box& r = boxes[i];
        if (x < r.left - tolerance || y < r.top - tolerance || x >= r.right + tolerance || y >= r.bottom + tolerance)
          continue;
        in = true;
        seen[i] = {std::min(seen[i].left, x), std::min(seen[i].top, y), std::max(seen[i].right, x + 1),
                   std::max(seen[i].bottom, y + 1)};
      }
      outside += !in;
    }
  EXPECT_EQ(outside, 0) << what << ": changes outside the boxes";
  for (size_t i = 0; i < boxes.size(); ++i) {
    const Box& r = boxes[i];
    const Box& s = seen[i];
    EXPECT_TRUE(std::abs(s.left - r.left) <= tolerance && std::abs(s.top - r.top) <= tolerance &&
                std::abs(s.right - r.right) <= tolerance && std::abs(s.bottom - r.bottom) <= tolerance)
        << what << ", box " << i << ": changes in " << s.left << "," << s.top << ".." << s.right << "," << s.bottom
        << " for " << r.left << "," << r.top << ".." << r.right << "," << r.bottom;
  }
}

// Where a picture is not transparent, in its own coordinates.
Box content_box(const Pixel* pixels, int width, int height) {
  Box b{width, height, 0, 0};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (pixels[y * width + x] != COLOR_KEY)
        b = {std::min(b.left, x), std::min(b.top, y), std::max(b.right, x + 1), std::max(b.bottom, y + 1)};
  return b;
}

void check_TheFigureGrowsFromItsFirstRectangle() {
  SCOPED_TRACE("TheFigureGrowsFromItsFirstRectangle");
  // The standing figure over the staircase (order 3, a row without a bounce) against the
  // staircase alone (the last frame of the build) gives the figure's box; rows 0 to 7 of
  // order 2 show it scaled into (230, 10)..(294, 58), an eighth of its size.
  const Picture& stairs = shot(1, 48);
  const Picture& standing = shot(3, 4);
  if (stairs.rgb.empty() || standing.rgb.empty()) return;
  Box figure{SCREEN_WIDTH, SCREEN_HEIGHT, 0, 0};
  for (int y = 0; y < SCREEN_HEIGHT; ++y)
    for (int x = 0; x < SCREEN_WIDTH; ++x)
      if (stairs.at(x, y) != standing.at(x, y))
        figure = {std::min(figure.left, x), std::min(figure.top, y), std::max(figure.right, x + 1),
                  std::max(figure.bottom, y + 1)};
  ASSERT_LT(figure.left, figure.right);
  const Box scaled{230 + figure.left / 8, 10 + figure.top / 8, 230 + (figure.right + 7) / 8,
                   10 + (figure.bottom + 7) / 8};
  expect_changes_in(stairs, shot(2, 0), {scaled}, 2, "order 2, row 0");
}

void check_TheFigureOfOrder8FadesWithTheRest() {
  SCOPED_TRACE("TheFigureOfOrder8FadesWithTheRest");
  // By row 16 the fades (100 down to 75 percent, compounding every frame) have taken red
  // and green out of the staircase and the figure alike, blue kept. Only the noise panel
  // (columns 96 to 415, rows 0 to 239) is not faded.
  const Picture& p = shot(8, 16);
  if (p.rgb.empty()) return;
  long coloured = 0, figure = 0;
  for (int y = 0; y < SCREEN_HEIGHT; ++y)
    for (int x = 0; x < SCREEN_WIDTH; ++x) {
      if (y < 240 && x >= 96 && x < 416) continue;
      coloured += (p.at(x, y) & 0xFFFF00u) != 0;
      figure += y >= 300 && x >= 175 && x < 338 && p.at(x, y) != shot(8, 0).at(x, y);
    }
  EXPECT_EQ(coloured, 0) << "pixels with red or green left";
  EXPECT_GT(figure, 1000) << "the figure is not where it slid to";
}

// d + floor((s - d) * 255 / 256) per channel: the blended blit of an opaque pixel.
uint32_t blend_opaque(uint32_t s, uint32_t d) {
  uint32_t out = 0;
  for (int shift : {0, 8, 16}) {
    const uint32_t sc = (s >> shift) & 0xFF, dc = (d >> shift) & 0xFF;
    out |= ((sc * 255 + dc) >> 8) << shift;
  }
  return out;
}

void check_ThePortraitStandsOnTheBottomEdge() {
  SCOPED_TRACE("ThePortraitStandsOnTheBottomEdge");
  // Order 14, row 0: the portrait (361 x 300) at x = 0 with its last row on canvas row 383,
  // blended into the backdrop's ground, which is blended onto the screen's.
  static Pixel portrait[PORTRAIT_WIDTH * PORTRAIT_HEIGHT];
  ASSERT_EQ(load_image("gfx//retrato.gif", portrait, PORTRAIT_WIDTH, PORTRAIT_HEIGHT), 0);
  const Picture& p = shot(14, 0);
  if (p.rgb.empty()) return;
  long opaque = 0, wrong = 0;
  for (int picture_row : {0, PORTRAIT_HEIGHT - 1}) {
    const int y = SCREEN_HEIGHT - PORTRAIT_HEIGHT + picture_row;
    // Clear of the rounded corners, the bubbles and the polygon.
    const int first = picture_row == 0 ? 1 : 54, last = picture_row == 0 ? 60 : PORTRAIT_WIDTH;
    for (int x = first; x < last; ++x) {
      const Pixel s = portrait[picture_row * PORTRAIT_WIDTH + x];
      const uint32_t want = s == COLOR_KEY ? GROUND : blend_opaque(blend_opaque(s & 0xFFFFFFu, GROUND), GROUND);
      opaque += s != COLOR_KEY;
      wrong += p.at(x, y) != want;
    }
  }
  EXPECT_EQ(wrong, 0) << "pixels of its first and last rows not where they belong";
  EXPECT_GT(opaque, 200);
  // Above it, only the ground.
  for (int x = 1; x < 60; ++x) EXPECT_EQ(p.at(x, SCREEN_HEIGHT - PORTRAIT_HEIGHT - 1), GROUND) << x;
}

void check_CreditsStandWhereTheyBelong() {
  SCOPED_TRACE("CreditsStandWhereTheyBelong");
  // Over what order 26 shows, without inverting (rows 2 and 34): three credits at (0, 0),
  // (0, 112) and (0, 225) in rows 1 to 31 of order 27, two at (180, 67) and (180, 158)
  // from row 32 on. A pixel at a picture's edge may blend to what was there already.
  struct Placed {
    const char* file;
    int x, y;
  };
  auto boxes = [](std::initializer_list<Placed> credits) {
    static Pixel picture[CREDIT_WIDTH * CREDIT_HEIGHT];
    std::vector<Box> out;
    for (const Placed& c : credits) {
      EXPECT_EQ(load_image(c.file, picture, CREDIT_WIDTH, CREDIT_HEIGHT), 0) << c.file;
      const Box b = content_box(picture, CREDIT_WIDTH, CREDIT_HEIGHT);
      out.push_back({c.x + b.left, c.y + b.top, c.x + b.right, c.y + b.bottom});
    }
    return out;
  };
  expect_changes_in(
      shot(26, 1), shot(27, 2),
      boxes({{"gfx//creditos1.gif", 0, 0}, {"gfx//creditos2.gif", 0, 112}, {"gfx//creditos3.gif", 0, 225}}), 1,
      "order 27, row 2");
  expect_changes_in(shot(26, 1), shot(27, 34),
                    boxes({{"gfx//creditos4.gif", 180, 67}, {"gfx//creditos5.gif", 180, 158}}), 1, "order 27, row 34");
}

}  // namespace

TEST(Scenes, KeyFramesOfTheWholeProduction) {
  run_production();
  if (HasFatalFailure()) return;
  check_EveryOrderWasShownInTurn();
  check_BlackStartStaircaseAndBlackEnd();
  check_CornersFromOrder9AndTheGroundOfOrders9To20();
  check_CreditsFlashNegativeOnTwoRowsOfEight();
  check_TheFinalPictureWipesDownSixRowsARow();
  check_ColumnZeroCarriesOverInTheGreetingsAndIsBlackFromTheWipe();
  check_TheFigureGrowsFromItsFirstRectangle();
  check_TheFigureOfOrder8FadesWithTheRest();
  check_ThePortraitStandsOnTheBottomEdge();
  check_CreditsStandWhereTheyBelong();
}

TEST(Greetings, SlotsAndPositions) {
  const int rows_0_3[5] = {0, 5, 9, 18, 12}, rows_4_7[5] = {1, 6, 10, 19, 13}, next[5] = {27, 32, 36, 8, 2};
  for (int logo = 0; logo < 5; ++logo) {
    EXPECT_EQ(greeting_slot(logo, 0, 3), rows_0_3[logo]);
    EXPECT_EQ(greeting_slot(logo, 0, 4), rows_4_7[logo]);
    EXPECT_EQ(greeting_slot(logo, 1, 0), next[logo]);
  }
  const int at_zero[5][2] = {{60, 20}, {109, -170}, {68, 0}, {180, 20}, {-30, -80}};
  for (int logo = 0; logo < 5; ++logo) {
    int x, y;
    greeting_position(logo, 0, &x, &y);
    EXPECT_EQ(x, at_zero[logo][0]) << logo;
    EXPECT_EQ(y, at_zero[logo][1]) << logo;
  }
  int x, y;
  greeting_position(0, 900, &x, &y);
  EXPECT_EQ(x, 60);
  EXPECT_EQ(y, -179);
}

TEST(Timing, FadeAndWipeHeldForLongPatterns) {
  EXPECT_EQ(fade_percent(0), 100);
  EXPECT_EQ(fade_percent(32), 50);
  EXPECT_EQ(fade_percent(63), 1);
  EXPECT_EQ(fade_percent(64), 1);
  EXPECT_EQ(fade_percent(200), 1);
  EXPECT_EQ(wipe_rows(0), 0);
  EXPECT_EQ(wipe_rows(1), 6);
  EXPECT_EQ(wipe_rows(63), 378);
  EXPECT_EQ(wipe_rows(64), 384);
  EXPECT_EQ(wipe_rows(100), 384);
}

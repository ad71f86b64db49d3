// effectshots DIR: draws the shapes and the effects that are made of them into
// PNG files in DIR, single pictures and 2x2 sheets, for looking at.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/png_writer.h"
#include "effects/effects.h"
#include "raster/raster.h"

namespace {

using Picture = std::vector<Pixel>;

Picture plain(int red, int green, int blue) { return Picture(SCREEN_PIXELS, pack_pixel(red, green, blue, 0)); }

// The scenes' background from order 9 on.
Picture clear_colour() { return plain(palette[0][0] + 50, palette[0][1] + 50, palette[0][2] + 50); }

bool write_png(const std::string& path, const Pixel* pixels, int width, int height) {
  if (::write_png(path.c_str(), pixels, width, height)) return true;
  std::fprintf(stderr, "effectshots: cannot write %s\n", path.c_str());
  return false;
}

// Four canvases side by side, two rows of two, with a 4-pixel grey gutter.
bool write_sheet(const std::string& path, const Picture* (&four)[4]) {
  constexpr int GAP = 4;
  const int width = SCREEN_WIDTH * 2 + GAP, height = SCREEN_HEIGHT * 2 + GAP;
  std::vector<Pixel> sheet(static_cast<size_t>(width) * height, pack_pixel(128, 128, 128, 0));
  for (int k = 0; k < 4; ++k) {
    const int ox = (k % 2) * (SCREEN_WIDTH + GAP), oy = (k / 2) * (SCREEN_HEIGHT + GAP);
    for (int y = 0; y < SCREEN_HEIGHT; ++y) {
      for (int x = 0; x < SCREEN_WIDTH; ++x) {
        sheet[(oy + y) * width + ox + x] = (*four[k])[y * SCREEN_WIDTH + x];
      }
    }
  }
  return write_png(path, sheet.data(), width, height);
}

Picture staircase(int row) {
  Picture c(SCREEN_PIXELS);
  draw_staircase(0, row, 1, c.data());
  return c;
}

// One frame of orders 10 to 12 without the text and the flicker.
Picture rings(int time, int row, int order) {
  Picture c = clear_colour();
  draw_rings(time / 4, row, order, c.data());
  draw_rounded_frame(time, c.data());
  return c;
}

Picture polygons(int order, int time) {
  Picture c = clear_colour();
  const int i = (time >> 2) % 360;
  if (order == 14) {
    draw_polygon(6, 212, 219, 197, 170, 73, 356, 192, c.data(), 20 + ((sin_table[i] * 20) >> 12));
  } else {
    draw_polygon(6, 212, 219, 197, 120 + ((sin_table[i] * 50) >> 12), 120 + ((cos_table[i] * 50) >> 12), 356, 192,
                 c.data(), 10);
  }
  draw_rounded_frame(time, c.data());
  return c;
}

// Lines fanning out past every edge, ellipses of several stretches, thick lines.
Picture primitives() {
  Picture c = plain(20, 24, 32);
  for (int k = 0; k <= 16; ++k) {
    draw_line(128, 192, -200 + k * 60, -150, 255, 220 - k * 10, 80, 255, c.data());
    draw_line(128, 192, -200 + k * 60, 600, 80, 220 - k * 10, 255, 255, c.data());
  }
  const int stretches[] = {5, 10, 13, 17, 25};
  for (int k = 0; k < 5; ++k)
    fill_circle(230, 120 + k * 25, 60, 30, 330 + (k % 2) * 110, 50 + k * 70, stretches[k], c.data());
  draw_thick_line(260, 370, 500, 250, 8, 200, 200, 255, c.data());
  draw_thick_line(-40, 380, 250, 300, 16, 255, 160, 160, c.data());
  draw_polygon(5, 240, 240, 240, 60, 60, 60, 320, c.data(), 0);
  return c;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: effectshots DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  bool ok = true;
  auto save = [&](const std::string& name, const Picture& p) {
    ok = write_png(dir + "/" + name, p.data(), SCREEN_WIDTH, SCREEN_HEIGHT) && ok;
  };

  const Picture stairs[] = {staircase(0), staircase(8), staircase(24), staircase(48)};
  const int stair_rows[] = {0, 8, 24, 48};
  for (int k = 0; k < 4; ++k) save("staircase_row" + std::to_string(stair_rows[k]) + ".png", stairs[k]);
  const Picture* stair_sheet[4] = {&stairs[0], &stairs[1], &stairs[2], &stairs[3]};
  ok = write_sheet(dir + "/sheet_staircase.png", stair_sheet) && ok;

  // Time in ms; the rings turn one degree per 4 ms.
  const Picture order_10[] = {rings(0, 0, 10), rings(400, 17, 10), rings(800, 33, 10), rings(1200, 60, 10)};
  const Picture order_11_12[] = {rings(0, 0, 11), rings(360, 17, 11), rings(720, 40, 11), rings(1080, 40, 12)};
  const char* names_10[] = {"rings_o10_r00.png", "rings_o10_r17.png", "rings_o10_r33.png", "rings_o10_r60.png"};
  const char* names_11[] = {"rings_o11_r00.png", "rings_o11_r17.png", "rings_o11_r40.png", "rings_o12_r40.png"};
  for (int k = 0; k < 4; ++k) save(names_10[k], order_10[k]), save(names_11[k], order_11_12[k]);
  const Picture* rings_a[4] = {&order_10[0], &order_10[1], &order_10[2], &order_10[3]};
  const Picture* rings_b[4] = {&order_11_12[0], &order_11_12[1], &order_11_12[2], &order_11_12[3]};
  ok = write_sheet(dir + "/sheet_rings_order10.png", rings_a) && ok;
  ok = write_sheet(dir + "/sheet_rings_order11_12.png", rings_b) && ok;

  Picture frame = plain(palette[2][0], palette[2][1], palette[2][2]);
  draw_rounded_frame(0, frame.data());
  const Picture framed_stairs = [] {
    Picture c = staircase(48);
    draw_rounded_frame(0, c.data());
    return c;
  }();
  const Picture shapes[] = {polygons(14, 0), polygons(14, 1080), polygons(15, 200), primitives()};
  save("frame.png", frame);
  save("frame_over_staircase.png", framed_stairs);
  save("star_order14_thick20.png", shapes[0]);
  save("star_order14_thin.png", shapes[1]);
  save("polygon_order15.png", shapes[2]);
  save("primitives.png", shapes[3]);
  const Picture* shape_sheet[4] = {&shapes[0], &shapes[1], &shapes[2], &shapes[3]};
  ok = write_sheet(dir + "/sheet_shapes.png", shape_sheet) && ok;
  const Picture* frame_sheet[4] = {&frame, &framed_stairs, &order_11_12[3], &shapes[0]};
  ok = write_sheet(dir + "/sheet_frame.png", frame_sheet) && ok;
  return ok ? 0 : 1;
}

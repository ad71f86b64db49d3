// compositeshots DIR: draws the image blits and the effects built on them (outfits,
// scaled figure, reveal, flicker, portrait and bubbles, hills) into PNG sheets of four
// frames in DIR, for looking at. Pictures come from gfx/ in the working folder; any
// that is missing is replaced by a test picture of the same size.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/assets.h"
#include "app/png_writer.h"
#include "effects/effects.h"
#include "image/image.h"
#include "raster/raster.h"

namespace {

// What the effects keep, the pool they move and the generator they draw from.
Random generator;
Particle particles[PARTICLE_COUNT];
BubblesState bubbles;
HillsState hills;
FlickerState flicker;

using Picture = std::vector<Pixel>;

Picture plain(int red, int green, int blue, int alpha) {
  return Picture(SCREEN_PIXELS, pack_pixel(red, green, blue, alpha));
}

Picture clear_colour() { return plain(palette[0][0] + 50, palette[0][1] + 50, palette[0][2] + 50, 0); }

bool write_png(const std::string& path, const Pixel* pixels, int width, int height) {
  if (::write_png(path.c_str(), pixels, width, height)) return true;
  std::fprintf(stderr, "compositeshots: cannot write %s\n", path.c_str());
  return false;
}

// Four canvases, two rows of two, with a grey gutter.
bool write_sheet(const std::string& path, const Picture (&four)[4]) {
  constexpr int GAP = 4;
  const int width = SCREEN_WIDTH * 2 + GAP, height = SCREEN_HEIGHT * 2 + GAP;
  Picture sheet(static_cast<size_t>(width) * height, pack_pixel(128, 128, 128, 0));
  for (int k = 0; k < 4; ++k) {
    const int ox = (k % 2) * (SCREEN_WIDTH + GAP), oy = (k / 2) * (SCREEN_HEIGHT + GAP);
    for (int y = 0; y < SCREEN_HEIGHT; ++y)
      for (int x = 0; x < SCREEN_WIDTH; ++x) sheet[(oy + y) * width + ox + x] = four[k][y * SCREEN_WIDTH + x];
  }
  return write_png(path, sheet.data(), width, height);
}

// A stand-in of the right size: a striped oval of one hue on a keyed ground.
void test_picture(Pixel* pixels, int width, int height, int hue) {
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const double u = (x - width / 2.0) / (width / 2.0), v = (y - height / 2.0) / (height / 2.0);
      const bool inside = u * u + v * v < 1.0;
      const int stripe = ((x + y) / 6) % 2 ? 40 : 0;
      pixels[y * width + x] = inside ? pack_pixel(hue, 120 + stripe, 255 - hue, 255) : COLOR_KEY;
    }
}

struct Needed {
  Pixel* pixels;
  int hue;
};

void load_pictures() {
  const Needed needed[] = {
      {img_portrait, 200}, {img_cap, 40},     {img_shirt, 90},     {img_bra_left, 140},  {img_bra_right, 170},
      {img_trousers, 230}, {img_columns, 60}, {img_flicker_1, 20}, {img_flicker_2, 250},
  };
  for (const Needed& n : needed)
    for (const AssetLoad& a : asset_loads) {
      if (a.pixels != n.pixels || load_image(a.path, a.pixels, a.width, a.height) == 0) continue;
      std::fprintf(stderr, "compositeshots: a picture of %dx%d is missing, using a test picture\n", a.width, a.height);
      test_picture(a.pixels, a.width, a.height, n.hue);
    }
}

Picture staircase() {
  Picture c(SCREEN_PIXELS);
  draw_staircase(0, 48, 1, c.data());
  return c;
}

Picture figure(int time, int row, int stage) {
  Picture layer(SCREEN_PIXELS, 0);
  draw_outfits(time, row, stage, layer.data(), cap_image, shirt_image, bra_left_image, bra_right_image, trousers_image);
  return layer;
}

// The figure layer blended over the staircase, as orders 3 to 7 show it.
Picture dressed(int time, int row, int stage) {
  Picture frame = staircase();
  const Picture layer = figure(time, row, stage);
  blit(layer.data(), SCREEN_WIDTH, SCREEN_HEIGHT, frame.data(), 0, 0, 1);
  return frame;
}

// Order 2: the stage-2 figure shrunk into the rectangle of the row.
Picture growing(int row) {
  static const int rects[8][4] = {{230, 10, 294, 58}, {190, 0, 318, 96}, {170, 0, 362, 144}, {125, 0, 381, 192},
                                  {95, 0, 415, 240},  {60, 0, 444, 288}, {48, 0, 496, 336},  {1, 0, 512, 384}};
  const Picture layer_b_copy = figure(0, 0, 2);
  Picture layer_a_copy = plain(255, 0, 0, 0);
  const int* r = rects[row / 8];
  blit_scaled(r[0], r[1], r[2], r[3], layer_a_copy.data(), SCREEN_WIDTH, SCREEN_HEIGHT, layer_b_copy.data(), 1);
  Picture frame = staircase();
  blit(layer_a_copy.data(), SCREEN_WIDTH, SCREEN_HEIGHT, frame.data(), 0, 0, 1);
  return frame;
}

// Orders 7 and 8: the noise panel behind the figure.
Picture revealed(int row, int order) {
  Picture frame = staircase();
  Picture layer(SCREEN_PIXELS);
  reveal_alpha(generator, 0, row, order, layer.data());
  blit(layer.data(), SCREEN_WIDTH, SCREEN_HEIGHT, frame.data(), 0, 0, 1);
  const Picture fig = figure(0, row, 7);
  blit(fig.data(), SCREEN_WIDTH, SCREEN_HEIGHT, frame.data(), 0, 0, 1);
  return frame;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string dir = argc > 1 ? argv[1] : "compositeshots";
  std::filesystem::create_directories(dir);
  load_pictures();
  for (auto& p : particles) p = spawn_particle(generator);
  bool ok = true;

  ok &=
      write_sheet(dir + "/outfits.png", {dressed(0, 1, 2), dressed(0, 8, 3), dressed(90, 10, 6), dressed(270, 42, 6)});
  ok &= write_sheet(dir + "/scaled.png", {growing(0), growing(16), growing(40), growing(56)});
  ok &= write_sheet(dir + "/reveal.png", {revealed(0, 7), revealed(24, 7), revealed(63, 7), revealed(10, 8)});

  // Orders 9 and on: the flicker over the plain ground, two frames per row.
  {
    Picture shots[4];
    const int at[4] = {7, 20, 40, 60};
    flicker.anchor_row = 0;
    int taken = 0;
    for (int row = 0; row < 64 && taken < 4; ++row)
      for (int n = 0; n < 2; ++n) {
        Picture frame = clear_colour();
        draw_flicker(flicker, 0, row, 9, flicker_1_image, flicker_2_image, frame.data());
        if (n == 1 && row == at[taken]) shots[taken++] = frame;
      }
    ok &= write_sheet(dir + "/flicker.png", shots);
  }

  // Order 13: the portrait slides in; order 14: bubbles behind it, 60 frames a second.
  {
    Picture shots[4];
    const int elapsed[4] = {0, 700, 1400, 2100};
    for (int k = 0; k < 4; ++k) {
      shots[k] = clear_colour();
      draw_bubbles_portrait(bubbles, particles, generator, elapsed[k], 0, 13, shots[k].data(), portrait_image);
    }
    ok &= write_sheet(dir + "/portrait.png", shots);
    const int at[4] = {1, 30, 90, 240};
    int taken = 0;
    for (int frame = 1; taken < 4; ++frame) {
      Picture ground = clear_colour();
      draw_bubbles_portrait(bubbles, particles, generator, 2100 + frame * 1000 / 60, 0, 14, ground.data(),
                            portrait_image);
      if (frame == at[taken]) shots[taken++] = ground;
    }
    ok &= write_sheet(dir + "/bubbles.png", shots);
  }

  // Orders 16 to 20: the hills rise, then bubbles and strips scroll over them.
  {
    Picture shots[4];
    const int rows[4][2] = {{16, 0}, {17, 0}, {17, 16}, {17, 40}};
    for (int k = 0; k < 4; ++k) {
      shots[k] = clear_colour();
      draw_hills(hills, particles, generator, 0, rows[k][1], rows[k][0], columns_image, shots[k].data());
    }
    ok &= write_sheet(dir + "/hills_rise.png", shots);
    // The timeline renews records 0..49 below the canvas before the hills' phase.
    for (int i = 0; i < 50; ++i) {
      particles[i] = spawn_particle(generator);
      particles[i].y = next_random(generator) + 384;
      particles[i].x = next_random(generator) * 2;
    }
    // The frames of order 17 before them keep the last phase current.
    hills = HillsState{};
    Picture scratch = clear_colour();
    draw_hills(hills, particles, generator, 60000 >> 2, 63, 17, columns_image, scratch.data());
    const int at[4] = {1, 60, 200, 400};
    int taken = 0;
    for (int n = 1; taken < 4; ++n) {
      Picture frame = clear_colour();
      const int ms = 60000 + n * 1000 / 60;
      const int row = n % 64;
      const int order = n < 64 ? 18 : 20;
      draw_hills(hills, particles, generator, ms >> 2, row, order, columns_image, frame.data());
      if (n == at[taken]) shots[taken++] = frame;
    }
    ok &= write_sheet(dir + "/hills_scroll.png", shots);
  }
  return ok ? 0 : 1;
}

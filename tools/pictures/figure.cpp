// The model of the opening scenes, drawn in the coordinates of the 512×384
// canvas where the pieces stand together, so that they meet exactly: each
// picture is the same drawing seen through its own rectangle.
#include <cmath>

#include "app/assets.h"
#include "art.h"
#include "effects/effects.h"

namespace {

constexpr double CX = 256.5;  // the figure's centre line

enum class Part { cap, shirt, arm, trousers };

void outline(cairo_t* cr, Colour fill, double width = 3.0) { fill_stroke(cr, fill, ink(), width); }

// ---- the hat and the head ----

void draw_head(cairo_t* cr) {
  // Bob of hair behind the face.
  cairo_move_to(cr, CX - 31, 186);
  cairo_curve_to(cr, CX - 35, 205, CX - 34, 222, CX - 26, 229);
  cairo_curve_to(cr, CX - 20, 231, CX - 15, 226, CX - 14, 220);
  cairo_line_to(cr, CX + 14, 220);
  cairo_curve_to(cr, CX + 15, 226, CX + 20, 231, CX + 26, 229);
  cairo_curve_to(cr, CX + 34, 222, CX + 35, 205, CX + 31, 186);
  cairo_close_path(cr);
  outline(cr, shade(P0, -0.25));

  // Neck, flaring into the shoulders that the shirt draws.
  cairo_move_to(cr, CX - 10, 222);
  cairo_line_to(cr, CX - 10, 236);
  cairo_curve_to(cr, CX - 11, 240, CX - 15, 243, CX - 19, 245);
  cairo_line_to(cr, CX + 19, 245);
  cairo_curve_to(cr, CX + 15, 243, CX + 11, 240, CX + 10, 236);
  cairo_line_to(cr, CX + 10, 222);
  cairo_close_path(cr);
  set_colour(cr, skin());
  cairo_fill_preserve(cr);
  set_colour(cr, ink());
  cairo_set_line_width(cr, 2.5);
  cairo_stroke(cr);
  cairo_rectangle(cr, CX - 9, 222, 18, 8);  // shadow under the chin
  set_colour(cr, shade(skin(), -0.18));
  cairo_fill(cr);

  // Face.
  ellipse(cr, CX, 203, 23, 27);
  outline(cr, skin(), 2.5);
  cairo_save(cr);
  ellipse(cr, CX, 203, 21.5, 25.5);
  cairo_clip(cr);
  cairo_rectangle(cr, CX - 30, 180, 60, 22);  // the brim's shade
  set_colour(cr, shade(skin(), -0.2));
  cairo_fill(cr);
  cairo_restore(cr);
  // Closed eyes with long lashes, a small nose, lips.
  set_colour(cr, ink());
  cairo_set_line_width(cr, 2.0);
  for (int side = -1; side <= 1; side += 2) {
    const double ex = CX + side * 10;
    cairo_move_to(cr, ex - 5, 203);
    cairo_curve_to(cr, ex - 2, 206, ex + 2, 206, ex + 5, 203);
    cairo_stroke(cr);
    for (int l = -1; l <= 1; ++l) {
      cairo_move_to(cr, ex + l * 3, 205.2);
      cairo_line_to(cr, ex + l * 3.6, 208);
    }
    cairo_set_line_width(cr, 1.2);
    cairo_stroke(cr);
    cairo_set_line_width(cr, 2.0);
    ellipse(cr, ex + side * 3, 214, 4.5, 2.5);  // blush
    set_colour(cr, mix(skin(), P0, 0.22));
    cairo_fill(cr);
    set_colour(cr, ink());
  }
  cairo_move_to(cr, CX + 1, 206);
  cairo_curve_to(cr, CX + 3, 211, CX + 2, 213, CX - 1, 213);
  cairo_set_line_width(cr, 1.5);
  cairo_stroke(cr);
  cairo_move_to(cr, CX - 7, 219.5);
  cairo_curve_to(cr, CX - 3, 217, CX + 3, 217, CX + 7, 219.5);
  cairo_curve_to(cr, CX + 3, 223.5, CX - 3, 223.5, CX - 7, 219.5);
  fill_stroke(cr, mix(P0, skin(), 0.25), ink(), 1.2);

  // Pearl earrings and a string of pearls at the base of the neck.
  for (int side = -1; side <= 1; side += 2) {
    ellipse(cr, CX + side * 23, 215, 3.2, 3.2);
    outline(cr, P3, 1.5);
  }
  for (int i = -4; i <= 4; ++i) {
    const double px = CX + i * 4.2, py = 238.5 + 0.18 * i * i;
    ellipse(cr, px, py, 2.6, 2.6);
    outline(cr, P3, 1.2);
  }
}

void draw_hat(cairo_t* cr) {
  // Brim: a wide cartwheel, lighter on top, with a rolled edge.
  ellipse(cr, CX, 171, 153, 21);
  outline(cr, shade(P1, -0.12), 3.5);
  ellipse(cr, CX, 168, 138, 15);
  set_colour(cr, P1);
  cairo_fill(cr);
  // Straw weave: faint rings on the brim.
  set_colour(cr, shade(P1, -0.22));
  cairo_set_line_width(cr, 1.2);
  for (int i = 0; i < 3; ++i) {
    ellipse(cr, CX, 169, 74 + i * 22, 8.5 + i * 2.4);
    cairo_stroke(cr);
  }
  // Crown.
  cairo_move_to(cr, CX - 58, 172);
  cairo_line_to(cr, CX - 52, 136);
  cairo_curve_to(cr, CX - 50, 122, CX - 30, 121, CX, 121);
  cairo_curve_to(cr, CX + 30, 121, CX + 50, 122, CX + 52, 136);
  cairo_line_to(cr, CX + 58, 172);
  cairo_curve_to(cr, CX + 30, 180, CX - 30, 180, CX - 58, 172);
  cairo_close_path(cr);
  outline(cr, P2, 3.5);
  // Crown highlight.
  cairo_move_to(cr, CX - 36, 168);
  cairo_curve_to(cr, CX - 40, 150, CX - 36, 132, CX - 22, 127);
  set_colour(cr, P3);
  cairo_set_line_width(cr, 5);
  cairo_stroke(cr);
  // Band with a bow on the right.
  cairo_move_to(cr, CX - 56, 156);
  cairo_curve_to(cr, CX - 30, 163, CX + 30, 163, CX + 56, 156);
  cairo_line_to(cr, CX + 58, 172);
  cairo_curve_to(cr, CX + 30, 180, CX - 30, 180, CX - 58, 172);
  cairo_close_path(cr);
  outline(cr, P0, 3);
  const double bx = CX + 42, by = 166;
  for (int side = -1; side <= 1; side += 2) {
    cairo_move_to(cr, bx, by);
    cairo_curve_to(cr, bx + side * 14, by - 16, bx + side * 26, by - 6, bx + side * 22, by + 2);
    cairo_curve_to(cr, bx + side * 18, by + 10, bx + side * 8, by + 6, bx, by);
    cairo_close_path(cr);
    outline(cr, shade(P0, 0.15), 2.5);
  }
  cairo_move_to(cr, bx - 2, by + 2);
  cairo_line_to(cr, bx - 9, by + 24);
  cairo_line_to(cr, bx - 2, by + 20);
  cairo_line_to(cr, bx + 2, by + 26);
  cairo_line_to(cr, bx + 3, by + 2);
  cairo_close_path(cr);
  outline(cr, P0, 2.5);
  ellipse(cr, bx, by, 5, 5);
  outline(cr, shade(P0, 0.25), 2.5);
}

// ---- the shirt ----

void shirt_path(cairo_t* cr) {
  cairo_move_to(cr, CX - 34, 233);
  cairo_curve_to(cr, CX - 50, 235, CX - 62, 236, CX - 70, 240);
  cairo_curve_to(cr, CX - 77, 243, CX - 81, 250, CX - 81, 258);
  cairo_line_to(cr, CX - 81, 273);
  cairo_line_to(cr, CX - 58, 271);
  cairo_curve_to(cr, CX - 55, 283, CX - 51, 294, CX - 52, 312);
  cairo_curve_to(cr, CX - 20, 315, CX + 20, 315, CX + 52, 312);
  cairo_curve_to(cr, CX + 51, 294, CX + 55, 283, CX + 58, 271);
  cairo_line_to(cr, CX + 81, 273);
  cairo_line_to(cr, CX + 81, 258);
  cairo_curve_to(cr, CX + 81, 250, CX + 77, 243, CX + 70, 240);
  cairo_curve_to(cr, CX + 62, 236, CX + 50, 235, CX + 34, 233);
  cairo_curve_to(cr, CX + 20, 247, CX - 20, 247, CX - 34, 233);
  cairo_close_path(cr);
}

void draw_shirt(cairo_t* cr) {
  // Skin of the open boat neck, behind the shirt.
  cairo_move_to(cr, CX - 36, 234);
  cairo_curve_to(cr, CX - 26, 231, CX - 20, 229, CX - 16, 228);
  cairo_line_to(cr, CX + 16, 228);
  cairo_curve_to(cr, CX + 20, 229, CX + 26, 231, CX + 36, 234);
  cairo_line_to(cr, CX, 250);
  cairo_close_path(cr);
  set_colour(cr, skin());
  cairo_fill(cr);
  cairo_move_to(cr, CX - 18, 236);
  cairo_curve_to(cr, CX - 10, 238, CX - 5, 238, CX - 2, 241);
  cairo_move_to(cr, CX + 18, 236);
  cairo_curve_to(cr, CX + 10, 238, CX + 5, 238, CX + 2, 241);
  set_colour(cr, shade(skin(), -0.25));
  cairo_set_line_width(cr, 1.4);
  cairo_stroke(cr);

  // Breton stripes, following the body a little.
  shirt_path(cr);
  set_colour(cr, P3);
  cairo_fill_preserve(cr);
  cairo_save(cr);
  cairo_clip(cr);
  set_colour(cr, P0);
  for (int i = 0; i < 10; ++i) {
    const double y = 246 + i * 7.6;
    cairo_move_to(cr, CX - 90, y);
    cairo_curve_to(cr, CX - 30, y + 2.5, CX + 30, y + 2.5, CX + 90, y);
    cairo_line_to(cr, CX + 90, y + 3.6);
    cairo_curve_to(cr, CX + 30, y + 6.1, CX - 30, y + 6.1, CX - 90, y + 3.6);
    cairo_close_path(cr);
    cairo_fill(cr);
  }
  // Shading down the sides for a rounded body.
  cairo_pattern_t* side = cairo_pattern_create_linear(CX - 82, 0, CX + 82, 0);
  cairo_pattern_add_color_stop_rgba(side, 0.0, 0, 0, 0, 0.22);
  cairo_pattern_add_color_stop_rgba(side, 0.3, 0, 0, 0, 0.0);
  cairo_pattern_add_color_stop_rgba(side, 0.7, 0, 0, 0, 0.0);
  cairo_pattern_add_color_stop_rgba(side, 1.0, 0, 0, 0, 0.22);
  cairo_set_source(cr, side);
  cairo_paint(cr);
  cairo_pattern_destroy(side);
  // Seams of the set-in sleeves.
  set_colour(cr, shade(P0, -0.3));
  cairo_set_line_width(cr, 1.6);
  for (int s = -1; s <= 1; s += 2) {
    cairo_move_to(cr, CX + s * 66, 240);
    cairo_curve_to(cr, CX + s * 60, 250, CX + s * 58, 262, CX + s * 58, 271);
    cairo_stroke(cr);
  }
  cairo_restore(cr);
  shirt_path(cr);
  set_colour(cr, ink());
  cairo_set_line_width(cr, 3);
  cairo_stroke(cr);
  // Sleeve cuffs.
  for (int s = -1; s <= 1; s += 2) {
    cairo_move_to(cr, CX + s * 81, 267);
    cairo_line_to(cr, CX + s * 58.5, 265.5);
    set_colour(cr, ink());
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
  }
  // Three buttons at the shoulder, a sailor's detail.
  for (int i = 0; i < 3; ++i) {
    ellipse(cr, CX - 50 + i * 5, 240 + i * 1.2, 2.2, 2.2);
    outline(cr, P1, 1.0);
  }
}

// ---- arms ----

void draw_left_arm(cairo_t* cr) {
  // Upper arm hidden in the sleeve; forearm and hand hang beside the hip.
  cairo_move_to(cr, 178, 246);
  cairo_curve_to(cr, 174, 262, 166, 276, 160, 286);
  cairo_line_to(cr, 175, 289);
  cairo_curve_to(cr, 180, 280, 190, 264, 193, 248);
  cairo_close_path(cr);
  outline(cr, skin(), 2.5);
  // Hand.
  cairo_move_to(cr, 159, 284);
  cairo_curve_to(cr, 153, 290, 155, 298, 161, 298);
  cairo_curve_to(cr, 167, 299, 175, 295, 176, 288);
  cairo_close_path(cr);
  outline(cr, skin(), 2.5);
  cairo_move_to(cr, 161, 290);
  cairo_line_to(cr, 158, 295);
  set_colour(cr, shade(skin(), -0.3));
  cairo_set_line_width(cr, 1.2);
  cairo_stroke(cr);
  // Bangles at the wrist.
  for (int i = 0; i < 2; ++i) {
    cairo_move_to(cr, 159 + i * 1.5, 280 - i * 4);
    cairo_line_to(cr, 177 + i * 1.5, 284 - i * 4);
    set_colour(cr, ink());
    cairo_set_line_width(cr, 4.2);
    cairo_stroke_preserve(cr);
    set_colour(cr, i == 0 ? P1 : P3);
    cairo_set_line_width(cr, 2.2);
    cairo_stroke(cr);
  }
}

// ---- trousers ----

void draw_trousers(cairo_t* cr) {
  // High-waisted, wide-legged, pleated; the shirt hides the waistband.
  cairo_move_to(cr, CX - 50, 302);
  cairo_line_to(cr, CX + 50, 302);
  cairo_curve_to(cr, CX + 56, 318, CX + 62, 334, CX + 77, 357);
  cairo_line_to(cr, CX + 6, 357);
  cairo_line_to(cr, CX + 2, 331);
  cairo_line_to(cr, CX - 2, 331);
  cairo_line_to(cr, CX - 6, 357);
  cairo_line_to(cr, CX - 77, 357);
  cairo_curve_to(cr, CX - 62, 334, CX - 56, 318, CX - 50, 302);
  cairo_close_path(cr);
  set_colour(cr, P0);
  cairo_fill_preserve(cr);
  cairo_save(cr);
  cairo_clip(cr);
  // Light falls from the left: the inner halves of the legs lie in shade.
  cairo_pattern_t* light = cairo_pattern_create_linear(CX - 78, 0, CX + 78, 0);
  cairo_pattern_add_color_stop_rgba(light, 0.0, 1, 1, 1, 0.10);
  cairo_pattern_add_color_stop_rgba(light, 0.45, 0, 0, 0, 0.18);
  cairo_pattern_add_color_stop_rgba(light, 0.55, 1, 1, 1, 0.06);
  cairo_pattern_add_color_stop_rgba(light, 1.0, 0, 0, 0, 0.22);
  cairo_set_source(cr, light);
  cairo_paint(cr);
  cairo_pattern_destroy(light);
  cairo_restore(cr);
  set_colour(cr, ink());
  cairo_set_line_width(cr, 3);
  cairo_stroke(cr);
  // Pressed creases and pleats.
  set_colour(cr, shade(P0, 0.35));
  cairo_set_line_width(cr, 1.6);
  for (int s = -1; s <= 1; s += 2) {
    cairo_move_to(cr, CX + s * 28, 314);
    cairo_line_to(cr, CX + s * 40, 355);
    cairo_stroke(cr);
  }
  set_colour(cr, shade(P0, -0.4));
  for (int s = -1; s <= 1; s += 2) {
    cairo_move_to(cr, CX + s * 16, 312);
    cairo_line_to(cr, CX + s * 18, 326);
    cairo_stroke(cr);
  }
  // Turn-ups.
  for (int s = -1; s <= 1; s += 2) {
    cairo_move_to(cr, CX + s * 7, 351);
    cairo_line_to(cr, CX + s * 74, 351);
  }
  set_colour(cr, ink());
  cairo_set_line_width(cr, 2);
  cairo_stroke(cr);
  // Pointed shoes peeping out under the hems.
  for (int s = -1; s <= 1; s += 2) {
    const double fx = CX + s * 36;
    cairo_move_to(cr, fx - 18 * s, 357);
    cairo_curve_to(cr, fx - 12 * s, 363, fx + 10 * s, 364, fx + 28 * s, 362);
    cairo_curve_to(cr, fx + 20 * s, 358, fx + 14 * s, 357, fx + 10 * s, 357);
    cairo_close_path(cr);
    outline(cr, shade(P0, -0.45), 2);
  }
}

void draw_part(cairo_t* cr, Part part) {
  switch (part) {
    case Part::cap:
      draw_head(cr);
      draw_hat(cr);
      break;
    case Part::shirt:
      draw_shirt(cr);
      break;
    case Part::arm:
      draw_left_arm(cr);
      break;
    case Part::trousers:
      draw_trousers(cr);
      break;
  }
}

int make_part(const std::string& out_dir, const char* name, Part part, Place at, int w, int h, bool mirrored,
              int variant) {
  Picture picture = begin_picture(name, w, h);
  cairo_translate(picture.cr, -at.x, -at.y);
  if (mirrored) {
    cairo_translate(picture.cr, 513, 0);
    cairo_scale(picture.cr, -1, 1);
  }
  draw_part(picture.cr, part);
  WriteStyle style;
  style.keyed = true;
  style.matte = ink();
  style.colours = 128;
  style.gif = gif_variant(variant, true);
  return finish_picture(picture, out_dir, style);
}

}  // namespace

int make_figure(const std::string& out_dir) {
  return make_part(out_dir, "cap314142.gif", Part::cap, CAP_PLACE, CAP_WIDTH, CAP_HEIGHT, false, 0) ||
         make_part(out_dir, "camiseta167091.gif", Part::shirt, SHIRT_PLACE, SHIRT_WIDTH, SHIRT_HEIGHT, false, 1) ||
         make_part(out_dir, "bra045059.gif", Part::arm, BRA_LEFT_PLACE, BRA_WIDTH, BRA_HEIGHT, false, 2) ||
         make_part(out_dir, "bradr045059.gif", Part::arm, BRA_RIGHT_PLACE, BRA_WIDTH, BRA_HEIGHT, true, 3) ||
         make_part(out_dir, "pantalon163070.gif", Part::trousers, TROUSERS_PLACE, TROUSERS_WIDTH, TROUSERS_HEIGHT,
                   false, 4);
}

// The full-screen pictures (the hangers behind the greetings, the final
// picture behind the credits) and the tape-measure column of the hills.
#include <cmath>
#include <cstdio>

#include "app/assets.h"
#include "art.h"

namespace {

void outline(cairo_t* cr, Colour fill, double width = 3.0) { fill_stroke(cr, fill, ink(), width); }

// ---- the column: a tailor's tape measure hanging straight ----

void draw_tape(cairo_t* cr) {
  const double left = 16, right = 78;
  // Brass end tab at the top, tape below it.
  rounded_rect(cr, left - 4, 4, right - left + 8, 22, 4);
  outline(cr, shade(P1, -0.25), 3);
  cairo_rectangle(cr, left + 6, 10, right - left - 12, 5);
  set_colour(cr, shade(P1, 0.35));
  cairo_fill(cr);
  for (int i = 0; i < 3; ++i) {
    ellipse(cr, left + 14 + i * 17, 19, 2.5, 2.5);
    set_colour(cr, ink());
    cairo_fill(cr);
  }
  cairo_rectangle(cr, left, 26, right - left, 452);
  outline(cr, P2, 3);
  // Every 6 pixels a mark, every 30 a long one with its number.
  use_font(cr, "NimbusSansNarrow-Bold.otf", 17);
  for (int i = 0; i * 6 < 446; ++i) {
    const double y = 30 + i * 6 + 0.5;
    const bool major = i % 5 == 0;
    const double len = major ? 16 : (i % 5 == 2 || i % 5 == 3 ? 7 : 10);
    cairo_move_to(cr, left + 1.5, y);
    cairo_line_to(cr, left + 1.5 + len, y);
    cairo_move_to(cr, right - 1.5, y);
    cairo_line_to(cr, right - 1.5 - len, y);
    set_colour(cr, major ? ink() : P0);
    cairo_set_line_width(cr, major ? 2.2 : 1.4);
    cairo_stroke(cr);
    if (major && i > 0) {
      char number[16];
      std::snprintf(number, sizeof number, "%d", i / 5);
      set_colour(cr, i % 50 == 0 ? P0 : ink());
      cairo_move_to(cr, (left + right) / 2 - text_width(cr, number) / 2, y + 6);
      cairo_show_text(cr, number);
    }
  }
  // A band of darker tint every ten numbers, as on real tapes.
  for (int band = 0; band < 2; ++band) {
    cairo_rectangle(cr, left + 1.5, 30 + 150 + band * 150 - 2, right - left - 3, 4);
    set_colour(cr, P0, 0.35);
    cairo_fill(cr);
  }
  // Ragged cut at the bottom.
  cairo_move_to(cr, left - 1.5, 474);
  for (int i = 0; i <= 8; ++i) cairo_line_to(cr, left + i * (right - left) / 8.0, (i % 2) ? 480 : 472);
  cairo_line_to(cr, right + 1.5, 480);
  cairo_line_to(cr, left - 1.5, 480);
  cairo_close_path(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
  cairo_fill(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  cairo_move_to(cr, left, 474);
  for (int i = 0; i <= 8; ++i) cairo_line_to(cr, left + i * (right - left) / 8.0, (i % 2) ? 478 : 471);
  set_colour(cr, ink());
  cairo_set_line_width(cr, 3);
  cairo_stroke(cr);
}

// ---- the hangers: a rail of clothes on a boutique wall ----

void garment(cairo_t* cr, int kind, double cx, double top, Colour cloth, int pattern) {
  // Hook and hanger.
  cairo_move_to(cr, cx, top + 14);
  cairo_curve_to(cr, cx, top + 4, cx + 8, top + 2, cx + 8, top - 6);
  cairo_arc_negative(cr, cx + 2, top - 6, 6, 0, M_PI);
  set_colour(cr, shade(P1, -0.1));
  cairo_set_line_width(cr, 2.5);
  cairo_stroke(cr);
  cairo_move_to(cr, cx - 30, top + 30);
  cairo_curve_to(cr, cx - 10, top + 16, cx - 4, top + 14, cx, top + 14);
  cairo_curve_to(cr, cx + 4, top + 14, cx + 10, top + 16, cx + 30, top + 30);
  set_colour(cr, ink());
  cairo_set_line_width(cr, 6);
  cairo_stroke_preserve(cr);
  set_colour(cr, shade(P1, -0.35));
  cairo_set_line_width(cr, 3);
  cairo_stroke(cr);

  const double y = top + 26;
  cairo_new_path(cr);
  switch (kind % 5) {
    case 0:  // shirt with sleeves
      cairo_move_to(cr, cx - 12, y);
      cairo_line_to(cr, cx - 32, y + 6);
      cairo_line_to(cr, cx - 44, y + 60);
      cairo_line_to(cr, cx - 32, y + 62);
      cairo_line_to(cr, cx - 26, y + 34);
      cairo_line_to(cr, cx - 26, y + 130);
      cairo_line_to(cr, cx + 26, y + 130);
      cairo_line_to(cr, cx + 26, y + 34);
      cairo_line_to(cr, cx + 32, y + 62);
      cairo_line_to(cr, cx + 44, y + 60);
      cairo_line_to(cr, cx + 32, y + 6);
      cairo_line_to(cr, cx + 12, y);
      cairo_line_to(cr, cx, y + 14);
      cairo_close_path(cr);
      break;
    case 1:  // long dress
      cairo_move_to(cr, cx - 12, y);
      cairo_curve_to(cr, cx - 22, y + 30, cx - 18, y + 60, cx - 16, y + 80);
      cairo_curve_to(cr, cx - 30, y + 140, cx - 42, y + 200, cx - 46, y + 240);
      cairo_curve_to(cr, cx - 20, y + 248, cx + 20, y + 248, cx + 46, y + 240);
      cairo_curve_to(cr, cx + 42, y + 200, cx + 30, y + 140, cx + 16, y + 80);
      cairo_curve_to(cr, cx + 18, y + 60, cx + 22, y + 30, cx + 12, y);
      cairo_curve_to(cr, cx + 6, y + 12, cx - 6, y + 12, cx - 12, y);
      cairo_close_path(cr);
      break;
    case 2:  // coat
      cairo_move_to(cr, cx - 14, y);
      cairo_line_to(cr, cx - 34, y + 8);
      cairo_line_to(cr, cx - 40, y + 190);
      cairo_line_to(cr, cx + 40, y + 190);
      cairo_line_to(cr, cx + 34, y + 8);
      cairo_line_to(cr, cx + 14, y);
      cairo_line_to(cr, cx, y + 50);
      cairo_close_path(cr);
      break;
    case 3:  // skirt on clips
      cairo_move_to(cr, cx - 24, y + 6);
      cairo_line_to(cr, cx + 24, y + 6);
      cairo_line_to(cr, cx + 42, y + 120);
      cairo_curve_to(cr, cx + 14, y + 126, cx - 14, y + 126, cx - 42, y + 120);
      cairo_close_path(cr);
      break;
    case 4:  // trousers folded over the bar
      cairo_move_to(cr, cx - 28, y + 2);
      cairo_line_to(cr, cx + 28, y + 2);
      cairo_line_to(cr, cx + 26, y + 170);
      cairo_line_to(cr, cx + 4, y + 170);
      cairo_line_to(cr, cx, y + 40);
      cairo_line_to(cr, cx - 4, y + 170);
      cairo_line_to(cr, cx - 26, y + 170);
      cairo_close_path(cr);
      break;
  }
  set_colour(cr, cloth);
  cairo_fill_preserve(cr);
  cairo_save(cr);
  cairo_clip_preserve(cr);
  const Colour mark = shade(cloth, cloth.r > 150 ? -0.3 : 0.3);
  set_colour(cr, mark);
  cairo_set_line_width(cr, 3);
  if (pattern == 1)
    for (int i = 0; i < 30; ++i) {  // stripes
      cairo_move_to(cr, cx - 60, y + i * 10);
      cairo_line_to(cr, cx + 60, y + i * 10);
    }
  if (pattern == 2)
    for (int i = -12; i < 12; ++i) {  // check
      cairo_move_to(cr, cx + i * 12, y);
      cairo_line_to(cr, cx + i * 12, y + 260);
      cairo_move_to(cr, cx - 60, y + (i + 12) * 12);
      cairo_line_to(cr, cx + 60, y + (i + 12) * 12);
    }
  cairo_stroke(cr);
  if (pattern == 3)
    for (int i = 0; i < 26; ++i)
      for (int j = -4; j <= 4; ++j) {  // dots
        ellipse(cr, cx + j * 12 + (i % 2) * 6, y + i * 11, 2.5, 2.5);
        cairo_fill(cr);
      }
  // Fold shadow on one side.
  cairo_pattern_t* fold = cairo_pattern_create_linear(cx - 50, 0, cx + 50, 0);
  cairo_pattern_add_color_stop_rgba(fold, 0.0, 0, 0, 0, 0.0);
  cairo_pattern_add_color_stop_rgba(fold, 0.6, 0, 0, 0, 0.05);
  cairo_pattern_add_color_stop_rgba(fold, 1.0, 0, 0, 0, 0.35);
  cairo_set_source(cr, fold);
  cairo_paint(cr);
  cairo_pattern_destroy(fold);
  cairo_restore(cr);
  set_colour(cr, ink());
  cairo_set_line_width(cr, 3);
  cairo_stroke(cr);
}

void draw_hangers(cairo_t* cr) {
  // Wall: dark, with a quiet damask stripe.
  vertical_gradient(cr, 0, shade(P0, -0.55), 384, shade(P0, -0.2));
  cairo_paint(cr);
  for (int i = 0; i < 17; ++i) {
    cairo_rectangle(cr, i * 32 + 12, 0, 8, 330);
    set_colour(cr, P0, 0.18);
    cairo_fill(cr);
    for (int j = 0; j < 10; ++j) {
      cairo_save(cr);
      cairo_translate(cr, i * 32 + 16 + 16 * (j % 2), 18 + j * 33);
      cairo_rotate(cr, M_PI / 4);
      cairo_rectangle(cr, -4, -4, 8, 8);
      cairo_restore(cr);
      set_colour(cr, P0, 0.22);
      cairo_fill(cr);
    }
  }
  // Floor and skirting board.
  cairo_rectangle(cr, 0, 330, 512, 54);
  vertical_gradient(cr, 330, shade(P0, -0.45), 384, shade(P0, -0.1));
  cairo_fill(cr);
  cairo_rectangle(cr, 0, 326, 512, 8);
  set_colour(cr, shade(P1, -0.55));
  cairo_fill(cr);
  // Rail on two brackets.
  for (int s = 0; s < 2; ++s) {
    const double bx = s ? 470 : 42;
    cairo_rectangle(cr, bx - 4, 0, 8, 58);
    outline(cr, shade(P1, -0.3), 2);
  }
  rounded_rect(cr, 14, 52, 484, 10, 5);
  outline(cr, shade(P2, -0.2), 2.5);
  cairo_rectangle(cr, 20, 54, 472, 2);
  set_colour(cr, P3);
  cairo_fill(cr);
  // The clothes, muted so that the logos in front stand out.
  static const int kinds[9] = {2, 0, 1, 4, 0, 3, 1, 2, 0};
  static const int patterns[9] = {2, 1, 0, 0, 3, 1, 3, 0, 2};
  const Colour cloths[5] = {shade(P1, -0.3), shade(P0, 0.05), shade(P2, -0.4), shade(P3, -0.22), shade(P0, -0.25)};
  for (int i = 0; i < 9; ++i) garment(cr, kinds[i], 64 + i * 48 + (i % 2) * 4, 36, cloths[(i * 3) % 5], patterns[i]);
  // Shopping bags and a hat box on the floor.
  for (int i = 0; i < 3; ++i) {
    const double bx = 70 + i * 170, w = 40 + (i % 2) * 16, h = 34 - (i % 2) * 6;
    const Colour bag = i == 1 ? shade(P1, -0.35) : shade(P2, -0.3);
    if (i == 1) {
      ellipse(cr, bx, 352, w / 2 + 6, 7);
      outline(cr, shade(bag, -0.2), 2);
      cairo_rectangle(cr, bx - w / 2, 352, w, 20);
      outline(cr, bag, 2);
      ellipse(cr, bx, 352, w / 2 + 6, 7);
      outline(cr, shade(bag, 0.15), 2);
      continue;
    }
    cairo_arc(cr, bx, 378 - h, 9, M_PI, 2 * M_PI);
    set_colour(cr, ink());
    cairo_set_line_width(cr, 3);
    cairo_stroke(cr);
    cairo_rectangle(cr, bx - w / 2, 378 - h, w, h);
    outline(cr, bag, 2);
  }
}

// ---- the final picture: a dress form in the spotlight, curtains, a stage ----

void draw_final(cairo_t* cr) {
  // Curtain: vertical folds across the back.
  cairo_pattern_t* folds = cairo_pattern_create_linear(0, 0, 512, 0);
  for (int i = 0; i <= 16; ++i) {
    const Colour c = shade(P0, (i % 2) ? -0.35 : -0.65);
    cairo_pattern_add_color_stop_rgb(folds, i / 16.0, c.r / 255, c.g / 255, c.b / 255);
  }
  cairo_set_source(cr, folds);
  cairo_paint(cr);
  cairo_pattern_destroy(folds);
  // Top valance with scallops and a fringe.
  cairo_move_to(cr, 0, 0);
  cairo_line_to(cr, 512, 0);
  cairo_line_to(cr, 512, 30);
  for (int i = 8; i >= 0; --i) cairo_arc(cr, i * 64 + 32 - 32 + 32, 30, 32, 0, M_PI);
  cairo_close_path(cr);
  outline(cr, shade(P0, -0.15), 3);
  for (int i = 0; i < 8; ++i) {
    cairo_arc(cr, i * 64 + 32, 30, 26, 0.2, M_PI - 0.2);
    set_colour(cr, P1, 0.7);
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
  }
  // Stage floor.
  cairo_rectangle(cr, 0, 318, 512, 66);
  vertical_gradient(cr, 318, shade(P0, -0.5), 384, shade(P0, -0.25));
  cairo_fill(cr);
  set_colour(cr, shade(P0, -0.7));
  cairo_set_line_width(cr, 1.5);
  for (int i = 0; i < 5; ++i) {
    const double y = 326 + i * 12 + i * i;
    cairo_move_to(cr, 0, y);
    cairo_line_to(cr, 512, y);
  }
  cairo_stroke(cr);
  // Spotlight from the upper right: a soft cone and its pool of light.
  cairo_pattern_t* cone = cairo_pattern_create_linear(0, 0, 0, 384);
  cairo_pattern_add_color_stop_rgba(cone, 0, 1, 1, 0.96, 0.05);
  cairo_pattern_add_color_stop_rgba(cone, 1, 1, 1, 0.96, 0.22);
  cairo_move_to(cr, 380, 0);
  cairo_line_to(cr, 440, 0);
  cairo_line_to(cr, 500, 350);
  cairo_line_to(cr, 320, 350);
  cairo_close_path(cr);
  cairo_set_source(cr, cone);
  cairo_fill(cr);
  cairo_pattern_destroy(cone);
  ellipse(cr, 410, 350, 96, 20);
  set_colour(cr, P2, 0.35);
  cairo_fill(cr);

  // Dress form on its stand.
  const double fx = 410;
  cairo_move_to(cr, fx, 270);
  cairo_line_to(cr, fx, 344);
  set_colour(cr, ink());
  cairo_set_line_width(cr, 6);
  cairo_stroke(cr);
  for (int s = -1; s <= 1; s += 2) {
    cairo_move_to(cr, fx, 340);
    cairo_line_to(cr, fx + s * 40, 354);
  }
  cairo_move_to(cr, fx, 340);
  cairo_line_to(cr, fx, 358);
  cairo_set_line_width(cr, 5);
  cairo_stroke(cr);
  // Gown: a fitted bodice and a skirt that spreads to the floor.
  cairo_move_to(cr, fx - 30, 120);
  cairo_curve_to(cr, fx - 36, 150, fx - 24, 180, fx - 20, 196);
  cairo_curve_to(cr, fx - 50, 250, fx - 86, 300, fx - 96, 344);
  cairo_curve_to(cr, fx - 40, 356, fx + 40, 356, fx + 96, 344);
  cairo_curve_to(cr, fx + 86, 300, fx + 50, 250, fx + 20, 196);
  cairo_curve_to(cr, fx + 24, 180, fx + 36, 150, fx + 30, 120);
  cairo_curve_to(cr, fx + 10, 128, fx - 10, 128, fx - 30, 120);
  cairo_close_path(cr);
  set_colour(cr, P3);
  cairo_fill_preserve(cr);
  cairo_save(cr);
  cairo_clip_preserve(cr);
  // Soft pleats falling from the waist.
  for (int i = -5; i <= 5; ++i) {
    cairo_move_to(cr, fx + i * 3, 198);
    cairo_curve_to(cr, fx + i * 6, 250, fx + i * 13, 300, fx + i * 17, 352);
    set_colour(cr, shade(P2, -0.12 - 0.04 * (i % 2 ? 1 : 0)));
    cairo_set_line_width(cr, 3);
    cairo_stroke(cr);
  }
  cairo_pattern_t* turn = cairo_pattern_create_linear(fx - 96, 0, fx + 96, 0);
  cairo_pattern_add_color_stop_rgba(turn, 0.0, 0, 0, 0, 0.32);
  cairo_pattern_add_color_stop_rgba(turn, 0.45, 0, 0, 0, 0.0);
  cairo_pattern_add_color_stop_rgba(turn, 0.7, 1, 1, 1, 0.1);
  cairo_pattern_add_color_stop_rgba(turn, 1.0, 0, 0, 0, 0.18);
  cairo_set_source(cr, turn);
  cairo_fill(cr);
  cairo_pattern_destroy(turn);
  cairo_restore(cr);
  set_colour(cr, ink());
  cairo_set_line_width(cr, 3);
  cairo_stroke(cr);
  // Sash with a bow at the waist.
  cairo_move_to(cr, fx - 23, 190);
  cairo_curve_to(cr, fx - 8, 196, fx + 8, 196, fx + 23, 190);
  cairo_line_to(cr, fx + 21, 204);
  cairo_curve_to(cr, fx + 8, 209, fx - 8, 209, fx - 21, 204);
  cairo_close_path(cr);
  outline(cr, P0, 2.5);
  for (int s = -1; s <= 1; s += 2) {
    cairo_move_to(cr, fx + 10, 198);
    cairo_curve_to(cr, fx + 10 + s * 16, 184, fx + 10 + s * 24, 196, fx + 10 + s * 18, 206);
    cairo_close_path(cr);
    outline(cr, shade(P0, 0.15), 2.2);
  }
  cairo_move_to(cr, fx + 8, 200);
  cairo_curve_to(cr, fx + 2, 226, fx + 12, 240, fx + 6, 262);
  cairo_move_to(cr, fx + 12, 200);
  cairo_curve_to(cr, fx + 22, 226, fx + 16, 244, fx + 24, 258);
  set_colour(cr, ink());
  cairo_set_line_width(cr, 5);
  cairo_stroke_preserve(cr);
  set_colour(cr, P0);
  cairo_set_line_width(cr, 2.5);
  cairo_stroke(cr);
  // The form's neck and cap above the gown, a tape measure draped over it.
  cairo_move_to(cr, fx - 30, 122);
  cairo_curve_to(cr, fx - 34, 100, fx - 12, 96, fx - 10, 84);
  cairo_line_to(cr, fx + 10, 84);
  cairo_curve_to(cr, fx + 12, 96, fx + 34, 100, fx + 30, 122);
  cairo_curve_to(cr, fx + 10, 128, fx - 10, 128, fx - 30, 122);
  cairo_close_path(cr);
  outline(cr, P1, 3);
  ellipse(cr, fx, 82, 14, 5);
  outline(cr, shade(P1, -0.3), 2.5);
  cairo_move_to(cr, fx - 4, 74);
  cairo_line_to(cr, fx + 4, 74);
  cairo_line_to(cr, fx + 3, 80);
  cairo_line_to(cr, fx - 3, 80);
  cairo_close_path(cr);
  outline(cr, P1, 2);
  for (int s = -1; s <= 1; s += 2) {
    cairo_move_to(cr, fx - 8 * s, 92);
    cairo_curve_to(cr, fx - 22 * s, 110, fx - 30 * s, 150, fx - 26 * s, 182 + s * 14);
  }
  set_colour(cr, ink());
  cairo_set_line_width(cr, 9);
  cairo_stroke_preserve(cr);
  set_colour(cr, P2);
  cairo_set_line_width(cr, 5.5);
  cairo_stroke(cr);

  // Scissors and a spool left on the stage, a pair of pins.
  // (kept below the line of text that the credits scene lays across y 332..359)
  draw_icon(cr, Icon::spool, 236, 370, 20, shade(P1, -0.2), ink());
  cairo_save(cr);
  cairo_translate(cr, 272, 372);
  cairo_rotate(cr, 1.2);
  draw_icon(cr, Icon::scissors, 0, 0, 30, P2, ink());
  cairo_restore(cr);
  draw_icon(cr, Icon::pin, 312, 370, 14, P1, ink());
}

}  // namespace

int make_scenes(const std::string& out_dir) {
  Picture tape = begin_picture("columnas.gif", COLUMNS_WIDTH, COLUMNS_HEIGHT);
  draw_tape(tape.cr);
  WriteStyle keyed;
  keyed.keyed = true;
  keyed.matte = ink();
  keyed.colours = 32;
  keyed.dither = 0.3;
  keyed.gif = gif_variant(1, true);
  if (finish_picture(tape, out_dir, keyed) != 0) return 1;

  WriteStyle opaque;
  opaque.colours = 256;
  opaque.dither = 1.0;
  Picture hangers = begin_picture("perchas.gif", FULL_WIDTH, FULL_HEIGHT);
  draw_hangers(hangers.cr);
  opaque.gif = gif_variant(4, false);
  if (finish_picture(hangers, out_dir, opaque) != 0) return 1;
  Picture final_picture = begin_picture("ffinal.gif", FULL_WIDTH, FULL_HEIGHT);
  draw_final(final_picture.cr);
  opaque.gif = gif_variant(3, false);
  return finish_picture(final_picture, out_dir, opaque);
}

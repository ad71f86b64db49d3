// The portrait of the middle scenes and the model of the flicker scenes.
#include <cmath>

#include "app/assets.h"
#include "art.h"

namespace {

struct Point {
  double x, y;
};

void outline(cairo_t* cr, Colour fill, double width = 3.0) { fill_stroke(cr, fill, ink(), width); }

// ---- the portrait: a bust in profile, looking right, standing on the bottom edge ----

void draw_portrait(cairo_t* cr) {
  const Colour hair = shade(P0, -0.3);
  const Colour coat = P1;
  // Hair bun at the back of the head, behind everything.
  ellipse(cr, 128, 92, 36, 34);
  outline(cr, hair, 3.5);
  set_colour(cr, shade(hair, 0.25));
  cairo_set_line_width(cr, 1.6);
  for (int i = 0; i < 4; ++i) {
    cairo_arc(cr, 128, 92, 10 + i * 7, 3.6 + i * 0.3, 5.6 + i * 0.3);
    cairo_stroke(cr);
  }

  // Neck.
  cairo_move_to(cr, 176, 150);
  cairo_curve_to(cr, 174, 180, 170, 205, 164, 236);
  cairo_line_to(cr, 246, 236);
  cairo_curve_to(cr, 236, 214, 230, 192, 228, 168);
  cairo_close_path(cr);
  outline(cr, skin());
  cairo_move_to(cr, 180, 196);
  cairo_curve_to(cr, 196, 204, 212, 204, 232, 196);
  set_colour(cr, shade(skin(), -0.15));
  cairo_set_line_width(cr, 2);
  cairo_stroke(cr);

  // Face in profile.
  cairo_move_to(cr, 170, 60);
  cairo_curve_to(cr, 200, 34, 240, 36, 252, 66);     // crown to forehead
  cairo_curve_to(cr, 256, 76, 256, 86, 260, 94);     // brow
  cairo_curve_to(cr, 266, 104, 274, 114, 276, 120);  // nose
  cairo_curve_to(cr, 276, 124, 270, 126, 264, 126);  // nose tip, under it
  cairo_curve_to(cr, 266, 130, 268, 133, 267, 136);  // upper lip
  cairo_curve_to(cr, 264, 139, 262, 140, 263, 142);  // mouth
  cairo_curve_to(cr, 266, 145, 265, 149, 260, 152);  // lower lip
  cairo_curve_to(cr, 257, 154, 258, 158, 260, 162);  // chin dimple
  cairo_curve_to(cr, 262, 172, 252, 178, 236, 178);  // chin
  cairo_curve_to(cr, 220, 178, 200, 168, 186, 156);  // jaw
  cairo_curve_to(cr, 170, 140, 160, 100, 170, 60);
  cairo_close_path(cr);
  outline(cr, skin());
  ellipse(cr, 238, 132, 10, 6);  // blush
  set_colour(cr, mix(skin(), P0, 0.16));
  cairo_fill(cr);
  // Lips on the edge of the profile, and the line of the mouth.
  cairo_move_to(cr, 267, 135);
  cairo_curve_to(cr, 263, 134, 260, 137, 259, 141);
  cairo_curve_to(cr, 260, 146, 263, 150, 262, 151);
  cairo_curve_to(cr, 266, 147, 264, 143, 263, 141);
  cairo_curve_to(cr, 266, 139, 268, 137, 267, 135);
  cairo_close_path(cr);
  set_colour(cr, mix(P0, skin(), 0.35));
  cairo_fill(cr);
  cairo_move_to(cr, 263, 141.5);
  cairo_line_to(cr, 255, 142.5);
  set_colour(cr, ink());
  cairo_set_line_width(cr, 1.8);
  cairo_stroke(cr);
  // Eye: a long almond, lashes and a brow arch.
  cairo_move_to(cr, 236, 102);
  cairo_curve_to(cr, 242, 96, 250, 96, 254, 101);
  cairo_curve_to(cr, 249, 106, 242, 106, 236, 102);
  outline(cr, P3, 2);
  ellipse(cr, 248, 101.5, 3.2, 3.6);
  set_colour(cr, ink());
  cairo_fill(cr);
  cairo_move_to(cr, 234, 100);
  cairo_curve_to(cr, 242, 94, 250, 94, 256, 100);
  cairo_set_line_width(cr, 3);
  cairo_stroke(cr);
  for (int i = 0; i < 3; ++i) {
    cairo_move_to(cr, 240 + i * 5, 96.5 - (i == 1));
    cairo_line_to(cr, 236 + i * 6, 90 - (i == 1));
  }
  cairo_set_line_width(cr, 1.5);
  cairo_stroke(cr);
  cairo_move_to(cr, 232, 86);
  cairo_curve_to(cr, 240, 80, 250, 80, 256, 84);
  cairo_set_line_width(cr, 3);
  cairo_stroke(cr);

  // Sleek hair over the skull, swept back to the bun.
  cairo_move_to(cr, 248, 62);
  cairo_curve_to(cr, 236, 34, 196, 28, 166, 48);
  cairo_curve_to(cr, 146, 62, 140, 96, 152, 126);
  cairo_curve_to(cr, 160, 144, 174, 152, 186, 150);
  cairo_curve_to(cr, 180, 130, 184, 110, 200, 96);
  cairo_curve_to(cr, 214, 80, 236, 72, 248, 62);
  cairo_close_path(cr);
  outline(cr, hair, 3);
  set_colour(cr, shade(hair, 0.3));
  cairo_set_line_width(cr, 2);
  for (int i = 0; i < 4; ++i) {
    cairo_move_to(cr, 236 - i * 6, 58 + i * 4);
    cairo_curve_to(cr, 212 - i * 8, 46 + i * 6, 180 - i * 6, 56 + i * 10, 164 - i * 2, 90 + i * 12);
    cairo_stroke(cr);
  }
  // Ear and a large hoop earring.
  ellipse(cr, 198, 118, 9, 13);
  outline(cr, skin(), 2.5);
  cairo_arc(cr, 197, 150, 17, 0, 2 * M_PI);
  set_colour(cr, ink());
  cairo_set_line_width(cr, 6.5);
  cairo_stroke(cr);
  cairo_arc(cr, 197, 150, 17, 0, 2 * M_PI);
  set_colour(cr, P2);
  cairo_set_line_width(cr, 3);
  cairo_stroke(cr);

  // Coat with a high funnel collar, wide shoulders down to the bottom edge.
  cairo_move_to(cr, 6, 300);
  cairo_curve_to(cr, 14, 262, 40, 240, 96, 230);
  cairo_curve_to(cr, 130, 224, 150, 218, 160, 212);
  cairo_line_to(cr, 250, 212);
  cairo_curve_to(cr, 272, 226, 300, 234, 322, 250);
  cairo_curve_to(cr, 340, 264, 350, 282, 354, 300);
  cairo_close_path(cr);
  set_colour(cr, coat);
  cairo_fill_preserve(cr);
  cairo_save(cr);
  cairo_clip(cr);
  // Herringbone weave, faint.
  set_colour(cr, shade(coat, -0.12));
  cairo_set_line_width(cr, 1.2);
  for (int col = 0; col < 40; ++col)
    for (int row = 0; row < 12; ++row) {
      const double x = col * 9, y = 210 + row * 8;
      cairo_move_to(cr, x, y);
      cairo_line_to(cr, x + 4.5, y + ((col % 2) ? 4 : -4) + 4);
    }
  cairo_stroke(cr);
  cairo_restore(cr);
  set_colour(cr, ink());
  cairo_set_line_width(cr, 3.5);
  cairo_stroke(cr);
  // Lapel sweeping down to the right, with a row of buttons.
  cairo_move_to(cr, 236, 240);
  cairo_curve_to(cr, 262, 256, 284, 268, 300, 300);
  cairo_line_to(cr, 262, 300);
  cairo_curve_to(cr, 254, 276, 238, 258, 222, 246);
  cairo_close_path(cr);
  outline(cr, P0, 3);
  for (int i = 0; i < 2; ++i) {
    ellipse(cr, 232 + i * 8, 272 + i * 18, 5.5, 5.5);
    outline(cr, P3, 2);
  }
  // Shoulder seam and a pocket flap.
  cairo_move_to(cr, 96, 232);
  cairo_curve_to(cr, 104, 254, 110, 276, 112, 300);
  cairo_move_to(cr, 40, 282);
  cairo_line_to(cr, 92, 278);
  set_colour(cr, shade(coat, -0.35));
  cairo_set_line_width(cr, 2.2);
  cairo_stroke(cr);
  // Funnel collar, rolled.
  cairo_move_to(cr, 156, 236);
  cairo_curve_to(cr, 158, 214, 160, 200, 166, 186);
  cairo_curve_to(cr, 196, 196, 222, 196, 238, 184);
  cairo_curve_to(cr, 246, 202, 252, 220, 256, 238);
  cairo_curve_to(cr, 226, 252, 186, 252, 156, 236);
  cairo_close_path(cr);
  outline(cr, P3, 3);
  set_colour(cr, shade(P3, -0.18));
  cairo_set_line_width(cr, 1.6);
  for (int i = 1; i < 4; ++i) {
    cairo_move_to(cr, 162, 236 - i * 12);
    cairo_curve_to(cr, 190, 244 - i * 12, 224, 244 - i * 12, 250, 232 - i * 12);
    cairo_stroke(cr);
  }
}

// ---- the model of the flicker scenes: one woman, two poses ----

struct Pose {
  Point head;
  double tilt;
  Point shoulder_l, elbow_l, hand_l;
  Point shoulder_r, elbow_r, hand_r;
  Point hip_l, knee_l, ankle_l;
  Point hip_r, knee_r, ankle_r;
  bool bag_right;
  bool hand_to_hat;
};

// A limb as a bent stroke: an ink band first, then the fill inside it.
void limb(cairo_t* cr, Point a, Point b, Point c, double width, Colour fill) {
  for (int pass = 0; pass < 2; ++pass) {
    cairo_move_to(cr, a.x, a.y);
    cairo_line_to(cr, b.x, b.y);
    cairo_line_to(cr, c.x, c.y);
    set_colour(cr, pass == 0 ? ink() : fill);
    cairo_set_line_width(cr, pass == 0 ? width + 5 : width);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke(cr);
  }
}

Point along(Point a, Point b, double t) { return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t}; }

void leg(cairo_t* cr, Point hip, Point knee, Point ankle, int toe) {
  limb(cr, hip, knee, ankle, 13, skin());
  // Knee-high boot with a pointed toe and a slim heel.
  limb(cr, along(knee, ankle, 0.15), along(knee, ankle, 0.6), ankle, 12, shade(P0, -0.45));
  cairo_move_to(cr, ankle.x - 5 * toe, ankle.y - 5);
  cairo_curve_to(cr, ankle.x + 4 * toe, ankle.y - 4, ankle.x + 14 * toe, ankle.y + 6, ankle.x + 19 * toe, ankle.y + 13);
  cairo_line_to(cr, ankle.x + 1 * toe, ankle.y + 11);
  cairo_line_to(cr, ankle.x - 3 * toe, ankle.y + 20);
  cairo_line_to(cr, ankle.x - 7 * toe, ankle.y + 20);
  cairo_line_to(cr, ankle.x - 7 * toe, ankle.y + 3);
  cairo_close_path(cr);
  outline(cr, shade(P0, -0.45), 2);
}

void arm(cairo_t* cr, Point shoulder, Point elbow, Point hand) {
  const Point wrist = along(elbow, hand, 0.82);
  limb(cr, shoulder, elbow, wrist, 13, P2);                  // coat sleeve
  limb(cr, along(elbow, hand, 0.66), wrist, wrist, 13, P0);  // cuff
  const Point palm = along(elbow, hand, 1.0);
  ellipse(cr, palm.x, palm.y, 6, 7);
  outline(cr, skin(), 2.2);
}

void check_pattern(cairo_t* cr) {
  // Windowpane check on the coat.
  set_colour(cr, shade(P0, 0.1), 0.75);
  cairo_set_line_width(cr, 1.6);
  for (int i = -4; i < 30; ++i) {
    cairo_move_to(cr, i * 14, 0);
    cairo_line_to(cr, i * 14 + 6, 384);
    cairo_move_to(cr, 0, i * 14);
    cairo_line_to(cr, 200, i * 14 - 4);
  }
  cairo_stroke(cr);
}

void draw_model(cairo_t* cr, const Pose& p) {
  const bool left_on_hip = !p.hand_to_hat && p.bag_right;
  (void)left_on_hip;
  // The arm behind the body.
  arm(cr, p.shoulder_l, p.elbow_l, p.hand_l);

  // Legs, back one first.
  leg(cr, p.hip_r, p.knee_r, p.ankle_r, 1);
  leg(cr, p.hip_l, p.knee_l, p.ankle_l, -1);

  // Long coat: fitted at the waist, flaring to just below the knee.
  const double waist_y = 160;
  const double hem_y = 262;
  const double sway = (p.hip_l.x + p.hip_r.x) / 2 - 100;
  cairo_move_to(cr, p.shoulder_l.x + 4, p.shoulder_l.y - 4);
  cairo_curve_to(cr, 100 + sway * 0.3, 62, 100 + sway * 0.3, 62, p.shoulder_r.x - 4, p.shoulder_r.y - 4);
  cairo_curve_to(cr, p.shoulder_r.x + 6, p.shoulder_r.y + 20, 118 + sway, waist_y - 30, 114 + sway, waist_y);
  cairo_curve_to(cr, 120 + sway, waist_y + 30, 136 + sway, hem_y - 30, 142 + sway, hem_y);
  cairo_curve_to(cr, 120 + sway, hem_y + 8, 80 + sway, hem_y + 8, 58 + sway, hem_y);
  cairo_curve_to(cr, 64 + sway, hem_y - 30, 80 + sway, waist_y + 30, 86 + sway, waist_y);
  cairo_curve_to(cr, 82 + sway, waist_y - 30, p.shoulder_l.x - 6, p.shoulder_l.y + 20, p.shoulder_l.x + 4,
                 p.shoulder_l.y - 4);
  cairo_close_path(cr);
  set_colour(cr, P2);
  cairo_fill_preserve(cr);
  cairo_save(cr);
  cairo_clip_preserve(cr);
  check_pattern(cr);
  // Shade down the back edge of the coat.
  cairo_pattern_t* side = cairo_pattern_create_linear(50 + sway, 0, 150 + sway, 0);
  cairo_pattern_add_color_stop_rgba(side, 0.0, 0, 0, 0, 0.0);
  cairo_pattern_add_color_stop_rgba(side, 0.7, 0, 0, 0, 0.0);
  cairo_pattern_add_color_stop_rgba(side, 1.0, 0, 0, 0, 0.25);
  cairo_set_source(cr, side);
  cairo_fill(cr);
  cairo_pattern_destroy(side);
  cairo_restore(cr);
  cairo_new_path(cr);
  cairo_move_to(cr, p.shoulder_l.x + 4, p.shoulder_l.y - 4);
  cairo_curve_to(cr, 100 + sway * 0.3, 62, 100 + sway * 0.3, 62, p.shoulder_r.x - 4, p.shoulder_r.y - 4);
  cairo_curve_to(cr, p.shoulder_r.x + 6, p.shoulder_r.y + 20, 118 + sway, waist_y - 30, 114 + sway, waist_y);
  cairo_curve_to(cr, 120 + sway, waist_y + 30, 136 + sway, hem_y - 30, 142 + sway, hem_y);
  cairo_curve_to(cr, 120 + sway, hem_y + 8, 80 + sway, hem_y + 8, 58 + sway, hem_y);
  cairo_curve_to(cr, 64 + sway, hem_y - 30, 80 + sway, waist_y + 30, 86 + sway, waist_y);
  cairo_curve_to(cr, 82 + sway, waist_y - 30, p.shoulder_l.x - 6, p.shoulder_l.y + 20, p.shoulder_l.x + 4,
                 p.shoulder_l.y - 4);
  cairo_close_path(cr);
  set_colour(cr, ink());
  cairo_set_line_width(cr, 3);
  cairo_stroke(cr);
  // Front edge, belt with a buckle, collar.
  cairo_move_to(cr, 100 + sway * 0.3, 70);
  cairo_curve_to(cr, 104 + sway * 0.6, 120, 100 + sway, 200, 104 + sway, hem_y + 6);
  set_colour(cr, ink());
  cairo_set_line_width(cr, 2);
  cairo_stroke(cr);
  cairo_move_to(cr, 85 + sway, waist_y - 6);
  cairo_curve_to(cr, 95 + sway, waist_y - 2, 105 + sway, waist_y - 2, 116 + sway, waist_y - 6);
  cairo_line_to(cr, 116 + sway, waist_y + 5);
  cairo_curve_to(cr, 105 + sway, waist_y + 9, 95 + sway, waist_y + 9, 85 + sway, waist_y + 5);
  cairo_close_path(cr);
  outline(cr, P0, 2);
  rounded_rect(cr, 96 + sway, waist_y - 5, 11, 12, 2);
  outline(cr, P3, 1.8);
  for (int s = -1; s <= 1; s += 2) {
    cairo_move_to(cr, 100 + sway * 0.3, 70);
    cairo_line_to(cr, 100 + sway * 0.3 + s * 16, 70);
    cairo_line_to(cr, 100 + sway * 0.4 + s * 5, 96);
    cairo_close_path(cr);
    outline(cr, P0, 2);
  }

  // Neck and head, a little tilted, with a bob and a small hat.
  limb(cr, Point{100 + sway * 0.3, 74}, Point{(100 + sway * 0.3 + p.head.x) / 2, 60}, Point{p.head.x, p.head.y + 12},
       10, skin());
  cairo_save(cr);
  cairo_translate(cr, p.head.x, p.head.y);
  cairo_rotate(cr, p.tilt);
  cairo_move_to(cr, -19, -8);
  cairo_curve_to(cr, -24, 8, -22, 22, -14, 26);
  cairo_line_to(cr, 14, 26);
  cairo_curve_to(cr, 22, 22, 24, 8, 19, -8);
  cairo_close_path(cr);
  outline(cr, shade(P0, -0.3), 2.5);
  ellipse(cr, 0, 4, 14, 19);
  outline(cr, skin(), 2.5);
  set_colour(cr, ink());
  cairo_set_line_width(cr, 1.8);
  for (int s = -1; s <= 1; s += 2) {
    cairo_move_to(cr, s * 6 - 3, 3);
    cairo_line_to(cr, s * 6 + 3, 3);
  }
  cairo_stroke(cr);
  cairo_move_to(cr, -4, 14);
  cairo_curve_to(cr, -1, 16, 1, 16, 4, 14);
  set_colour(cr, mix(P0, skin(), 0.2));
  cairo_set_line_width(cr, 2.5);
  cairo_stroke(cr);
  // Hat: a flat-brimmed boater, tipped.
  ellipse(cr, 0, -10, 30, 6);
  outline(cr, ink(), 2);
  rounded_rect(cr, -16, -28, 32, 18, 4);
  outline(cr, ink(), 2);
  cairo_rectangle(cr, -16, -16, 32, 5);
  set_colour(cr, P3);
  cairo_fill(cr);
  cairo_restore(cr);

  // The arm in front.
  arm(cr, p.shoulder_r, p.elbow_r, p.hand_r);
  if (p.bag_right) {
    const Point h = p.hand_r;
    cairo_arc(cr, h.x, h.y + 14, 10, M_PI, 2 * M_PI);
    set_colour(cr, ink());
    cairo_set_line_width(cr, 3);
    cairo_stroke(cr);
    rounded_rect(cr, h.x - 16, h.y + 12, 32, 26, 5);
    outline(cr, P0, 2.5);
    cairo_move_to(cr, h.x - 16, h.y + 20);
    cairo_line_to(cr, h.x + 16, h.y + 20);
    set_colour(cr, ink());
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
    ellipse(cr, h.x, h.y + 21, 3, 3);
    outline(cr, P3, 1.5);
  }
}

int make_model(const std::string& out_dir, const char* name, const Pose& pose, int variant) {
  Picture picture = begin_picture(name, FLICKER_WIDTH, FLICKER_HEIGHT);
  draw_model(picture.cr, pose);
  WriteStyle style;
  style.keyed = true;
  style.matte = ink();
  style.colours = 64;
  style.gif = gif_variant(variant, true);
  return finish_picture(picture, out_dir, style);
}

}  // namespace

int make_people(const std::string& out_dir) {
  Picture portrait = begin_picture("retrato.gif", PORTRAIT_WIDTH, PORTRAIT_HEIGHT);
  draw_portrait(portrait.cr);
  WriteStyle style;
  style.keyed = true;
  style.matte = ink();
  style.colours = 128;
  style.gif = gif_variant(5, true);
  if (finish_picture(portrait, out_dir, style) != 0) return 1;

  // Walking towards us: hand on the hip and a bag, then the other step with a hand at the hat.
  const Pose first{{104, 36}, 0.08,       {76, 84},   {56, 124},  {84, 152},  // left hand on the hip
                   {126, 84}, {136, 128}, {138, 170},                         // right arm down, with the bag
                   {90, 176}, {90, 262},  {96, 336},  {110, 176}, {120, 260}, {108, 332}, true, false};
  const Pose second{{96, 36},  -0.1,       {74, 84},   {48, 70},   {66, 34},  // left hand up at the hat brim
                    {124, 84}, {148, 120}, {116, 152},                        // right hand on the hip
                    {90, 176}, {80, 260},  {92, 334},  {110, 176}, {110, 262}, {104, 338}, false, true};
  return make_model(out_dir, "flicker1.gif", first, 0) || make_model(out_dir, "flicker2.gif", second, 3);
}

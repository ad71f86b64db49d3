// The 37 greeting logos: each group's name in its own lettering, on a
// transparent ground. The scenes swing the logos about so that only the area
// x 30..331, y 180..363 of each is always in view; the lettering stays there.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "app/assets.h"
#include "art.h"

namespace {

constexpr double CX = 181, CY = 272;  // centre of the area always in view
constexpr double AREA_W = 286, AREA_H = 172;

struct Scheme {
  Colour fill, line, accent;
};

Scheme scheme_of(char c) {
  switch (c) {
    case 'b':
      return {P1, ink(), P3};
    case 'c':
      return {mix(P0, P3, 0.62), ink(), P2};
    case 'd':
      return {P2, shade(P0, -0.3), P0};
    case 'e':
      return {ink(), P3, P1};
    default:
      return {P3, ink(), P0};
  }
}

Icon icon_of(const std::string& s) {
  static const char* const names[] = {"none",    "needle", "button", "spool", "scissors", "hanger", "zipper",
                                      "thimble", "star",   "yarn",   "pin",   "iron",     "heart"};
  for (int i = 0; i < 13; ++i)
    if (s == names[i]) return static_cast<Icon>(i);
  std::fprintf(stderr, "pictures: unknown pictogram %s\n", s.c_str());
  return Icon::none;
}

std::string trim(const std::string& s) {
  const size_t a = s.find_first_not_of(" \t"), b = s.find_last_not_of(" \t");
  return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}

std::vector<std::string> words_of(const std::string& name) {
  std::vector<std::string> words;
  std::istringstream in(name);
  std::string w;
  while (in >> w) words.push_back(w);
  return words;
}

std::string upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

// Text with a heavy outline drawn under its fill, so it reads over anything.
void outlined_text(cairo_t* cr, const char* text, double cx, double baseline, const Scheme& s, double line_w) {
  centred_text_path(cr, text, cx, baseline);
  set_colour(cr, s.line);
  cairo_set_line_width(cr, line_w);
  cairo_stroke_preserve(cr);
  set_colour(cr, s.fill);
  cairo_fill(cr);
}

// Sets the largest size up to max_size at which text fits in width; returns it.
double fit(cairo_t* cr, const char* font_file, const char* text, double max_size, double width) {
  return fit_size(cr, font_file, text, max_size, width);
}

double cap_height(cairo_t* cr) {
  cairo_text_extents_t e;
  cairo_text_extents(cr, "H", &e);
  return -e.y_bearing;
}

// A pictogram on a round backing of its own, so that it reads over dark and light grounds alike.
void medallion(cairo_t* cr, Icon icon, double x, double y, double size, const Scheme& s) {
  if (icon == Icon::none) return;
  const bool dark_fill = s.fill.r + s.fill.g + s.fill.b < 300;
  const Colour back = dark_fill ? P2 : s.fill;
  const Colour rim = dark_fill ? ink() : s.line;
  ellipse(cr, x, y, size * 0.62, size * 0.62);
  fill_stroke(cr, back, rim, 4);
  draw_icon(cr, icon, x, y, size * 0.8, shade(P1, -0.1), ink());
}

// ---- the styles ----

void style_outline(cairo_t* cr, const std::string& name, const char* f, const Scheme& s, Icon icon) {
  fit(cr, f, name.c_str(), 70, AREA_W - 16);
  const double h = cap_height(cr);
  const double base = CY + h / 2 + 22;
  centred_text_path(cr, name.c_str(), CX + 5, base + 5);  // drop shadow
  set_colour(cr, s.line);
  cairo_set_line_width(cr, 8);
  cairo_stroke_preserve(cr);
  cairo_fill(cr);
  outlined_text(cr, name.c_str(), CX, base, s, 7);
  medallion(cr, icon, CX, base - h - 40, 50, s);
}

void style_badge(cairo_t* cr, const std::string& name, const char* f, const Scheme& s, Icon icon) {
  const double r = 84;
  ellipse(cr, CX, CY, r, r);
  fill_stroke(cr, s.fill, s.line, 6);
  ellipse(cr, CX, CY, r - 30, r - 30);
  fill_stroke(cr, s.accent, s.line, 3);
  // Stitches between the rings.
  const double dash[2] = {5, 4};
  cairo_set_dash(cr, dash, 2, 0);
  ellipse(cr, CX, CY, r - 7, r - 7);
  set_colour(cr, s.line);
  cairo_set_line_width(cr, 1.6);
  cairo_stroke(cr);
  cairo_set_dash(cr, nullptr, 0, 0);
  const std::vector<std::string> words = words_of(upper(name));
  use_font(cr, f, 20);
  const std::string top = words[0];
  const std::string bottom = words.size() > 1 ? words[1] : "EST. 2011";
  // Letter size that keeps each word within about 150 degrees of the ring.
  for (int pass = 0; pass < 2; ++pass) {
    const std::string& w = pass == 0 ? top : bottom;
    double size = 21;
    use_font(cr, f, size);
    const double limit = (r - 24) * 2.5;
    if (text_width(cr, w.c_str()) > limit) use_font(cr, f, size * limit / text_width(cr, w.c_str()));
    arc_text_path(cr, w.c_str(), CX, CY, r - 26, pass == 0 ? 0 : M_PI, pass == 1);
    set_colour(cr, s.line);
    cairo_fill(cr);
  }
  for (int side = -1; side <= 1; side += 2) {
    draw_icon(cr, Icon::star, CX + side * (r - 15), CY, 10, s.accent, s.line);
  }
  medallion(cr, icon, CX, CY, 58, s);
}

void style_ribbon(cairo_t* cr, const std::string& name, const char* f, const Scheme& s, Icon icon) {
  const double w = AREA_W - 20, h = 58, y = CY + 8;
  // Tails folded behind the band.
  for (int side = -1; side <= 1; side += 2) {
    const double x0 = CX + side * (w / 2 - 26), x1 = CX + side * (w / 2 + 4);
    cairo_move_to(cr, x0, y - h / 2 + 14);
    cairo_line_to(cr, x1, y - h / 2 + 14);
    cairo_line_to(cr, x1 - side * 14, y + h / 2 - 6 + 14 - 22);
    cairo_line_to(cr, x1, y + h / 2 + 14);
    cairo_line_to(cr, x0, y + h / 2 + 14);
    cairo_close_path(cr);
    fill_stroke(cr, shade(s.fill, -0.3), s.line, 4);
  }
  cairo_move_to(cr, CX - w / 2 + 16, y - h / 2);
  cairo_curve_to(cr, CX - w / 6, y - h / 2 - 10, CX + w / 6, y - h / 2 - 10, CX + w / 2 - 16, y - h / 2);
  cairo_line_to(cr, CX + w / 2 - 16, y + h / 2);
  cairo_curve_to(cr, CX + w / 6, y + h / 2 - 10, CX - w / 6, y + h / 2 - 10, CX - w / 2 + 16, y + h / 2);
  cairo_close_path(cr);
  fill_stroke(cr, s.fill, s.line, 5);
  fit(cr, f, name.c_str(), 42, w - 56);
  const double ch = cap_height(cr);
  centred_text_path(cr, name.c_str(), CX, y + ch / 2 - 3);
  set_colour(cr, s.line);
  cairo_fill(cr);
  medallion(cr, icon, CX, y - h / 2 - 40, 52, s);
  draw_icon(cr, Icon::star, CX - 60, y - h / 2 - 26, 14, s.fill, s.line);
  draw_icon(cr, Icon::star, CX + 60, y - h / 2 - 26, 14, s.fill, s.line);
}

void style_label(cairo_t* cr, const std::string& name, const char* f, const Scheme& s, Icon icon) {
  const double w = AREA_W - 10, h = 120;
  rounded_rect(cr, CX - w / 2, CY - h / 2 + 10, w, h, 10);
  fill_stroke(cr, s.fill, s.line, 5);
  const double dash[2] = {7, 5};
  cairo_set_dash(cr, dash, 2, 0);
  rounded_rect(cr, CX - w / 2 + 9, CY - h / 2 + 19, w - 18, h - 18, 6);
  set_colour(cr, s.line);
  cairo_set_line_width(cr, 2);
  cairo_stroke(cr);
  cairo_set_dash(cr, nullptr, 0, 0);
  const std::vector<std::string> words = words_of(upper(name));
  const bool two = words.size() > 1;
  if (two) {
    fit(cr, f, words[0].c_str(), 40, w - 140);
    centred_text_path(cr, words[0].c_str(), CX, CY + 2);
    fit(cr, f, words[1].c_str(), 40, w - 140);
    centred_text_path(cr, words[1].c_str(), CX, CY + 44);
  } else {
    fit(cr, f, words[0].c_str(), 50, w - 140);
    centred_text_path(cr, words[0].c_str(), CX, CY + 10 + cap_height(cr) / 2);
  }
  set_colour(cr, s.line);
  cairo_fill(cr);
  medallion(cr, icon, CX - w / 2 + 34, CY + 10, 42, s);
  medallion(cr, icon, CX + w / 2 - 34, CY + 10, 42, s);
}

void style_stacked(cairo_t* cr, const std::string& name, const char* f, const Scheme& s, Icon icon) {
  std::vector<std::string> words = words_of(name);
  if (words.size() == 1) {
    const std::string w = words[0];
    const size_t half = (w.size() + 1) / 2;
    words = {w.substr(0, half), w.substr(half)};
  }
  double y = CY - 52;
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string text = i == 0 ? upper(words[i]) : words[i];
    fit(cr, f, text.c_str(), i == 0 ? 66 : 54, AREA_W - 40);
    const double h = cap_height(cr);
    y += h + 10;
    outlined_text(cr, text.c_str(), CX + (i == 0 ? -10.0 : 10.0), y, s, 7);
  }
  cairo_move_to(cr, CX - AREA_W / 2 + 10, y + 14);
  cairo_line_to(cr, CX + AREA_W / 2 - 60, y + 14);
  set_colour(cr, s.line);
  cairo_set_line_width(cr, 8);
  cairo_stroke_preserve(cr);
  set_colour(cr, s.accent == P0 ? P2 : s.accent);
  cairo_set_line_width(cr, 3);
  cairo_stroke(cr);
  medallion(cr, icon, CX + AREA_W / 2 - 34, y + 8, 46, s);
}

void style_script(cairo_t* cr, const std::string& name, const char* f, const Scheme& s, Icon icon) {
  fit(cr, f, name.c_str(), 84, AREA_W);
  const double h = cap_height(cr);
  const double base = CY + h / 2 + 4;
  // Swash underline, drawn as a tapering thread.
  cairo_move_to(cr, CX - AREA_W / 2 + 4, base + 20);
  cairo_curve_to(cr, CX - 40, base + 4, CX + 40, base + 38, CX + AREA_W / 2 - 4, base + 10);
  set_colour(cr, s.line);
  cairo_set_line_width(cr, 9);
  cairo_stroke_preserve(cr);
  set_colour(cr, s.accent == P0 ? P1 : s.accent);
  cairo_set_line_width(cr, 4);
  cairo_stroke(cr);
  outlined_text(cr, name.c_str(), CX, base, s, 7);
  medallion(cr, icon, CX + AREA_W / 2 - 30, base - h - 24, 44, s);
}

void style_extrude(cairo_t* cr, const std::string& name, const char* f, const Scheme& s, Icon) {
  const std::string text = upper(name);
  fit(cr, f, text.c_str(), 90, AREA_W - 24);
  const double h = cap_height(cr);
  const double base = CY + h / 2 - 4;
  const Colour side = s.fill.r + s.fill.g + s.fill.b < 300 ? shade(s.fill, 0.35) : shade(s.fill, -0.4);
  // One outline round the whole block, then the sides, then the face.
  for (int d = 0; d <= 10; ++d) {
    centred_text_path(cr, text.c_str(), CX - 5 + d, base - 5 + d);
    set_colour(cr, s.line);
    cairo_set_line_width(cr, 7);
    cairo_stroke(cr);
  }
  for (int d = 10; d >= 1; --d) {
    centred_text_path(cr, text.c_str(), CX - 5 + d, base - 5 + d);
    set_colour(cr, d == 10 ? shade(side, -0.25) : side);
    cairo_fill(cr);
  }
  centred_text_path(cr, text.c_str(), CX - 5, base - 5);
  set_colour(cr, s.line);
  cairo_set_line_width(cr, 2.5);
  cairo_stroke_preserve(cr);
  set_colour(cr, s.fill);
  cairo_fill(cr);
  // A highlight stripe across the upper part of the letters.
  centred_text_path(cr, text.c_str(), CX - 5, base - 5);
  cairo_save(cr);
  cairo_clip(cr);
  cairo_rectangle(cr, 0, base - 5 - h * 0.78, 400, h * 0.14);
  set_colour(cr, shade(s.fill, 0.55));
  cairo_fill(cr);
  cairo_restore(cr);
  // Wales of corduroy under the name.
  for (int i = 0; i < 3; ++i) {
    cairo_move_to(cr, CX - 120 + i * 20, base + 28 + i * 11);
    cairo_line_to(cr, CX + 120 - i * 20, base + 28 + i * 11);
  }
  set_colour(cr, s.line);
  cairo_set_line_width(cr, 7);
  cairo_stroke_preserve(cr);
  set_colour(cr, s.accent == P0 ? P1 : s.accent);
  cairo_set_line_width(cr, 3);
  cairo_stroke(cr);
}

void zigzag_rect(cairo_t* cr, double x, double y, double w, double h, double tooth) {
  const int nx = static_cast<int>(w / tooth), ny = static_cast<int>(h / tooth);
  const double tx = w / nx, ty = h / ny;
  cairo_move_to(cr, x, y);
  for (int i = 0; i < nx; ++i) {
    cairo_line_to(cr, x + (i + 0.5) * tx, y - tooth * 0.45);
    cairo_line_to(cr, x + (i + 1) * tx, y);
  }
  for (int i = 0; i < ny; ++i) {
    cairo_line_to(cr, x + w + tooth * 0.45, y + (i + 0.5) * ty);
    cairo_line_to(cr, x + w, y + (i + 1) * ty);
  }
  for (int i = nx - 1; i >= 0; --i) {
    cairo_line_to(cr, x + (i + 0.5) * tx, y + h + tooth * 0.45);
    cairo_line_to(cr, x + i * tx, y + h);
  }
  for (int i = ny - 1; i >= 0; --i) {
    cairo_line_to(cr, x - tooth * 0.45, y + (i + 0.5) * ty);
    cairo_line_to(cr, x, y + i * ty);
  }
  cairo_close_path(cr);
}

void style_patch(cairo_t* cr, const std::string& name, const char* f, const Scheme& s, Icon icon) {
  const double w = AREA_W - 24, h = 140;
  cairo_save(cr);
  cairo_translate(cr, CX, CY);
  cairo_rotate(cr, -0.06);
  zigzag_rect(cr, -w / 2, -h / 2, w, h, 12);
  fill_stroke(cr, s.accent == P0 ? shade(P0, 0.2) : s.accent, s.line, 4);
  // Cross-hatched fabric grain.
  rounded_rect(cr, -w / 2 + 10, -h / 2 + 10, w - 20, h - 20, 4);
  fill_stroke(cr, s.fill, s.line, 3);
  const double dash[2] = {6, 4};
  cairo_set_dash(cr, dash, 2, 0);
  rounded_rect(cr, -w / 2 + 17, -h / 2 + 17, w - 34, h - 34, 3);
  set_colour(cr, s.line);
  cairo_set_line_width(cr, 2);
  cairo_stroke(cr);
  cairo_set_dash(cr, nullptr, 0, 0);
  const std::vector<std::string> words = words_of(upper(name));
  double y = words.size() > 1 ? -10 : 14;
  for (const std::string& w_ : words) {
    fit(cr, f, w_.c_str(), 50, w - 112);
    centred_text_path(cr, w_.c_str(), 30, y + cap_height(cr) / 2);
    set_colour(cr, s.line);
    cairo_fill(cr);
    y += 42;
  }
  medallion(cr, icon, -w / 2 + 46, 0, 50, s);
  cairo_restore(cr);
}

void style_monogram(cairo_t* cr, const std::string& name, const char* f, const Scheme& s, Icon icon) {
  // A diamond with the initial, the name on a bar across its lower half.
  const double r = 78;
  cairo_move_to(cr, CX, CY - r - 8);
  cairo_line_to(cr, CX + r, CY - 8);
  cairo_line_to(cr, CX, CY + r - 8);
  cairo_line_to(cr, CX - r, CY - 8);
  cairo_close_path(cr);
  fill_stroke(cr, s.accent == P0 ? shade(P0, 0.15) : s.accent, s.line, 5);
  cairo_move_to(cr, CX, CY - r + 6);
  cairo_line_to(cr, CX + r - 14, CY - 8);
  cairo_line_to(cr, CX, CY + r - 22);
  cairo_line_to(cr, CX - r + 14, CY - 8);
  cairo_close_path(cr);
  set_colour(cr, s.line);
  cairo_set_line_width(cr, 2);
  cairo_stroke(cr);
  const std::string initial = name.substr(0, 1);
  use_font(cr, f, 96);
  const double h = cap_height(cr);
  outlined_text(cr, initial.c_str(), CX, CY - 12 + h / 2, s, 7);
  medallion(cr, icon, CX + 62, CY - 58, 44, s);
  const std::string word = upper(name);
  fit(cr, f == std::string("Z003-MediumItalic.otf") ? "C059-Bold.otf" : f, word.c_str(), 34, AREA_W - 60);
  const double bar_w = text_width(cr, word.c_str()) + 40;
  rounded_rect(cr, CX - bar_w / 2, CY + 46, bar_w, 44, 6);
  fill_stroke(cr, s.fill, s.line, 5);
  centred_text_path(cr, word.c_str(), CX, CY + 68 + cap_height(cr) / 2);
  set_colour(cr, s.line);
  cairo_fill(cr);
}

void style_slant(cairo_t* cr, const std::string& name, const char* f, const Scheme& s, Icon icon) {
  const std::vector<std::string> words = words_of(name);
  cairo_save(cr);
  cairo_matrix_t shear;
  cairo_matrix_init(&shear, 1, -0.12, -0.32, 1, 0, 0);
  cairo_translate(cr, CX, CY);
  cairo_transform(cr, &shear);
  // Speed lines trailing from the left, like fabric flying off the roll.
  for (int i = 0; i < 4; ++i) {
    cairo_move_to(cr, -AREA_W / 2 + 6 + i * 10, -30 + i * 22);
    cairo_line_to(cr, -AREA_W / 2 + 80 + i * 6, -30 + i * 22);
  }
  set_colour(cr, s.line);
  cairo_set_line_width(cr, 9);
  cairo_stroke_preserve(cr);
  set_colour(cr, s.accent == P0 ? P1 : s.accent);
  cairo_set_line_width(cr, 4);
  cairo_stroke(cr);
  double y = words.size() > 1 ? -18 : 20;
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string text = upper(words[i]);
    fit(cr, f, text.c_str(),
        words.size() > 2    ? 40
        : words.size() == 1 ? 66
                            : 56,
        AREA_W - (words.size() == 1 ? 40 : 70));
    const double h = cap_height(cr);
    outlined_text(cr, text.c_str(), 20 + i * 12, y + h / 2, s, 7);
    y += h + 12;
    if (words.size() > 2) y -= 4;
  }
  cairo_restore(cr);
  medallion(cr, icon, CX + AREA_W / 2 - 26, CY - 64, 40, s);
}

void style_tag(cairo_t* cr, const std::string& name, const char* f, const Scheme& s, Icon icon) {
  // A swing tag on a string, turned a little.
  cairo_save(cr);
  cairo_translate(cr, CX + 10, CY + 6);
  cairo_rotate(cr, 0.08);
  const double w = AREA_W - 40, h = 116;
  cairo_move_to(cr, -w / 2 + 36, -h / 2);
  cairo_line_to(cr, w / 2 - 8, -h / 2);
  cairo_arc(cr, w / 2 - 8, -h / 2 + 8, 8, -M_PI / 2, 0);
  cairo_line_to(cr, w / 2, h / 2 - 8);
  cairo_arc(cr, w / 2 - 8, h / 2 - 8, 8, 0, M_PI / 2);
  cairo_line_to(cr, -w / 2 + 36, h / 2);
  cairo_line_to(cr, -w / 2, 0);
  cairo_close_path(cr);
  fill_stroke(cr, s.fill, s.line, 5);
  ellipse(cr, -w / 2 + 26, 0, 8, 8);
  fill_stroke(cr, s.accent == P0 ? P0 : s.accent, s.line, 3);
  // The string, looping off to the upper left.
  cairo_move_to(cr, -w / 2 + 26, 0);
  cairo_curve_to(cr, -w / 2 - 10, -20, -w / 2 + 10, -70, -w / 2 - 16, -80);
  set_colour(cr, s.line);
  cairo_set_line_width(cr, 6);
  cairo_stroke_preserve(cr);
  set_colour(cr, s.accent == P0 ? P1 : s.accent);
  cairo_set_line_width(cr, 2.5);
  cairo_stroke(cr);
  fit(cr, f, name.c_str(), 50, w - 80);
  centred_text_path(cr, name.c_str(), 22, -4 + cap_height(cr) / 2);
  set_colour(cr, s.line);
  cairo_fill(cr);
  use_font(cr, "NimbusSansNarrow-Bold.otf", 15);
  centred_text_path(cr, "100% GREETINGS", 22, 38);
  cairo_fill(cr);
  cairo_restore(cr);
  medallion(cr, icon, CX + AREA_W / 2 - 30, CY - 70, 38, s);
}

void style_inline(cairo_t* cr, const std::string& name, const char* f, const Scheme& s, Icon icon) {
  fit(cr, f, name.c_str(), 78, AREA_W - 16);
  const double h = cap_height(cr);
  const double base = CY + h / 2 + 14;
  // Thick outer line, a gap of the fill colour, an inner line: engraved letters.
  centred_text_path(cr, name.c_str(), CX, base);
  set_colour(cr, s.line);
  cairo_set_line_width(cr, 14);
  cairo_stroke_preserve(cr);
  set_colour(cr, s.fill);
  cairo_set_line_width(cr, 8);
  cairo_stroke_preserve(cr);
  set_colour(cr, s.line);
  cairo_set_line_width(cr, 3);
  cairo_stroke_preserve(cr);
  set_colour(cr, s.accent == P0 ? P1 : s.accent);
  cairo_fill(cr);
  medallion(cr, icon, CX, base - h - 38, 52, s);
  for (int i = -1; i <= 1; i += 2) draw_icon(cr, Icon::star, CX + i * 50, base - h - 30, 16, s.fill, s.line);
}

void draw_logo(cairo_t* cr, const std::string& name, const char* f, const std::string& style, const Scheme& s,
               Icon icon) {
  if (style == "badge")
    style_badge(cr, name, f, s, icon);
  else if (style == "ribbon")
    style_ribbon(cr, name, f, s, icon);
  else if (style == "label")
    style_label(cr, name, f, s, icon);
  else if (style == "stacked")
    style_stacked(cr, name, f, s, icon);
  else if (style == "script")
    style_script(cr, name, f, s, icon);
  else if (style == "extrude")
    style_extrude(cr, name, f, s, icon);
  else if (style == "patch")
    style_patch(cr, name, f, s, icon);
  else if (style == "monogram")
    style_monogram(cr, name, f, s, icon);
  else if (style == "slant")
    style_slant(cr, name, f, s, icon);
  else if (style == "tag")
    style_tag(cr, name, f, s, icon);
  else if (style == "inline")
    style_inline(cr, name, f, s, icon);
  else
    style_outline(cr, name, f, s, icon);
}

}  // namespace

int make_logos(const std::string& out_dir, const std::string& assets_dir) {
  const std::vector<std::string> groups = read_lines(assets_dir + "/greetings.txt");
  const std::vector<std::string> art = read_lines(assets_dir + "/art/logos.txt");
  int n = 0;
  for (const std::string& group : groups) {
    std::string font_file = "NimbusSans-Bold.otf", style = "outline";
    char colours = 'a';
    Icon icon = Icon::none;
    for (const std::string& line : art) {
      std::vector<std::string> fields;
      std::stringstream in(line);
      std::string field;
      while (std::getline(in, field, '|')) fields.push_back(trim(field));
      if (fields.size() == 5 && fields[0] == group) {
        font_file = fields[1];
        style = fields[2];
        colours = fields[3].empty() ? 'a' : fields[3][0];
        icon = icon_of(fields[4]);
      }
    }
    const std::string file = greeting_file(group);
    Picture picture = begin_picture(file.c_str(), GREETING_WIDTH, GREETING_HEIGHT);
    const Scheme s = scheme_of(colours);
    // Drawn a little under full size: five logos share the screen at once.
    cairo_translate(picture.cr, CX, CY);
    cairo_scale(picture.cr, 0.86, 0.86);
    cairo_translate(picture.cr, -CX, -CY);
    draw_logo(picture.cr, group, font_file.c_str(), style, s, icon);
    WriteStyle write;
    write.keyed = true;
    write.matte = s.line;
    write.colours = 64;
    write.dither = 0.4;
    write.gif = gif_variant(n++, true);
    if (finish_picture(picture, out_dir, write) != 0) return 1;
  }
  return 0;
}

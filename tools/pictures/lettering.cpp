// The running text on its 23 strips and the seven credit labels.
#include <cstdio>
#include <sstream>

#include "app/assets.h"
#include "art.h"

namespace {

std::vector<std::string> fields_of(const std::string& line) {
  std::vector<std::string> fields;
  std::stringstream in(line);
  std::string field;
  while (std::getline(in, field, '|')) {
    const size_t a = field.find_first_not_of(" \t"), b = field.find_last_not_of(" \t");
    fields.push_back(a == std::string::npos ? "" : field.substr(a, b - a + 1));
  }
  return fields;
}

Icon icon_named(const std::string& s) {
  static const char* const names[] = {"none",    "needle", "button", "spool", "scissors", "hanger", "zipper",
                                      "thimble", "star",   "yarn",   "pin",   "iron",     "heart"};
  for (int i = 0; i < 13; ++i)
    if (s == names[i]) return static_cast<Icon>(i);
  return Icon::none;
}

constexpr const char* STRIP_FONT = "URWGothic-Demi.otf";

int make_strip(const std::string& out_dir, int number, int first, int last, const std::string& text) {
  char name[32];
  std::snprintf(name, sizeof name, "text%d.gif", number);
  Picture picture = begin_picture(name, TEXT_WIDTH, TEXT_HEIGHT);
  cairo_t* cr = picture.cr;
  fit_size(cr, STRIP_FONT, text.c_str(), 21, last - first - 14);
  const double cx = (first + last + 1) / 2.0;
  // Light letters in a dark rim: readable over the dark and the light scenes alike.
  centred_text_path(cr, text.c_str(), cx, 20);
  set_colour(cr, ink());
  cairo_set_line_width(cr, 4);
  cairo_stroke_preserve(cr);
  set_colour(cr, P3);
  cairo_fill(cr);
  // A stitched thread under the line, as far as the text goes.
  const double half = text_width(cr, text.c_str()) / 2;
  const double dash[2] = {5, 4};
  cairo_set_dash(cr, dash, 2, 0);
  cairo_move_to(cr, cx - half, 25.5);
  cairo_line_to(cr, cx + half, 25.5);
  set_colour(cr, ink());
  cairo_set_line_width(cr, 3.5);
  cairo_stroke_preserve(cr);
  set_colour(cr, P1);
  cairo_set_line_width(cr, 1.5);
  cairo_stroke(cr);
  WriteStyle style;
  style.keyed = true;
  style.matte = ink();
  style.colours = 16;
  style.dither = 0.0;
  style.gif = gif_variant(number + 2, true);
  return finish_picture(picture, out_dir, style);
}

int make_credit(const std::string& out_dir, int number, const std::string& role, const std::string& line, Icon icon,
                bool dark) {
  char name[32];
  std::snprintf(name, sizeof name, "creditos%d.gif", number);
  Picture picture = begin_picture(name, CREDIT_WIDTH, CREDIT_HEIGHT);
  cairo_t* cr = picture.cr;
  const Colour paper = dark ? shade(P0, -0.45) : P3;
  const Colour letters = dark ? P3 : ink();
  const Colour rim = ink();
  // A woven label, its ends folded under, sewn on with a running stitch.
  for (int side = 0; side < 2; ++side) {
    const double x = side ? 304 : 4;
    cairo_rectangle(cr, x, 18, 26, 64);
    fill_stroke(cr, shade(paper, dark ? 0.15 : -0.22), rim, 3);
  }
  rounded_rect(cr, 16, 6, 302, 88, 6);
  fill_stroke(cr, paper, rim, 4);
  const double dash[2] = {6, 4};
  cairo_set_dash(cr, dash, 2, 0);
  rounded_rect(cr, 24, 13, 286, 74, 4);
  set_colour(cr, dark ? P1 : P0);
  cairo_set_line_width(cr, 1.6);
  cairo_stroke(cr);
  cairo_set_dash(cr, nullptr, 0, 0);

  std::string title = role;
  for (char& c : title)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  fit_size(cr, "C059-Bold.otf", title.c_str(), 36, 190);
  set_colour(cr, letters);
  cairo_move_to(cr, 92, 50);
  cairo_show_text(cr, title.c_str());
  fit_size(cr, "URWGothic-Book.otf", line.c_str(), 15, 206);
  cairo_move_to(cr, 92, 74);
  cairo_show_text(cr, line.c_str());
  // The pictogram on a round badge at the left.
  ellipse(cr, 58, 50, 27, 27);
  fill_stroke(cr, dark ? P2 : P1, rim, 3);
  draw_icon(cr, icon, 58, 50, 36, dark ? P1 : P3, ink());

  WriteStyle style;
  style.keyed = true;
  style.matte = rim;
  style.colours = 32;
  style.dither = 0.2;
  style.gif = gif_variant(number, true);
  return finish_picture(picture, out_dir, style);
}

}  // namespace

int make_lettering(const std::string& out_dir, const std::string& assets_dir) {
  int strips = 0;
  for (const std::string& line : read_lines(assets_dir + "/art/strips.txt")) {
    const std::vector<std::string> f = fields_of(line);
    if (f.size() != 4) {
      std::fprintf(stderr, "pictures: strips.txt: bad line '%s'\n", line.c_str());
      return 1;
    }
    if (make_strip(out_dir, std::stoi(f[0]), std::stoi(f[1]), std::stoi(f[2]), f[3]) != 0) return 1;
    ++strips;
  }
  int credits = 0;
  for (const std::string& line : read_lines(assets_dir + "/art/credits.txt")) {
    const std::vector<std::string> f = fields_of(line);
    if (f.size() != 5) {
      std::fprintf(stderr, "pictures: credits.txt: bad line '%s'\n", line.c_str());
      return 1;
    }
    if (make_credit(out_dir, std::stoi(f[0]), f[1], f[2], icon_named(f[3]), f[4] == "dark") != 0) return 1;
    ++credits;
  }
  if (strips != 23 || credits != 7) {
    std::fprintf(stderr, "pictures: expected 23 strips and 7 credits, found %d and %d\n", strips, credits);
    return 1;
  }
  return 0;
}

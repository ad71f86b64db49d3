#include "art.h"

#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <libimagequant.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <algorithm>
#include <map>

const Colour P0{93, 87, 116};
const Colour P1{202, 209, 187};
const Colour P2{223, 227, 214};
const Colour P3{240, 241, 235};

Colour mix(Colour a, Colour b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Colour shade(Colour c, double amount) {
  if (amount < 0) return mix(c, Colour{0, 0, 0}, -amount);
  return mix(c, Colour{255, 255, 255}, amount);
}

Colour ink() { return shade(P0, -0.62); }
Colour skin() { return mix(P3, P0, 0.10); }

void set_colour(cairo_t* cr, Colour c, double alpha) {
  cairo_set_source_rgba(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0, alpha);
}

// ---- fonts and text ----

cairo_font_face_t* font(const char* file) {
  static FT_Library library = nullptr;
  static std::map<std::string, cairo_font_face_t*> faces;
  auto found = faces.find(file);
  if (found != faces.end()) return found->second;
  if (library == nullptr && FT_Init_FreeType(&library) != 0) {
    std::fprintf(stderr, "pictures: FreeType did not start\n");
    std::exit(1);
  }
  static const char* const folders[] = {"/usr/share/fonts/truetype/dejavu/", "/usr/share/fonts/truetype/liberation2/",
                                        "/usr/share/fonts/opentype/urw-base35/"};
  FT_Face face = nullptr;
  for (const char* folder : folders) {
    const std::string path = std::string(folder) + file;
    if (FT_New_Face(library, path.c_str(), 0, &face) == 0) break;
    face = nullptr;
  }
  if (face == nullptr) {
    std::fprintf(stderr, "pictures: font %s not found (see tools/debian-packages.txt)\n", file);
    std::exit(1);
  }
  cairo_font_face_t* cairo_face = cairo_ft_font_face_create_for_ft_face(face, 0);
  faces[file] = cairo_face;
  return cairo_face;
}

void use_font(cairo_t* cr, const char* file, double size) {
  cairo_set_font_face(cr, font(file));
  cairo_set_font_size(cr, size);
  // Unhinted outlines: the same shapes on every machine with the same fonts.
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  cairo_set_font_options(cr, options);
  cairo_font_options_destroy(options);
}

double text_width(cairo_t* cr, const char* text) {
  cairo_text_extents_t extents;
  cairo_text_extents(cr, text, &extents);
  return extents.x_advance;
}

void centred_text_path(cairo_t* cr, const char* text, double cx, double baseline) {
  cairo_move_to(cr, cx - text_width(cr, text) / 2, baseline);
  cairo_text_path(cr, text);
}

double fit_size(cairo_t* cr, const char* file, const char* text, double size, double max_width) {
  use_font(cr, file, size);
  const double width = text_width(cr, text);
  if (width > max_width) {
    size *= max_width / width;
    use_font(cr, file, size);
  }
  return size;
}

void arc_text_path(cairo_t* cr, const char* text, double cx, double cy, double r, double mid, bool bottom) {
  const double total = text_width(cr, text);
  const double span = total / r;
  double angle = bottom ? mid + span / 2 : mid - span / 2;
  char one[2] = {0, 0};
  for (const char* p = text; *p != 0; ++p) {
    one[0] = *p;
    const double w = text_width(cr, one);
    const double centre = bottom ? angle - w / r / 2 : angle + w / r / 2;
    cairo_save(cr);
    cairo_translate(cr, cx + std::sin(centre) * r, cy - std::cos(centre) * r);
    cairo_rotate(cr, bottom ? centre + M_PI : centre);
    cairo_matrix_t m;
    cairo_get_font_matrix(cr, &m);
    cairo_move_to(cr, -w / 2, bottom ? 0.72 * m.yy : 0);
    cairo_text_path(cr, one);
    cairo_restore(cr);
    angle += bottom ? -w / r : w / r;
  }
}

// ---- shapes ----

void rounded_rect(cairo_t* cr, double x, double y, double w, double h, double radius) {
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - radius, y + radius, radius, -M_PI / 2, 0);
  cairo_arc(cr, x + w - radius, y + h - radius, radius, 0, M_PI / 2);
  cairo_arc(cr, x + radius, y + h - radius, radius, M_PI / 2, M_PI);
  cairo_arc(cr, x + radius, y + radius, radius, M_PI, 1.5 * M_PI);
  cairo_close_path(cr);
}

void ellipse(cairo_t* cr, double cx, double cy, double rx, double ry) {
  cairo_save(cr);
  cairo_translate(cr, cx, cy);
  cairo_scale(cr, rx, ry);
  cairo_new_sub_path(cr);
  cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
  cairo_restore(cr);
}

void fill_stroke(cairo_t* cr, Colour fill, Colour line, double width) {
  set_colour(cr, fill);
  cairo_fill_preserve(cr);
  set_colour(cr, line);
  cairo_set_line_width(cr, width);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_stroke(cr);
}

void vertical_gradient(cairo_t* cr, double y0, Colour c0, double y1, Colour c1) {
  cairo_pattern_t* pattern = cairo_pattern_create_linear(0, y0, 0, y1);
  cairo_pattern_add_color_stop_rgb(pattern, 0, c0.r / 255, c0.g / 255, c0.b / 255);
  cairo_pattern_add_color_stop_rgb(pattern, 1, c1.r / 255, c1.g / 255, c1.b / 255);
  cairo_set_source(cr, pattern);
  cairo_pattern_destroy(pattern);
}

// ---- pictograms ----

void draw_icon(cairo_t* cr, Icon icon, double cx, double cy, double size, Colour fill, Colour line) {
  const double s = size / 2;
  const double lw = std::max(2.0, size / 14);
  cairo_save(cr);
  cairo_translate(cr, cx, cy);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  switch (icon) {
    case Icon::none:
      break;
    case Icon::needle: {
      cairo_rotate(cr, 0.7);
      cairo_move_to(cr, 0, -s);
      cairo_curve_to(cr, s * 0.16, -s * 0.6, s * 0.1, s * 0.5, 0, s);
      cairo_curve_to(cr, -s * 0.1, s * 0.5, -s * 0.16, -s * 0.6, 0, -s);
      fill_stroke(cr, fill, line, lw);
      ellipse(cr, 0, -s * 0.7, s * 0.05, s * 0.16);
      set_colour(cr, line);
      cairo_fill(cr);
      // thread looping away from the eye
      cairo_move_to(cr, 0, -s * 0.7);
      cairo_curve_to(cr, -s * 0.9, -s * 1.1, -s * 1.1, s * 0.2, -s * 0.4, s * 0.4);
      cairo_curve_to(cr, s * 0.2, s * 0.6, s * 0.6, s * 0.1, s * 0.9, s * 0.5);
      set_colour(cr, line);
      cairo_set_line_width(cr, lw * 0.9);
      cairo_stroke(cr);
      break;
    }
    case Icon::button: {
      ellipse(cr, 0, 0, s, s);
      fill_stroke(cr, fill, line, lw);
      ellipse(cr, 0, 0, s * 0.72, s * 0.72);
      set_colour(cr, line);
      cairo_set_line_width(cr, lw * 0.7);
      cairo_stroke(cr);
      for (int i = 0; i < 4; ++i) {
        const double hx = (i % 2 ? 1 : -1) * s * 0.24, hy = (i / 2 ? 1 : -1) * s * 0.24;
        ellipse(cr, hx, hy, s * 0.11, s * 0.11);
        set_colour(cr, line);
        cairo_fill(cr);
      }
      break;
    }
    case Icon::spool: {
      rounded_rect(cr, -s * 0.45, -s * 0.7, s * 0.9, s * 1.4, s * 0.1);
      fill_stroke(cr, shade(fill, -0.25), line, lw);
      set_colour(cr, line);
      cairo_set_line_width(cr, lw * 0.6);
      for (int i = 1; i < 7; ++i) {
        const double y = -s * 0.7 + i * s * 0.2;
        cairo_move_to(cr, -s * 0.45, y);
        cairo_line_to(cr, s * 0.45, y - s * 0.08);
      }
      cairo_stroke(cr);
      rounded_rect(cr, -s * 0.75, -s, s * 1.5, s * 0.3, s * 0.1);
      fill_stroke(cr, fill, line, lw);
      rounded_rect(cr, -s * 0.75, s * 0.7, s * 1.5, s * 0.3, s * 0.1);
      fill_stroke(cr, fill, line, lw);
      break;
    }
    case Icon::scissors: {
      for (int side = -1; side <= 1; side += 2) {
        cairo_save(cr);
        cairo_rotate(cr, side * 0.32);
        cairo_move_to(cr, 0, -s);
        cairo_curve_to(cr, s * 0.14 * side, -s * 0.5, s * 0.12 * side, 0, side * s * 0.05, s * 0.2);
        cairo_line_to(cr, -side * s * 0.08, s * 0.15);
        cairo_close_path(cr);
        fill_stroke(cr, shade(fill, 0.3), line, lw * 0.8);
        ellipse(cr, side * s * 0.08, s * 0.62, s * 0.26, s * 0.34);
        set_colour(cr, line);
        cairo_set_line_width(cr, lw * 1.4);
        cairo_stroke(cr);
        cairo_restore(cr);
      }
      ellipse(cr, 0, 0, s * 0.07, s * 0.07);
      set_colour(cr, line);
      cairo_fill(cr);
      break;
    }
    case Icon::hanger: {
      cairo_move_to(cr, 0, -s * 0.35);
      cairo_line_to(cr, -s, s * 0.45);
      cairo_line_to(cr, s, s * 0.45);
      cairo_close_path(cr);
      set_colour(cr, line);
      cairo_set_line_width(cr, lw * 1.6);
      cairo_stroke_preserve(cr);
      set_colour(cr, fill);
      cairo_set_line_width(cr, lw * 0.6);
      cairo_stroke(cr);
      cairo_move_to(cr, 0, -s * 0.35);
      cairo_curve_to(cr, 0, -s * 0.6, s * 0.3, -s * 0.65, s * 0.3, -s * 0.85);
      cairo_arc_negative(cr, s * 0.12, -s * 0.85, s * 0.18, 0, M_PI);
      set_colour(cr, line);
      cairo_set_line_width(cr, lw * 1.2);
      cairo_stroke(cr);
      break;
    }
    case Icon::zipper: {
      rounded_rect(cr, -s * 0.2, -s, s * 0.4, s * 2, s * 0.08);
      fill_stroke(cr, shade(fill, -0.3), line, lw * 0.7);
      for (int i = 0; i < 8; ++i) {
        const double y = -s * 0.9 + i * s * 0.24;
        const double x = (i % 2) ? 0 : -s * 0.22;
        cairo_rectangle(cr, x, y, s * 0.22, s * 0.12);
      }
      fill_stroke(cr, fill, line, lw * 0.5);
      rounded_rect(cr, -s * 0.22, -s * 0.2, s * 0.44, s * 0.55, s * 0.1);
      fill_stroke(cr, fill, line, lw);
      rounded_rect(cr, -s * 0.13, s * 0.3, s * 0.26, s * 0.55, s * 0.12);
      fill_stroke(cr, fill, line, lw);
      break;
    }
    case Icon::thimble: {
      cairo_move_to(cr, -s * 0.6, s * 0.8);
      cairo_curve_to(cr, -s * 0.6, -s * 0.4, -s * 0.5, -s, 0, -s);
      cairo_curve_to(cr, s * 0.5, -s, s * 0.6, -s * 0.4, s * 0.6, s * 0.8);
      cairo_close_path(cr);
      fill_stroke(cr, fill, line, lw);
      set_colour(cr, line);
      for (int row = 0; row < 4; ++row)
        for (int col = -2; col <= 2; ++col) {
          const double x = col * s * 0.2 + (row % 2) * s * 0.1, y = -s * 0.6 + row * s * 0.26;
          if (std::fabs(x) < s * (0.3 + row * 0.08)) {
            ellipse(cr, x, y, s * 0.05, s * 0.05);
            cairo_fill(cr);
          }
        }
      rounded_rect(cr, -s * 0.7, s * 0.55, s * 1.4, s * 0.35, s * 0.12);
      fill_stroke(cr, shade(fill, -0.2), line, lw);
      break;
    }
    case Icon::star: {
      for (int i = 0; i < 10; ++i) {
        const double a = i * M_PI / 5, r = (i % 2) ? s * 0.42 : s;
        if (i == 0)
          cairo_move_to(cr, std::sin(a) * r, -std::cos(a) * r);
        else
          cairo_line_to(cr, std::sin(a) * r, -std::cos(a) * r);
      }
      cairo_close_path(cr);
      fill_stroke(cr, fill, line, lw);
      break;
    }
    case Icon::yarn: {
      ellipse(cr, 0, 0, s * 0.85, s * 0.85);
      fill_stroke(cr, fill, line, lw);
      set_colour(cr, line);
      cairo_set_line_width(cr, lw * 0.6);
      for (int i = 0; i < 4; ++i) {
        cairo_save(cr);
        cairo_rotate(cr, i * 0.8 - 0.6);
        ellipse(cr, 0, 0, s * 0.82, s * (0.2 + i * 0.14));
        cairo_restore(cr);
        cairo_stroke(cr);
      }
      cairo_move_to(cr, s * 0.6, s * 0.6);
      cairo_curve_to(cr, s * 1.0, s * 1.0, s * 0.4, s * 1.1, s * 1.1, s * 1.0);
      cairo_set_line_width(cr, lw);
      cairo_stroke(cr);
      break;
    }
    case Icon::pin: {
      cairo_move_to(cr, -s * 0.5, s * 0.9);
      cairo_line_to(cr, s * 0.25, -s * 0.2);
      set_colour(cr, line);
      cairo_set_line_width(cr, lw * 1.1);
      cairo_stroke(cr);
      ellipse(cr, s * 0.35, -s * 0.4, s * 0.42, s * 0.42);
      fill_stroke(cr, fill, line, lw);
      ellipse(cr, s * 0.22, -s * 0.55, s * 0.12, s * 0.1);
      set_colour(cr, shade(fill, 0.6));
      cairo_fill(cr);
      break;
    }
    case Icon::iron: {
      cairo_move_to(cr, -s, s * 0.55);
      cairo_line_to(cr, s * 0.9, s * 0.55);
      cairo_curve_to(cr, s * 0.9, -s * 0.1, s * 0.4, -s * 0.35, -s * 0.2, -s * 0.35);
      cairo_curve_to(cr, -s * 0.6, -s * 0.35, -s * 0.9, s * 0.2, -s, s * 0.55);
      cairo_close_path(cr);
      fill_stroke(cr, fill, line, lw);
      cairo_move_to(cr, -s * 0.35, -s * 0.35);
      cairo_curve_to(cr, -s * 0.35, -s * 0.85, s * 0.5, -s * 0.85, s * 0.5, -s * 0.25);
      set_colour(cr, line);
      cairo_set_line_width(cr, lw * 1.5);
      cairo_stroke(cr);
      break;
    }
    case Icon::heart: {
      cairo_move_to(cr, 0, s * 0.85);
      cairo_curve_to(cr, -s * 1.2, 0, -s * 0.8, -s * 1.0, 0, -s * 0.45);
      cairo_curve_to(cr, s * 0.8, -s * 1.0, s * 1.2, 0, 0, s * 0.85);
      cairo_close_path(cr);
      fill_stroke(cr, fill, line, lw);
      break;
    }
  }
  cairo_restore(cr);
}

// ---- output ----

Picture begin_picture(const char* name, int width, int height) {
  Picture picture;
  picture.name = name;
  picture.width = width;
  picture.height = height;
  picture.surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  picture.cr = cairo_create(picture.surface);
  cairo_set_line_cap(picture.cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(picture.cr, CAIRO_LINE_JOIN_ROUND);
  return picture;
}

int finish_picture(Picture& picture, const std::string& out_dir, const WriteStyle& style) {
  cairo_surface_flush(picture.surface);
  const int w = picture.width, h = picture.height;
  const int stride = cairo_image_surface_get_stride(picture.surface);
  const unsigned char* data = cairo_image_surface_get_data(picture.surface);
  std::vector<unsigned char> rgba(static_cast<size_t>(w) * h * 4);
  std::vector<unsigned char> keyed(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride);
    for (int x = 0; x < w; ++x) {
      const uint32_t p = row[x];
      const int a = static_cast<int>(p >> 24);
      const size_t i = static_cast<size_t>(y) * w + x;
      unsigned char* out = &rgba[i * 4];
      // Half-covered edge pixels join the picture, blended onto the matte;
      // the rest of the ground becomes the key, with no mixed colours between.
      if (style.keyed && a < 128) {
        keyed[i] = 1;
        out[0] = out[1] = out[2] = out[3] = 0;
        continue;
      }
      const double back = (255 - a) / 255.0;
      const double m[3] = {style.matte.r, style.matte.g, style.matte.b};
      const int c[3] = {static_cast<int>((p >> 16) & 255), static_cast<int>((p >> 8) & 255),
                        static_cast<int>(p & 255)};
      for (int k = 0; k < 3; ++k) out[k] = static_cast<unsigned char>(std::lround(std::min(255.0, c[k] + back * m[k])));
      out[3] = 255;
    }
  }
  cairo_destroy(picture.cr);
  cairo_surface_destroy(picture.surface);
  picture.cr = nullptr;
  picture.surface = nullptr;

  liq_attr* attr = liq_attr_create();
  liq_set_max_colors(attr, style.colours);
  liq_set_speed(attr, 4);
  liq_image* image = liq_image_create_rgba(attr, rgba.data(), w, h, 0);
  liq_result* result = nullptr;
  if (image == nullptr || liq_image_quantize(image, attr, &result) != LIQ_OK) {
    std::fprintf(stderr, "pictures: quantising %s failed\n", picture.name.c_str());
    return 1;
  }
  liq_set_dithering_level(result, static_cast<float>(style.dither));
  std::vector<unsigned char> indices(static_cast<size_t>(w) * h);
  liq_write_remapped_image(result, image, indices.data(), indices.size());
  const liq_palette* quantised = liq_get_palette(result);

  int entries = static_cast<int>(quantised->count);
  uint8_t palette[256 * 3];
  bool clear[256] = {};
  int key_index = -1;
  int nearest_opaque = -1;
  for (int i = 0; i < entries; ++i) {
    const liq_color c = quantised->entries[i];
    clear[i] = c.a < 128;
    if (clear[i]) {
      if (key_index < 0) key_index = i;
      palette[i * 3] = 255, palette[i * 3 + 1] = 0, palette[i * 3 + 2] = 0;
    } else {
      palette[i * 3] = c.r, palette[i * 3 + 1] = c.g, palette[i * 3 + 2] = c.b;
      // The key colour is reserved for transparency.
      if (c.r == 255 && c.g == 0 && c.b == 0) palette[i * 3] = 254;
      if (nearest_opaque < 0) nearest_opaque = i;
    }
  }
  liq_result_destroy(result);
  liq_image_destroy(image);
  liq_attr_destroy(attr);

  bool any_key = false;
  for (unsigned char k : keyed) any_key = any_key || k;
  if (any_key && key_index < 0) {
    if (entries >= 256) {
      std::fprintf(stderr, "pictures: no room for the key in %s\n", picture.name.c_str());
      return 1;
    }
    key_index = entries++;
    palette[key_index * 3] = 255, palette[key_index * 3 + 1] = 0, palette[key_index * 3 + 2] = 0;
    clear[key_index] = true;
  }
  for (size_t i = 0; i < indices.size(); ++i) {
    if (keyed[i]) {
      indices[i] = static_cast<unsigned char>(key_index);
    } else if (clear[indices[i]]) {
      // Never happens with all-or-nothing alpha, but a stray index must not punch a hole.
      int best = nearest_opaque, best_d = 1 << 30;
      for (int e = 0; e < entries; ++e) {
        if (clear[e]) continue;
        int d = 0;
        for (int k = 0; k < 3; ++k) d += (palette[e * 3 + k] - rgba[i * 4 + k]) * (palette[e * 3 + k] - rgba[i * 4 + k]);
        if (d < best_d) best_d = d, best = e;
      }
      indices[i] = static_cast<unsigned char>(best);
    }
  }
  if (entries < 2) {
    palette[3] = palette[4] = palette[5] = 0;
    entries = 2;
  }

  GifWriteOptions gif = style.gif;
  gif.transparent_index = gif.control_block && any_key ? key_index : -1;
  if (gif.comment != nullptr && (std::strchr(gif.comment, ',') != nullptr || std::strlen(gif.comment) == 44)) {
    // A comma or a length byte of 44 in a second block would look like an image separator.
    std::fprintf(stderr, "pictures: comment of %s could be mistaken for an image\n", picture.name.c_str());
    return 1;
  }
  const std::string path = out_dir + "/" + picture.name;
  if (write_gif(path.c_str(), w, h, palette, entries, indices.data(), gif) != 0) {
    std::fprintf(stderr, "pictures: cannot write %s\n", path.c_str());
    return 1;
  }
  return 0;
}

GifWriteOptions gif_variant(int n, bool keyed) {
  static const char* const comments[] = {"drawn by the orvel picture maker", "orvel - cut from vector cloth",
                                         "made for the show"};
  GifWriteOptions options;
  switch (n % 6) {
    case 0:
      break;
    case 1:
      options.interlaced = true;
      break;
    case 2:
      options.local_table = true;
      options.control_block = true;
      break;
    case 3:
      options.comment = comments[n % 3];
      break;
    case 4:
      options.interlaced = true;
      options.local_table = true;
      options.global_too = true;
      break;
    case 5:
      options.control_block = keyed;
      options.comment = comments[(n + 1) % 3];
      break;
  }
  return options;
}

std::vector<std::string> read_lines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  if (!in) {
    std::fprintf(stderr, "pictures: cannot read %s\n", path.c_str());
    std::exit(1);
  }
  std::string line;
  while (std::getline(in, line)) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    lines.push_back(line);
  }
  return lines;
}

std::string greeting_file(const std::string& group) {
  std::string name = "saludo_";
  for (char c : group) {
    if (c >= 'A' && c <= 'Z') name += static_cast<char>(c - 'A' + 'a');
    else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) name += c;
  }
  return name + ".gif";
}

std::vector<std::string> all_picture_files(const std::string& assets_dir) {
  std::vector<std::string> files = {"retrato.gif", "cap314142.gif", "camiseta167091.gif", "bra045059.gif",
                                    "bradr045059.gif", "pantalon163070.gif", "columnas.gif", "flicker1.gif",
                                    "flicker2.gif"};
  std::vector<std::string> greetings;
  for (const std::string& group : read_lines(assets_dir + "/greetings.txt")) greetings.push_back(greeting_file(group));
  std::sort(greetings.begin(), greetings.end());
  files.insert(files.end(), greetings.begin(), greetings.end());
  for (int n = 1; n <= 23; ++n) files.push_back("text" + std::to_string(n) + ".gif");
  files.push_back("perchas.gif");
  files.push_back("ffinal.gif");
  for (int n = 1; n <= 7; ++n) files.push_back("creditos" + std::to_string(n) + ".gif");
  return files;
}

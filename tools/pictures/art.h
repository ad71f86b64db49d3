// Shared drawing helpers of the picture maker: colours of the production's
// palette, fonts from the system's font packages, text, simple shapes, and
// the step that turns a Cairo drawing into a keyed, quantised GIF.
#pragma once
#include <cairo.h>

#include <string>
#include <vector>

#include "gifwriter.h"

struct Colour {
  double r, g, b;  // 0..255
};
inline bool operator==(Colour a, Colour b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

// The four colours every picture is built from, and their shades.
extern const Colour P0, P1, P2, P3;
Colour mix(Colour a, Colour b, double t);  // t = 0 gives a, 1 gives b
Colour shade(Colour c, double amount);     // -1 black .. 0 c .. +1 white
Colour ink();                              // the darkest outline shade
Colour skin();                             // the pale, mannequin-like skin tone
void set_colour(cairo_t* cr, Colour c, double alpha = 1.0);

// Fonts by file name, looked up in the font packages' folders; exits when missing.
cairo_font_face_t* font(const char* file);
void use_font(cairo_t* cr, const char* file, double size);
// Width of a text in the current font, and a path for it with its baseline
// centre at (cx, baseline).
double text_width(cairo_t* cr, const char* text);
void centred_text_path(cairo_t* cr, const char* text, double cx, double baseline);
// Font size that makes text at most max_width wide, starting from size.
double fit_size(cairo_t* cr, const char* file, const char* text, double size, double max_width);
// Characters placed along a circle of radius r about (cx, cy), centred on the
// angle mid (radians, 0 = up, clockwise); inside = true reads along the bottom.
void arc_text_path(cairo_t* cr, const char* text, double cx, double cy, double r, double mid, bool bottom);

void rounded_rect(cairo_t* cr, double x, double y, double w, double h, double radius);
void ellipse(cairo_t* cr, double cx, double cy, double rx, double ry);
// Fill the current path, then stroke it in ink (keeps nothing).
void fill_stroke(cairo_t* cr, Colour fill, Colour line, double width);
void vertical_gradient(cairo_t* cr, double y0, Colour c0, double y1, Colour c1);

// Small pictograms of the trade, about size pixels tall, centred at (cx, cy).
enum class Icon { none, needle, button, spool, scissors, hanger, zipper, thimble, star, yarn, pin, iron, heart };
void draw_icon(cairo_t* cr, Icon icon, double cx, double cy, double size, Colour fill, Colour line);

struct Picture {
  std::string name;  // file name inside gfx/
  int width = 0, height = 0;
  cairo_surface_t* surface = nullptr;  // ARGB32 drawing
  cairo_t* cr = nullptr;
};

Picture begin_picture(const char* name, int width, int height);

struct WriteStyle {
  bool keyed = false;  // transparent where nothing was drawn
  Colour matte{0, 0, 0};  // colour that soft edges are blended against before keying
  int colours = 256;
  double dither = 0.6;
  GifWriteOptions gif;
};

// Flattens the drawing (soft edges onto the matte, the rest pure red if keyed,
// opaque otherwise), quantises it, writes out_dir/name and frees the drawing.
// Returns 0 on success.
int finish_picture(Picture& picture, const std::string& out_dir, const WriteStyle& style);

// The sets of pictures, each writing its files into out_dir; 0 on success.
int make_figure(const std::string& out_dir);
int make_people(const std::string& out_dir);
int make_scenes(const std::string& out_dir);
int make_logos(const std::string& out_dir, const std::string& assets_dir);
int make_lettering(const std::string& out_dir, const std::string& assets_dir);

// Lines of a text file with comments (#) and blank lines left out.
std::vector<std::string> read_lines(const std::string& path);
// The GIF shape for the n-th file written, so the set varies as real files do.
GifWriteOptions gif_variant(int n, bool keyed);

// "Warp and Weft" -> "saludo_warpandweft.gif"
std::string greeting_file(const std::string& group);
// Every file the maker writes, in the program's load order.
std::vector<std::string> all_picture_files(const std::string& assets_dir);

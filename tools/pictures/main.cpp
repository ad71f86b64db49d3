// The picture maker: draws the production's 78 pictures into gfx/ and a
// contact sheet of all of them, read back from the files as written.
//   orvel_pictures ASSETS_DIR GFX_DIR CONTACT_SHEET.png
#include <gif_lib.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/assets.h"
#include "app/layout.h"
#include "art.h"
#include "effects/effects.h"

namespace {

// Reads a written GIF back with giflib into an RGB24 Cairo surface; key pixels
// are shown as a checkerboard so that the transparent ground is plain to see.
cairo_surface_t* read_back(const std::string& path, int& width, int& height, bool see_through = false) {
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
  if (gif == nullptr) return nullptr;
  if (DGifSlurp(gif) != GIF_OK || gif->ImageCount < 1) {
    DGifCloseFile(gif, &error);
    return nullptr;
  }
  const SavedImage& image = gif->SavedImages[0];
  const ColorMapObject* map = image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
  width = image.ImageDesc.Width;
  height = image.ImageDesc.Height;
  cairo_surface_t* surface =
      cairo_image_surface_create(see_through ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24, width, height);
  unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < height; ++y) {
    // giflib's slurp de-interlaces.
    const int src = y;
    auto* out = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride);
    for (int x = 0; x < width; ++x) {
      const GifColorType c = map->Colors[image.RasterBits[static_cast<size_t>(src) * width + x]];
      if (c.Red == 255 && c.Green == 0 && c.Blue == 0 && see_through)
        out[x] = 0;
      else if (c.Red == 255 && c.Green == 0 && c.Blue == 0)
        out[x] = ((x / 8 + y / 8) % 2) ? 0x8f89a6u : 0x7a7490u;
      else
        out[x] = 0xff000000u | (static_cast<uint32_t>(c.Red) << 16) | (static_cast<uint32_t>(c.Green) << 8) | c.Blue;
    }
  }
  cairo_surface_mark_dirty(surface);
  DGifCloseFile(gif, &error);
  return surface;
}

int contact_sheet(const std::string& gfx, const std::vector<std::string>& files, const std::string& out) {
  const int cell_w = 270, cell_h = 230, columns = 8;
  std::vector<std::string> tiles, strips;
  for (const std::string& f : files) (f.rfind("text", 0) == 0 ? strips : tiles).push_back(f);
  const int rows = static_cast<int>((tiles.size() + columns - 1) / columns);
  const int strip_rows = static_cast<int>((strips.size() + 3) / 4);
  const int sheet_w = cell_w * columns, sheet_h = rows * cell_h + strip_rows * 50 + 20;
  cairo_surface_t* sheet = cairo_image_surface_create(CAIRO_FORMAT_RGB24, sheet_w, sheet_h);
  cairo_t* cr = cairo_create(sheet);
  cairo_set_source_rgb(cr, 0.12, 0.11, 0.14);
  cairo_paint(cr);
  use_font(cr, "DejaVuSans.ttf", 11);
  int missing = 0;
  auto place = [&](const std::string& name, double x, double y, double max_w, double max_h) {
    int w = 0, h = 0;
    cairo_surface_t* picture = read_back(gfx + "/" + name, w, h);
    cairo_set_source_rgb(cr, 0.85, 0.85, 0.8);
    cairo_move_to(cr, x, y + 11);
    cairo_show_text(cr, (name + (picture ? "  " + std::to_string(w) + "x" + std::to_string(h) : "  MISSING")).c_str());
    if (picture == nullptr) {
      ++missing;
      return;
    }
    const double scale = std::min({1.0, max_w / w, max_h / h});
    cairo_save(cr);
    cairo_translate(cr, x, y + 16);
    cairo_scale(cr, scale, scale);
    cairo_set_source_surface(cr, picture, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_paint(cr);
    cairo_restore(cr);
    cairo_surface_destroy(picture);
  };
  for (size_t i = 0; i < tiles.size(); ++i)
    place(tiles[i], 6 + static_cast<double>(i % columns) * cell_w, 4 + static_cast<double>(i / columns) * cell_h,
          cell_w - 12, cell_h - 22);
  for (size_t i = 0; i < strips.size(); ++i)
    place(strips[i], 6 + static_cast<double>(i % 4) * 540, rows * cell_h + 10 + static_cast<double>(i / 4) * 50, 520,
          28);
  cairo_destroy(cr);
  const bool ok = cairo_surface_write_to_png(sheet, out.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(sheet);
  if (missing != 0) std::fprintf(stderr, "pictures: %d pictures missing from the contact sheet\n", missing);
  return ok && missing == 0 ? 0 : 1;
}

// Pictures put together as the scenes show them, for looking at the whole.
void place_at(cairo_t* cr, const std::string& gfx, const char* name, Place at) {
  int w = 0, h = 0;
  cairo_surface_t* picture = read_back(gfx + "/" + name, w, h, true);
  if (picture == nullptr) return;
  cairo_set_source_surface(cr, picture, at.x, at.y);
  cairo_paint(cr);
  cairo_surface_destroy(picture);
}

void previews(const std::string& gfx, const std::string& folder, const std::vector<std::string>& files) {
  cairo_surface_t* frame = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 512, 384);
  cairo_t* cr = cairo_create(frame);
  // The figure on a floor and runway like the opening scene's.
  vertical_gradient(cr, 55, Colour{92, 99, 77}, 384, Colour{230, 237, 215});
  cairo_paint(cr);
  cairo_rectangle(cr, 0, 0, 512, 55);
  set_colour(cr, Colour{82, 89, 67});
  cairo_fill(cr);
  cairo_move_to(cr, 236, 55);
  cairo_line_to(cr, 276, 55);
  cairo_line_to(cr, 339, 384);
  cairo_line_to(cr, 173, 384);
  set_colour(cr, Colour{150, 0, 0});
  cairo_fill(cr);
  place_at(cr, gfx, "pantalon163070.gif", TROUSERS_PLACE);
  place_at(cr, gfx, "bra045059.gif", BRA_LEFT_PLACE);
  place_at(cr, gfx, "bradr045059.gif", BRA_RIGHT_PLACE);
  place_at(cr, gfx, "camiseta167091.gif", SHIRT_PLACE);
  place_at(cr, gfx, "cap314142.gif", CAP_PLACE);
  cairo_surface_write_to_png(frame, (folder + "/preview-figure.png").c_str());
  // Greetings over the hangers, five at once, where they start.
  place_at(cr, gfx, "perchas.gif", {0, 0});
  std::vector<std::string> logos;
  for (const std::string& f : files)
    if (f.rfind("saludo_", 0) == 0) logos.push_back(f);
  for (int i = 0; i < 5 && i * 7 < static_cast<int>(logos.size()); ++i) {
    Place at{0, 0};
    greeting_position(i, 0, &at.x, &at.y);
    place_at(cr, gfx, logos[static_cast<size_t>(i * 7)].c_str(), at);
  }
  cairo_surface_write_to_png(frame, (folder + "/preview-greetings.png").c_str());
  // Credits and the last line over the final picture.
  place_at(cr, gfx, "ffinal.gif", {0, 0});
  place_at(cr, gfx, "text23.gif", FINAL_TEXT_PLACE);
  place_at(cr, gfx, "creditos1.gif", CREDIT_PLACES[0]);
  place_at(cr, gfx, "creditos2.gif", CREDIT_PLACES[1]);
  place_at(cr, gfx, "creditos3.gif", CREDIT_PLACES[2]);
  cairo_surface_write_to_png(frame, (folder + "/preview-credits.png").c_str());
  // Portrait and text over the mid-scene ground.
  set_colour(cr, Colour{143, 137, 166});
  cairo_paint(cr);
  place_at(cr, gfx, "retrato.gif", {0, SCREEN_HEIGHT - PORTRAIT_HEIGHT});
  for (const TimedStrip& t : POLYGON_TEXTS)
    if (t.order == 14) place_at(cr, gfx, ("text" + std::to_string(t.strip) + ".gif").c_str(), {t.x, t.y});
  cairo_surface_write_to_png(frame, (folder + "/preview-portrait.png").c_str());
  cairo_destroy(cr);
  cairo_surface_destroy(frame);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: orvel_pictures ASSETS_DIR GFX_DIR CONTACT_SHEET.png\n");
    return 2;
  }
  const std::string assets = argv[1], gfx = argv[2], sheet = argv[3];
  mkdir(gfx.c_str(), 0755);
  if (make_figure(gfx) || make_people(gfx) || make_scenes(gfx) || make_logos(gfx, assets) ||
      make_lettering(gfx, assets))
    return 1;
  const std::vector<std::string> files = all_picture_files(assets);
  const std::string folder = sheet.find('/') == std::string::npos ? "." : sheet.substr(0, sheet.rfind('/'));
  previews(gfx, folder, files);
  return contact_sheet(gfx, files, sheet);
}

#include "gifwriter.h"

#include <gif_lib.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <vector>

namespace {

int table_bits(int entries) {
  int bits = 1;
  while ((1 << bits) < entries) ++bits;
  return bits;
}

ColorMapObject* make_map(const uint8_t* palette, int entries, bool grey) {
  const int bits = table_bits(entries);
  ColorMapObject* map = GifMakeMapObject(1 << bits, nullptr);
  if (map == nullptr) return nullptr;
  for (int i = 0; i < (1 << bits); ++i) {
    GifColorType& c = map->Colors[i];
    if (grey) {
      const auto v = static_cast<GifByteType>(i * 255 / ((1 << bits) - 1));
      c.Red = c.Green = c.Blue = v;
    } else if (i < entries) {
      c.Red = palette[i * 3];
      c.Green = palette[i * 3 + 1];
      c.Blue = palette[i * 3 + 2];
    } else {
      c.Red = c.Green = c.Blue = 0;
    }
  }
  return map;
}

}  // namespace

int write_gif(const char* path, int width, int height, const uint8_t* palette, int entries,
              const uint8_t* indices, const GifWriteOptions& options) {
  if (path == nullptr || palette == nullptr || indices == nullptr || width <= 0 || height <= 0 ||
      width > 65535 || height > 65535 || entries < 2 || entries > 256)
    return 1;
  for (long i = 0; i < static_cast<long>(width) * height; ++i)
    if (indices[i] >= entries) return 1;

  int error = 0;
  // giflib's own open makes the file private to its owner; pictures are for everyone to read.
  const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return 1;
  GifFileType* gif = EGifOpenFileHandle(fd, &error);
  if (gif == nullptr) {
    close(fd);
    return 1;
  }
  // Extensions need the 89a header.
  EGifSetGifVersion(gif, options.control_block || options.comment != nullptr);

  ColorMapObject* image_map = make_map(palette, entries, false);
  ColorMapObject* screen_map = nullptr;
  if (!options.local_table) {
    screen_map = image_map;
    image_map = nullptr;
  } else if (options.global_too) {
    screen_map = make_map(palette, entries, true);
  }
  const int bits = table_bits(entries);
  bool ok = (options.local_table ? image_map != nullptr : screen_map != nullptr) &&
            EGifPutScreenDesc(gif, width, height, bits, 0, screen_map) == GIF_OK;

  if (ok && options.control_block) {
    GraphicsControlBlock gcb{};
    gcb.DisposalMode = DISPOSAL_UNSPECIFIED;
    gcb.UserInputFlag = false;
    gcb.DelayTime = 0;
    gcb.TransparentColor = options.transparent_index >= 0 ? options.transparent_index : NO_TRANSPARENT_COLOR;
    GifByteType block[4];
    EGifGCBToExtension(&gcb, block);
    ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, block) == GIF_OK;
  }
  if (ok && options.comment != nullptr) ok = EGifPutComment(gif, options.comment) == GIF_OK;
  if (ok) ok = EGifPutImageDesc(gif, 0, 0, width, height, options.interlaced, image_map) == GIF_OK;

  if (ok) {
    // giflib takes the rows in file order; an interlaced file stores them pass by pass.
    std::vector<GifPixelType> line(static_cast<size_t>(width));
    static const int start[4] = {0, 4, 2, 1};
    static const int step[4] = {8, 8, 4, 2};
    const int passes = options.interlaced ? 4 : 1;
    for (int pass = 0; pass < passes && ok; ++pass) {
      const int first = options.interlaced ? start[pass] : 0;
      const int stride = options.interlaced ? step[pass] : 1;
      for (int y = first; y < height && ok; y += stride) {
        std::memcpy(line.data(), indices + static_cast<size_t>(y) * width, static_cast<size_t>(width));
        ok = EGifPutLine(gif, line.data(), width) == GIF_OK;
      }
    }
  }

  if (screen_map != nullptr) GifFreeMapObject(screen_map);
  if (image_map != nullptr) GifFreeMapObject(image_map);
  if (EGifCloseFile(gif, &error) != GIF_OK) ok = false;
  return ok ? 0 : 1;
}

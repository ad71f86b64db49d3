// Any bytes through open and both decodes: the sanitizers catch every read or
// write outside a buffer; the two outputs must agree with each other.
#include <cstdlib>
#include <vector>

#include "image/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 20) return 0;
  GifDecoder decoder;
  const int bytes = decoder.open(data, static_cast<int>(size));
  if (bytes == 0) return 0;
  if (bytes != decoder.width() * decoder.height() * 3 || decoder.width() <= 0 || decoder.height() <= 0) std::abort();
  // Huge claimed sizes take time to fill, not new paths.
  if (decoder.width() * decoder.height() > 1 << 20) return 0;

  // Exactly sized buffers, so a write one past the end is caught.
  std::vector<uint8_t> bgr(static_cast<size_t>(bytes));
  const int complete = decoder.decode(bgr.data());
  std::vector<Pixel> pixels(static_cast<size_t>(bytes / 3), 0x01020304u);
  const int keyed = decoder.decode_pixels(pixels.data());
  if (complete != keyed) std::abort();
  if (complete) {
    for (size_t i = 0; i < pixels.size(); ++i) {
      const int blue = bgr[i * 3], green = bgr[i * 3 + 1], red = bgr[i * 3 + 2];
      const Pixel expected = red == 255 && green == 0 && blue == 0 ? COLOR_KEY : pack_pixel(red, green, blue, 255);
      if (pixels[i] != expected) std::abort();
    }
  } else {
    for (Pixel p : pixels)
      if (p != 0x01020304u) std::abort();  // all or nothing
  }

  // The same bytes through a second decoder that allocates its own output.
  GifDecoder again;
  if (again.open(data, static_cast<int>(size)) != bytes) std::abort();
  again.decode(nullptr);
  return 0;
}

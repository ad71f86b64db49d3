// gifdecode IN.gif OUT.ppm: decodes the first image with our own decoder and
// writes it as a binary PPM; colour-keyed pixels come out pure red.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "image/image.h"
#include "tools/read_file.h"

namespace {}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: gifdecode IN.gif OUT.ppm\n");
    return 2;
  }
  const char* in = argv[1];
  const char* out = argv[2];
  std::vector<uint8_t> bytes;
  if (!read_file(in, &bytes)) {
    std::fprintf(stderr, "gifdecode: cannot read %s: %s\n", in, std::strerror(errno));
    return 1;
  }
  if (bytes.size() > 0x7FFFFFFF) {
    std::fprintf(stderr, "gifdecode: %s is too large\n", in);
    return 1;
  }
  GifDecoder decoder;
  if (decoder.open(bytes.data(), static_cast<int>(bytes.size())) == 0) {
    std::fprintf(stderr, "gifdecode: %s holds no image\n", in);
    return 1;
  }
  const int width = decoder.width(), height = decoder.height();
  std::vector<Pixel> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
  if (!decoder.decode_pixels(pixels.data())) {
    std::fprintf(stderr, "gifdecode: %s: the image data ends before the picture is complete\n", in);
    return 1;
  }

  std::vector<uint8_t> ppm;
  char head[64];
  const int head_length = std::snprintf(head, sizeof head, "P6\n%d %d\n255\n", width, height);
  ppm.insert(ppm.end(), head, head + head_length);
  for (Pixel p : pixels) {
    if (p == COLOR_KEY) {
      ppm.insert(ppm.end(), {255, 0, 0});
    } else {
      ppm.insert(ppm.end(), {static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p)});
    }
  }
  FILE* file = std::fopen(out, "wb");
  bool written = file && std::fwrite(ppm.data(), 1, ppm.size(), file) == ppm.size();
  if (file && std::fclose(file) != 0) written = false;
  if (!written) {
    std::fprintf(stderr, "gifdecode: cannot write %s\n", out);
    return 1;
  }
  return 0;
}

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "image/image.h"
#include "platform/platform.h"

FILE* open_data_file(const char* path, const char* mode) {
  if (!path || !mode) return nullptr;
  char name[PATH_MAX];
  const size_t length = std::strlen(path);
  if (length == 0 || length >= sizeof name) return nullptr;
  for (size_t k = 0; k <= length; ++k) name[k] = path[k] == '\\' ? '/' : path[k];

  FILE* file = std::fopen(name, mode);
  if (file || is_absolute_path(name)) return file;

  // Beside the executable, so the program runs from its build folder, then in the
  // data folder of an installed program (bin/../share/orvel).
  char exe[PATH_MAX];
  if (!executable_path(exe, sizeof exe)) return nullptr;
  char* slash = nullptr;
  for (char* c = exe; *c; ++c)
    if (std::strchr(path_separators(), *c)) slash = c;
  if (!slash) return nullptr;
  *slash = '\0';
  char candidate[PATH_MAX];
  for (const char* folder : {"/", "/../share/orvel/"}) {
    if (std::snprintf(candidate, sizeof candidate, "%s%s%s", exe, folder, name) >= static_cast<int>(sizeof candidate))
      continue;
    file = std::fopen(candidate, mode);
    if (file) return file;
  }
  return nullptr;
}

int load_image(const char* path, Pixel* destination, int width, int height) {
  if (!destination || width <= 0 || height <= 0) return 1;
  FILE* file = open_data_file(path, "rb");
  if (!file) return 1;

  long size = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
  if (size <= 0 || size > INT_MAX || std::fseek(file, 0, SEEK_SET) != 0) {
    std::fclose(file);
    return 1;
  }
  uint8_t* bytes = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(size)));
  const size_t got = bytes ? std::fread(bytes, 1, static_cast<size_t>(size), file) : 0;
  std::fclose(file);

  int result = 1;
  if (got == static_cast<size_t>(size)) {
    GifDecoder decoder;
    // The shape is checked before anything is decoded: a picture of another shape,
    // even with as many pixels, would be laid out in rows of the wrong length.
    if (decoder.open(bytes, static_cast<int>(size)) != 0 && decoder.width() == width && decoder.height() == height &&
        decoder.decode_pixels(destination))
      result = 0;
  }
  std::free(bytes);
  return result;
}

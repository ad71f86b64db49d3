// Compiles the soundtrack (instrument list + song text) into an Impulse Tracker module.
#include <cstdio>
#include <string>

#include "tools/read_file.h"
#include "tools/soundtrack/score.h"

namespace {
bool read_text(const char* path, std::string& text) {
  text.clear();
  return read_file(path, &text);
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: make_soundtrack INSTRUMENTS.txt SONG.txt OUTPUT.it\n");
    return 2;
  }
  std::string instruments, song;
  for (int i = 1; i <= 2; ++i) {
    if (!read_text(argv[i], i == 1 ? instruments : song)) {
      std::fprintf(stderr, "make_soundtrack: cannot read %s\n", argv[i]);
      return 1;
    }
  }
  ItModule module;
  std::string error = compile_soundtrack(instruments, song, module);
  if (!error.empty()) {
    std::fprintf(stderr, "make_soundtrack: %s\n", error.c_str());
    return 1;
  }
  // The module goes onto a web page: its samples are stored compressed, losslessly.
  for (ItSample& sample : module.samples) sample.compressed = true;
  if (it_write_file(module, argv[3]) != 0) {
    std::fprintf(stderr, "make_soundtrack: cannot write %s\n", argv[3]);
    return 1;
  }
  return 0;
}

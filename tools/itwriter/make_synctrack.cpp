// Writes the sync test track: 30 orders of 64 rows at speed 6, tempo 125,
// a click on every row and an accent on every 8th.
#include <cstdio>

#include "tools/itwriter/itwriter.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_synctrack OUTPUT.it\n");
    return 2;
  }
  ItModule m = make_test_module(30, 64, 6, 125);
  m.name = "orvel sync track";
  if (it_write_file(m, argv[1]) != 0) {
    std::fprintf(stderr, "make_synctrack: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}

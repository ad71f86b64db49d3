// Writes the sync test track: 30 orders of 64 rows at speed 6, tempo 125,
// a click on every row and an accent on every 8th.
//
//   make_synctrack OUTPUT.it [BRIEF]
//
// With BRIEF, the first BRIEF orders play one row each (a pattern break on their first
// row): the live sync check reaches the scenes that change every frame within a second.
// Its rows also click at sixteen pitches in turn, so that a row's sound is told from its
// neighbours' when the recording is matched against the module.
#include <cstdio>
#include <cstdlib>

#include "tools/itwriter/itwriter.h"

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: make_synctrack OUTPUT.it [BRIEF]\n");
    return 2;
  }
  const int brief = argc == 3 ? std::atoi(argv[2]) : 0;
  if (brief < 0 || brief > 29) {
    std::fprintf(stderr, "make_synctrack: BRIEF is 0 to 29\n");
    return 2;
  }
  ItModule m = make_test_module(30, 64, 6, 125);
  m.name = "orvel sync track";
  if (brief > 0)
    for (ItPattern& p : m.patterns)
      for (int r = 0; r < p.rows; ++r) p.cells[r][0].note = IT_NOTE_C5 - 8 + r % 16;
  for (int o = 0; o < brief; ++o) {
    ItCell& first = m.patterns[o].cells[0][0];
    first.effect = IT_FX_PATTERN_BREAK;
    first.param = 0;
  }
  if (it_write_file(m, argv[1]) != 0) {
    std::fprintf(stderr, "make_synctrack: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}

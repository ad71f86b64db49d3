// Where no PNG library is built in (the page, the null platform), snapshots fail as an
// unwritable file does; the page never asks for them.
#include "app/png_writer.h"

bool write_png(const char*, const Pixel*, int, int) { return false; }

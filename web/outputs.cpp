// The page records only its frame log: PNG snapshots are the native program's, and the page
// never asks for them. Asked for anyway, they fail as an unwritable file does.
#include "app/png_writer.h"

bool write_png(const char*, const Pixel*, int, int) { return false; }

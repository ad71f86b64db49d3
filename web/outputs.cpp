// The page records only its frame log: PNG snapshots and video are the native program's,
// and the page never asks for them. Asked for anyway, they fail as an unwritable file does.
#include "app/capture.h"
#include "app/png_writer.h"

bool write_png(const char*, const Pixel*, int, int) { return false; }

const bool capture_built = false;
bool capture_open(const char*, int, int) { return false; }
void capture_frame(const Pixel*) {}
void capture_audio(const int16_t*, int) {}
bool capture_close() { return false; }

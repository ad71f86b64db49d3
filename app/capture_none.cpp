// A build without video capture: the options that ask for it are not offered, so none of
// this is reached by the program; asked for anyway, the capture fails as an unwritable file.
#include "app/capture.h"

const bool capture_built = false;
bool capture_open(const char*, int, int) { return false; }
void capture_frame(const Pixel*) {}
void capture_audio(const int16_t*, int) {}
bool capture_close() { return false; }

// No live picture at all: the null platform, for offline runs and for porting. A live
// run fails to open its display, as it does where no window system answers.
#include "display/window.h"

int window_open(const char*, int, int, const DisplaySettings&) { return 0; }
int window_update(const Pixel*) { return 0; }
void window_close() {}
bool window_end_requested() { return false; }
int window_depth() { return 0; }
PixelConverter window_converter() { return nullptr; }
uint32_t window_format() { return 0; }
void window_offline_frame() {}

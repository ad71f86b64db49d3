// The display in a web page: the page's canvas#screen, one picture per browser frame.
// display_update gives the browser its turn (the timeline's loops go on where they were
// once the browser calls back), and Escape ends the show as the native display does:
// the program ends as at the end of the music, and the page hears of it.
// Offline nothing is shown, and the page is given a moment now and then.
#include <emscripten.h>

#include "display/window.h"

namespace {

bool end_requested = false;
double breathed_ms = 0;  // when the offline run last let the page run

// The canvas as ImageData wants it: bytes R, G, B, A.
uint32_t rgba[SCREEN_PIXELS];

void to_rgba(const Pixel* canvas) {
  for (int i = 0; i < SCREEN_PIXELS; ++i) {
    const uint32_t p = canvas[i];
    rgba[i] = 0xFF000000u | (p & 0x0000FF00u) | ((p >> 16) & 0xFFu) | ((p & 0xFFu) << 16);
  }
}

// clang-format off
EM_JS(int, page_canvas_open, (const char* title), {
  const canvas = document.getElementById('screen');
  const context = canvas ? canvas.getContext('2d', {alpha: false}) : null;
  if (!context) return 0;
  Module.orvelScreen = context;
  Module.orvelEscape = false;
  document.title = UTF8ToString(title);
  return 1;
});

EM_JS(void, page_canvas_put, (const void* pixels, int width, int height), {
  const bytes = new Uint8ClampedArray(HEAPU8.buffer, pixels, width * height * 4);
  Module.orvelScreen.putImageData(new ImageData(bytes, width, height), 0, 0);
});

EM_JS(int, page_escape_pressed, (), { return Module.orvelEscape ? 1 : 0; });
EM_JS(int, page_hidden, (), { return document.hidden ? 1 : 0; });

// A hidden page gets no animation frames, also when it is hidden while waiting for one:
// a timer stands in, so that the timeline keeps reading the clock and the music keeps
// being fed. Escape's exit unwinds out of the wake-up as emscripten's ExitStatus: the
// show's end, not an error, so it goes no further.
EM_JS(void, page_next_frame, (), {
  Asyncify.handleSleep(wakeUp => {
    let waiting = true;
    const go = () => {
      if (!waiting) return;
      waiting = false;
      try {
        wakeUp();
      } catch (e) {
        if (!(e instanceof ExitStatus)) throw e;
      }
    };
    if (!document.hidden) requestAnimationFrame(go);
    setTimeout(go, document.hidden ? 25 : 100);
  });
});

// A message to itself: the quickest way to let the page run that timers do not slow. An
// offline run ends with exit(0) when its results are in, which may unwind out of this
// wake-up as it does out of a frame's.
EM_JS(void, page_breathe, (), {
  Asyncify.handleSleep(wakeUp => {
    const channel = new MessageChannel();
    channel.port1.onmessage = () => {
      try {
        wakeUp();
      } catch (e) {
        if (!(e instanceof ExitStatus)) throw e;
      }
    };
    channel.port2.postMessage(0);
  });
});
// clang-format on

}  // namespace

int window_open(const char* title, int, int, const DisplaySettings&) {
  if (!page_canvas_open(title)) return 0;
  // The pictures and the music were just loaded, in one long stretch: the page gets its
  // turn before the show starts.
  page_breathe();
  end_requested = false;
  return 1;
}

int window_update(const Pixel* canvas) {
  if (page_escape_pressed()) end_requested = true;
  if (canvas != nullptr && !page_hidden()) {
    to_rgba(canvas);
    page_canvas_put(rgba, SCREEN_WIDTH, SCREEN_HEIGHT);
  }
  page_next_frame();
  return 1;
}

void window_close() {}

bool window_end_requested() { return end_requested; }

int window_depth() { return 32; }

// The page takes bytes R, G, B, A, none of the converters' layouts.
PixelConverter window_converter() { return nullptr; }
uint32_t window_format() { return 0; }

// Offline nothing is shown, and the page is given a moment now and then.
void window_offline_frame() {
  if (emscripten_get_now() - breathed_ms > 50) {
    page_breathe();
    breathed_ms = emscripten_get_now();
  }
}

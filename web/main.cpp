// The show in a web page. The page says how to run it (live, or offline when its address
// asks for ?render&fps=N; from the order ?start=N names) and hears how it ended through
// Module.onExit. Offline, the frame log and the CRC-32 of the sound go into the page when
// the run is done.
#include <emscripten.h>

#include <algorithm>
#include <cstdlib>

#include "app/crc32.h"
#include "app/demo.h"
#include "app/timeline.h"

namespace {

uint32_t sound_crc = 0;  // of the 16-bit stereo samples, little-endian as in a WAV file

void sound_to_crc(const int16_t* stereo, int frames) {
  sound_crc = crc32_update(sound_crc, stereo, static_cast<size_t>(frames) * 2 * sizeof(int16_t));
}

// clang-format off
EM_JS(int, page_render_fps, (), { return Module.orvelRender ? Module.orvelRender.fps : 0; });
EM_JS(int, page_start_order, (), { return Module.orvelStart | 0; });

// Where the show is, for whoever watches the page (its tests): the position each
// presented frame was drawn from.
EM_JS(void, page_presented, (int order, int row, int time), { Module.orvelPosition = [order, row, time]; });

EM_JS(void, page_show_results, (const char* log_path, uint32_t crc), {
  document.getElementById('frame-log').textContent = FS.readFile(UTF8ToString(log_path), {encoding: 'utf8'});
  document.getElementById('audio-crc32').textContent = (crc >>> 0).toString(16).padStart(8, '0');
  document.title = 'done';
});
// clang-format on

void presented(int, const MusicPosition& drawn_from) {
  page_presented(drawn_from.order, drawn_from.row, drawn_from.time);
}

}  // namespace

int main() {
  RunOptions options;
  options.start_order = std::clamp(page_start_order(), 0, LAST_ORDER);
  const int fps = page_render_fps();
  if (fps > 0) {
    options.offline = true;
    options.fps = fps;
    options.frames_path = "/frames.tsv";
    options.audio_sink = sound_to_crc;
    options.progress = false;  // the page's standard error is its console, not a terminal
  }
  set_frame_observer(presented);
  const int status = run_demo(&options);
  if (status == 0 && options.offline) page_show_results(options.frames_path.c_str(), sound_crc);
  // Returned to from the browser's frames, main's return would not end the runtime: the
  // page hears of the end only through exit.
  std::exit(status);
}

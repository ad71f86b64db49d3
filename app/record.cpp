#include "app/record.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>

#include "app/capture.h"
#include "app/crc32.h"
#include "app/options.h"
#include "app/png_writer.h"
#include "display/display.h"
#include "platform/platform.h"

namespace {
RunOptions* recording = nullptr;
std::FILE* frame_log = nullptr;
long frames_recorded = 0;
int32_t first_time_ms = 0;  // of the first frame recorded: a run may start past the module's start
bool capturing = false;

// One updating line on a terminal while an offline run works.
bool show_progress = false;
double length_ms = 1;  // taken at the start: the module is gone by the last line
std::chrono::steady_clock::time_point progress_start, progress_shown;

void progress(const MusicPosition& at, bool last) {
  const auto now = std::chrono::steady_clock::now();
  if (!last && now - progress_shown < std::chrono::milliseconds(250)) return;
  progress_shown = now;
  const double wall = std::chrono::duration<double>(now - progress_start).count();
  const double length = length_ms;
  const double done = at.time / length;
  const double speed = wall > 0 ? (at.time - first_time_ms) / 1000.0 / wall : 0;  // music seconds per second
  const int left = speed > 0 ? static_cast<int>((length - at.time) / 1000.0 / speed) : 0;
  std::fprintf(stderr, "\r%3d%%  order %2d row %2d  %6.0f fps  %d:%02d left ", static_cast<int>(done * 100 + 0.5),
               at.order, at.row, wall > 0 ? frames_recorded / wall : 0.0, left / 60, left % 60);
  if (last) std::fputc('\n', stderr);
}

}  // namespace

void report_unwritable(const std::string& path, const char* reason) {
  if (reason)
    std::fprintf(stderr, "orvel: cannot write '%s': %s\n", path.c_str(), reason);
  else
    std::fprintf(stderr, "orvel: cannot write '%s'\n", path.c_str());
}

bool output_path_ok(const std::string& path) {
  const char* separators = path_separators();
  // A name that ends in a separator is a folder's, whatever is there.
  if (path.empty() || path.find_last_of(separators) == path.size() - 1) return false;
  struct stat st;
  if (stat(path.c_str(), &st) == 0) return !S_ISDIR(st.st_mode) && access(path.c_str(), W_OK) == 0;
  // Not there yet: its folder must take a new file. Any other error (a path under a
  // regular file, a name too long) leaves nothing that could be written.
  if (errno != ENOENT) return false;
  const size_t slash = path.find_last_of(separators);
  std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
  if (folder.empty() || folder.back() == ':') folder += path[slash];  // "/" or "C:\"
  return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && folder_takes_new_files(folder);
}

void remove_unfinished(const std::string& path) {
  if (is_plain_file(path)) std::remove(path.c_str());
}

uint32_t picture_crc(const Pixel* canvas) {
  uint8_t row[SCREEN_WIDTH * 3];
  uint32_t crc = 0;
  for (int y = 0; y < SCREEN_HEIGHT; ++y) {
    convert_bgr24(canvas + y * SCREEN_WIDTH, row, SCREEN_WIDTH);  // bytes R, G, B
    crc = crc32_update(crc, row, sizeof row);
  }
  return crc;
}

bool record_open(RunOptions* options) {
  recording = options;
  frames_recorded = 0;
  capturing = !options->capture_path.empty();
  show_progress = options->offline && options->progress && isatty(2);
  length_ms = music_length_ms() > 0 ? music_length_ms() : 1;
  progress_start = progress_shown = std::chrono::steady_clock::now();
  if (options->frames_path.empty()) return true;
  frame_log = std::fopen(options->frames_path.c_str(), "wb");  // LF line ends everywhere
  if (!frame_log) return false;
  // A failed write is remembered by the stream and reported when the log is closed.
  std::fputs("frame\torder\trow\ttime_ms\tcrc32\n", frame_log);
  return true;
}

void record_frame(const Pixel* canvas, const MusicPosition& drawn_from, int64_t index) {
  if (!recording) return;
  if (frames_recorded++ == 0) first_time_ms = drawn_from.time;
  if (frame_log && !std::ferror(frame_log))
    std::fprintf(frame_log, "%lld\t%d\t%d\t%d\t%08x\n", static_cast<long long>(index), drawn_from.order, drawn_from.row,
                 drawn_from.time, picture_crc(canvas));
  if (capturing) capture_frame(canvas);
  if (show_progress) progress(drawn_from, false);
  for (SnapshotRequest& s : recording->snapshots) {
    if (s.taken || s.order != drawn_from.order || s.row != drawn_from.row) continue;
    s.taken = true;
    s.failed = !write_png(s.path.c_str(), canvas, SCREEN_WIDTH, SCREEN_HEIGHT);
  }
}

bool record_close(const MusicPosition& last) {
  if (show_progress && frames_recorded > 0) progress(last, true);
  bool ok = true;
  if (frame_log) {
    const bool written = !std::ferror(frame_log);
    if (std::fclose(frame_log) != 0 || !written) {
      report_unwritable(recording->frames_path);
      ok = false;
    }
  }
  frame_log = nullptr;
  // Reported here, after the progress line, in the order they were asked for.
  if (recording)
    for (const SnapshotRequest& s : recording->snapshots) {
      if (s.taken && !s.failed) continue;
      char never[64];
      std::snprintf(never, sizeof never, "no frame at order %d, row %d", s.order, s.row);
      report_unwritable(s.path, s.taken ? nullptr : never);
      ok = false;
    }
  recording = nullptr;
  return ok;
}

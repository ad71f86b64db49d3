#include "support/live_sync.h"

#include <fcntl.h>
#include <pulse/pulseaudio.h>
#include <signal.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "music/mixer.h"
#include "music/music.h"
#include "support/run_program.h"
#include "support/xserver.h"
// Last: Xlib's macros (None, Status, ...) would clash with the names above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

namespace {

constexpr int RATE = 44100;
constexpr int WIDTH = 512;
constexpr int HEIGHT = 384;

int64_t steady_ns() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// ---- the sink's monitor, recorded with the sound server's own timing ----

class MonitorRecorder {
 public:
  bool start(const std::string& server) {
    loop_ = pa_threaded_mainloop_new();
    if (!loop_) return false;
    context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "orvel live sync");
    if (!context_) return false;
    pa_context_set_state_callback(
        context_, [](pa_context*, void* self) { signal(self); }, this);
    if (pa_context_connect(context_, server.c_str(), PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) return false;
    pa_threaded_mainloop_lock(loop_);
    pa_threaded_mainloop_start(loop_);
    bool ok = false;
    for (;;) {
      const pa_context_state_t state = pa_context_get_state(context_);
      if (state == PA_CONTEXT_READY) {
        ok = true;
        break;
      }
      if (!PA_CONTEXT_IS_GOOD(state)) break;
      pa_threaded_mainloop_wait(loop_);
    }
    if (ok) ok = connect_stream();
    pa_threaded_mainloop_unlock(loop_);
    return ok;
  }

  void stop() {
    if (!loop_) return;
    pa_threaded_mainloop_lock(loop_);
    if (stream_) {
      pa_stream_disconnect(stream_);
      pa_stream_unref(stream_);
      stream_ = nullptr;
    }
    pa_context_disconnect(context_);
    pa_threaded_mainloop_unlock(loop_);
    pa_threaded_mainloop_stop(loop_);
    pa_context_unref(context_);
    pa_threaded_mainloop_free(loop_);
    loop_ = nullptr;
  }

  // Mono, -1..1, from the stream's first sample on.
  std::vector<float> samples;
  // The steady time of the recording's sample 0: the median of what each read says.
  double origin_ns() const {
    std::vector<double> o;
    for (const auto& s : stamps_) o.push_back(s.first - s.second);
    return percentile(o, 50);
  }

 private:
  static void signal(void* self) { pa_threaded_mainloop_signal(static_cast<MonitorRecorder*>(self)->loop_, 0); }

  bool connect_stream() {
    const pa_sample_spec spec{PA_SAMPLE_S16LE, RATE, 2};
    stream_ = pa_stream_new(context_, "monitor", &spec, nullptr);
    if (!stream_) return false;
    pa_stream_set_state_callback(
        stream_, [](pa_stream*, void* self) { signal(self); }, this);
    pa_stream_set_read_callback(stream_, on_read, this);
    pa_buffer_attr attr;
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = static_cast<uint32_t>(-1);
    attr.prebuf = static_cast<uint32_t>(-1);
    attr.minreq = static_cast<uint32_t>(-1);
    attr.fragsize = RATE / 200 * 4;  // 5 ms
    const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE |
                                                      PA_STREAM_ADJUST_LATENCY);
    if (pa_stream_connect_record(stream_, "orvel.monitor", &attr, flags) < 0) return false;
    for (;;) {
      const pa_stream_state_t state = pa_stream_get_state(stream_);
      if (state == PA_STREAM_READY) return true;
      if (!PA_STREAM_IS_GOOD(state)) return false;
      pa_threaded_mainloop_wait(loop_);
    }
  }

  static void on_read(pa_stream* stream, size_t, void* user) {
    auto* self = static_cast<MonitorRecorder*>(user);
    const void* data = nullptr;
    size_t bytes = 0;
    while (pa_stream_readable_size(stream) > 0 && pa_stream_peek(stream, &data, &bytes) == 0 && bytes > 0) {
      const size_t frames = bytes / 4;
      if (data) {
        const auto* pcm = static_cast<const int16_t*>(data);
        for (size_t i = 0; i < frames; ++i) self->samples.push_back((pcm[2 * i] + pcm[2 * i + 1]) / 65536.0f);
      } else {
        self->samples.insert(self->samples.end(), frames, 0.0f);  // a hole in the stream
      }
      pa_stream_drop(stream);
    }
    // The stream's time is the sample being captured now, that is being played by the sink.
    pa_usec_t at = 0;
    if (pa_stream_get_time(stream, &at) == 0)
      self->stamps_.emplace_back(static_cast<double>(steady_ns()), static_cast<double>(at) * 1000.0);
  }

  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
  pa_stream* stream_ = nullptr;
  std::vector<std::pair<double, double>> stamps_;  // (steady ns, stream time ns)
};

// ---- the screen, read every 2 ms ----

struct ScreenChange {
  double appeared_ns;  // between the read that first showed it and the one before
  uint32_t crc;
};

class ScreenWatcher {
 public:
  bool start(const std::string& display) {
    x_ = XOpenDisplay(display.c_str());
    if (!x_ || !XShmQueryExtension(x_)) return false;
    const int screen = DefaultScreen(x_);
    image_ = XShmCreateImage(x_, DefaultVisual(x_, screen), DefaultDepth(x_, screen), ZPixmap, nullptr, &shm_, WIDTH,
                             HEIGHT);
    if (!image_ || image_->bits_per_pixel != 32) return false;
    shm_.shmid = shmget(IPC_PRIVATE, static_cast<size_t>(image_->bytes_per_line) * HEIGHT, IPC_CREAT | 0600);
    if (shm_.shmid < 0) return false;
    shm_.shmaddr = image_->data = static_cast<char*>(shmat(shm_.shmid, nullptr, 0));
    shm_.readOnly = False;
    if (!XShmAttach(x_, &shm_)) return false;
    XSync(x_, False);
    shmctl(shm_.shmid, IPC_RMID, nullptr);  // gone once both sides detach
    running_ = true;
    thread_ = std::thread([this] { watch(); });
    return true;
  }

  void stop() {
    running_ = false;
    if (thread_.joinable()) thread_.join();
    if (x_) {
      if (image_) {
        XShmDetach(x_, &shm_);
        XDestroyImage(image_);
        shmdt(shm_.shmaddr);
      }
      XCloseDisplay(x_);
    }
    x_ = nullptr;
    image_ = nullptr;
  }

  std::vector<ScreenChange> changes;

 private:
  void watch() {
    const size_t size = static_cast<size_t>(image_->bytes_per_line) * HEIGHT;
    std::vector<char> last(size, 1);
    std::vector<uint8_t> rgb(static_cast<size_t>(WIDTH) * HEIGHT * 3);
    double previous_ns = 0;
    auto next = std::chrono::steady_clock::now();
    while (running_) {
      next += std::chrono::milliseconds(2);
      std::this_thread::sleep_until(next);
      const double before = static_cast<double>(steady_ns());
      XShmGetImage(x_, DefaultRootWindow(x_), image_, 0, 0, AllPlanes);
      const double after = static_cast<double>(steady_ns());
      const double read_ns = (before + after) / 2;
      if (std::memcmp(last.data(), image_->data, size) != 0) {
        std::memcpy(last.data(), image_->data, size);
        for (int y = 0; y < HEIGHT; ++y) {
          const auto* row =
              reinterpret_cast<const uint32_t*>(image_->data + static_cast<size_t>(y) * image_->bytes_per_line);
          for (int x = 0; x < WIDTH; ++x) {
            uint8_t* p = &rgb[(static_cast<size_t>(y) * WIDTH + x) * 3];
            p[0] = static_cast<uint8_t>(row[x] >> 16);
            p[1] = static_cast<uint8_t>(row[x] >> 8);
            p[2] = static_cast<uint8_t>(row[x]);
          }
        }
        const auto crc = static_cast<uint32_t>(crc32(0, rgb.data(), static_cast<uInt>(rgb.size())));
        changes.push_back({previous_ns > 0 ? (previous_ns + read_ns) / 2 : read_ns, crc});
      }
      previous_ns = read_ns;
      if (std::chrono::steady_clock::now() > next + std::chrono::milliseconds(50))
        next = std::chrono::steady_clock::now();  // fell far behind: no burst to catch up
    }
  }

  Display* x_ = nullptr;
  XImage* image_ = nullptr;
  XShmSegmentInfo shm_{};
  std::thread thread_;
  std::atomic<bool> running_{false};
};

// ---- the module's own mix and the first sample of every row ----

struct Reference {
  std::vector<float> mono;
  std::vector<PositionMark> rows;  // every row as played, in order
};

bool mix_reference(const std::string& path, Reference& ref) {
  ModuleMixer mixer;
  if (!mixer.init({music_mem_alloc, music_mem_realloc, music_mem_free}, RATE)) return false;
  const SoundFileCallbacks files{music_file_open, music_file_close, music_file_read, music_file_seek, music_file_tell};
  if (!mixer.load(files, path.c_str())) {
    mixer.release();
    return false;
  }
  mixer.set_volume(192);
  mixer.set_looping(false);
  int16_t block[64 * 2];
  while (!mixer.ended() && ref.mono.size() < static_cast<size_t>(RATE) * 600) {
    mixer.mix(block, 64);
    for (int i = 0; i < 64; ++i) ref.mono.push_back((block[2 * i] + block[2 * i + 1]) / 65536.0f);
    const PositionMark m = mixer.mark_at(mixer.mixed() - 1);
    if (ref.rows.empty() || ref.rows.back().order != m.order || ref.rows.back().row != m.row) ref.rows.push_back(m);
  }
  mixer.release();
  return !ref.rows.empty();
}

// ---- where each row's sound lies in the recording ----

constexpr int WINDOW_BEFORE = 32;
constexpr int WINDOW_LENGTH = 1024 + WINDOW_BEFORE;

// How well the recording from lag on matches the module's mix from sample `from`: the
// normalised correlation over one window.
double match(const std::vector<float>& ref, const std::vector<float>& rec, int64_t from, int64_t lag) {
  const int64_t r = from + lag;
  if (from < 0 || r < 0 || from + WINDOW_LENGTH > static_cast<int64_t>(ref.size()) ||
      r + WINDOW_LENGTH > static_cast<int64_t>(rec.size()))
    return 0;
  float dot = 0, a = 0, b = 0;
  for (int i = 0; i < WINDOW_LENGTH; ++i) {
    dot += ref[from + i] * rec[r + i];
    a += ref[from + i] * ref[from + i];
    b += rec[r + i] * rec[r + i];
  }
  return a > 1e-6f && b > 1e-9f ? dot / std::sqrt(double{a} * b) : 0;
}

// The lag (recording index less module sample) at which the row sound starting at `at`
// lies in the recording, near `guess` (the last row's lag); its correlation in *score.
// Nearby first. After a dropout the sound system may have paused the stream (the lag grows)
// or skipped what came late (it shrinks): then the good match nearest the guess within
// 0.9 s, less than half the sixteen rows after which a row's pitch comes round again.
int64_t find_lag(const std::vector<float>& ref, const std::vector<float>& rec, int64_t at, int64_t guess,
                 double* score) {
  const int64_t from = at - WINDOW_BEFORE;
  *score = 0;
  int64_t best = guess;
  for (int64_t lag = guess - RATE / 100; lag <= guess + RATE / 100; ++lag) {
    const double s = match(ref, rec, from, lag);
    if (s > *score) *score = s, best = lag;
  }
  if (*score >= 0.9) return best;
  const int64_t reach = RATE * 9 / 10;
  for (int64_t distance = RATE / 100; distance <= reach; ++distance) {
    for (const int64_t lag : {guess - distance, guess + distance}) {
      if (match(ref, rec, from, lag) < 0.9) continue;
      // The peak of the match that begins here.
      *score = 0;
      const int64_t step = lag < guess ? -1 : 1;
      for (int64_t l = lag; std::llabs(l - lag) <= RATE / 500; l += step) {
        const double s = match(ref, rec, from, l);
        if (s > *score) *score = s, best = l;
      }
      return best;
    }
  }
  return best;
}

int64_t first_loud(const std::vector<float>& x, size_t from, size_t to) {
  float peak = 0;
  for (size_t i = from; i < std::min(to, x.size()); ++i) peak = std::max(peak, std::fabs(x[i]));
  if (peak <= 0) return -1;
  for (size_t i = from; i < std::min(to, x.size()); ++i)
    if (std::fabs(x[i]) > peak * 0.25f) return static_cast<int64_t>(i);
  return -1;
}

struct RowPlace {
  bool valid = false;  // aligned, and not beside a slip
  int64_t lag = 0;
};

std::vector<RowPlace> align_rows(const Reference& ref, const std::vector<float>& rec, int* dropouts) {
  std::vector<RowPlace> places(ref.rows.size());
  *dropouts = 0;
  const int64_t s0 = first_loud(ref.mono, 0, RATE * 2);
  const int64_t r0 = first_loud(rec, 0, rec.size());
  if (s0 < 0 || r0 < 0) return places;
  int64_t guess = r0 - s0;
  bool have_last = false;
  int64_t last_lag = 0;
  size_t last_index = 0;
  for (size_t k = 0; k < ref.rows.size(); ++k) {
    double score = 0;
    const int64_t lag = find_lag(ref.mono, rec, ref.rows[k].sample, guess, &score);
    if (score < 0.8) continue;
    places[k] = RowPlace{true, lag};
    guess = lag;
    // The recording slipped between two rows: the sound stopped for a moment (or skipped);
    // the rows on either side are left out.
    if (have_last && std::llabs(lag - last_lag) > 2) {
      ++*dropouts;
      places[k].valid = false;
      places[last_index].valid = false;
    }
    have_last = true;
    last_lag = lag;
    last_index = k;
  }
  return places;
}

// ---- the program's own logs ----

struct FrameLine {
  int order, row;
  double time_ms;
  uint32_t crc;
};

std::vector<FrameLine> read_frame_log(const std::string& path) {
  std::vector<FrameLine> lines;
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    std::istringstream f(line);
    long frame;
    FrameLine l{};
    std::string crc;
    if (f >> frame >> l.order >> l.row >> l.time_ms >> crc) {
      l.crc = static_cast<uint32_t>(std::stoul(crc, nullptr, 16));
      lines.push_back(l);
    }
  }
  return lines;
}

struct ClockRead {
  double ns;
  int order, row;
  int64_t into_row;  // samples past the row's first
  char source;
};

std::vector<ClockRead> read_clock_log(const std::string& path) {
  std::vector<ClockRead> reads;
  std::ifstream in(path);
  ClockRead r{};
  long long ns, into;
  while (in >> ns >> r.order >> r.row >> into >> r.source) {
    r.ns = static_cast<double>(ns);
    r.into_row = into;
    reads.push_back(r);
  }
  return reads;
}

// ---- the run ----

std::string shell_quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

bool wait_exit(pid_t pid, int* status, int seconds) {
  for (int i = 0; i < seconds * 20; ++i) {
    if (waitpid(pid, status, WNOHANG) == pid) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

void sleep_seconds(double s) { std::this_thread::sleep_for(std::chrono::duration<double>(s)); }

}  // namespace

double percentile(std::vector<double> v, double p) {
  if (v.empty()) return std::nan("");
  std::sort(v.begin(), v.end());
  const double at = p / 100.0 * static_cast<double>(v.size() - 1);
  const auto i = static_cast<size_t>(at);
  const double f = at - static_cast<double>(i);
  return i + 1 < v.size() ? v[i] * (1 - f) + v[i + 1] * f : v[i];
}

double slope(const std::vector<std::pair<double, double>>& points) {
  if (points.size() < 2) return std::nan("");
  double mx = 0, my = 0;
  for (const auto& p : points) mx += p.first, my += p.second;
  mx /= static_cast<double>(points.size());
  my /= static_cast<double>(points.size());
  double sxy = 0, sxx = 0;
  for (const auto& p : points) {
    sxy += (p.first - mx) * (p.second - my);
    sxx += (p.first - mx) * (p.first - mx);
  }
  return sxx > 0 ? sxy / sxx : std::nan("");
}

LiveSyncResult run_live_sync(const LiveSyncOptions& options, const LiveSyncSetup& setup) {
  LiveSyncResult result;
  std::fflush(nullptr);  // the children below would write out what is buffered a second time
  const std::string dir = options.work_dir;
  const std::string stage = dir + "/stage";
  std::system(("rm -rf " + shell_quote(dir) + " && mkdir -p " + shell_quote(stage + "/musica")).c_str());
  if (symlink((options.data_dir + "/gfx").c_str(), (stage + "/gfx").c_str()) != 0 ||
      std::system(
          ("cp " + shell_quote(options.module_path) + " " + shell_quote(stage + "/musica/XK_TRAM4.IT")).c_str()) != 0) {
    result.failure = "cannot stage the program's data in " + stage;
    return result;
  }
  Reference ref;
  if (!mix_reference(options.module_path, ref)) {
    result.failure = "the module does not mix: " + options.module_path;
    return result;
  }

  const std::string pulse_dir = dir + "/pulse";
  const std::string pulse_script = std::string(ORVEL_SOURCE_DIR) + "/tests/support/private-pulse.sh";
  if (std::system((pulse_script + " start " + shell_quote(pulse_dir) + " " + setup.server + " >/dev/null").c_str()) !=
      0) {
    result.failure = "the private sound server (" + setup.server + ") did not start";
    return result;
  }
  const std::string server = "unix:" + pulse_dir + (setup.server == "pipewire" ? "/pulse/native" : "/native");
  XServer x;
  MonitorRecorder recorder;
  ScreenWatcher watcher;
  auto stop_all = [&] {
    watcher.stop();
    recorder.stop();
    x.stop();
    std::system((pulse_script + " stop " + shell_quote(pulse_dir) + " >/dev/null").c_str());
  };
  if (!x.start("512x384x24") || !recorder.start(server) || !watcher.start(x.display)) {
    result.failure = "the X server, the recorder or the screen reader did not start";
    stop_all();
    return result;
  }

  const std::string frames = dir + "/frames.tsv";
  const std::string clock = dir + "/clock.tsv";
  const pid_t pid = fork();
  if (pid == 0) {
    setenv("DISPLAY", x.display.c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    setenv("PULSE_SERVER", server.c_str(), 1);
    setenv("ORVEL_CLOCK_LOG", clock.c_str(), 1);
    unsetenv("SDL_AUDIODRIVER");
    for (const std::string& e : setup.env) putenv(strdup(e.c_str()));
    const int out_fd = open((dir + "/stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err_fd = open((dir + "/stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out_fd, 1);
    dup2(err_fd, 2);
    if (chdir(stage.c_str()) != 0) _exit(127);
    execl(options.program.c_str(), options.program.c_str(), "--frames", frames.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }

  double event_ns = 0;
  std::vector<pid_t> busy;
  if (setup.event != SoundEvent::Nothing) {
    sleep_seconds(setup.event_at_seconds);
    event_ns = static_cast<double>(steady_ns());
    if (setup.event == SoundEvent::UnloadSink) {
      std::system(("PULSE_SERVER=" + server + " pactl unload-module module-null-sink").c_str());
    } else if (setup.event == SoundEvent::KillServer) {
      std::system((pulse_script + " stop " + shell_quote(pulse_dir) + " >/dev/null").c_str());
    } else {
      for (int i = 0; i < 2; ++i) {
        const pid_t spinner = fork();
        if (spinner == 0) {
          execlp("sh", "sh", "-c", "while :; do :; done", static_cast<char*>(nullptr));
          _exit(127);
        }
        busy.push_back(spinner);
      }
    }
  }
  auto stop_busy = [&] {
    for (pid_t b : busy) kill(b, SIGKILL), waitpid(b, nullptr, 0);
    busy.clear();
  };
  int status = -1;
  bool ended = false;
  const double started_ns = static_cast<double>(steady_ns()) - (event_ns > 0 ? setup.event_at_seconds * 1e9 : 0);
  const double until_ns = started_ns + (options.seconds > 0 ? options.seconds : 3600) * 1e9;
  while (!ended && static_cast<double>(steady_ns()) < until_ns) {
    if (!busy.empty() && static_cast<double>(steady_ns()) > event_ns + setup.event_seconds * 1e9) stop_busy();
    ended = waitpid(pid, &status, WNOHANG) == pid;
    if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  stop_busy();
  if (!ended && options.seconds <= 0) result.failure = "the show did not end within an hour";
  if (!ended) {
    std::system(("DISPLAY=" + x.display + " xdotool key --clearmodifiers Escape").c_str());
    if (!wait_exit(pid, &status, 60)) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      result.failure = "Escape did not end the program";
    }
  }
  stop_all();
  result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = read_text(dir + "/stdout");
  result.err = read_text(dir + "/stderr");

  // After the sound went away there is nothing to measure the clock against.
  const double lost_ns = setup.event == SoundEvent::UnloadSink || setup.event == SoundEvent::KillServer ? event_ns : 0;
  // Where each row's sound was played, on the steady clock.
  const std::vector<RowPlace> places = align_rows(ref, recorder.samples, &result.dropouts);
  for (const RowPlace& p : places) result.rows_aligned += p.valid;
  const double origin = recorder.origin_ns();
  auto played_ns = [&](size_t row, int64_t sample) {
    return origin + static_cast<double>(sample + places[row].lag) * 1e9 / RATE;
  };

  // What each figure came from, for a closer look.
  std::FILE* detail = std::fopen((dir + "/measured.tsv").c_str(), "w");
  if (detail)
    for (size_t k = 0; k < ref.rows.size(); ++k)
      std::fprintf(detail, "mark\t%lld\t%d:%d\t%d\t%lld\n", static_cast<long long>(ref.rows[k].sample),
                   ref.rows[k].order, ref.rows[k].row, places[k].valid ? 1 : 0, static_cast<long long>(places[k].lag));
  if (detail) std::fprintf(detail, "origin\t%.6f\n", origin / 1e9);
  // The program numbers its samples from when it started playing; a read says which row
  // it is in and how far into it, which places it in the module's own mix.
  size_t read_row = 0;
  for (const ClockRead& r : read_clock_log(clock)) {
    if (event_ns > 0 && r.ns > event_ns + 1e9) {
      result.silent_reads_after_event += r.source == 'S';
      result.device_reads_after_event += r.source == 'D';
    }
    size_t k = read_row;
    while (k < ref.rows.size() && (ref.rows[k].order != r.order || ref.rows[k].row != r.row)) ++k;
    if (k >= ref.rows.size()) continue;
    read_row = k;
    // The first read of all comes before anything is heard.
    if (r.source != 'D' || (k == 0 && r.into_row == 0) || (lost_ns > 0 && r.ns > lost_ns)) continue;
    if (!places[k].valid) continue;
    const int64_t sample = ref.rows[k].sample + r.into_row;
    result.clock_error_ms.push_back((r.ns - played_ns(k, sample)) / 1e6);
    if (detail)
      std::fprintf(detail, "clock\t%.6f\t%lld\t%.3f\n", r.ns / 1e9, static_cast<long long>(sample),
                   result.clock_error_ms.back());
  }

  const std::vector<FrameLine> log = read_frame_log(frames);
  size_t next_line = 0, next_row = 0;
  int last_order = -1, last_row = -1;
  for (const ScreenChange& c : watcher.changes) {
    size_t j = next_line;
    while (j < log.size() && j < next_line + 2000 && log[j].crc != c.crc) ++j;
    if (j >= log.size() || log[j].crc != c.crc) continue;
    next_line = j + 1;
    ++result.frames_on_screen;
    const FrameLine& f = log[j];
    if (detail) std::fprintf(detail, "frame\t%.6f\t%zu\t%.0f\n", c.appeared_ns / 1e9, j, f.time_ms);
    if (event_ns > 0 && c.appeared_ns > event_ns + 1e9)
      result.music_after_event.emplace_back(c.appeared_ns / 1e9, f.time_ms);
    if (f.order == last_order && f.row == last_row) continue;
    const bool new_order = f.order != last_order && last_order >= 0;
    // An order that lasted a row or two (the live sync track's first ones) changes under a
    // picture that has hardly started; only changes after a whole pattern count as such.
    const bool after_pattern = new_order && next_row >= 32 && ref.rows[next_row - 1].row >= 31;
    const bool first = last_order < 0;
    last_order = f.order;
    last_row = f.row;
    size_t k = next_row;
    while (k < ref.rows.size() && (ref.rows[k].order != f.order || ref.rows[k].row != f.row)) ++k;
    if (k >= ref.rows.size()) continue;
    next_row = k + 1;
    if (first || !places[k].valid || (lost_ns > 0 && c.appeared_ns > lost_ns)) continue;
    const double offset = (c.appeared_ns - played_ns(k, ref.rows[k].sample)) / 1e6;
    result.row_offset_ms.push_back(offset);
    if (detail) std::fprintf(detail, "row\t%.6f\t%d:%d\t%.3f\n", c.appeared_ns / 1e9, f.order, f.row, offset);
    if (after_pattern) result.order_offset_ms.push_back(offset);
  }
  if (detail) std::fclose(detail);
  if (result.failure.empty() && result.frames_on_screen == 0) result.failure = "no frame of the log was seen on screen";
  return result;
}

// The program live, judged as the viewer gets it: a private PulseAudio daemon with a null
// sink, the program in a private X server, the sink's monitor recorded and the screen read
// every 2 ms, all on one steady clock. The recording is aligned row by row to the module's
// own mix, so the moment each sample was played is known; the clock's reads (from the
// program's ORVEL_CLOCK_LOG) and the pictures on screen (matched by CRC to its frame log)
// are measured against it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Something done to the sound system in the middle of the run.
enum class SoundEvent {
  Nothing,
  UnloadSink,  // the null sink removed: the program's stream is killed
  KillServer,  // the daemon killed
  BusyLoops,   // two processes spinning at the program's priority, for event_seconds
};

struct LiveSyncSetup {
  std::string name;
  std::string server = "pulseaudio";  // or "pipewire", with its PulseAudio service
  std::vector<std::string> env;       // "NAME=value", added to the program's environment
  SoundEvent event = SoundEvent::Nothing;
  double event_at_seconds = 0;  // after the program started
  double event_seconds = 30;
};

struct LiveSyncOptions {
  std::string program;      // the orvel executable
  std::string data_dir;     // holds gfx/ (the program's pictures)
  std::string module_path;  // played as musica/XK_TRAM4.IT
  std::string work_dir;     // scratch: logs, the daemon's folder
  double seconds = 25;      // of show before Escape; 0: the whole show, to its end
};

struct LiveSyncResult {
  std::string failure;  // empty when the run could be measured
  int exit_status = -1;
  std::string out, err;  // the program's standard output and error
  // Per read of the clock while the device played: the steady time of the read less the
  // moment the sink played the sample the read reported (positive: the clock is behind).
  std::vector<double> clock_error_ms;
  // Per row (and order) change seen on screen: when the picture of the new row appeared
  // less when the row's first sample was played (positive: the picture is late).
  std::vector<double> row_offset_ms;
  std::vector<double> order_offset_ms;
  int dropouts = 0;      // places where the recording slips against the module's mix
  int rows_aligned = 0;  // rows whose sound was found in the recording
  int frames_on_screen = 0;
  // The pictures shown after the event: (steady seconds, music time in ms they were drawn
  // from), and what the clock's reads came from after it.
  std::vector<std::pair<double, double>> music_after_event;
  int silent_reads_after_event = 0;
  int device_reads_after_event = 0;
};

LiveSyncResult run_live_sync(const LiveSyncOptions& options, const LiveSyncSetup& setup);

// Order statistics of a sample: p in 0..100; NaN for an empty one.
double percentile(std::vector<double> values, double p);
// Least-squares slope of y against x.
double slope(const std::vector<std::pair<double, double>>& points);

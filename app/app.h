// Demo sequence: start-up, the image assets, the canvases and the scene timeline.
#pragma once
#include <string>
#include <vector>

#include "music/music.h"
#include "raster/raster.h"

// The four working canvases; only screen is presented.
extern Canvas screen;
extern Canvas backdrop;
extern Canvas layer_a;
extern Canvas layer_b;

// ---- options ----

struct SnapshotRequest {
  int order;
  int row;
  std::string path;
  bool taken;   // its frame came and a write was tried
  bool failed;  // that write failed
};

struct RunOptions {
  bool windowed = false;
  int depth = 0;  // 0: 32, then 24, then 16
  bool offline = false;
  int fps = 60;
  std::string frames_path;
  std::string wav_path;
  std::vector<SnapshotRequest> snapshots;
  std::string capture_path;
  int capture_scale = 3;
  // Offline with standard error on a terminal: one updating line of progress.
  bool progress = true;
  // Offline, when there is no capture: receives every block of sound as it is mixed.
  void (*audio_sink)(const int16_t* stereo, int frames) = nullptr;
};

enum class OptionsResult { Run, ExitOk, ExitUsage };
// Parses the command line; prints help or version (ExitOk) or one line of error on
// stderr (ExitUsage).
OptionsResult parse_options(int argc, char** argv, RunOptions* options);

// ---- recording a run ----

// "orvel: cannot write 'path'", with the reason after a colon when there is one.
void report_unwritable(const std::string& path, const char* reason = nullptr);
// Whether the run could write path, found without creating or changing any file: an
// existing path must be a writable file or device, a new one needs a folder that can
// take it.
bool output_path_ok(const std::string& path);
// Removes path only when it is a regular file: what a failed output leaves of itself,
// never a device or a link the user named.
void remove_unfinished(const std::string& path);

// Opens the frame log; false when it cannot be opened.
bool record_open(RunOptions* options);
// After each presented frame: the frame log line and any snapshot due at this position.
void record_frame(const Pixel* canvas, const MusicPosition& drawn_from);
// Closes the frame log; false, with one line on stderr for each, when the log could not
// be written whole or a snapshot was not written (a failed write, or its position never
// came).
bool record_close(const MusicPosition& last);
// CRC-32 (zlib) of the picture as R, G, B bytes in storage order.
uint32_t picture_crc(const Pixel* canvas);
// The CRC-32 of zlib and PNG, continued over size more bytes; start from 0. zlib's where
// the platform has it, else crc32_tables, our own.
uint32_t crc32_update(uint32_t crc, const void* data, size_t size);
uint32_t crc32_tables(uint32_t crc, const void* data, size_t size);
// 8-bit RGB PNG of packed pixels (stride = width), alpha ignored; false on failure.
bool write_png(const char* path, const Pixel* pixels, int width, int height);

// Video capture of an offline run: H.264 at fps with the picture scaled by scale, and
// AAC audio. capture_close is false when the file could not be finished, and then
// removes it if it is a regular file.
bool capture_open(const char* path, int fps, int scale);
void capture_frame(const Pixel* canvas);
void capture_audio(const int16_t* stereo, int frames);
bool capture_close();

// ---- the run ----

constexpr const char* WINDOW_TITLE = "Orvel @ brakovia'11 :: KVL";
constexpr const char* MODULE_PATH = "musica\\XK_TRAM4.IT";

// Start-up, timeline and shut-down; the process exit status.
int run_demo(RunOptions* options);
// Once the module is loaded and the display open: play from order 0 and take the first
// read. And after the timeline: stop and release the music, close the display.
void start_playing();
void stop_playing();

// The timeline's state, shared by all phases.
extern MusicPosition position;
extern int32_t phase_start;
extern int32_t greeting_base_order;

// The sixteen phases, from the position of the first read to the end.
void run_timeline();
// Order 8's fade at a row (100 at row 0, 1 at row 63 and held there), and order 25's
// wipe in rows (6 a row, held at the canvas height).
int fade_percent(int row);
int wipe_rows(int row);
// The greeting slot of logo 0..4 at n orders past greeting_base_order, and the logo's
// position at a time.
int greeting_slot(int logo, int n, int row);
void greeting_position(int logo, int time, int* x, int* y);

// Called after every presented frame with the phase (1..16) that presented it; tests
// watch the timeline through it.
using FrameObserver = void (*)(int phase, const MusicPosition& drawn_from);
void set_frame_observer(FrameObserver observer);

// ---- assets ----

// The pictures decoded once at start-up, each into its own buffer, rows packed
// (stride = width). Every slot has one width and one height, kept only here: the
// loader takes a picture of exactly that shape or none (the buffer then stays zero),
// and the scenes and the picture maker read the sizes from here.
constexpr int PORTRAIT_WIDTH = 361;
constexpr int PORTRAIT_HEIGHT = 300;
constexpr int CAP_WIDTH = 314;
constexpr int CAP_HEIGHT = 142;
constexpr int SHIRT_WIDTH = 167;
constexpr int SHIRT_HEIGHT = 91;
constexpr int BRA_WIDTH = 45;  // left and right
constexpr int BRA_HEIGHT = 59;
constexpr int TROUSERS_WIDTH = 163;
constexpr int TROUSERS_HEIGHT = 70;
constexpr int COLUMNS_WIDTH = 94;
constexpr int COLUMNS_HEIGHT = 480;
constexpr int FLICKER_WIDTH = 200;  // both
constexpr int FLICKER_HEIGHT = 384;
constexpr int GREETING_COUNT = 37;
constexpr int GREETING_WIDTH = 400;
constexpr int GREETING_HEIGHT = 384;
constexpr int GREETING_PIXELS = GREETING_WIDTH * GREETING_HEIGHT;
constexpr int TEXT_COUNT = 23;
constexpr int TEXT_WIDTH = 512;
constexpr int TEXT_HEIGHT = 28;
constexpr int TEXT_PIXELS = TEXT_WIDTH * TEXT_HEIGHT;
constexpr int FULL_WIDTH = SCREEN_WIDTH;  // the hangers and the final picture
constexpr int FULL_HEIGHT = SCREEN_HEIGHT;
constexpr int CREDIT_WIDTH = 334;
constexpr int CREDIT_HEIGHT = 100;

extern Pixel img_portrait[PORTRAIT_WIDTH * PORTRAIT_HEIGHT];
extern Pixel img_cap[CAP_WIDTH * CAP_HEIGHT];
extern Pixel img_shirt[SHIRT_WIDTH * SHIRT_HEIGHT];
extern Pixel img_bra_left[BRA_WIDTH * BRA_HEIGHT];
extern Pixel img_bra_right[BRA_WIDTH * BRA_HEIGHT];
extern Pixel img_trousers[TROUSERS_WIDTH * TROUSERS_HEIGHT];
extern Pixel img_columns[COLUMNS_WIDTH * COLUMNS_HEIGHT];
extern Pixel img_flicker_1[FLICKER_WIDTH * FLICKER_HEIGHT];
extern Pixel img_flicker_2[FLICKER_WIDTH * FLICKER_HEIGHT];
// Slot k starts k × GREETING_PIXELS in; slots follow the file names sorted ignoring case.
extern Pixel img_greetings[GREETING_COUNT * GREETING_PIXELS];
// Slot k holds "gfx//text<k + 1>.gif": text strip k + 1.
extern Pixel img_text[TEXT_COUNT * TEXT_PIXELS];
extern Pixel img_hangers[FULL_WIDTH * FULL_HEIGHT];
extern Pixel img_final[FULL_WIDTH * FULL_HEIGHT];
extern Pixel img_credit1[CREDIT_WIDTH * CREDIT_HEIGHT];
extern Pixel img_credit2[CREDIT_WIDTH * CREDIT_HEIGHT];
extern Pixel img_credit3[CREDIT_WIDTH * CREDIT_HEIGHT];
extern Pixel img_credit4[CREDIT_WIDTH * CREDIT_HEIGHT];
extern Pixel img_credit5[CREDIT_WIDTH * CREDIT_HEIGHT];
extern Pixel img_credit6[CREDIT_WIDTH * CREDIT_HEIGHT];
extern Pixel img_credit7[CREDIT_WIDTH * CREDIT_HEIGHT];

// The single pictures as the effects take them.
inline constexpr Image portrait_image{img_portrait, PORTRAIT_WIDTH, PORTRAIT_HEIGHT};
inline constexpr Image cap_image{img_cap, CAP_WIDTH, CAP_HEIGHT};
inline constexpr Image shirt_image{img_shirt, SHIRT_WIDTH, SHIRT_HEIGHT};
inline constexpr Image bra_left_image{img_bra_left, BRA_WIDTH, BRA_HEIGHT};
inline constexpr Image bra_right_image{img_bra_right, BRA_WIDTH, BRA_HEIGHT};
inline constexpr Image trousers_image{img_trousers, TROUSERS_WIDTH, TROUSERS_HEIGHT};
inline constexpr Image columns_image{img_columns, COLUMNS_WIDTH, COLUMNS_HEIGHT};
inline constexpr Image flicker_1_image{img_flicker_1, FLICKER_WIDTH, FLICKER_HEIGHT};
inline constexpr Image flicker_2_image{img_flicker_2, FLICKER_WIDTH, FLICKER_HEIGHT};

// The greeting logos' files, in slot order.
extern const char* const greeting_files[GREETING_COUNT];

// One load of the start-up list: the file, its buffer and the buffer's shape.
struct AssetLoad {
  const char* path;
  Pixel* pixels;
  int width;
  int height;
};
constexpr int ASSET_COUNT = 78;
extern const AssetLoad asset_loads[ASSET_COUNT];

// Decodes every asset in the start-up order; returns how many loaded.
int load_assets();

// Music clock: plays the module once and reports the order, row and time of what is
// being heard, which is the only clock the scenes follow.
#pragma once
#include <cstddef>
#include <cstdint>

struct MusicPosition {
  int32_t order;
  int32_t row;
  int32_t time;  // milliseconds
};

int music_init(const char* path);  // 0 when the module is loaded, 1 on failure
void music_start();
int music_set_order(int32_t order);
// After music_start and music_set_order(0): plays on from the first frame of an order
// instead, exactly as a run from the start would have it. The module is mixed silently
// up to there, so that what is heard from then on and the times answered are the
// module's own; the frames before it become rehearsals, each presented one moving the
// clock on by a frame with no sound, through the positions a run from the start reads
// (offline at its fps, live at 60). Returns how many rehearsal frames there are (0 for
// order 0), or -1 when the music never reaches the order.
int64_t music_cue(int32_t order);
// True while the frame being drawn is a rehearsal, with where the read after it will be.
bool music_rehearsal(MusicPosition* next);
void music_position(int32_t* row, int32_t* order);
int32_t music_time();
void music_stop();
void music_free();

// File and memory callbacks handed to the sound layer.
void* music_file_open(const char* name);
int music_file_close(void* handle);
int music_file_read(void* buffer, int size, void* handle);
int music_file_seek(void* handle, int position, signed char origin);
int music_file_tell(void* handle);
void* music_mem_alloc(int size);
void* music_mem_realloc(void* block, int size);
void music_mem_free(void* block);

// ---- the sound layer beneath the clock ----

struct SoundFileCallbacks {
  void* (*open)(const char* name);
  int (*close)(void* handle);
  int (*read)(void* buffer, int size, void* handle);
  int (*seek)(void* handle, int position, signed char origin);
  int (*tell)(void* handle);
};

struct SoundMemoryCallbacks {
  void* (*alloc)(int size);
  void* (*realloc)(void* block, int size);
  void (*free)(void* block);
};

// The operations the clock needs from a module player; the program's own player is
// libopenmpt with SDL audio, and tests substitute scripted doubles.
class SoundLayer {
 public:
  virtual ~SoundLayer() = default;
  virtual float get_version() = 0;
  virtual void set_output(int output) = 0;
  virtual void set_file_callbacks(const SoundFileCallbacks& callbacks) = 0;
  virtual void set_memory_system(void* pool, int pool_length, const SoundMemoryCallbacks& callbacks) = 0;
  virtual void set_driver(int driver) = 0;
  virtual int init(int rate, int channels, int flags) = 0;
  virtual bool load_song(const char* path) = 0;    // false: nothing loaded
  virtual void set_master_volume(int volume) = 0;  // 0..256
  virtual void set_looping(bool looping) = 0;
  virtual void play_song() = 0;
  virtual signed char set_order(int32_t order) = 0;
  // One moment per read: get_row samples the position being heard, and the get_order and
  // get_time that follow answer from that same sample. The row is the one that holds it.
  virtual int32_t get_row() = 0;
  virtual int32_t get_order() = 0;
  virtual int32_t get_time() = 0;
  virtual void stop_song() = 0;
  virtual void free_song() = 0;
  virtual void close() = 0;
  // Offline players advance their virtual clock here, once per presented frame.
  virtual void frame_presented() {}
  // See music_cue and music_rehearsal; a player that cannot cue starts only at order 0.
  virtual int64_t cue(int32_t order) { return order == 0 ? 0 : -1; }
  virtual bool rehearsal(MusicPosition* /*next*/) { return false; }
};

enum class SoundMode {
  Live,     // audio device, or silent real time when there is none
  Offline,  // virtual clock: 1/fps per presented frame, optional WAV output
};

struct SoundSettings {
  SoundMode mode = SoundMode::Live;
  int fps = 60;                    // of the offline clock, and of a rehearsal
  const char* wav_path = nullptr;  // offline only
  // Offline only: receives every block of audio as it is mixed, in order.
  void (*audio_sink)(const int16_t* stereo, int frames) = nullptr;
};

// Selects the program's own player for the next music_init.
void music_configure(const SoundSettings& settings);
// Replaces the player (tests); nullptr returns to the program's own.
void music_use_layer(SoundLayer* layer);
// The program's own player, configured as music_configure last said.
SoundLayer* program_sound_layer();
// Called once per presented frame; drives the offline clock.
void music_frame_presented();
// The version the program's own player reports.
constexpr float SOUND_LAYER_VERSION = 3.70f;

// Where the program's own player gets its sound from, for diagnostics and tests.
enum class SoundOutput { None, Device, Silent, Offline };
SoundOutput music_output();
// False when the WAV file of an offline run could not be written completely.
bool music_wav_ok();
// The module's length in milliseconds as the program's own player plays it once.
int32_t music_length_ms();

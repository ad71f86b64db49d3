#include "music/music.h"

#include <cstdio>
#include <cstdlib>

#include "image/image.h"

namespace {
constexpr float LOWEST_VERSION = 3.63f;
constexpr int OUTPUT_DEFAULT = 2;
constexpr int DRIVER_DEFAULT = 0;
constexpr int MIX_RATE = 44100;
constexpr int SOFTWARE_CHANNELS = 32;
constexpr int INIT_FLAGS = 1;
constexpr int MASTER_VOLUME = 192;

SoundLayer* installed_layer = nullptr;
SoundLayer* active = nullptr;  // the layer music_init started
bool song_loaded = false;

SoundLayer* current_layer();
}  // namespace

void music_use_layer(SoundLayer* layer) { installed_layer = layer; }

namespace {
SoundLayer* current_layer() { return installed_layer ? installed_layer : program_sound_layer(); }
}  // namespace

int music_init(const char* path) {
  active = current_layer();
  song_loaded = false;
  if (active->get_version() < LOWEST_VERSION) return 1;
  active->set_output(OUTPUT_DEFAULT);
  active->set_file_callbacks({music_file_open, music_file_close, music_file_read, music_file_seek, music_file_tell});
  active->set_memory_system(nullptr, 0, {music_mem_alloc, music_mem_realloc, music_mem_free});
  active->set_driver(DRIVER_DEFAULT);
  active->init(MIX_RATE, SOFTWARE_CHANNELS, INIT_FLAGS);
  song_loaded = active->load_song(path);
  return song_loaded ? 0 : 1;
}

void music_start() {
  if (!song_loaded) return;
  active->set_master_volume(MASTER_VOLUME);
  active->set_looping(false);
  active->play_song();
}

int music_set_order(int32_t order) {
  if (!song_loaded) return 0;
  return active->set_order(order);
}

int64_t music_cue(int32_t order) {
  if (!song_loaded) return -1;
  return active->cue(order);
}

bool music_rehearsal(MusicPosition* next) { return song_loaded && active->rehearsal(next); }

void music_position(int32_t* row, int32_t* order) {
  if (!song_loaded) {
    *row = 0;
    *order = 0;
    return;
  }
  *row = active->get_row();
  *order = active->get_order();
}

int32_t music_time() { return song_loaded ? active->get_time() : 0; }

void music_stop() {
  if (song_loaded) active->stop_song();
}

void music_free() {
  if (!active) return;
  if (song_loaded) active->free_song();
  active->close();
  song_loaded = false;
  active = nullptr;
}

void music_frame_presented() {
  if (song_loaded) active->frame_presented();
}

// The module path is written for another platform; the data lookup turns its
// backslashes into slashes and also searches beside the executable.
void* music_file_open(const char* name) { return open_data_file(name, "rb"); }

int music_file_close(void* handle) { return std::fclose(static_cast<FILE*>(handle)); }

int music_file_read(void* buffer, int size, void* handle) {
  if (size <= 0) return 0;
  return static_cast<int>(std::fread(buffer, 1, static_cast<size_t>(size), static_cast<FILE*>(handle)));
}

int music_file_seek(void* handle, int position, signed char origin) {
  return std::fseek(static_cast<FILE*>(handle), position, origin);
}

int music_file_tell(void* handle) { return static_cast<int>(std::ftell(static_cast<FILE*>(handle))); }

void* music_mem_alloc(int size) { return size > 0 ? std::malloc(static_cast<size_t>(size)) : nullptr; }

void* music_mem_realloc(void* block, int size) {
  if (size <= 0) {
    std::free(block);
    return nullptr;
  }
  return std::realloc(block, static_cast<size_t>(size));
}

void music_mem_free(void* block) { std::free(block); }

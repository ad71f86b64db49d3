// The timeline allocates nothing once it runs: every frame draws into static storage.
// Counts every heap allocation of the process through replaced allocation functions
// (which is why this program stays out of the sanitizer build).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "app/demo.h"
#include "app/timeline.h"
#include "display/display.h"
#include "effects/effects.h"
#include "support/scripted_sound.h"

extern "C" void* __libc_malloc(size_t);
extern "C" void* __libc_calloc(size_t, size_t);
extern "C" void* __libc_realloc(void*, size_t);
extern "C" void __libc_free(void*);

namespace {
std::atomic<long> allocations{0};
}

extern "C" void* malloc(size_t n) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  return __libc_malloc(n);
}
extern "C" void* calloc(size_t n, size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  return __libc_calloc(n, size);
}
extern "C" void* realloc(void* p, size_t n) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  return __libc_realloc(p, n);
}
extern "C" void free(void* p) { __libc_free(p); }
void* operator new(size_t n) {
  void* p = malloc(n ? n : 1);
  if (!p) throw std::bad_alloc();
  return p;
}
void* operator new[](size_t n) { return operator new(n); }
void operator delete(void* p) noexcept { free(p); }
void operator delete[](void* p) noexcept { free(p); }
void operator delete(void* p, size_t) noexcept { free(p); }
void operator delete[](void* p, size_t) noexcept { free(p); }

namespace {

long frames_seen = 0;
long counted_at_last_frame = 0;
long during_frames[17] = {};

void count(int phase, const MusicPosition&) {
  const long now = allocations.load();
  if (frames_seen++ > 0) during_frames[phase] += now - counted_at_last_frame;
  counted_at_last_frame = now;
}

}  // namespace

TEST(Allocations, NoneWhileTheTimelineRuns) {
  // Every order and row of a 64-row module, three frames a row.
  ScriptedSound sound;
  for (int order = 0; order < 30; ++order)
    for (int row = 0; row < 64; ++row)
      for (int f = 0; f < 3; ++f) sound.script.push_back({order, row, (order * 64 + row) * 120 + f * 40});
  music_use_layer(&sound);
  DisplaySettings offline;
  offline.mode = DisplayMode::Offline;
  display_configure(offline);
  ASSERT_EQ(music_init(MODULE_PATH), 0);
  ASSERT_EQ(display_open(WINDOW_TITLE, SCREEN_WIDTH, SCREEN_HEIGHT), 1);
  set_frame_observer(count);
  start_playing();
  run_timeline();
  set_frame_observer(nullptr);
  music_use_layer(nullptr);

  EXPECT_GT(frames_seen, 5000);
  for (int phase = 1; phase <= 16; ++phase) EXPECT_EQ(during_frames[phase], 0) << "phase " << phase;
}

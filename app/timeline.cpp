// The scene timeline: sixteen frame loops, each running while the music order is below
// its limit, so the scenes only move forward and a scene the music has left draws nothing.
#include "app/app.h"
#include "display/display.h"

MusicPosition position{0, 0, 0};
int32_t phase_start = 0;
int32_t greeting_base_order = 0;

namespace {

FrameObserver frame_observer = nullptr;

// Row and order first, then the time, so that all three come from one moment.
void read_position() {
  music_position(&position.row, &position.order);
  position.time = music_time();
}

void present(int phase) {
  display_update(screen);
  record_frame(screen, position);
  if (frame_observer) frame_observer(phase, position);
  music_frame_presented();
}

// The bubbles of the hills start below the canvas at even columns.
void respawn_hill_particles() {
  for (int i = 0; i < 50; ++i) {
    particles[i] = spawn_particle();
    particles[i].y = next_random() + 384;
    particles[i].x = next_random() * 2;
  }
}

}  // namespace

void set_frame_observer(FrameObserver observer) { frame_observer = observer; }

void run_timeline() {
  // 1: order 0, black.
  while (position.order < 1) {
    read_position();
    present(1);
  }
  // 2: order 1, the staircase builds up.
  while (position.order < 2 && position.row < 48) {
    read_position();
    present(2);
  }
  // 3: order 1 from row 48, the finished staircase goes to the backdrop.
  while (position.order < 2) {
    present(3);
    read_position();
  }
  // 4: order 2, the figure grows over the staircase.
  while (position.order < 3) {
    present(4);
    read_position();
  }
  // 5: orders 3 to 7, the figure's stages.
  while (position.order < 8) {
    present(5);
    read_position();
  }
  // 6: order 8, everything fades.
  while (position.order < 9) {
    present(6);
    read_position();
  }
  // 7: order 9, flicker under a noise veil.
  while (position.order < 10) {
    present(7);
    read_position();
  }
  // 8: orders 10 to 12, rings with text.
  while (position.order < 13) {
    present(8);
    read_position();
  }
  // The portrait's slide is timed from here, even when its phase is skipped.
  phase_start = position.time;
  // 9: order 13, the portrait slides in.
  while (position.order < 14) {
    present(9);
    read_position();
  }
  // 10: orders 14 to 16, star, polygons and bubbles.
  while (position.order < 17) {
    present(10);
    read_position();
  }
  // 11: order 17, the hills rise.
  while (position.order < 18) {
    present(11);
    read_position();
  }
  respawn_hill_particles();
  // 12: orders 18 to 20, hills and columns.
  while (position.order < 21) {
    present(12);
    read_position();
  }
  greeting_base_order = position.order;
  // 13: orders 21 to 24, greetings; reads within the frame.
  while (position.order < 25) {
    read_position();
    present(13);
  }
  // 14: order 25, the final picture wipes down; reads twice a frame.
  while (position.order < 26) {
    read_position();
    present(14);
    read_position();
  }
  // 15: orders 26 to 28, credits.
  while (position.order < 29) {
    present(15);
    read_position();
  }
  // 16: order 29, black until row 60.
  if (position.order == 29) {
    while (position.row < 60) {
      present(16);
      read_position();
      if (position.order != 29) break;
    }
  }
}

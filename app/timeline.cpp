// The scene timeline: sixteen frame loops, each running while the music order is below
// its limit, so the scenes only move forward and a scene the music has left draws nothing.
#include "app/timeline.h"

#include <algorithm>

#include "app/assets.h"
#include "app/layout.h"
#include "app/record.h"
#include "app/show.h"
#include "display/display.h"
#include "effects/effects.h"

namespace {

FrameObserver frame_observer = nullptr;

// Where the show starts, for this run of the timeline.
int first_shown = 0;
// The frame being drawn: shown, or a rehearsal of one before the start, which moves the
// show's state on as drawing it would, but draws only what a shown frame will see.
bool rehearsing = false;
MusicPosition next{0, 0, 0};  // while rehearsing: what the read after this frame answers

void begin_frame() { rehearsing = music_rehearsal(&next); }

// Whether the frame draws: every shown frame does, a rehearsed one only when it is the
// last of its loop and so hands its canvases to the next phase.
bool draws(bool last_of_loop) { return !rehearsing || last_of_loop; }
// For the loops that read at the end of a frame and run while the order is below limit:
// whether the read after this rehearsed frame ends the loop.
bool next_reaches(int limit) { return rehearsing && next.order >= limit; }

// Escape, a close request or end_show: every read from then on answers an order past the
// last, and the phases end as they do at the end of the music.
bool ending = false;

// Row and order first, then the time, so that all three come from one moment.
void read_position() {
  if (ending) {
    show.position.order = LAST_ORDER + 1;
    show.position.row = 0;
    return;
  }
  music_position(&show.position.row, &show.position.order);
  show.position.time = music_time();
}

void present(int phase) {
  if (ending) return;  // the frame that was being drawn when the end came
  if (!rehearsing) {
    display_update(show.screen);
    record_frame(show.screen, show.position, show.frame);
    if (frame_observer) frame_observer(phase, show.position);
    if (display_end_requested()) ending = true;
  }
  ++show.frame;
  music_frame_presented();
}

// The bubbles of the hills start below the canvas at even columns.
void respawn_hill_particles() {
  for (int i = 0; i < 50; ++i) {
    show.particles[i] = spawn_particle(show.random);
    show.particles[i].y = next_random(show.random) + 384;
    show.particles[i].x = next_random(show.random) * 2;
  }
}

void clear_black(Pixel* canvas) { fill_pixels(canvas, SCREEN_PIXELS, 0, 0, 0, 0); }

// The ground of orders 9 to 20: palette entry 0 raised by 50, alpha 0.
void clear_ground(Pixel* canvas) {
  fill_pixels(canvas, SCREEN_PIXELS, palette[0][0] + 50, palette[0][1] + 50, palette[0][2] + 50, 0);
}

void clear_key(Pixel* canvas) { fill_pixels(canvas, SCREEN_PIXELS, 255, 0, 0, 0); }

void blend_canvas(const Pixel* source, int y = 0) { blit(source, SCREEN_WIDTH, SCREEN_HEIGHT, show.screen, 0, y, 1); }

// Text strip n (1..23), the one decoded from the file numbered n.
void text_strip(int n, int x, int y) {
  blit(img_text + (n - 1) * TEXT_PIXELS, TEXT_WIDTH, TEXT_HEIGHT, show.screen, x, y, 1);
}

template <size_t N>
void text_strips(const TimedStrip (&strips)[N]) {
  for (const TimedStrip& s : strips)
    if (s.order == show.position.order && show.position.row > s.after_row) text_strip(s.strip, s.x, s.y);
}

void draw_figure(int stage, Pixel* canvas) {
  draw_outfits(show.position.time, show.position.row, stage, canvas, cap_image, shirt_image, bra_left_image,
               bra_right_image, trousers_image);
}

void flicker(Pixel* canvas) {
  draw_flicker(show.flicker, show.position.time, show.position.row, show.position.order, flicker_1_image,
               flicker_2_image, canvas);
}

void frame_corners() { draw_rounded_frame(show.position.time, show.screen); }

void rings() { draw_rings(show.position.time / 4, show.position.row, show.position.order, show.screen); }

void bubbles_and_portrait(Pixel* canvas) {
  draw_bubbles_portrait(show.bubbles, show.particles, show.random, show.position.time - show.phase_start,
                        show.position.row, show.position.order, canvas, portrait_image);
}

void hills(Pixel* canvas) {
  draw_hills(show.hills, show.particles, show.random, show.position.time >> 2, show.position.row, show.position.order,
             columns_image, canvas);
}

// The figure of order 2 grows in steps of 8 rows; the corners are the table's own.
void scaled_figure() {
  static const int rectangles[8][4] = {
      {230, 10, 294, 58}, {190, 0, 318, 96}, {170, 0, 362, 144}, {125, 0, 381, 192},
      {95, 0, 415, 240},  {60, 0, 444, 288}, {48, 0, 496, 336},  {1, 0, 512, 384},
  };
  if (show.position.row < 0 || show.position.row >= 64) return;
  const int* r = rectangles[show.position.row / 8];
  blit_scaled(r[0], r[1], r[2], r[3], show.layer_a, SCREEN_WIDTH, SCREEN_HEIGHT, show.layer_b, 1);
}

// One degree per 4 ms, from the tables.
int polygon_angle() { return (show.position.time >> 2) % 360; }

constexpr int POLYGON_RED = 212, POLYGON_GREEN = 219, POLYGON_BLUE = 197;

void polygon(int sides, int radius_a, int radius_b, int thickness) {
  draw_polygon(sides, POLYGON_RED, POLYGON_GREEN, POLYGON_BLUE, radius_a, radius_b, 356, 192, show.backdrop, thickness);
}

void order_polygon() {
  const int i = polygon_angle();
  const int swing_a = 120 + ((sin_table[i] * 50) >> 12);
  const int swing_b = 120 + ((cos_table[i] * 50) >> 12);
  if (show.position.order == 14)
    polygon(6, 170, 73, 20 + ((sin_table[i] * 20) >> 12));
  else if (show.position.order == 15)
    polygon(6, swing_a, swing_b, 10);
  else if (show.position.order == 16)
    polygon(show.position.row / 16 + 3, swing_a, swing_b, 10);
}

void greeting_logos() {
  const int n = show.position.order - show.greeting_base_order;
  for (int logo = 0; logo < 5; ++logo) {
    int x = 0, y = 0;
    greeting_position(logo, show.position.time, &x, &y);
    const int slot = greeting_slot(logo, n, show.position.row);
    blit(img_greetings + slot * GREETING_PIXELS, GREETING_WIDTH, GREETING_HEIGHT, show.screen, x, y, 1);
  }
}

void credits() {
  const int row = show.position.row;
  static const Pixel* const pictures[7] = {img_credit1, img_credit2, img_credit3, img_credit4,
                                           img_credit5, img_credit6, img_credit7};
  auto credit = [](int n) {
    blit(pictures[n - 1], CREDIT_WIDTH, CREDIT_HEIGHT, show.screen, CREDIT_PLACES[n - 1].x, CREDIT_PLACES[n - 1].y, 1);
  };
  if (show.position.order == 27 && row >= 1 && row <= 31) {
    credit(1);
    credit(2);
    credit(3);
  } else if (show.position.order == 27 && row >= 32) {
    credit(4);
    credit(5);
  } else if (show.position.order == 28 && row >= 1 && row <= 31) {
    credit(6);
  } else if (show.position.order == 28 && row >= 32) {
    credit(7);
  }
}

}  // namespace

// The five logos keep fixed distances in the list of slots and each steps on every 4 rows.
int greeting_slot(int logo, int n, int row) {
  static const int distance[5] = {0, 5, 9, 18, 12};
  const int slot = (n * 64 + row / 4 + distance[logo]) % GREETING_COUNT;
  return slot < 0 ? slot + GREETING_COUNT : slot;
}

// Percent of the fade in order 8 at a row: 100 down to 1 over the 64 rows, held at 1
// for rows past a 64-row pattern.
int fade_percent(int row) {
  const int p = static_cast<int>((1 - row * 0.015625) * 100);
  return p < 1 ? 1 : p;
}

// Rows of the final picture wiped in at a row of order 25: 6 a row, at most the picture.
int wipe_rows(int row) {
  const int h = static_cast<int>(row * 0.015625 * 384);
  return h < 0 ? 0 : (h > SCREEN_HEIGHT ? SCREEN_HEIGHT : h);
}

void set_frame_observer(FrameObserver observer) { frame_observer = observer; }

void end_show() { ending = true; }

void run_timeline(int first_shown_order) {
  first_shown = first_shown_order;
  ending = false;
  const MusicPosition& position = show.position;
  Pixel* const screen = show.screen;
  Pixel* const backdrop = show.backdrop;
  Pixel* const layer_a = show.layer_a;
  Pixel* const layer_b = show.layer_b;
  // 1: order 0, black. It reads before drawing, so its own read ends it.
  while (position.order < 1) {
    begin_frame();
    read_position();
    if (draws(position.order >= 1)) clear_black(screen);
    present(1);
  }
  // 2: order 1, the staircase builds up; it paints every pixel.
  while (position.order < 2 && position.row < 48) {
    begin_frame();
    read_position();
    if (draws(position.order >= 2 || position.row >= 48))
      draw_staircase(position.time, position.row, position.order, screen);
    present(2);
  }
  // 3: order 1 from row 48: the finished staircase becomes the backdrop, the screen
  // still shows the last frame of the build.
  while (position.order < 2) {
    begin_frame();
    if (draws(next_reaches(2))) draw_staircase(position.time, 48, position.order, backdrop);
    present(3);
    read_position();
  }
  draw_figure(2, layer_b);
  // 4: order 2, the figure grows over the staircase.
  while (position.order < 3) {
    begin_frame();
    const bool draw = draws(next_reaches(3));
    if (draw) {
      clear_key(layer_a);
      scaled_figure();
      copy_pixels(backdrop, screen, SCREEN_WIDTH, SCREEN_HEIGHT);
      blend_canvas(layer_a);
    }
    present(4);
    if (draw) clear_black(screen);
    read_position();
  }
  // 5: orders 3 to 7, the figure's stages; a noise panel opens behind it in order 7.
  while (position.order < 8) {
    begin_frame();
    const bool draw = draws(next_reaches(8));
    if (draw) {
      copy_pixels(backdrop, screen, SCREEN_WIDTH, SCREEN_HEIGHT);
      clear_black(layer_b);
      draw_figure(position.order, layer_b);
    }
    if (position.order == 7) {
      reveal_alpha(show.random, position.time, position.row, position.order, draw ? layer_a : nullptr);
      if (draw) blend_canvas(layer_a);
    }
    if (draw) {
      blend_canvas(layer_b);
      if (position.order == 4 && position.row > 32) text_strip(1, 0, 325);
    }
    present(5);
    read_position();
  }
  // 6: order 8, everything fades while the figure slides down; the fades compound, so a
  // rehearsal keeps fading what a later shown frame sees: the figure only at the next
  // order, the staircase until the portrait's scene, if no veil covers it first.
  while (position.order < 9) {
    begin_frame();
    const bool draw = draws(next_reaches(9));
    if (draw) copy_pixels(backdrop, screen, SCREEN_WIDTH, SCREEN_HEIGHT);
    reveal_alpha(show.random, position.time, position.row, position.order, draw ? layer_a : nullptr);
    if (draw) blend_canvas(layer_a);
    const int percent = fade_percent(position.row);
    if (draw || first_shown <= 13) fade_canvas(backdrop, SCREEN_WIDTH, SCREEN_HEIGHT, percent);
    if (draw || first_shown == 9) fade_canvas(layer_b, SCREEN_WIDTH, SCREEN_HEIGHT, percent);
    if (draw) {
      blend_canvas(layer_b, 4 * position.row);
      if (position.row > 32) text_strip(2, 0, 256);
    }
    present(6);
    read_position();
  }
  // 7: order 9, flicker under a noise veil that thins over 16 rows. The last veil stays in
  // the backdrop until the portrait's scene draws over it.
  while (position.order < 10) {
    begin_frame();
    const bool draw = draws(next_reaches(10));
    flicker(draw ? screen : nullptr);
    if (position.row < 16) {
      const int alpha = static_cast<int>((1 - position.row * 0.0625) * 255);
      if (draw || (first_shown >= 10 && first_shown <= 13))
        fill_noise(backdrop, alpha, show.random);
      else
        skip_random(show.random, SCREEN_PIXELS);
      if (draw) blend_canvas(backdrop);
    }
    if (draw) frame_corners();
    present(7);
    if (draw) clear_ground(screen);
    read_position();
  }
  // 8: orders 10 to 12, rings with text under the flicker.
  while (position.order < 13) {
    begin_frame();
    const bool draw = draws(next_reaches(13));
    if (draw) {
      rings();
      text_strips(RING_TEXTS);
    }
    flicker(draw ? screen : nullptr);
    if (draw) frame_corners();
    present(8);
    if (draw) clear_ground(screen);
    read_position();
  }
  // The portrait's slide is timed from here, even when its phase is skipped.
  show.phase_start = position.time;
  // 9: order 13, the portrait slides in over the rings.
  while (position.order < 14) {
    begin_frame();
    const bool draw = draws(next_reaches(14));
    if (draw) rings();
    flicker(draw ? screen : nullptr);
    bubbles_and_portrait(draw ? backdrop : nullptr);
    if (draw) {
      blend_canvas(backdrop);
      frame_corners();
    }
    present(9);
    if (draw) {
      clear_ground(screen);
      clear_ground(backdrop);
    }
    read_position();
  }
  // 10: orders 14 to 16, star and polygons behind the bubbles and the portrait.
  while (position.order < 17) {
    begin_frame();
    const bool draw = draws(next_reaches(17));
    if (draw) {
      clear_ground(screen);
      order_polygon();
    }
    bubbles_and_portrait(draw ? backdrop : nullptr);
    if (draw) {
      blend_canvas(backdrop);
      frame_corners();
      text_strips(POLYGON_TEXTS);
    }
    present(10);
    if (draw) clear_ground(backdrop);
    read_position();
  }
  // 11: order 17, the polygon shrinks away and the hills rise.
  while (position.order < 18) {
    begin_frame();
    const bool draw = draws(next_reaches(18));
    if (draw) clear_ground(backdrop);
    if (position.row < 32) {
      if (draw) {
        const int i = polygon_angle();
        polygon(position.row / 16 + 3, 120 + ((sin_table[i] * 50) >> 12) - position.row,
                120 + ((cos_table[i] * 50) >> 12) - position.row, 10);
      }
      bubbles_and_portrait(draw ? backdrop : nullptr);
    }
    if (draw) copy_pixels(backdrop, screen, SCREEN_WIDTH, SCREEN_HEIGHT);
    hills(draw ? screen : nullptr);
    if (draw) frame_corners();
    present(11);
    read_position();
  }
  respawn_hill_particles();
  // 12: orders 18 to 20, hills, bubbles and columns. The last frame's column 0 stays on
  // through the greetings.
  while (position.order < 21) {
    begin_frame();
    const bool draw = draws(next_reaches(21));
    if (draw) clear_ground(screen);
    hills(draw ? screen : nullptr);
    if (draw) {
      text_strip(21, 0, 51);
      if (position.order == 20) text_strip(22, 0, 358);
      frame_corners();
    }
    present(12);
    read_position();
  }
  show.greeting_base_order = position.order;
  // 13: orders 21 to 24, greetings over the hangers; column 0 keeps what was there. A
  // rehearsal draws none of it: column 0 gains only the corners, which every frame after
  // draws alike.
  while (position.order < 25) {
    begin_frame();
    const bool draw = draws(false);
    if (draw) blit(img_hangers, FULL_WIDTH, FULL_HEIGHT, screen, 0, 0, 0);
    read_position();
    if (draw) {
      greeting_logos();
      frame_corners();
    }
    present(13);
  }
  // 14: order 25, the final picture wipes down over the logos.
  while (position.order < 26) {
    begin_frame();
    const bool draw = draws(next_reaches(26));
    if (draw) blit(img_hangers, FULL_WIDTH, FULL_HEIGHT, screen, 0, 0, 0);
    read_position();
    if (draw) {
      greeting_logos();
      blit(img_final, FULL_WIDTH, std::min(wipe_rows(position.row), FULL_HEIGHT), screen, 0, 0, 0);
      frame_corners();
    }
    present(14);
    if (draw) clear_black(screen);
    read_position();
  }
  // 15: orders 26 to 28, credits, flashing negative on two rows of every eight.
  while (position.order < 29) {
    begin_frame();
    const bool draw = draws(next_reaches(29));
    if (draw) {
      blit(img_final, FULL_WIDTH, FULL_HEIGHT, screen, 0, 0, 0);
      text_strip(23, FINAL_TEXT_PLACE.x, FINAL_TEXT_PLACE.y);
      credits();
      if ((position.order == 27 || position.order == 28) && position.row % 8 < 2)
        invert_canvas(screen, SCREEN_WIDTH, SCREEN_HEIGHT);
      frame_corners();
    }
    present(15);
    if (draw) clear_black(screen);
    read_position();
  }
  // 16: order 29, black until row 60.
  if (position.order == 29) {
    while (position.row < 60) {
      begin_frame();
      if (draws(true)) {
        clear_black(screen);
        frame_corners();
      }
      present(16);
      read_position();
      if (position.order != 29) break;
    }
  }
}

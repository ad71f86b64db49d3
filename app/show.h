// Everything the show keeps from one frame to the next, in one place. reset_show puts it
// back as it is before the first frame; nothing else lives on between frames, so a run
// from any state depends only on this and the music.
#pragma once
#include <cstdint>

#include "effects/effects.h"
#include "music/music.h"
#include "raster/raster.h"

struct Show {
  // The index of the frame being drawn in a run from the start, which numbers the frame
  // log; moved on by the timeline at each frame presented or rehearsed.
  int64_t frame;
  // The position the frame is drawn from: the last read of the music clock, by the
  // timeline (order and row first, then the time, from one moment).
  MusicPosition position;
  // The time read last before the portrait's scene (order 13), set by the timeline there:
  // the portrait and the bubbles are timed from it up to order 17.
  int32_t phase_start;
  // The order read last before the greetings (orders 21 to 25), set by the timeline
  // there: the logos' slots count from it.
  int32_t greeting_base_order;

  // The four canvases; only screen is presented, and each keeps its pixels from frame to
  // frame. The timeline draws into them, itself and through the effects.
  Canvas screen;    // the frame being built; what one scene leaves, the next may draw over
  Canvas backdrop;  // the staircase (orders 1 to 8), the noise veil (9), the layer of
                    // polygons, bubbles and portrait (13 to 17)
  Canvas layer_a;   // the figure growing (2), the noise panel (7 and 8)
  Canvas layer_b;   // the figure (2 to 8), faded in order 8

  // The one random generator: the noise (timeline and reveal_alpha) and the bubbles
  // (draw_bubbles_portrait, draw_hills, and the timeline when it renews them).
  Random random;
  // The bubbles: filled at the reset, moved by draw_bubbles_portrait (orders 14 to 17)
  // and draw_hills (records 0 to 49 from order 18), renewed by the timeline before 18.
  Particle particles[PARTICLE_COUNT];
  // What the effects keep between their calls, changed only by the effect itself.
  BubblesState bubbles;
  HillsState hills;
  FlickerState flicker;
};

// The one show (static: its canvases are 3 MB).
extern Show show;

// Back to the state before the first frame: canvases zero, the generator at its seed,
// the particle pool filled from it, the effects at their start.
void reset_show();

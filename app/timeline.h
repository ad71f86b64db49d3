// The scene timeline: sixteen phases of frames, following the music's order.
#pragma once
#include <cstdint>

#include "music/music.h"
#include "raster/raster.h"

// The order the show ends at.
constexpr int LAST_ORDER = 29;

// The sixteen phases, from the position of the first read to the end, drawing into the
// show (app/show.h). The frames before the first of first_shown_order, which the music's
// cue made rehearsals, are run too but not presented; they draw only what a shown frame
// sees, and move everything else on exactly as a run from the start does.
void run_timeline(int first_shown_order = 0);
// Order 8's fade at a row (100 at row 0, 1 at row 63 and held there), and order 25's
// wipe in rows (6 a row, held at the canvas height).
int fade_percent(int row);
int wipe_rows(int row);
// The greeting slot of logo 0..4 at n orders past greeting_base_order (the logo's
// position is in app/layout.h).
int greeting_slot(int logo, int n, int row);

// Ends the show as Escape does: the frame being drawn is not presented, and the
// timeline returns as at the end of the music.
void end_show();

// Called after every presented frame with the phase (1..16) that presented it; tests
// watch the timeline through it.
using FrameObserver = void (*)(int phase, const MusicPosition& drawn_from);
void set_frame_observer(FrameObserver observer);

// Recording a run: the output paths checked before it starts, the frame log and the
// snapshots taken as frames are presented.
#pragma once
#include <cstdint>
#include <string>

#include "music/music.h"
#include "raster/raster.h"

struct RunOptions;

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
// After each presented frame: the frame log line (the frame numbered index) and any
// snapshot due at this position.
void record_frame(const Pixel* canvas, const MusicPosition& drawn_from, int64_t index);
// Closes the frame log; false, with one line on stderr for each, when the log could not
// be written whole or a snapshot was not written (a failed write, or its position never
// came).
bool record_close(const MusicPosition& last);
// CRC-32 (zlib) of the picture as R, G, B bytes in storage order.
uint32_t picture_crc(const Pixel* canvas);

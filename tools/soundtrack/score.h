// The soundtrack's text formats, compiled into a module.
//
// The instrument list: one instrument a line (indented lines continue it),
//   NAME KIND key=value ...
// with the synthesis parameters of KIND (synth.h) and the instrument's own keys:
//   vol=0..64 (default note volume), gv=0..128, pan=0..64, nna=cut|continue|off|fade,
//   fade=0..1024, env=TICK:VALUE,... (volume envelope), sus=NODE (sustain point),
//   vib=SPEED,DEPTH[,SWEEP] (auto-vibrato). A value written as a note name (base=C4) is
//   its MIDI number.
//
// The song: header lines (song "NAME", speed, tempo, global, mix, separation),
//   channel NAME [count=N] [pan=P,P,...] [vol=V]
//   drums LETTER=INSTRUMENT[:NOTE] ...     letters for beat clips; upper case is the accent
//   beat NAME                              then indented lines of one character a row
//   line NAME INSTRUMENT [vol=V]           then indented note tokens:
//        NOTE[+NOTE...][:ROWS][@VOLUME][~EFFECT]   a note or chord (A4, C#5, Bb3)
//        .[:ROWS]  rest (what sounds goes on)      ^[:ROWS]  note off
//        rows and volume carry over to the next token; | marks bars and is skipped
//   pattern NAME [rows=N]                  then indented lines:  CHANNEL ITEM ...
//        ITEM: CLIP[*REPEAT][@PERCENT[..PERCENT]]['TRANSPOSE] | _ROWS (rest) |
//              ROW:EFFECT (hex, as "V80") | ROW-ROW:LETTER<from>..<to> (decimal ramp)
//   orders                                 then indented pattern names, one per order
#pragma once
#include <string>

#include "tools/itwriter/itwriter.h"

// Fills `module`; returns "" or "FILE:LINE: what is wrong".
std::string compile_soundtrack(const std::string& instruments_text, const std::string& song_text, ItModule& module);

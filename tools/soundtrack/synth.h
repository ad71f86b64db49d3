// Synthesis of the soundtrack's instruments into 16-bit samples.
#pragma once
#include <map>
#include <string>

#include "tools/itwriter/itwriter.h"

constexpr int SYNTH_RATE = 44100;

// Parameters by name, as written in the instrument list.
using SynthParams = std::map<std::string, double>;

// Kinds: kick, snare, clap, metal (hats and cymbals), wave (looped additive
// saw/square voices), fm (decaying two-operator tone), sweep (filtered noise riser).
// Fills `sample` (name left alone) and returns "" or what is wrong. One-shots are
// made oversampled and band-limited; looped voices hold no partial that would pass
// 18 kHz at their highest note.
std::string synthesize(const std::string& kind, const SynthParams& params, ItSample& sample);

// The highest MIDI note the instrument may be played at without its partials passing
// 18 kHz: a looped voice's `top` (its base note when not given); 119 for one-shots.
int highest_note(const std::string& kind, const SynthParams& params);

// The MIDI number of a note name such as "A4", "C#3", "Bb2"; -1 if it is not one.
int note_number(const std::string& name);

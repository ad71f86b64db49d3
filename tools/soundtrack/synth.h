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
// Fills `sample` (name left alone) and returns "" or what is wrong.
std::string synthesize(const std::string& kind, const SynthParams& params, ItSample& sample);

// The MIDI number of a note name such as "A4", "C#3", "Bb2"; -1 if it is not one.
int note_number(const std::string& name);

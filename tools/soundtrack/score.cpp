#include "tools/soundtrack/score.h"

#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "tools/soundtrack/synth.h"

namespace {

struct SourceLine {
  std::string file;
  int number;
  bool indented;
  std::vector<std::string> words;
};

[[noreturn]] void fail(const SourceLine& line, const std::string& message) {
  throw std::runtime_error(line.file + ":" + std::to_string(line.number) + ": " + message);
}

std::vector<SourceLine> split_lines(const std::string& text, const std::string& file) {
  std::vector<SourceLine> lines;
  std::istringstream in(text);
  std::string raw;
  int number = 0;
  while (std::getline(in, raw)) {
    ++number;
    // A quoted word may hold '#' and spaces: only the song's name uses one. A '#'
    // inside a word is a sharp; one that starts a word starts a comment.
    std::vector<std::string> words;
    std::string word;
    bool quoted = false;
    size_t i = 0;
    for (; i < raw.size(); ++i) {
      char c = raw[i];
      if (c == '"') {
        quoted = !quoted;
        continue;
      }
      if (!quoted && c == '#' && word.empty()) break;
      if (!quoted && (c == ' ' || c == '\t' || c == '\r')) {
        if (!word.empty()) words.push_back(word);
        word.clear();
      } else {
        word += c;
      }
    }
    if (!word.empty()) words.push_back(word);
    if (words.empty()) continue;
    lines.push_back({file, number, raw[0] == ' ' || raw[0] == '\t', words});
  }
  return lines;
}

int to_int(const SourceLine& line, const std::string& text, int lo, int hi) {
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || v < lo || v > hi)
    fail(line, "'" + text + "' is not a whole number in " + std::to_string(lo) + ".." + std::to_string(hi));
  return static_cast<int>(v);
}

double to_number(const SourceLine& line, const std::string& text) {
  int note = note_number(text);
  if (note >= 0) return note;
  char* end = nullptr;
  double v = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !std::isfinite(v)) fail(line, "'" + text + "' is not a number");
  return v;
}

std::pair<std::string, std::string> key_value(const SourceLine& line, const std::string& word) {
  size_t eq = word.find('=');
  if (eq == std::string::npos || eq == 0) fail(line, "expected key=value, got '" + word + "'");
  return {word.substr(0, eq), word.substr(eq + 1)};
}

std::vector<std::string> split(const std::string& text, char sep) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, sep)) parts.push_back(part);
  return parts;
}

// ---- instruments ----

struct Instrument {
  std::string name;
  int index;  // 1-based, also its sample's
  int top;    // the highest note it may play
};

void read_instruments(const std::string& text, ItModule& m, std::map<std::string, Instrument>& by_name) {
  std::vector<SourceLine> lines = split_lines(text, "instruments");
  for (size_t i = 0; i < lines.size(); ++i) {
    const SourceLine& head = lines[i];
    if (head.indented) fail(head, "an indented line continues an instrument, but none came before");
    if (head.words.size() < 2) fail(head, "expected NAME KIND parameters");
    std::vector<std::string> words(head.words.begin() + 2, head.words.end());
    while (i + 1 < lines.size() && lines[i + 1].indented) {
      ++i;
      words.insert(words.end(), lines[i].words.begin(), lines[i].words.end());
    }
    const std::string& name = head.words[0];
    if (by_name.count(name)) fail(head, "instrument '" + name + "' is defined twice");

    ItSample sample;
    ItInstrument ins;
    sample.name = ins.name = name;
    SynthParams synth;
    for (const std::string& w : words) {
      auto [key, value] = key_value(head, w);
      if (key == "vol") {
        sample.volume = to_int(head, value, 0, 64);
      } else if (key == "gv") {
        ins.global_volume = to_int(head, value, 0, 128);
      } else if (key == "pan") {
        ins.pan = to_int(head, value, 0, 64);
      } else if (key == "fade") {
        ins.fadeout = to_int(head, value, 0, 1024);
      } else if (key == "nna") {
        static const std::map<std::string, int> actions = {
            {"cut", IT_NNA_CUT}, {"continue", IT_NNA_CONTINUE}, {"off", IT_NNA_OFF}, {"fade", IT_NNA_FADE}};
        auto it = actions.find(value);
        if (it == actions.end()) fail(head, "nna must be cut, continue, off or fade");
        ins.new_note_action = it->second;
      } else if (key == "env") {
        ins.volume_envelope.enabled = true;
        for (const std::string& node : split(value, ',')) {
          size_t colon = node.find(':');
          if (colon == std::string::npos) fail(head, "envelope nodes are TICK:VALUE");
          ins.volume_envelope.nodes.push_back(
              {to_int(head, node.substr(0, colon), 0, 9999), to_int(head, node.substr(colon + 1), 0, 64)});
        }
      } else if (key == "sus") {
        ins.volume_envelope.sustain = true;
        ins.volume_envelope.sustain_start = ins.volume_envelope.sustain_end = to_int(head, value, 0, 24);
      } else if (key == "vib") {
        std::vector<std::string> v = split(value, ',');
        if (v.size() < 2 || v.size() > 3) fail(head, "vib=SPEED,DEPTH[,SWEEP]");
        sample.vibrato_speed = to_int(head, v[0], 0, 64);
        sample.vibrato_depth = to_int(head, v[1], 0, 64);
        if (v.size() == 3) sample.vibrato_rate = to_int(head, v[2], 0, 255);
      } else {
        synth[key] = to_number(head, value);
      }
    }
    std::string error = synthesize(head.words[1], synth, sample);
    if (!error.empty()) fail(head, name + ": " + error);
    const int index = static_cast<int>(m.samples.size()) + 1;
    ins.sample = index;
    m.samples.push_back(sample);
    m.instruments.push_back(ins);
    by_name[name] = {name, index, highest_note(head.words[1], synth)};
  }
}

// ---- song ----

struct Event {
  int row = 0;
  std::vector<int> notes;  // MIDI numbers; or one IT_NOTE_OFF
  int instrument = 0;
  int top = 119;  // the instrument's highest note
  int volume = IT_VOLUME_NONE;
  int effect = 0, param = 0;
};

struct Clip {
  int length = 0;
  std::vector<Event> events;
};

struct Channel {
  int first, count;
};

struct DrumKey {
  int instrument, note, top;
};

struct Song {
  std::map<std::string, Instrument> instruments;
  std::map<std::string, Channel> channels;
  std::map<char, DrumKey> drums;
  std::map<std::string, Clip> clips;
  std::map<std::string, int> patterns;
  int channel_count = 0;
};

struct Word {
  std::string text;
  const SourceLine* line;
};

std::vector<Word> body_words(const std::vector<SourceLine>& lines, size_t& i) {
  std::vector<Word> words;
  while (i + 1 < lines.size() && lines[i + 1].indented) {
    ++i;
    for (const std::string& w : lines[i].words)
      if (w != "|") words.push_back({w, &lines[i]});
  }
  return words;
}

const Instrument& find_instrument(const Song& s, const SourceLine& line, const std::string& name) {
  auto it = s.instruments.find(name);
  if (it == s.instruments.end()) fail(line, "no instrument '" + name + "'");
  return it->second;
}

Clip read_beat(const Song& s, const SourceLine& head, const std::vector<Word>& words) {
  Clip clip;
  for (const Word& w : words) {
    for (char c : w.text) {
      if (c != '.') {
        char key = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        auto it = s.drums.find(key);
        if (it == s.drums.end()) fail(*w.line, std::string("no drum for the letter '") + c + "'");
        Event e;
        e.row = clip.length;
        e.notes = {it->second.note};
        e.instrument = it->second.instrument;
        e.top = it->second.top;
        e.volume = key == c ? 44 : 64;
        clip.events.push_back(e);
      }
      ++clip.length;
    }
  }
  if (clip.length == 0) fail(head, "a beat needs at least one row");
  return clip;
}

Clip read_line(const Song& s, const SourceLine& head, const std::vector<Word>& words) {
  if (head.words.size() < 3) fail(head, "expected: line NAME INSTRUMENT [vol=V]");
  const Instrument& ins = find_instrument(s, head, head.words[2]);
  int volume = 48;
  for (size_t i = 3; i < head.words.size(); ++i) {
    auto [key, value] = key_value(head, head.words[i]);
    if (key != "vol") fail(head, "a line knows only vol=");
    volume = to_int(head, value, 0, 64);
  }
  Clip clip;
  int rows = 4;
  for (const Word& word : words) {
    const std::string& token = word.text;
    const SourceLine& at = *word.line;
    // NOTES[:ROWS][@VOL][~FX], the suffixes in any order.
    size_t end = token.find_first_of(":@~");
    std::string notes = token.substr(0, end);
    int effect = 0, param = 0;
    while (end != std::string::npos) {
      size_t next = token.find_first_of(":@~", end + 1);
      std::string value = token.substr(end + 1, next == std::string::npos ? std::string::npos : next - end - 1);
      if (token[end] == ':') {
        rows = to_int(at, value, 1, 256);
      } else if (token[end] == '@') {
        volume = to_int(at, value, 0, 64);
      } else {
        if (value.size() != 3 || value[0] < 'A' || value[0] > 'Z') fail(at, "effects are written ~XHH, as ~H24");
        effect = it_effect(value[0]);
        char* stop = nullptr;
        param = static_cast<int>(std::strtol(value.c_str() + 1, &stop, 16));
        if (*stop != '\0') fail(at, "'" + value + "' has no hex parameter");
      }
      end = next;
    }
    Event e;
    e.row = clip.length;
    e.instrument = ins.index;
    e.top = ins.top;
    e.volume = volume;
    e.effect = effect;
    e.param = param;
    if (notes == "^") {
      e.notes = {IT_NOTE_OFF};
      e.instrument = 0;
      e.volume = IT_VOLUME_NONE;
    } else if (notes == ".") {
      e.notes.clear();
      e.instrument = 0;
      e.volume = IT_VOLUME_NONE;
    } else {
      for (const std::string& n : split(notes, '+')) {
        int midi = note_number(n);
        if (midi < 0) fail(at, "'" + n + "' is not a note");
        e.notes.push_back(midi);
      }
    }
    if (!e.notes.empty() || e.effect != 0) clip.events.push_back(e);
    clip.length += rows;
  }
  if (clip.length == 0) fail(head, "a line needs at least one token");
  return clip;
}

ItCell& cell_at(ItPattern& p, int row, int channel) {
  return p.cells[static_cast<size_t>(row)][static_cast<size_t>(channel)];
}

void place_effect(const SourceLine& line, ItPattern& p, const Channel& ch, const std::string& item) {
  size_t colon = item.find(':');
  std::string rows = item.substr(0, colon), fx = item.substr(colon + 1);
  size_t dash = rows.find('-');
  int from = to_int(line, rows.substr(0, dash), 0, p.rows - 1);
  int to = dash == std::string::npos ? from : to_int(line, rows.substr(dash + 1), from, p.rows - 1);
  if (fx.empty() || fx[0] < 'A' || fx[0] > 'Z') fail(line, "'" + item + "' names no effect letter");
  int effect = it_effect(fx[0]);
  size_t dots = fx.find("..");
  if (dots == std::string::npos) {
    if (dash != std::string::npos) fail(line, "a row range needs a ramp FROM..TO");
    char* stop = nullptr;
    long param = std::strtol(fx.c_str() + 1, &stop, 16);
    if (fx.size() != 3 || *stop != '\0') fail(line, "'" + fx + "' is not an effect as V80");
    cell_at(p, from, ch.first).effect = effect;
    cell_at(p, from, ch.first).param = static_cast<int>(param);
    return;
  }
  int a = to_int(line, fx.substr(1, dots - 1), 0, 255), b = to_int(line, fx.substr(dots + 2), 0, 255);
  for (int r = from; r <= to; ++r) {
    double t = to == from ? 1.0 : static_cast<double>(r - from) / (to - from);
    cell_at(p, r, ch.first).effect = effect;
    cell_at(p, r, ch.first).param = static_cast<int>(std::lround(a + (b - a) * t));
  }
}

void place_clip(const Song& s, const SourceLine& line, ItPattern& p, const Channel& ch, const std::string& item,
                int& cursor) {
  size_t end = item.find_first_of("*@'");
  std::string name = item.substr(0, end);
  auto it = s.clips.find(name);
  if (it == s.clips.end()) fail(line, "no clip '" + name + "'");
  const Clip& clip = it->second;
  int repeat = 1, transpose = 0;
  double pct_from = 100.0, pct_to = 100.0;
  while (end != std::string::npos) {
    size_t next = item.find_first_of("*@'", end + 1);
    std::string value = item.substr(end + 1, next == std::string::npos ? std::string::npos : next - end - 1);
    if (item[end] == '*') {
      repeat = to_int(line, value, 1, 256);
    } else if (item[end] == '@') {
      size_t dots = value.find("..");
      pct_from = to_int(line, value.substr(0, dots), 0, 400);
      pct_to = dots == std::string::npos ? pct_from : to_int(line, value.substr(dots + 2), 0, 400);
    } else {
      transpose = to_int(line, value, -48, 48);
    }
    end = next;
  }
  const int total = clip.length * repeat;
  if (cursor + total > p.rows)
    fail(line, "'" + item + "' runs to row " + std::to_string(cursor + total) + ", past the pattern's " +
                   std::to_string(p.rows));
  for (int r = 0; r < repeat; ++r) {
    for (const Event& e : clip.events) {
      const int offset = r * clip.length + e.row, row = cursor + offset;
      const double pct = total > 1 ? pct_from + (pct_to - pct_from) * offset / (total - 1) : pct_from;
      int volume = e.volume;
      if (volume != IT_VOLUME_NONE) volume = std::min(64, static_cast<int>(std::lround(volume * pct / 100.0)));
      if (!e.notes.empty()) {
        if (static_cast<int>(e.notes.size()) > ch.count)
          fail(line,
               "a chord of " + std::to_string(e.notes.size()) + " notes on a channel of " + std::to_string(ch.count));
        for (int c = 0; c < ch.count; ++c) {
          ItCell& cell = cell_at(p, row, ch.first + c);
          if (e.notes[0] == IT_NOTE_OFF || c >= static_cast<int>(e.notes.size())) {
            cell = ItCell{};
            cell.note = IT_NOTE_OFF;
            continue;
          }
          int note = e.notes[static_cast<size_t>(c)] + transpose;
          if (note < 0 || note > 119) fail(line, "'" + item + "' transposes a note out of range");
          if (note > e.top)
            fail(line, "'" + item + "' plays note " + std::to_string(note) + ", above its instrument's top (" +
                           std::to_string(e.top) + ")");
          cell.note = note;
          cell.instrument = e.instrument;
          cell.volume = volume;
        }
      }
      if (e.effect != 0) {
        cell_at(p, row, ch.first).effect = e.effect;
        cell_at(p, row, ch.first).param = e.param;
      }
    }
  }
  cursor += total;
}

void read_pattern(const Song& s, const std::vector<SourceLine>& lines, size_t& i, ItModule& m) {
  const SourceLine& head = lines[i];
  if (head.words.size() < 2) fail(head, "expected: pattern NAME [rows=N]");
  int rows = 64;
  for (size_t w = 2; w < head.words.size(); ++w) {
    auto [key, value] = key_value(head, head.words[w]);
    if (key != "rows") fail(head, "a pattern knows only rows=");
    rows = to_int(head, value, 1, IT_MAX_ROWS);
  }
  ItPattern p = it_pattern(rows, s.channel_count);
  while (i + 1 < lines.size() && lines[i + 1].indented) {
    const SourceLine& line = lines[++i];
    auto ch = s.channels.find(line.words[0]);
    if (ch == s.channels.end()) fail(line, "no channel '" + line.words[0] + "'");
    int cursor = 0;
    for (size_t w = 1; w < line.words.size(); ++w) {
      const std::string& item = line.words[w];
      if (item == "|") continue;
      if (item[0] == '_') {
        cursor += to_int(line, item.substr(1), 1, rows);
        if (cursor > rows) fail(line, "a rest runs past the pattern's end");
      } else if (item[0] >= '0' && item[0] <= '9') {
        place_effect(line, p, ch->second, item);
      } else {
        place_clip(s, line, p, ch->second, item, cursor);
      }
    }
  }
  m.patterns.push_back(p);
}

void read_song(const std::string& text, Song& s, ItModule& m) {
  std::vector<SourceLine> lines = split_lines(text, "song");
  bool have_orders = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    const SourceLine& line = lines[i];
    const std::string& what = line.words[0];
    if (line.indented) fail(line, "an indented line belongs to a beat, line, pattern or the orders");
    auto arg = [&](int lo, int hi) {
      if (line.words.size() != 2) fail(line, what + " takes one value");
      return to_int(line, line.words[1], lo, hi);
    };
    if (what == "song") {
      if (line.words.size() != 2) fail(line, "song \"NAME\"");
      m.name = line.words[1];
    } else if (what == "speed") {
      m.speed = arg(1, 255);
    } else if (what == "tempo") {
      m.tempo = arg(32, 255);
    } else if (what == "global") {
      m.global_volume = arg(0, 128);
    } else if (what == "mix") {
      m.mix_volume = arg(0, 128);
    } else if (what == "separation") {
      m.separation = arg(0, 128);
    } else if (what == "channel") {
      if (line.words.size() < 2) fail(line, "channel NAME [count=N] [pan=...] [vol=V]");
      if (!m.patterns.empty()) fail(line, "channels come before the patterns");
      Channel ch{s.channel_count, 1};
      std::vector<std::string> pans;
      int volume = 64;
      for (size_t w = 2; w < line.words.size(); ++w) {
        auto [key, value] = key_value(line, line.words[w]);
        if (key == "count")
          ch.count = to_int(line, value, 1, 8);
        else if (key == "pan")
          pans = split(value, ',');
        else if (key == "vol")
          volume = to_int(line, value, 0, 64);
        else
          fail(line, "a channel knows count=, pan= and vol=");
      }
      if (s.channels.count(line.words[1])) fail(line, "channel '" + line.words[1] + "' is defined twice");
      if (ch.first + ch.count > IT_MAX_CHANNELS) fail(line, "more than 64 channels");
      if (!pans.empty() && pans.size() != 1 && static_cast<int>(pans.size()) != ch.count)
        fail(line, "give one pan or one for each channel");
      for (int c = 0; c < ch.count; ++c) {
        m.channel_pan[ch.first + c] = pans.empty() ? 32 : to_int(line, pans[pans.size() == 1 ? 0 : c], 0, 64);
        m.channel_volume[ch.first + c] = volume;
      }
      s.channels[line.words[1]] = ch;
      s.channel_count += ch.count;
    } else if (what == "drums") {
      for (size_t w = 1; w < line.words.size(); ++w) {
        auto [key, value] = key_value(line, line.words[w]);
        if (key.size() != 1 || key[0] < 'a' || key[0] > 'z') fail(line, "drum keys are single lower-case letters");
        std::vector<std::string> parts = split(value, ':');
        int note = 60;
        if (parts.size() == 2) note = note_number(parts[1]);
        if (parts.empty() || parts.size() > 2 || note < 0) fail(line, "drums take LETTER=INSTRUMENT[:NOTE]");
        const Instrument& ins = find_instrument(s, line, parts[0]);
        s.drums[key[0]] = {ins.index, note, ins.top};
      }
    } else if (what == "beat" || what == "line") {
      if (line.words.size() < 2) fail(line, what + " needs a name");
      if (s.clips.count(line.words[1])) fail(line, "clip '" + line.words[1] + "' is defined twice");
      size_t at = i;
      std::vector<Word> words = body_words(lines, i);
      s.clips[line.words[1]] = what == "beat" ? read_beat(s, lines[at], words) : read_line(s, lines[at], words);
    } else if (what == "pattern") {
      if (s.channel_count == 0) fail(line, "declare the channels before the patterns");
      if (line.words.size() < 2 || s.patterns.count(line.words[1])) fail(line, "a pattern needs a new name");
      s.patterns[line.words[1]] = static_cast<int>(m.patterns.size());
      read_pattern(s, lines, i, m);
    } else if (what == "orders") {
      for (const Word& name : body_words(lines, i)) {
        auto it = s.patterns.find(name.text);
        if (it == s.patterns.end()) fail(*name.line, "no pattern '" + name.text + "'");
        m.orders.push_back(it->second);
      }
      have_orders = true;
    } else {
      fail(line, "unknown statement '" + what + "'");
    }
  }
  if (!have_orders || m.orders.empty()) throw std::runtime_error("song: no orders");
  m.channels = s.channel_count;
}

}  // namespace

std::string compile_soundtrack(const std::string& instruments_text, const std::string& song_text, ItModule& module) {
  try {
    module = it_module("", 1);
    Song s;
    read_instruments(instruments_text, module, s.instruments);
    read_song(song_text, s, module);
    std::string problem = it_check(module);
    if (!problem.empty()) return "song: " + problem;
    return "";
  } catch (const std::runtime_error& e) {
    return e.what();
  }
}

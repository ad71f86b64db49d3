// A canvas between two guard zones: a write anywhere outside it shows in guards_intact.
#pragma once
#include <algorithm>
#include <vector>

#include "raster/raster.h"

template <Pixel Ground>
class GuardedCanvasOn {
 public:
  static constexpr int GUARD = 4096;
  static constexpr Pixel GUARD_WORD = 0xDEADBEEFu;

  GuardedCanvasOn() { fill(Ground); }
  Pixel* canvas() { return store_.data() + GUARD; }
  const Pixel* canvas() const { return store_.data() + GUARD; }
  Pixel& at(int x, int y) { return canvas()[y * SCREEN_WIDTH + x]; }
  Pixel at(int x, int y) const { return canvas()[y * SCREEN_WIDTH + x]; }
  void fill(Pixel p) { std::fill(canvas(), canvas() + SCREEN_PIXELS, p); }

  bool guards_intact() const {
    const auto is_guard = [](Pixel p) { return p == GUARD_WORD; };
    return std::all_of(store_.begin(), store_.begin() + GUARD, is_guard) &&
           std::all_of(store_.end() - GUARD, store_.end(), is_guard);
  }
  int count_not(Pixel p) const {
    return static_cast<int>(SCREEN_PIXELS - std::count(canvas(), canvas() + SCREEN_PIXELS, p));
  }
  int differences(const GuardedCanvasOn& other) const {
    int n = 0;
    for (int i = 0; i < SCREEN_PIXELS; ++i) n += canvas()[i] != other.canvas()[i];
    return n;
  }
  bool same_as(const GuardedCanvasOn& other) const {
    return std::equal(canvas(), canvas() + SCREEN_PIXELS, other.canvas());
  }

 private:
  std::vector<Pixel> store_ = std::vector<Pixel>(SCREEN_PIXELS + 2 * GUARD, GUARD_WORD);
};

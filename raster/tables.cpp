#include <cmath>

#include "raster/raster.h"

namespace {
// The tables are defined by the constant 3.14159, not pi; the few entries where
// that matters are what the scenes were tuned with.
struct TableInit {
  TableInit() {
    for (int i = 0; i < 360; ++i) {
      trig_tables[i] = static_cast<int32_t>(std::sin(i * 3.14159 / 180) * 4096);
      trig_tables[360 + i] = static_cast<int32_t>(std::cos(i * 3.14159 / 180) * 4096);
    }
  }
};
}  // namespace

int32_t trig_tables[720];
static TableInit table_init;

const int32_t palette[4][3] = {
    {93, 87, 116},
    {202, 209, 187},
    {223, 227, 214},
    {240, 241, 235},
};

// A linear feedback shift register: each step shifts the state right and brings in, as
// bit 30, bit 0 xor bit 3.
int next_random(Random& random) {
  const uint32_t s = static_cast<uint32_t>(random.state);
  const uint32_t t = s ^ (s >> 3);
  random.state = static_cast<int32_t>(((t & 1u) << 30) | (s >> 1));
  return static_cast<int>((t >> 1) & 0xFFu);
}

// The bits that 28 steps bring in are bits 0..27 of s xor bits 3..30, all known at once.
void skip_random(Random& random, int64_t count) {
  uint32_t s = static_cast<uint32_t>(random.state);
  for (; count >= 28; count -= 28) s = (s >> 28) | (((s ^ (s >> 3)) & 0x0FFFFFFFu) << 3);
  random.state = static_cast<int32_t>(s);
  for (; count > 0; --count) next_random(random);
}

Particle spawn_particle(Random& random) {
  Particle p;
  const int colour = next_random(random) % 3;
  p.red = palette[colour][0];
  p.green = palette[colour][1];
  p.blue = palette[colour][2];
  p.x = next_random(random) % 57 + 287;
  p.y = next_random(random) % 5 + 274;
  p.life = next_random(random) % 150;
  return p;
}

#include "raster/raster.h"

#include <cmath>

namespace {
constexpr int32_t RANDOM_SEED = 0x12345;
int32_t rng_state = RANDOM_SEED;

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

Particle particles[PARTICLE_COUNT];

int next_random() {
  const uint32_t s = static_cast<uint32_t>(rng_state);
  const uint32_t t = s ^ (s >> 3);
  rng_state = static_cast<int32_t>(((t & 1u) << 30) | (s >> 1));
  return static_cast<int>((t >> 1) & 0xFFu);
}

Particle spawn_particle() {
  Particle p;
  const int colour = next_random() % 3;
  p.red = palette[colour][0];
  p.green = palette[colour][1];
  p.blue = palette[colour][2];
  p.x = next_random() % 57 + 287;
  p.y = next_random() % 5 + 274;
  p.life = next_random() % 150;
  return p;
}

int32_t random_state() { return rng_state; }
void set_random_state(int32_t state) { rng_state = state; }

#include "support/module_probe.h"

#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {
void collect_log(const char* message, void* user) {
  if (message) static_cast<std::vector<std::string>*>(user)->push_back(message);
}
}  // namespace

ProbedModule probe_module(const std::vector<uint8_t>& bytes) {
  ProbedModule p;
  int error = 0;
  const char* error_message = nullptr;
  p.mod = openmpt_module_create_from_memory2(bytes.data(), bytes.size(), collect_log, &p.log, openmpt_error_func_ignore,
                                             nullptr, &error, &error_message, nullptr);
  if (error_message) openmpt_free_string(error_message);
  if (p.mod) {
    const char* w = openmpt_module_get_metadata(p.mod, "warnings");
    if (w) {
      p.warnings = w;
      openmpt_free_string(w);
    }
  }
  return p;
}

void release_module(ProbedModule& probed) {
  if (probed.mod) openmpt_module_destroy(probed.mod);
  probed.mod = nullptr;
}

std::vector<int16_t> render_stereo(openmpt_module* mod, double max_seconds, int gain_millibel) {
  std::vector<int16_t> out;
  if (!mod) return out;
  openmpt_module_set_render_param(mod, OPENMPT_MODULE_RENDER_MASTERGAIN_MILLIBEL, gain_millibel);
  const size_t max_frames = static_cast<size_t>(max_seconds * 44100.0);
  int16_t block[2 * 4096];
  while (out.size() / 2 < max_frames) {
    size_t want = std::min<size_t>(4096, max_frames - out.size() / 2);
    size_t got = openmpt_module_read_interleaved_stereo(mod, 44100, want, block);
    if (got == 0) break;
    out.insert(out.end(), block, block + 2 * got);
  }
  return out;
}

std::vector<float> render_stereo_float(openmpt_module* mod, double max_seconds, int gain_millibel) {
  std::vector<float> out;
  if (!mod) return out;
  openmpt_module_set_render_param(mod, OPENMPT_MODULE_RENDER_MASTERGAIN_MILLIBEL, gain_millibel);
  const size_t max_frames = static_cast<size_t>(max_seconds * 44100.0);
  float block[2 * 4096];
  while (out.size() / 2 < max_frames) {
    size_t want = std::min<size_t>(4096, max_frames - out.size() / 2);
    size_t got = openmpt_module_read_interleaved_float_stereo(mod, 44100, want, block);
    if (got == 0) break;
    out.insert(out.end(), block, block + 2 * got);
  }
  return out;
}

namespace {
template <typename T>
Level level_of(const std::vector<T>& stereo, size_t first_frame, size_t frame_count, double full_scale) {
  size_t begin = std::min(stereo.size(), 2 * first_frame);
  size_t end = std::min(stereo.size(), 2 * (first_frame + frame_count));
  double sum = 0.0, peak = 0.0;
  for (size_t i = begin; i < end; ++i) {
    double v = static_cast<double>(stereo[i]) / full_scale;
    peak = std::max(peak, std::fabs(v));
    sum += v * v;
  }
  auto db = [](double v) { return v > 0.0 ? 20.0 * std::log10(v) : -200.0; };
  double rms = end > begin ? std::sqrt(sum / static_cast<double>(end - begin)) : 0.0;
  return {db(peak), db(rms)};
}
}  // namespace

Level measure_level(const std::vector<int16_t>& stereo, size_t first_frame, size_t frame_count) {
  return level_of(stereo, first_frame, frame_count, 32768.0);
}

Level measure_level(const std::vector<float>& stereo, size_t first_frame, size_t frame_count) {
  return level_of(stereo, first_frame, frame_count, 1.0);
}

// Our GIF decoder against giflib (DGifSlurp, then the colour lookup into 24-bit
// pixels) on the same files, and the start-up load of all 78 assets.
// Prints the giflib / ours time ratio for each set of files.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "../tests/test_gif_util.h"
#include "app/assets.h"
#include "image/image.h"

using namespace giftest;

namespace {

struct FileSet {
  std::vector<Bytes> files;
  int64_t pixels = 0;
};

// The program's own pictures, when the build has made them.
const FileSet& asset_files() {
  static FileSet set = [] {
    FileSet s;
    for (const AssetLoad& asset : asset_loads) {
      Bytes bytes = read_file(std::string(ORVEL_BUILD_DIR) + "/" + asset.path);
      if (bytes.empty()) return FileSet{};
      s.files.push_back(std::move(bytes));
    }
    return s;
  }();
  return set;
}

// Pictures of the assets' sizes made here: flat shapes, bands and noise.
const FileSet& synthetic_files() {
  static FileSet set = [] {
    FileSet s;
    const int sizes[][2] = {{512, 384}, {400, 384}, {361, 300}, {512, 28}, {334, 100}, {94, 480}};
    uint32_t seed = 1;
    for (auto [w, h] : sizes)
      for (Pattern pattern : {Pattern::shapes, Pattern::bands, Pattern::noise}) {
        Picture picture;
        picture.width = w;
        picture.height = h;
        picture.global = make_palette(pattern == Pattern::noise ? 64 : 256, seed);
        picture.indices = make_indices(w, h, static_cast<int>(picture.global.size()), pattern, seed + 1);
        picture.interlaced = seed % 2 == 0;
        s.files.push_back(write_giflib(picture));
        ++seed;
      }
    return s;
  }();
  return set;
}

int decode_ours(const Bytes& gif, uint8_t* out) {
  GifDecoder decoder;
  if (decoder.open(gif.data(), static_cast<int>(gif.size())) == 0) return 0;
  decoder.decode(out);
  return decoder.width() * decoder.height();
}

int decode_giflib(const Bytes& gif, uint8_t* out) {
  MemorySource source{&gif, 0};
  int error = 0;
  GifFileType* file = DGifOpen(&source, read_from_bytes, &error);
  if (!file) return 0;
  int pixels = 0;
  if (DGifSlurp(file) == GIF_OK && file->ImageCount > 0) {
    const SavedImage& image = file->SavedImages[0];
    const ColorMapObject* map = image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : file->SColorMap;
    pixels = image.ImageDesc.Width * image.ImageDesc.Height;
    const GifColorType* colours = map->Colors;
    const int count = map->ColorCount;
    for (int i = 0; i < pixels; ++i) {
      const int index = image.RasterBits[i];
      const GifColorType c = index < count ? colours[index] : GifColorType{0, 0, 0};
      out[i * 3 + 0] = c.Blue;
      out[i * 3 + 1] = c.Green;
      out[i * 3 + 2] = c.Red;
    }
  }
  DGifCloseFile(file, &error);
  return pixels;
}

// Both decoders must agree before their times mean anything.
bool agree(const FileSet& set) {
  std::vector<uint8_t> a(512 * 512 * 3), b(512 * 512 * 3);
  for (const Bytes& gif : set.files) {
    const int n = decode_ours(gif, a.data());
    if (n == 0 || n != decode_giflib(gif, b.data()) || !std::equal(a.begin(), a.begin() + n * 3, b.begin()))
      return false;
  }
  return true;
}

template <int (*Decode)(const Bytes&, uint8_t*)>
void run_set(benchmark::State& state, const FileSet& set) {
  if (set.files.empty()) {
    state.SkipWithError("no files: build the pictures first (gfx/ in the build folder)");
    return;
  }
  if (!agree(set)) {
    state.SkipWithError("the decoders disagree");
    return;
  }
  std::vector<uint8_t> out(512 * 512 * 3);
  int64_t pixels = 0;
  for (auto _ : state)
    for (const Bytes& gif : set.files) {
      pixels += Decode(gif, out.data());
      benchmark::DoNotOptimize(out.data());
    }
  state.SetItemsProcessed(pixels);
  state.counters["files"] = static_cast<double>(set.files.size());
}

void BM_ours_assets(benchmark::State& state) { run_set<decode_ours>(state, asset_files()); }
void BM_giflib_assets(benchmark::State& state) { run_set<decode_giflib>(state, asset_files()); }
void BM_ours_synthetic(benchmark::State& state) { run_set<decode_ours>(state, synthetic_files()); }
void BM_giflib_synthetic(benchmark::State& state) { run_set<decode_giflib>(state, synthetic_files()); }
BENCHMARK(BM_ours_assets)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_giflib_assets)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ours_synthetic)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_giflib_synthetic)->Unit(benchmark::kMillisecond);

// Start-up as the program does it: the 78 files from gfx/, keyed into their buffers.
void BM_load_assets(benchmark::State& state) {
  if (chdir(ORVEL_BUILD_DIR) != 0 || asset_files().files.empty()) {
    state.SkipWithError("no gfx/ folder in the build folder");
    return;
  }
  int loaded = 0;
  for (auto _ : state) loaded = load_assets();
  state.counters["loaded"] = loaded;
}
BENCHMARK(BM_load_assets)->Unit(benchmark::kMillisecond);

// The console report, then the ratio of each pair.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (!run.error_occurred && run.iterations > 0)
        times_[run.benchmark_name()] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    for (const char* set : {"assets", "synthetic"}) {
      const auto ours = times_.find(std::string("BM_ours_") + set);
      const auto giflib = times_.find(std::string("BM_giflib_") + set);
      if (ours != times_.end() && giflib != times_.end() && ours->second.first > 0 && ours->second.second > 0)
        std::printf("%s: giflib / ours = %.2f in real time, %.2f in CPU time (goal >= 1.5)\n", set,
                    giflib->second.first / ours->second.first, giflib->second.second / ours->second.second);
    }
  }

 private:
  std::map<std::string, std::pair<double, double>> times_;  // real, CPU
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

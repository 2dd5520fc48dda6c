// Export and import of sprite-sized PNG files: 10,000 sprites written one file each into a fresh
// folder, then read back. The export also reports where its time goes: building the PNG
// (deflate at level 9) versus creating the file.
//
// The folders live in TESS_BENCH_DIR when it is set, otherwise in /dev/shm when there is one, so
// that the figures are the code's and not the file system's. Some file systems make creating
// files slow for a while after many were deleted nearby (ext4 without a journal skips recently
// freed inodes one by one); point TESS_BENCH_DIR at a disk folder to see a given disk.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "fileio/AtomicFile.h"
#include "image/PNG.h"

namespace {

using tess::TBitmap32;
using tess::TColor32;

constexpr int kSpriteCount = 10000;
constexpr int kDistinctSprites = 97;

// A sprite as the game draws them: a shaded, slightly noisy blob on a transparent background,
// with an opaque outline.
TBitmap32 makeSprite(int seed) {
  std::mt19937 random(static_cast<unsigned>(seed));
  TBitmap32 sprite;
  sprite.SetSize(32, 32);
  tess::clearTransparent(sprite);
  const double cx = 10 + random() % 12, cy = 10 + random() % 12, radius = 6 + random() % 9;
  const auto base = static_cast<int>(random() % 200);
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      const double d = std::hypot(x - cx, y - cy);
      if (d > radius) continue;
      const int shade =
          static_cast<int>(base + 55 * (1 - d / radius)) + static_cast<int>(random() % 9);
      const auto c = static_cast<std::uint8_t>(std::min(shade, 255));
      sprite.FBits()[y * 32 + x] = d > radius - 1
                                       ? tess::PackColor32(20, 12, 8, 255)
                                       : tess::PackColor32(c, static_cast<std::uint8_t>(c * 3 / 4),
                                                           static_cast<std::uint8_t>(c / 2), 255);
    }
  }
  return sprite;
}

const std::vector<TBitmap32>& sprites() {
  static const std::vector<TBitmap32> all = [] {
    std::vector<TBitmap32> list;
    for (int i = 0; i < kDistinctSprites; ++i) list.push_back(makeSprite(i));
    return list;
  }();
  return all;
}

std::filesystem::path benchFolder() {
  if (const char* chosen = std::getenv("TESS_BENCH_DIR")) return chosen;
  if (::access("/dev/shm", W_OK) == 0) return "/dev/shm";
  return std::filesystem::temp_directory_path();
}

// A fresh folder in the benchmark folder, removed at the end.
class Folder {
 public:
  explicit Folder(const std::string& name)
      : FPath(benchFolder() / ("tess-bench-" + name + "-" + std::to_string(::getpid()))) {
    std::filesystem::remove_all(FPath);
    std::filesystem::create_directories(FPath);
  }
  ~Folder() { std::filesystem::remove_all(FPath); }
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
  std::string file(int id) const { return (FPath / (std::to_string(id) + ".png")).string(); }

 private:
  std::filesystem::path FPath;
};

void exportAll(const Folder& folder) {
  for (int id = 1; id <= kSpriteCount; ++id) {
    tess::savePngFile(sprites()[id % kDistinctSprites], folder.file(id));
  }
}

// Building the PNG in memory only: filters and deflate.
void BM_BuildPng(benchmark::State& state) {
  int i = 0;
  for (auto _ : state) {
    auto png = tess::bitmapToPng(sprites()[i++ % kDistinctSprites]);
    benchmark::DoNotOptimize(png);
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["files/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_BuildPng);

// The whole export of 10,000 sprites, as the editor does it: build, then write atomically.
// After the timed runs one more export, with the two steps that savePngFile takes timed apart,
// gives each step's share of the time.
void BM_ExportFiles(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto folder = std::make_unique<Folder>("export");
    state.ResumeTiming();
    exportAll(*folder);
    state.PauseTiming();
    folder.reset();
    state.ResumeTiming();
  }
  state.counters["files/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kSpriteCount, benchmark::Counter::kIsRate);

  using Clock = std::chrono::steady_clock;
  const Folder folder("export-split");
  Clock::duration building{}, writing{};
  for (int id = 1; id <= kSpriteCount; ++id) {
    const auto start = Clock::now();
    const auto png = tess::bitmapToPng(sprites()[id % kDistinctSprites]);
    const auto built = Clock::now();
    tess::writeFileAtomically(folder.file(id), png->data(), png->size(), /*durable=*/false);
    building += built - start;
    writing += Clock::now() - built;
  }
  const double total = std::chrono::duration<double>(building + writing).count();
  state.counters["deflate_share"] = std::chrono::duration<double>(building).count() / total;
  state.counters["file_share"] = std::chrono::duration<double>(writing).count() / total;
}
BENCHMARK(BM_ExportFiles)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

// File creation alone, with the PNGs already built: the atomic write (temporary file, rename)
// without and with the flushes to the disk. Export uses it without; the flushed kind writes only
// 1,000 files, as each one waits for the disk.
void BM_WriteAtomically(benchmark::State& state) {
  const bool durable = state.range(0) != 0;
  const int count = durable ? 1000 : kSpriteCount;
  std::vector<std::vector<std::uint8_t>> built;
  for (const auto& sprite : sprites()) built.push_back(*tess::bitmapToPng(sprite));
  for (auto _ : state) {
    state.PauseTiming();
    auto folder = std::make_unique<Folder>("write");
    state.ResumeTiming();
    for (int id = 1; id <= count; ++id) {
      const auto& png = built[id % kDistinctSprites];
      tess::writeFileAtomically(folder->file(id), png.data(), png.size(), durable);
    }
    state.PauseTiming();
    folder.reset();
    state.ResumeTiming();
  }
  state.counters["files/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * count,
                                                 benchmark::Counter::kIsRate);
}
BENCHMARK(BM_WriteAtomically)
    ->ArgName("durable")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->UseRealTime();

// A plain, non-atomic write of each file, for comparison.
void BM_WritePlain(benchmark::State& state) {
  std::vector<std::vector<std::uint8_t>> built;
  for (const auto& sprite : sprites()) built.push_back(*tess::bitmapToPng(sprite));
  for (auto _ : state) {
    state.PauseTiming();
    auto folder = std::make_unique<Folder>("plain");
    state.ResumeTiming();
    for (int id = 1; id <= kSpriteCount; ++id) {
      const auto& png = built[id % kDistinctSprites];
      std::ofstream out(folder->file(id), std::ios::binary);
      out.write(reinterpret_cast<const char*>(png.data()),
                static_cast<std::streamsize>(png.size()));
    }
    state.PauseTiming();
    folder.reset();
    state.ResumeTiming();
  }
  state.counters["files/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kSpriteCount, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_WritePlain)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

// Import of the 10,000 exported files.
void BM_ImportFiles(benchmark::State& state) {
  const Folder folder("import");
  exportAll(folder);
  TBitmap32 bitmap;
  for (auto _ : state) {
    for (int id = 1; id <= kSpriteCount; ++id) {
      if (!tess::loadPngFile(bitmap, folder.file(id))) state.SkipWithError("import failed");
    }
  }
  state.counters["files/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kSpriteCount, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ImportFiles)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

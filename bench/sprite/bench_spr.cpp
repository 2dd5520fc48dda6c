// Load and save speed of the SPR codec on a synthetic 200,000-sprite file, against a reference
// that does the least work any decoder must do: copy the file's bytes into memory and write
// 4 KiB of pixels for every sprite that has an image. Also measures the resident memory that a
// loaded file costs per sprite.
//
// The files live in TESS_BENCH_DIR when it is set, otherwise in /dev/shm when there is one, so
// that the figures are the codec's and not the disk's (a save ends with fsync).

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "../support/QuietHost.h"
#include "../support/RealisticSprites.h"
#include "sprite/EditorHost.h"
#include "sprite/TNStream.h"
#include "sprite/TSprLayout.h"
#include "sprite/TSpriteFile.h"

namespace {

using tess::TColor32;
using tess::TSprite;
using tess::TSpriteFile;

constexpr std::size_t kSprites = 200000;
constexpr std::int32_t kSignature = 0x5A5A1234;

using tess::bench::QuietHost;

enum class Shape { Empty, Outline, HalfFilled, Opaque };

TColor32 shade(int x, int y, unsigned seed) {
  return 0xFF000000u | ((x * 8 + seed) & 0xFF) << 16 | ((y * 8 + seed * 3) & 0xFF) << 8 |
         ((x + y + seed) & 0xFF);
}

// A ring for an outline, a disc of about half the area for a half-filled sprite, everything for
// an opaque one; centres and radii vary so that runs fall differently in every sprite.
std::unique_ptr<TSprite> makeSprite(Shape shape, std::mt19937& random) {
  auto sprite = std::make_unique<TSprite>();
  if (shape == Shape::Empty) return sprite;
  sprite->isDUmmy = false;
  sprite->bitmap = std::make_unique<tess::TBitmap32>();
  sprite->bitmap->SetSize(32, 32);
  TColor32* const pixels = sprite->bitmap->FBits();
  const unsigned seed = random();
  const double cx = 14 + static_cast<int>(random() % 5);
  const double cy = 14 + static_cast<int>(random() % 5);
  const double radius = shape == Shape::Outline ? 9 + static_cast<int>(random() % 6) : 12.7;
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      const double d = std::hypot(x - cx, y - cy);
      bool opaque = true;
      if (shape == Shape::Outline) opaque = std::abs(d - radius) < 0.8;
      if (shape == Shape::HalfFilled) opaque = d < radius;
      pixels[y * 32 + x] = opaque ? shade(x, y, seed) : tess::clTransparentWhite32;
    }
  }
  return sprite;
}

Shape shapeFor(std::size_t i) {
  if (i % 10 == 3) return Shape::Empty;
  switch (i % 3) {
    case 0:
      return Shape::Outline;
    case 1:
      return Shape::HalfFilled;
    default:
      return Shape::Opaque;
  }
}

std::string benchFolder() {
  if (const char* chosen = std::getenv("TESS_BENCH_DIR")) return chosen;
  if (::access("/dev/shm", W_OK) == 0) return "/dev/shm";
  return std::filesystem::temp_directory_path().string();
}

struct Fixture {
  std::string folder = benchFolder();
  std::string mixed = folder + "/tess-bench-mixed.spr";
  std::string allEmpty = folder + "/tess-bench-empty.spr";
  std::string allImages = folder + "/tess-bench-images.spr";
  std::string saved = folder + "/tess-bench-saved.spr";
  // The same number of sprites shaped like real client art (RealisticSprites.h).
  std::string realistic = folder + "/tess-bench-realistic.spr";
  std::size_t nonEmpty = 0;
  std::size_t fileSize = 0;
  std::size_t realisticSize = 0;
  // Seconds of the fastest reference run, wall and CPU, once the reference benchmark has run.
  struct {
    double wall = 0;
    double cpu = 0;
  } reference;

  Fixture() {
    QuietHost host;
    std::mt19937 random(12345);
    TSpriteFile mixedFile(host), emptyFile(host), imageFile(host);
    for (std::size_t i = 0; i < kSprites; ++i) {
      const Shape shape = shapeFor(i);
      if (shape != Shape::Empty) ++nonEmpty;
      mixedFile.Sprites.push_back(makeSprite(shape, random));
      mixedFile.Sprites.back()->setID(static_cast<std::int32_t>(i + 1));
      emptyFile.Sprites.push_back(std::make_unique<TSprite>());
      if (shape != Shape::Empty) imageFile.Sprites.push_back(makeSprite(shape, random));
    }
    if (!mixedFile.save(mixed, kSignature, true) || !emptyFile.save(allEmpty, kSignature, true) ||
        !imageFile.save(allImages, kSignature, true)) {
      throw std::runtime_error("cannot write the benchmark files in " + folder);
    }
    fileSize = std::filesystem::file_size(mixed);
    TSpriteFile realisticFile(host);
    for (std::size_t i = 0; i < kSprites; ++i) {
      realisticFile.Sprites.push_back(
          tess::bench::makeRealisticSprite(static_cast<std::int32_t>(i + 1)));
    }
    if (!realisticFile.save(realistic, kSignature, true)) {
      throw std::runtime_error("cannot write the benchmark files in " + folder);
    }
    realisticSize = std::filesystem::file_size(realistic);
  }
  ~Fixture() {
    for (const std::string* path : {&mixed, &allEmpty, &allImages, &saved, &realistic}) {
      std::remove(path->c_str());
    }
  }
};

Fixture& fixture() {
  static Fixture instance;
  return instance;
}

// Wall time and the process's CPU time of the fastest run. On a machine shared with other work
// (and in a virtual machine, where memory the process has never touched is slow to fault in)
// single runs vary widely; the fastest run is what the code itself costs. CPU time says more
// about the code, wall time about what a user waits.
struct Stopwatch {
  double wall = 0;
  double cpu = 0;

  static double cpuNow() {
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
  }
  template <typename Work>
  void time(Work&& work) {
    const auto wallStart = std::chrono::steady_clock::now();
    const double cpuStart = cpuNow();
    work();
    const double cpuRun = cpuNow() - cpuStart;
    const double wallRun =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    if (wall == 0 || wallRun < wall) wall = wallRun;
    if (cpu == 0 || cpuRun < cpu) cpu = cpuRun;
  }
};

void report(benchmark::State& state, const Stopwatch& best) {
  const Fixture& f = fixture();
  state.counters["best_sprites_per_s"] = static_cast<double>(kSprites) / best.wall;
  state.counters["best_sprites_per_cpu_s"] = static_cast<double>(kSprites) / best.cpu;
  state.counters["MB_file"] = static_cast<double>(f.fileSize) / 1e6;
  if (f.reference.wall > 0) {
    state.counters["x_reference"] = best.wall / f.reference.wall;
    state.counters["x_reference_cpu"] = best.cpu / f.reference.cpu;
  }
}

// The least any loader must do: the file's bytes into fresh memory, and 4 KiB of pixels
// written into fresh memory for every sprite with an image.
void BM_Reference(benchmark::State& state) {
  Fixture& f = fixture();
  Stopwatch watch;
  for (auto _ : state) {
    std::unique_ptr<std::uint8_t[]> bytes;
    std::vector<std::unique_ptr<TColor32[]>> blocks;
    bool read = false;
    watch.time([&] {
      const int fd = ::open(f.mixed.c_str(), O_RDONLY | O_CLOEXEC);
      if (fd < 0) return;
      bytes.reset(new std::uint8_t[f.fileSize]);
      std::size_t filled = 0;
      while (filled < f.fileSize) {
        const ssize_t got = ::read(fd, bytes.get() + filled, f.fileSize - filled);
        if (got <= 0) break;
        filled += static_cast<std::size_t>(got);
      }
      ::close(fd);
      read = filled == f.fileSize;
      blocks.reserve(f.nonEmpty);
      for (std::size_t i = 0; i < f.nonEmpty; ++i) {
        blocks.emplace_back(new TColor32[1024]);
        std::fill_n(blocks.back().get(), 1024, tess::clTransparentWhite32);
      }
      benchmark::DoNotOptimize(bytes.get());
      benchmark::DoNotOptimize(blocks.data());
    });
    if (!read) {
      state.SkipWithError("cannot read the benchmark file");
      return;
    }
    state.PauseTiming();
    blocks.clear();
    bytes.reset();
    state.ResumeTiming();
  }
  f.reference.wall = watch.wall;
  f.reference.cpu = watch.cpu;
  report(state, watch);
}

void BM_Load(benchmark::State& state) {
  Fixture& f = fixture();
  QuietHost host;
  TSpriteFile file(host);
  Stopwatch watch;
  for (auto _ : state) {
    state.PauseTiming();
    file.clear();  // freeing the previous run's sprites is not part of a load
    state.ResumeTiming();
    bool loaded = false;
    watch.time([&] { loaded = file.load(f.mixed, true); });
    if (!loaded) {
      state.SkipWithError("load failed");
      return;
    }
  }
  report(state, watch);
}

void BM_Save(benchmark::State& state) {
  Fixture& f = fixture();
  QuietHost host;
  TSpriteFile file(host);
  if (!file.load(f.mixed, true)) {
    state.SkipWithError("load failed");
    return;
  }
  Stopwatch watch;
  for (auto _ : state) {
    bool saved = false;
    watch.time([&] { saved = file.save(f.saved, kSignature, true); });
    if (!saved) {
      state.SkipWithError("save failed");
      return;
    }
  }
  report(state, watch);
}

// The load and save above on content shaped like real art: more, shorter runs per sprite than
// the random shapes, so a slower codec path. x_reference still compares with the reference run
// on the random file, whose size is about the same.
void BM_LoadRealistic(benchmark::State& state) {
  Fixture& f = fixture();
  QuietHost host;
  TSpriteFile file(host);
  Stopwatch watch;
  for (auto _ : state) {
    state.PauseTiming();
    file.clear();
    state.ResumeTiming();
    bool loaded = false;
    watch.time([&] { loaded = file.load(f.realistic, true); });
    if (!loaded) {
      state.SkipWithError("load failed");
      return;
    }
  }
  report(state, watch);
  state.counters["MB_file"] = static_cast<double>(f.realisticSize) / 1e6;
}

void BM_SaveRealistic(benchmark::State& state) {
  Fixture& f = fixture();
  QuietHost host;
  TSpriteFile file(host);
  if (!file.load(f.realistic, true)) {
    state.SkipWithError("load failed");
    return;
  }
  Stopwatch watch;
  for (auto _ : state) {
    bool saved = false;
    watch.time([&] { saved = file.save(f.saved, kSignature, true); });
    if (!saved) {
      state.SkipWithError("save failed");
      return;
    }
  }
  report(state, watch);
  state.counters["MB_file"] = static_cast<double>(f.realisticSize) / 1e6;
}

// ---- pixels with alpha, and telling the layouts apart ----

constexpr tess::TSprLayout kAlpha32{true, true};

// The mixed file's sprites again, saved with four-byte pixels.
struct AlphaFixture {
  std::string path = fixture().folder + "/tess-bench-mixed-alpha.spr";
  std::string saved = fixture().folder + "/tess-bench-saved-alpha.spr";

  AlphaFixture() {
    QuietHost host;
    TSpriteFile file(host);
    if (!file.load(fixture().mixed, true) || !file.save(path, kSignature, kAlpha32)) {
      throw std::runtime_error("cannot write the alpha benchmark file: " + file.errorString());
    }
  }
  ~AlphaFixture() {
    std::remove(path.c_str());
    std::remove(saved.c_str());
  }
};

AlphaFixture& alphaFixture() {
  static AlphaFixture instance;
  return instance;
}

void BM_LoadAlpha(benchmark::State& state) {
  const AlphaFixture& a = alphaFixture();
  QuietHost host;
  TSpriteFile file(host);
  Stopwatch watch;
  for (auto _ : state) {
    state.PauseTiming();
    file.clear();
    state.ResumeTiming();
    bool loaded = false;
    watch.time([&] { loaded = file.load(a.path, kAlpha32); });
    if (!loaded) {
      state.SkipWithError("load failed");
      return;
    }
  }
  report(state, watch);
  state.counters["MB_file"] = static_cast<double>(std::filesystem::file_size(a.path)) / 1e6;
}

void BM_SaveAlpha(benchmark::State& state) {
  const AlphaFixture& a = alphaFixture();
  QuietHost host;
  TSpriteFile file(host);
  if (!file.load(a.path, kAlpha32)) {
    state.SkipWithError("load failed");
    return;
  }
  Stopwatch watch;
  for (auto _ : state) {
    bool saved = false;
    watch.time([&] { saved = file.save(a.saved, kSignature, kAlpha32); });
    if (!saved) {
      state.SkipWithError("save failed");
      return;
    }
  }
  report(state, watch);
  state.counters["MB_file"] = static_cast<double>(std::filesystem::file_size(a.path)) / 1e6;
}

// Detection of a file's layout: the file read into memory and its table and run headers walked
// for each of the four layouts, as the open dialog does for a file of unknown signature. The
// argument chooses the file: 0 the mixed three-byte one, 1 its alpha twin. `best_walk_ms` is
// the walk alone, without reading the file.
void BM_DetectLayout(benchmark::State& state) {
  const bool alpha = state.range(0) != 0;
  const std::string& path = alpha ? alphaFixture().path : fixture().mixed;
  Stopwatch watch, walkOnly;
  for (auto _ : state) {
    int consistent = 0;
    watch.time([&] {
      tess::TNStream stream;
      stream.LoadFromFile(path);
      walkOnly.time([&] {
        for (const tess::TSprLayout layout : tess::kSprLayouts) {
          consistent += tess::sprLayoutReads(stream.bytes().data(), stream.size(), layout);
        }
      });
    });
    if (consistent != 1) {
      state.SkipWithError("the file should read in exactly one layout");
      return;
    }
  }
  report(state, watch);
  state.counters["MB_file"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
  state.counters["best_walk_ms"] = walkOnly.wall * 1e3;
}

long residentBytes() {
  std::FILE* statm = std::fopen("/proc/self/statm", "r");
  if (statm == nullptr) return -1;
  long size = 0, resident = 0;
  const int got = std::fscanf(statm, "%ld %ld", &size, &resident);
  std::fclose(statm);
  return got == 2 ? resident * ::sysconf(_SC_PAGESIZE) : -1;
}

// Growth of the resident set across one load of `path`, starting from a heap handed back to
// the system.
double residentGrowth(const std::string& path) {
  QuietHost host;
  TSpriteFile file(host);
  ::malloc_trim(0);
  const long before = residentBytes();
  if (!file.load(path, true)) return -1;
  const long after = residentBytes();
  return static_cast<double>(after - before);
}

void BM_ResidentMemory(benchmark::State& state) {
  Fixture& f = fixture();
  const double empties = static_cast<double>(kSprites - f.nonEmpty);
  double perImage = 0, perEmpty = 0, mixedGrowth = 0;
  for (auto _ : state) {
    perEmpty = residentGrowth(f.allEmpty) / static_cast<double>(kSprites);
    perImage = residentGrowth(f.allImages) / static_cast<double>(f.nonEmpty);
    mixedGrowth = residentGrowth(f.mixed);
  }
  const double budget = 4.3 * 1024 * static_cast<double>(f.nonEmpty) + 64 * empties;
  state.counters["B_per_image_sprite"] = perImage;
  state.counters["B_per_empty_sprite"] = perEmpty;
  state.counters["mixed_x_budget"] = mixedGrowth / budget;
}

// Eight runs each, so that the fastest run means something.
BENCHMARK(BM_Reference)->Unit(benchmark::kMillisecond)->Iterations(8);
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond)->Iterations(8);
BENCHMARK(BM_Save)->Unit(benchmark::kMillisecond)->Iterations(8);
BENCHMARK(BM_LoadRealistic)->Unit(benchmark::kMillisecond)->Iterations(8);
BENCHMARK(BM_SaveRealistic)->Unit(benchmark::kMillisecond)->Iterations(8);
BENCHMARK(BM_LoadAlpha)->Unit(benchmark::kMillisecond)->Iterations(8);
BENCHMARK(BM_SaveAlpha)->Unit(benchmark::kMillisecond)->Iterations(8);
BENCHMARK(BM_DetectLayout)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(8);
// Last: it hands the free heap back to the system before each measurement.
BENCHMARK(BM_ResidentMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  const Fixture& f = fixture();
  std::printf("%zu sprites (%zu with images), %.1f MB file in %s\n", kSprites, f.nonEmpty,
              static_cast<double>(f.fileSize) / 1e6, f.folder.c_str());
  std::printf("realistic content: %.1f MB file\n", static_cast<double>(f.realisticSize) / 1e6);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

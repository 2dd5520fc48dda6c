// Newer clients' sheets at the size of a real client: a catalog of 4,400 sheets (most of them
// 64x64 cells, a few gaps), listed, one sheet decoded, and the whole catalog cut into a sprite
// file on both cores; then 10,000 64x64 sprites written as new sheets. The conversion reports
// sprites per second and the process's peak memory (VmHWM).
//
// The catalog is made once per run in TESS_BENCH_DIR, or /dev/shm, or the temporary folder: a
// few distinct sheets are compressed, and the 4,400 entries are hard links to them, so that making
// it takes a second or two and no disk space.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "../support/QuietHost.h"
#include "assets/assetImport.h"
#include "assets/assetStore.h"
#include "assets/sheetFile.h"
#include "assets/sheetImage.h"
#include "assets/sheetWriter.h"
#include "core/spriteDocument.h"
#include "sprite/EditorHost.h"
#include "sprite/TSpriteFile.h"

namespace {

namespace fs = std::filesystem;
using namespace tess::assets;
using tess::TBitmap32;

constexpr int kSheets = 4400;
constexpr int kVariants = 4;

using NoHost = tess::bench::QuietHost;

// Peak resident memory of the process so far, in MiB.
double peakMiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
  }
  return 0;
}

fs::path benchRoot() {
  if (const char* dir = std::getenv("TESS_BENCH_DIR")) return dir;
  if (fs::is_directory("/dev/shm")) return "/dev/shm";
  return fs::temp_directory_path();
}

// A sprite as the clients draw them: a shaded blob towards the bottom right of its cell, which
// leaves the top-left tile of a 64x64 sprite empty; one cell in ten is empty altogether.
TBitmap32 sheetPicture(TSheetType type, int variant) {
  TBitmap32 sheet;
  sheet.SetSizeAndFill(kSheetSide, kSheetSide, tess::clTransparentWhite32);
  const int width = cellWidth(type);
  const int height = cellHeight(type);
  for (int cell = 0; cell < cellsPerSheet(type); ++cell) {
    if ((cell + variant) % 10 == 0) continue;
    const int left = cell % sheetColumns(type) * width;
    const int top = cell / sheetColumns(type) * height;
    const double cx = width - 20, cy = height - 20, radius = width == 64 && height == 64 ? 18 : 14;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const double d = std::hypot(x - cx, y - cy);
        if (d > radius) continue;
        const auto shade = static_cast<std::uint8_t>(60 + 150 * (1 - d / radius) + (x ^ y) % 7);
        sheet.FBits()[(top + y) * kSheetSide + left + x] =
            tess::PackColor32(shade, static_cast<std::uint8_t>(shade * 3 / 4 + variant * 9),
                              static_cast<std::uint8_t>(cell * 5), 255);
      }
    }
  }
  return sheet;
}

struct Catalog {
  fs::path folder;
  std::size_t sprites = 0;
};

// Sheets 0-399 are 32x32, 400-699 32x64, 700-999 64x32, the rest 64x64; every 50th sheet leaves
// a gap of 7 IDs after it.
const Catalog& catalog() {
  static const Catalog made = [] {
    Catalog result;
    result.folder = benchRoot() / ("tess-bench-assets-" + std::to_string(::getpid()));
    fs::remove_all(result.folder);
    fs::create_directories(result.folder);
    std::vector<std::vector<std::string>> variants(kSheetTypeCount);
    for (int type = 0; type < kSheetTypeCount; ++type) {
      for (int variant = 0; variant < kVariants; ++variant) {
        std::vector<std::uint8_t> file;
        std::string reason;
        const auto bmp = encodeSheetBmp(sheetPicture(static_cast<TSheetType>(type), variant));
        if (!packSheet(bmp, file, reason)) throw std::runtime_error(reason);
        const fs::path path = result.folder / sheetFileName(bmp);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()),
                   static_cast<std::streamsize>(file.size()));
        variants[static_cast<std::size_t>(type)].push_back(path.string());
      }
    }
    std::string json = "[\n  {\"type\": \"appearances\", \"file\": \"appearances.dat\"}";
    std::int64_t next = 1;
    for (int i = 0; i < kSheets; ++i) {
      const int type = i < 400 ? 0 : i < 700 ? 1 : i < 1000 ? 2 : 3;
      const std::string name = "sprites-" + std::to_string(i) + ".bmp.lzma";
      fs::create_hard_link(variants[static_cast<std::size_t>(type)][i % kVariants],
                           result.folder / name);
      const int count = cellsPerSheet(static_cast<TSheetType>(type)) - (i % 17 == 0 ? 3 : 0);
      json += ",\n  {\"type\": \"sprite\", \"file\": \"" + name +
              "\", \"spritetype\": " + std::to_string(type) +
              ", \"firstspriteid\": " + std::to_string(next) +
              ", \"lastspriteid\": " + std::to_string(next + count - 1) + ", \"area\": 0}";
      next += count + (i % 50 == 49 ? 7 : 0);
      result.sprites += static_cast<std::size_t>(count);
    }
    std::ofstream(result.folder / kCatalogFileName) << json << "\n]\n";
    return result;
  }();
  return made;
}

struct Cleanup {
  ~Cleanup() {
    std::error_code ignored;
    fs::remove_all(benchRoot() / ("tess-bench-assets-" + std::to_string(::getpid())), ignored);
  }
} cleanup;

void BM_ListCatalog(benchmark::State& state) {
  const Catalog& made = catalog();
  for (auto _ : state) {
    TAssetStore store;
    std::string reason;
    if (!store.open(made.folder.string(), reason)) state.SkipWithError(reason.c_str());
    std::size_t sprites = 0;
    for (const TSheetEntry& sheet : store.catalog().sheets()) {
      sprites += static_cast<std::size_t>(sheet.count());
    }
    benchmark::DoNotOptimize(sprites);
  }
  state.counters["sheets"] = kSheets;
  state.counters["sprites"] = static_cast<double>(made.sprites);
}
BENCHMARK(BM_ListCatalog)->Unit(benchmark::kMillisecond);

void BM_DecodeOneSheet(benchmark::State& state) {
  const Catalog& made = catalog();
  const std::string path =
      (made.folder / ("sprites-" + std::to_string(kSheets - 1) + ".bmp.lzma")).string();
  TBitmap32 sheet;
  for (auto _ : state) {
    std::string reason;
    if (!loadSheetFile(path, sheet, reason)) state.SkipWithError(reason.c_str());
  }
  state.counters["compressedKiB"] = static_cast<double>(fs::file_size(path)) / 1024.0;
}
BENCHMARK(BM_DecodeOneSheet)->Unit(benchmark::kMillisecond);

// 10,000 64x64 sprites (278 sheets) compressed and written on both cores, catalog included.
void BM_WriteTenThousandSprites(benchmark::State& state) {
  const fs::path folder = catalog().folder / "written";
  std::vector<TBitmap32> sprites;
  for (int i = 0; i < 10000; ++i) {
    sprites.push_back(cellOfSheet(sheetPicture(TSheetType::Large, i % kVariants), TSheetType::Large,
                                  i % cellsPerSheet(TSheetType::Large)));
  }
  std::vector<const TBitmap32*> pointers;
  for (const TBitmap32& sprite : sprites) pointers.push_back(&sprite);
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(folder);
    fs::create_directories(folder);
    std::ofstream(folder / kCatalogFileName) << "[]\n";
    TAssetCatalog target;
    std::string reason;
    if (!target.read(folder.string(), reason)) state.SkipWithError(reason.c_str());
    state.ResumeTiming();
    TSheetsWritten written;
    if (!writeSheets(target, pointers, TSheetType::Large, std::nullopt, written, reason, 2)) {
      state.SkipWithError(reason.c_str());
    }
  }
  state.counters["sprites/s"] = benchmark::Counter(10000, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_WriteTenThousandSprites)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// Every sprite of the catalog into a new sprite file as tessaline-cli assets to-spr writes it:
// straight to disk as the sheets are read. Run it alone (--benchmark_filter) for its own peak.
void BM_WholeCatalogToSpr(benchmark::State& state) {
  const Catalog& made = catalog();
  NoHost host;
  std::size_t tiles = 0;
  for (auto _ : state) {
    TAssetStore store;
    std::string reason;
    if (!store.open(made.folder.string(), reason)) state.SkipWithError(reason.c_str());
    std::vector<std::int64_t> ids;
    for (const TSheetEntry& sheet : store.catalog().sheets()) {
      for (std::int64_t id = sheet.firstId; id <= sheet.lastId; ++id) ids.push_back(id);
    }
    tess::TSpriteFile file(host);
    file.New();
    TAssetImport imported;
    bool sheetFailed = false;
    const std::string out = (made.folder / "all.spr").string();
    if (!writeWithAssetSprites(file, store, ids, out, 0x57BBD603, tess::TSprLayout{true, true},
                               tess::TSprSavedAlpha::AsItIs, imported, reason, sheetFailed, 2)) {
      state.SkipWithError(reason.c_str());
    }
    tiles = imported.sprites;
    state.counters["sprFileMiB"] = static_cast<double>(fs::file_size(out)) / (1 << 20);
    fs::remove(out);
  }
  state.counters["assetSprites/s"] =
      benchmark::Counter(static_cast<double>(made.sprites), benchmark::Counter::kIsRate);
  state.counters["tiles"] = static_cast<double>(tiles);
  state.counters["peakMiB"] = peakMiB();
}
BENCHMARK(BM_WholeCatalogToSpr)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// The same as the editor adds sprites: appended as one edit, every tile an image in memory, then
// the file saved.
void BM_WholeCatalogToSprAsOneEdit(benchmark::State& state) {
  const Catalog& made = catalog();
  NoHost host;
  std::size_t tiles = 0;
  for (auto _ : state) {
    TAssetStore store;
    std::string reason;
    if (!store.open(made.folder.string(), reason)) state.SkipWithError(reason.c_str());
    std::vector<std::int64_t> ids;
    for (const TSheetEntry& sheet : store.catalog().sheets()) {
      for (std::int64_t id = sheet.firstId; id <= sheet.lastId; ++id) ids.push_back(id);
    }
    tess::TSpriteFile file(host);
    file.New();
    tess::TSpriteDocument document(file);
    TAssetImport imported;
    if (!appendAssetSprites(document, store, ids, imported, reason, 2)) {
      state.SkipWithError(reason.c_str());
    }
    tiles = imported.sprites;
    const std::string out = (made.folder / "all.spr").string();
    if (!file.save(out, 0x57BBD603, tess::TSprLayout{true, true})) {
      state.SkipWithError(file.errorString().c_str());
    }
    state.counters["sprFileMiB"] = static_cast<double>(fs::file_size(out)) / (1 << 20);
    fs::remove(out);
  }
  state.counters["assetSprites/s"] =
      benchmark::Counter(static_cast<double>(made.sprites), benchmark::Counter::kIsRate);
  state.counters["tiles"] = static_cast<double>(tiles);
  state.counters["peakMiB"] = peakMiB();
}
BENCHMARK(BM_WholeCatalogToSprAsOneEdit)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

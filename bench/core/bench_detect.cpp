// What "Auto detect" costs beside the load it comes before, on a 120,000-sprite file of
// realistic art: reading the signature alone (as detection did before it looked at the layout),
// the sampled look at the layout that detection takes now for a signature of one layout, and the
// whole walk it takes when that sample fails (a file in a layout its signature's version lacks).

#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "../support/QuietHost.h"
#include "core/versionDetect.h"
#include "sprite/EditorHost.h"
#include "sprite/TSpriteFile.h"
#include "support/RealisticSprites.h"

namespace {

namespace fs = std::filesystem;

using NoHost = tess::bench::QuietHost;

constexpr std::int32_t kSignature = 0x57BBD603;
constexpr int kSprites = 120000;

// The 10.98 entry reads the plain file; the alpha file keeps its signature in another layout.
const std::vector<tess::TVersionInfo>& versions() {
  static const std::vector<tess::TVersionInfo> catalog = {{0x4C220594, "8.60", false, false},
                                                          {kSignature, "10.98", true, false}};
  return catalog;
}

const std::string& fileOf(bool alpha) {
  static std::array<std::string, 2> paths;
  std::string& path = paths[alpha ? 1 : 0];
  if (!path.empty()) return path;
  const fs::path folder = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
  path = (folder / (alpha ? "tess-detect-alpha.spr" : "tess-detect.spr")).string();
  NoHost host;
  tess::TSpriteFile file(host);
  for (std::int32_t id = 1; id <= kSprites; ++id) {
    file.Sprites.push_back(tess::bench::makeRealisticSprite(id));
    file.Sprites.back()->setID(id);
  }
  if (!file.save(path, kSignature, tess::TSprLayout{true, alpha})) std::abort();
  return path;
}

void BM_SignatureOnly(benchmark::State& state) {
  const std::string& path = fileOf(false);
  for (auto _ : state) {
    std::ifstream file(path, std::ios::binary);
    std::array<char, 4> head{};
    file.read(head.data(), head.size());
    benchmark::DoNotOptimize(head);
  }
}
BENCHMARK(BM_SignatureOnly)->Unit(benchmark::kMicrosecond);

void BM_AutoDetectSampled(benchmark::State& state) {
  const std::string& path = fileOf(false);
  for (auto _ : state) {
    const auto found = tess::detectCatalogVersion(path, versions());
    if (!found || found->name != "10.98") state.SkipWithError("not detected as 10.98");
  }
}
BENCHMARK(BM_AutoDetectSampled)->Unit(benchmark::kMicrosecond);

void BM_AutoDetectVariant(benchmark::State& state) {
  const std::string& path = fileOf(true);
  for (auto _ : state) {
    const auto found = tess::detectCatalogVersion(path, versions());
    if (!found || found->name != "10.98 (32-bit, alpha)") state.SkipWithError("no variant");
  }
}
BENCHMARK(BM_AutoDetectVariant)->Unit(benchmark::kMillisecond);

void BM_LoadForScale(benchmark::State& state) {
  const std::string& path = fileOf(false);
  NoHost host;
  for (auto _ : state) {
    tess::TSpriteFile file(host);
    if (!file.load(path, tess::TSprLayout{true, false})) state.SkipWithError("load failed");
  }
}
BENCHMARK(BM_LoadForScale)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

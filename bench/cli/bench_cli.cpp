// tessaline-cli convert of a 200,000-sprite file, run as a process exactly as a script runs it,
// against the bare load and save of the same file through TSpriteFile in the same run. The
// difference is what the tool adds: start-up, the catalog, "Auto detect" (which reads the file's
// table once more) and its checks. Target: within 10% of the bare load and save.
//
// A new process first touches every page it uses, which on a virtual machine costs as much as
// the decoding and varies from run to run; a load and save repeated in one process reuses its
// warm memory and never pays it. So the figure held to the target is
// BM_CliConvertAgainstBareProcess: the tool against the bare load and save in a new process of
// its own, in turns. The in-process figures are reported beside it.
//
// The files live in TESS_BENCH_DIR when it is set, otherwise in /dev/shm when there is one, so
// that the figures are the program's and not the disk's (a save ends with fsync).

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "../support/QuietHost.h"
#include "sprite/EditorHost.h"
#include "sprite/TSprLayout.h"
#include "sprite/TSpriteFile.h"

extern char** environ;

namespace {

constexpr std::size_t kSprites = 200000;
constexpr std::int32_t kFromSignature = 0x4E12DAFF;
constexpr std::int32_t kToSignature = 0x57BBD603;
constexpr tess::TSprLayout kLayout{true, false};

using tess::bench::QuietHost;

std::string benchFolder() {
  if (const char* chosen = std::getenv("TESS_BENCH_DIR")) return chosen;
  if (::access("/dev/shm", W_OK) == 0) return "/dev/shm";
  return std::filesystem::temp_directory_path().string();
}

// A sprite of one of a few kinds: empty, a ring, a disc, or opaque, placed differently each time
// so that runs fall differently in every sprite.
std::unique_ptr<tess::TSprite> makeSprite(std::size_t i, std::mt19937& random) {
  auto sprite = std::make_unique<tess::TSprite>();
  const int kind = static_cast<int>(i % 8);
  if (kind == 0) return sprite;
  sprite->isDUmmy = false;
  sprite->bitmap = std::make_unique<tess::TBitmap32>();
  sprite->bitmap->SetSizeAndFill(32, 32, tess::clTransparentWhite32);
  tess::TColor32* const pixels = sprite->bitmap->FBits();
  const int cx = static_cast<int>(random() % 32);
  const int cy = static_cast<int>(random() % 32);
  const int r = 6 + static_cast<int>(random() % 10);
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      const int d = (x - cx) * (x - cx) + (y - cy) * (y - cy);
      const bool inside =
          kind == 7 || (kind % 2 == 0 ? d <= r * r : d <= r * r && d >= (r - 2) * (r - 2));
      if (inside)
        pixels[y * 32 + x] = 0xFF000000u | static_cast<std::uint32_t>(random() & 0xFFFFFF);
    }
  }
  return sprite;
}

struct Files {
  std::string folder = benchFolder();
  std::string input = folder + "/tess-bench-cli-in.spr";
  std::string output = folder + "/tess-bench-cli-out.spr";
  std::string config = folder + "/tess-bench-cli-config.ini";

  Files() {
    QuietHost host;
    tess::TSpriteFile file(host);
    file.New();
    std::mt19937 random(17);
    for (std::size_t i = 0; i < kSprites; ++i) {
      file.Sprites.push_back(makeSprite(i, random));
      file.Sprites.back()->setID(static_cast<std::int32_t>(i + 1));
    }
    if (!file.save(input, kFromSignature, kLayout)) throw std::runtime_error(file.errorString());
    std::ofstream(config) << "[9.60]\nSPRSignature=4E12DAFF\nsprite32=1\n"
                          << "[10.98]\nSPRSignature=57BBD603\nsprite32=1\n";
  }
  ~Files() {
    std::error_code ignored;
    for (const std::string& path : {input, output, config}) std::filesystem::remove(path, ignored);
  }
};

Files& files() {
  static Files made;
  return made;
}

// This program itself, run again as the bare load and save in a process of its own.
std::string selfPath;
constexpr const char* kBareChild = "--bare-load-save";

// Runs `program` and returns the processor time it took (user and system), which, unlike the
// wall-clock time, other work on the machine hardly changes.
double runProcess(const std::string& program, std::vector<std::string> words) {
  words.insert(words.begin(), program);
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
    throw std::runtime_error("cannot start " + program);
  }
  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, 0, &usage) < 0) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error(program + " failed");
  const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double runTool(std::vector<std::string> words) {
  return runProcess(TESS_CLI_PATH, std::move(words));
}

// The bare load and save in a new process: it starts with no memory, as the tool does, so it
// pays the same first touch of every page (800 MB for 200,000 decoded sprites). This is the
// baseline the tool is held to.
int bareLoadSaveChild(const std::string& input, const std::string& output) {
  QuietHost host;
  tess::TSpriteFile file(host);
  if (!file.load(input, kLayout)) return 1;
  if (!file.save(output, kToSignature, kLayout)) return 1;
  return 0;
}

// The tool and the bare child run in turns, so that whatever the machine does meanwhile falls on
// both alike; the ratio of their processor times is the figure to hold to the target.
void BM_CliConvertAgainstBareProcess(benchmark::State& state) {
  const Files& f = files();
  double tool = 0;
  double bare = 0;
  for (auto _ : state) {
    bare += runProcess(selfPath, {kBareChild, f.input, f.output});
    tool += runTool({"convert", f.input, f.output, "--to", "10.98", "--force", "--quiet",
                     "--config", f.config});
  }
  const double rounds = static_cast<double>(state.iterations());
  state.counters["bare_cpu_ms"] = 1000 * bare / rounds;
  state.counters["tool_cpu_ms"] = 1000 * tool / rounds;
  state.counters["x_bare"] = tool / bare;
}
BENCHMARK(BM_CliConvertAgainstBareProcess)->Unit(benchmark::kMillisecond)->Iterations(12);

void BM_BareLoadSave(benchmark::State& state) {
  const Files& f = files();
  for (auto _ : state) {
    QuietHost host;
    tess::TSpriteFile file(host);
    if (!file.load(f.input, kLayout)) state.SkipWithError("load failed");
    if (!file.save(f.output, kToSignature, kLayout)) state.SkipWithError("save failed");
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kSprites));
}
BENCHMARK(BM_BareLoadSave)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

// The same, with the freed memory handed back to the system before each round, so that the
// load takes fresh pages as a new process does: the kernel clears each page on first use, and
// 200,000 decoded sprites hold 800 MB.
void BM_BareLoadSaveFreshMemory(benchmark::State& state) {
  const Files& f = files();
  for (auto _ : state) {
    state.PauseTiming();
    ::malloc_trim(0);
    state.ResumeTiming();
    QuietHost host;
    tess::TSpriteFile file(host);
    if (!file.load(f.input, kLayout)) state.SkipWithError("load failed");
    if (!file.save(f.output, kToSignature, kLayout)) state.SkipWithError("save failed");
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kSprites));
}
BENCHMARK(BM_BareLoadSaveFreshMemory)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

// As a script runs it: "Auto detect" of the input's version.
void BM_CliConvert(benchmark::State& state) {
  const Files& f = files();
  double processor = 0;
  for (auto _ : state) {
    processor += runTool({"convert", f.input, f.output, "--to", "10.98", "--force", "--quiet",
                          "--config", f.config});
  }
  state.counters["tool_cpu_ms"] = 1000 * processor / static_cast<double>(state.iterations());
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kSprites));
}
BENCHMARK(BM_CliConvert)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

// The same with the input's version named, which skips the detection's extra pass.
void BM_CliConvertNamedClient(benchmark::State& state) {
  const Files& f = files();
  double processor = 0;
  for (auto _ : state) {
    processor += runTool({"convert", f.input, f.output, "--to", "10.98", "--client", "9.60",
                          "--force", "--quiet", "--config", f.config});
  }
  state.counters["tool_cpu_ms"] = 1000 * processor / static_cast<double>(state.iterations());
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kSprites));
}
BENCHMARK(BM_CliConvertNamedClient)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == kBareChild) return bareLoadSaveChild(argv[2], argv[3]);
  selfPath = std::filesystem::canonical("/proc/self/exe").string();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

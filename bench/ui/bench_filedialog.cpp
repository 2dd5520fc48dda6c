// Opening a 200,000-sprite file through the open and save window, end to end (progress
// listener, progress bar, event processing, list rebuild and title), against the bare load of
// the same file by a sprite file with no listener, in the same run; once with the benchmark's
// random shapes and once with content shaped like real art. Offscreen, painting costs almost
// nothing: ui_bench_window_io measures the same on a real X server.
//
// Run headless: QT_QPA_PLATFORM=offscreen ./ui_bench_filedialog

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "../support/RealisticSprites.h"
#include "BenchHost.h"
#include "bitmap/TBitmap32.h"
#include "core/editorCore.h"
#include "sprite/TSpriteFile.h"
#include "ui/FileChooser.h"
#include "ui/QtHost.h"
#include "ui/TfrmFileDialog.h"
#include "ui/TfrmMain.h"

namespace {

constexpr int kSprites = 200000;
constexpr std::int32_t kSignature = 0x57BBD603;

using tess::bench::BenchHost;

// A sprite shaped like a game object: a filled diamond on a transparent field, so that every
// sprite has several transparent and coloured runs.
std::unique_ptr<tess::TSprite> makeSprite(std::int32_t id) {
  auto sprite = std::make_unique<tess::TSprite>();
  sprite->setID(id);
  if (id % 17 == 0) return sprite;  // a few empty ones, as real files have
  sprite->isDUmmy = false;
  sprite->bitmap = std::make_unique<tess::TBitmap32>();
  sprite->bitmap->SetSize(32, 32);
  tess::TColor32* bits = sprite->bitmap->FBits();
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      const int distance = std::abs(x - 16) + std::abs(y - 16);
      bits[y * 32 + x] = distance < 14 ? tess::PackColor32(static_cast<std::uint8_t>(id),
                                                           static_cast<std::uint8_t>(x * 8),
                                                           static_cast<std::uint8_t>(y * 8), 0xFF)
                                       : tess::clTransparentWhite32;
    }
  }
  return sprite;
}

struct Setup {
  QTemporaryDir dir;
  std::string file;
  std::string realisticFile;  // the same count of sprites shaped like real art
  BenchHost host;
  tess::QtFileChooser chooser;
  tess::TEditorCore core{host};
  std::unique_ptr<tess::TfrmMain> main;
  tess::TfrmFileDialog* dialog = nullptr;

  bool prepare() {
    if (!dir.isValid()) return false;
    if (!tess::bench::writeOneVersionConfig(dir.path())) return false;
    file = dir.filePath(QStringLiteral("big.spr")).toStdString();
    {
      tess::TSpriteFile writer(host);
      writer.Sprites.reserve(kSprites);
      for (int id = 1; id <= kSprites; ++id) writer.Sprites.push_back(makeSprite(id));
      writer.loaded = true;
      if (!writer.save(file, kSignature, true)) return false;
    }
    realisticFile = dir.filePath(QStringLiteral("realistic.spr")).toStdString();
    {
      tess::TSpriteFile writer(host);
      writer.Sprites.reserve(kSprites);
      for (int id = 1; id <= kSprites; ++id) {
        writer.Sprites.push_back(tess::bench::makeRealisticSprite(id));
      }
      writer.loaded = true;
      if (!writer.save(realisticFile, kSignature, true)) return false;
    }
    main = std::make_unique<tess::TfrmMain>(core, host, chooser, nullptr, dir.path());
    main->show();
    main->Open1Click();
    dialog = main->dialog.data();
    if (!dialog) return false;
    dialog->edtSpr->setText(QString::fromStdString(file));
    dialog->cmbVersion->setCurrentIndex(1);  // the catalog entry; 0 is "Auto detect"
    QApplication::processEvents();
    return true;
  }
};

void bareLoad(benchmark::State& state, Setup& setup, const std::string& file) {
  // Two loads first, so that the measured ones replace an open file on the memory the load
  // before freed, as repeated opens through the window do; fresh memory is slow to fault in on
  // a virtual machine, and how slow varies widely.
  tess::TSpriteFile bare(setup.host);
  if (!bare.load(file, true) || !bare.load(file, true)) state.SkipWithError("load failed");
  for (auto _ : state) {
    if (!bare.load(file, true)) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(bare.Sprites.data());
  }
  bare.clear();
  state.counters["sprites"] = kSprites;
}

void openThroughWindow(benchmark::State& state, Setup& setup, const std::string& file) {
  setup.dialog->edtSpr->setText(QString::fromStdString(file));
  setup.dialog->btnExecuteClick();  // as for the bare load
  for (auto _ : state) {
    setup.dialog->btnExecuteClick();
    if (setup.core.spriteFile.Sprites.size() != static_cast<std::size_t>(kSprites)) {
      state.SkipWithError("open failed");
    }
  }
  setup.core.spriteFile.clear();
  state.counters["sprites"] = kSprites;
}

}  // namespace

// The window's share alone: what the listener, the bar and the event processing cost for a
// whole run, without reading a file.
void listenerOnly(benchmark::State& state, Setup& setup) {
  for (auto _ : state) {
    for (std::int32_t id = 1; id <= kSprites; ++id) setup.dialog->onSpriteLoad(id, kSprites);
  }
  state.counters["sprites"] = kSprites;
}

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")
                                 ? QByteArray("offscreen")
                                 : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  Setup prepared;
  if (!prepared.prepare()) {
    std::fprintf(stderr, "could not prepare the benchmark file\n");
    return 1;
  }
  for (int round = 0; round < 5; ++round) {
    // Interleaved rounds, so that a slow phase of the machine hits both alike.
    for (const auto& [content, file] :
         {std::pair{"random", &prepared.file}, std::pair{"realistic", &prepared.realisticFile}}) {
      benchmark::RegisterBenchmark((std::string("BareLoad/") + content).c_str(), bareLoad,
                                   std::ref(prepared), std::cref(*file))
          ->Unit(benchmark::kMillisecond)
          ->Iterations(2);
      benchmark::RegisterBenchmark((std::string("OpenThroughWindow/") + content).c_str(),
                                   openThroughWindow, std::ref(prepared), std::cref(*file))
          ->Unit(benchmark::kMillisecond)
          ->Iterations(2);
    }
    benchmark::RegisterBenchmark("ListenerOnly", listenerOnly, std::ref(prepared))
        ->Unit(benchmark::kMillisecond)
        ->Iterations(2);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

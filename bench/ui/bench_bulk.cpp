// The bulk commands through the main window: importing a 4096x4096 sprite sheet (16,384 tiles),
// selecting the duplicates among 1,000,000 sprites, and exporting 100,000 sprites as PNG files.
//
// Run headless: QT_QPA_PLATFORM=offscreen ./ui_bench_bulk
// TESS_BENCH_DIR chooses the folder the exports go to (default: /dev/shm when it exists).

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QListView>
#include <QTemporaryDir>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include "BenchHost.h"
#include "bitmap/TBitmap32.h"
#include "core/editorCore.h"
#include "core/spriteAnalysis.h"
#include "image/PNG.h"
#include "sprite/TSpriteFile.h"
#include "ui/EditHistory.h"
#include "ui/FileChooser.h"
#include "ui/TfrmMain.h"

namespace {

QString benchBase() {
  if (const char* dir = std::getenv("TESS_BENCH_DIR")) return QString::fromLocal8Bit(dir);
  return QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
}

class ScriptChooser : public tess::IFileChooser {
 public:
  QStringList openFiles(tess::TFileDialogSetup&) override { return {openFile}; }
  QString saveFile(tess::TFileDialogSetup&) override { return {}; }
  QString folder(const QString&, QWidget*) override { return folderAnswer; }
  QString openFile;
  QString folderAnswer;
};

// `count` sprites of which every tenth is empty and every seventh repeats an earlier image, the
// others all different.
void fill(tess::TEditorCore& core, int count) {
  auto& sprites = core.spriteFile.Sprites;
  sprites.clear();
  sprites.reserve(static_cast<std::size_t>(count));
  for (int id = 1; id <= count; ++id) {
    auto sprite = std::make_unique<tess::TSprite>();
    sprite->setID(id);
    if (id % 10 != 0) {
      const int look = id % 7 == 0 ? id / 7 : id;
      sprite->isDUmmy = false;
      sprite->bitmap = std::make_unique<tess::TBitmap32>();
      sprite->bitmap->SetSizeAndFill(32, 32, 0xFF000000u | static_cast<std::uint32_t>(look));
      sprite->bitmap->FBits()[look % 1024] = 0xFF00FF00u;
    }
    sprites.push_back(std::move(sprite));
  }
  core.spriteFile.loaded = true;
}

class Editor {
 public:
  Editor() : dir(benchBase() + QStringLiteral("/tess-bench-XXXXXX")), core(host) {
    tess::bench::writeOneVersionConfig(dir.path());
    main = std::make_unique<tess::TfrmMain>(core, host, chooser, nullptr, dir.path());
    main->progressDelayMs = 1 << 30;  // the time of the work itself, without a progress window
    main->show();
  }

  void load(int count) {
    main->history().reset();
    fill(core, count);
    main->loadSprites();
    QApplication::processEvents();
  }

  QTemporaryDir dir;
  tess::bench::BenchHost host;
  tess::TEditorCore core;
  ScriptChooser chooser;
  std::unique_ptr<tess::TfrmMain> main;
};

Editor& editor() {
  static Editor instance;
  return instance;
}

void BM_ImportSheet4096(benchmark::State& state) {
  Editor& e = editor();
  tess::TBitmap32 sheet;
  sheet.SetSizeAndFill(4096, 4096, 0);
  for (int i = 0; i < 4096 * 4096; ++i) {
    sheet.FBits()[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 2654435761u >> 8);
  }
  e.chooser.openFile = e.dir.filePath(QStringLiteral("sheet.png"));
  tess::savePngFile(sheet, e.chooser.openFile.toStdString());
  for (auto _ : state) {
    state.PauseTiming();
    e.load(10);
    state.ResumeTiming();
    e.main->ImportSheet1Click();
    if (e.core.spriteFile.Sprites.size() != 10 + 16384) state.SkipWithError("tiles missing");
  }
  state.counters["tiles"] = 16384;
}
BENCHMARK(BM_ImportSheet4096)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SelectDuplicatesOfAMillion(benchmark::State& state) {
  Editor& e = editor();
  e.load(1000000);
  for (auto _ : state) e.main->SelectDuplicates1Click();
  state.counters["selected"] = static_cast<double>(e.main->getSelectedItems().size());
  e.load(10);
}
BENCHMARK(BM_SelectDuplicatesOfAMillion)->Unit(benchmark::kMillisecond)->Iterations(3);

// The search alone, without the selection and the rows.
void BM_FindDuplicatesOfAMillion(benchmark::State& state) {
  Editor& e = editor();
  e.load(1000000);
  std::size_t groups = 0;
  for (auto _ : state) groups = tess::findDuplicates(e.core.spriteFile.Sprites).size();
  state.counters["groups"] = static_cast<double>(groups);
  e.load(10);
}
BENCHMARK(BM_FindDuplicatesOfAMillion)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Export100000(benchmark::State& state) {
  Editor& e = editor();
  e.load(100000);
  std::size_t written = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const QString folder = e.dir.filePath(QStringLiteral("export"));
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    e.chooser.folderAnswer = folder;
    e.main->SpriteListBox->selectAll();
    state.ResumeTiming();
    e.main->Export1Click();
    state.PauseTiming();
    written = static_cast<std::size_t>(QDir(folder).entryList(QDir::Files).size());
    QDir(folder).removeRecursively();
    state.ResumeTiming();
  }
  if (written != 90000) state.SkipWithError("not every sprite was written");
  state.counters["files_per_s"] = benchmark::Counter(static_cast<double>(written),
                                                     benchmark::Counter::kIsIterationInvariantRate);
  e.load(10);
}
BENCHMARK(BM_Export100000)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace

int main(int argc, char** argv) { return tess::bench::runWindowBenchmarks(argc, argv); }

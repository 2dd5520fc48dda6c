// Undo and redo of the two largest steps a user makes on a 100,000-sprite file: a Clear of every
// row and a Clone of every row, through the main window's Edit menu handlers, and the memory the
// history keeps for them.
//
// Run headless: QT_QPA_PLATFORM=offscreen ./ui_bench_undo

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QListView>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <memory>
#include <stdexcept>

#include "BenchHost.h"
#include "bitmap/TBitmap32.h"
#include "core/editorCore.h"
#include "sprite/TSpriteFile.h"
#include "ui/EditHistory.h"
#include "ui/FileChooser.h"
#include "ui/TfrmMain.h"

namespace {

constexpr int kSprites = 100000;

class NoChooser : public tess::IFileChooser {
 public:
  QStringList openFiles(tess::TFileDialogSetup&) override { return {}; }
  QString saveFile(tess::TFileDialogSetup&) override { return {}; }
  QString folder(const QString&, QWidget*) override { return {}; }
};

class Editor {
 public:
  Editor() : core(host) {
    tess::bench::writeOneVersionConfig(dir.path());
    main = std::make_unique<tess::TfrmMain>(core, host, chooser, nullptr, dir.path());
    core.spriteFile.Sprites.reserve(kSprites);
    for (int id = 1; id <= kSprites; ++id) {
      auto sprite = std::make_unique<tess::TSprite>();
      sprite->setID(id);
      sprite->isDUmmy = false;
      sprite->bitmap = std::make_unique<tess::TBitmap32>();
      sprite->bitmap->SetSizeAndFill(32, 32,
                                     tess::PackColor32(static_cast<std::uint8_t>(id), 40, 80, 255));
      core.spriteFile.Sprites.push_back(std::move(sprite));
    }
    core.spriteFile.loaded = true;
    main->loadSprites();
    main->show();
    QApplication::processEvents();
  }

  // Runs the command on every row, so that its step is the one on top of the history.
  void stepOnEveryRow(void (tess::TfrmMain::*command)()) {
    main->history().reset();
    main->SpriteListBox->selectAll();
    (main.get()->*command)();
    if (!main->history().canUndo()) throw std::runtime_error("the command made no step");
  }

  std::size_t sprites() const { return core.spriteFile.Sprites.size(); }

  QTemporaryDir dir;
  tess::bench::BenchHost host;
  tess::TEditorCore core;
  NoChooser chooser;
  std::unique_ptr<tess::TfrmMain> main;
};

Editor& editor() {
  static Editor instance;
  return instance;
}

// One iteration is an undo and a redo of the same step; each is timed on its own as well.
void undoRedo(benchmark::State& state, void (tess::TfrmMain::*command)(), std::size_t undone,
              std::size_t done) {
  Editor& e = editor();
  e.stepOnEveryRow(command);
  double undoSeconds = 0;
  double redoSeconds = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    e.main->Undo1Click();
    auto middle = std::chrono::steady_clock::now();
    e.main->Redo1Click();
    auto end = std::chrono::steady_clock::now();
    undoSeconds += std::chrono::duration<double>(middle - start).count();
    redoSeconds += std::chrono::duration<double>(end - middle).count();
    if (e.sprites() != done) state.SkipWithError("redo did not bring the step back");
  }
  // What the history keeps with the step done, and with it undone (an undone Clone keeps the
  // copies it took back, so that its redo need not copy every image again).
  const double heldDone = static_cast<double>(e.main->history().heldBytes());
  e.main->Undo1Click();
  if (e.sprites() != undone) state.SkipWithError("undo did not take the step back");
  const double iterations = static_cast<double>(state.iterations());
  state.counters["undo_ms"] = 1000 * undoSeconds / iterations;
  state.counters["redo_ms"] = 1000 * redoSeconds / iterations;
  state.counters["history_B_per_sprite_done"] = heldDone / kSprites;
  state.counters["history_B_per_sprite_undone"] =
      static_cast<double>(e.main->history().heldBytes()) / kSprites;
  e.main->history().reset();
}

void BM_UndoRedoClearAll(benchmark::State& state) {
  undoRedo(state, &tess::TfrmMain::Clear1Click, kSprites, kSprites);
}
BENCHMARK(BM_UndoRedoClearAll)->Unit(benchmark::kMillisecond);

void BM_UndoRedoCloneAll(benchmark::State& state) {
  undoRedo(state, &tess::TfrmMain::Clone1Click, kSprites, 2 * kSprites);
}
BENCHMARK(BM_UndoRedoCloneAll)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return tess::bench::runWindowBenchmarks(argc, argv); }

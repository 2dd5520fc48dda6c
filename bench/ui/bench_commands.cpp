// The sprite editing commands on a 100,000-sprite file: cloning every row, cloning a scattered
// selection, clearing every row, and adding one picture at the end of the big file.
//
// Run headless: QT_QPA_PLATFORM=offscreen ./ui_bench_commands

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QItemSelectionModel>
#include <QListView>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>
#include <string>

#include "BenchHost.h"
#include "bitmap/TBitmap32.h"
#include "core/editorCore.h"
#include "image/PNG.h"
#include "sprite/TSpriteFile.h"
#include "ui/EditHistory.h"
#include "ui/FileChooser.h"
#include "ui/QtHost.h"
#include "ui/SpriteListModel.h"
#include "ui/TfrmMain.h"

namespace {

constexpr int kSprites = 100000;

using tess::bench::BenchHost;

// Answers every open dialog with the same file.
class FixedChooser : public tess::IFileChooser {
 public:
  QStringList openFiles(tess::TFileDialogSetup&) override { return {file}; }
  QString saveFile(tess::TFileDialogSetup&) override { return {}; }
  QString folder(const QString&, QWidget*) override { return {}; }
  QString file;
};

std::unique_ptr<tess::TSprite> makeSprite(std::int32_t id) {
  auto sprite = std::make_unique<tess::TSprite>();
  sprite->setID(id);
  sprite->isDUmmy = false;
  sprite->bitmap = std::make_unique<tess::TBitmap32>();
  sprite->bitmap->SetSizeAndFill(32, 32,
                                 tess::PackColor32(static_cast<std::uint8_t>(id), 40, 80, 255));
  return sprite;
}

class Editor {
 public:
  Editor() : core(host) {
    tess::bench::writeOneVersionConfig(dir.path());
    tess::TBitmap32 picture;
    picture.SetSizeAndFill(32, 32, 0xFF336699u);
    chooser.file = dir.filePath("picture.png");
    tess::savePngFile(picture, chooser.file.toStdString());

    main = std::make_unique<tess::TfrmMain>(core, host, chooser, nullptr, dir.path());
    core.spriteFile.Sprites.reserve(kSprites);
    for (int id = 1; id <= kSprites; ++id) core.spriteFile.Sprites.push_back(makeSprite(id));
    core.spriteFile.loaded = true;
    main->show();
    reset();
  }

  // Back to the 100,000 sprites with their rows, nothing selected.
  void reset() {
    core.spriteFile.Sprites.resize(kSprites);
    main->history().reset();
    main->loadSprites();
    QApplication::processEvents();
  }

  void selectEvery(int step) {
    QItemSelection selection;
    tess::TSpriteListModel& model = *main->spriteListModel;
    for (int row = 0; row < kSprites; row += step) {
      selection.select(model.index(row), model.index(row));
    }
    main->SpriteListBox->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
  }

  QTemporaryDir dir;
  BenchHost host;
  tess::TEditorCore core;
  FixedChooser chooser;
  std::unique_ptr<tess::TfrmMain> main;
};

Editor& editor() {
  static Editor instance;
  return instance;
}

// A command that was refused or failed would time nothing; the run then stops with an error.
bool ran(benchmark::State& state, const Editor& e, std::size_t sprites) {
  if (e.core.spriteFile.Sprites.size() == sprites) return true;
  state.SkipWithError(("the command left " + std::to_string(e.core.spriteFile.Sprites.size()) +
                       " sprites, not " + std::to_string(sprites))
                          .c_str());
  return false;
}

void BM_CloneAllRows(benchmark::State& state) {
  Editor& e = editor();
  for (auto _ : state) {
    state.PauseTiming();
    e.reset();
    e.main->SpriteListBox->selectAll();
    state.ResumeTiming();
    e.main->Clone1Click();
    state.PauseTiming();
    const bool cloned = ran(state, e, 2 * kSprites);
    state.ResumeTiming();
    if (!cloned) break;
  }
  state.counters["sprites"] = static_cast<double>(e.core.spriteFile.Sprites.size());
}
BENCHMARK(BM_CloneAllRows)->Unit(benchmark::kMillisecond);

// Every hundredth row: 1,000 separate selection ranges.
void BM_CloneScatteredRows(benchmark::State& state) {
  Editor& e = editor();
  for (auto _ : state) {
    state.PauseTiming();
    e.reset();
    e.selectEvery(100);
    state.ResumeTiming();
    e.main->Clone1Click();
    state.PauseTiming();
    const bool cloned = ran(state, e, kSprites + kSprites / 100);
    state.ResumeTiming();
    if (!cloned) break;
  }
  state.counters["sprites"] = static_cast<double>(e.core.spriteFile.Sprites.size());
}
BENCHMARK(BM_CloneScatteredRows)->Unit(benchmark::kMillisecond);

void BM_ClearAllRows(benchmark::State& state) {
  Editor& e = editor();
  e.reset();
  e.main->SpriteListBox->selectAll();
  const tess::TSprite& first = *e.core.spriteFile.Sprites.front();
  const tess::TSprite& last = *e.core.spriteFile.Sprites.back();
  for (auto _ : state) {
    const bool wasEmpty = first.isDUmmy;
    e.main->Clear1Click();
    // Every run toggles every row.
    if (first.isDUmmy == wasEmpty || last.isDUmmy != first.isDUmmy) {
      state.SkipWithError("the clear did not toggle every row");
      break;
    }
  }
}
BENCHMARK(BM_ClearAllRows)->Unit(benchmark::kMillisecond);

void BM_AddOnePicture(benchmark::State& state) {
  Editor& e = editor();
  for (auto _ : state) {
    state.PauseTiming();
    e.reset();
    state.ResumeTiming();
    e.main->Add2Click();
    state.PauseTiming();
    const bool added = ran(state, e, kSprites + 1);
    state.ResumeTiming();
    if (!added) break;
  }
}
BENCHMARK(BM_AddOnePicture)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return tess::bench::runWindowBenchmarks(argc, argv); }

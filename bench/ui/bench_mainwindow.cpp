// The main window's sprite list at scale: rebuilding the rows of a 1,000,000-sprite file, painting
// one screenful of rows, and jumping from the first to the last row and painting there.
//
// Run headless: QT_QPA_PLATFORM=offscreen ./ui_bench_mainwindow

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QListView>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>
#include <string>

#include "../support/GradientSprites.h"
#include "BenchHost.h"
#include "bitmap/TBitmap32.h"
#include "core/editorCore.h"
#include "sprite/TSpriteFile.h"
#include "ui/FileChooser.h"
#include "ui/QtHost.h"
#include "ui/SpriteListModel.h"
#include "ui/TfrmMain.h"

namespace {

constexpr int kSprites = 1000000;

using tess::bench::BenchHost;

// The editor with a 1,000,000-sprite file in memory. Only the rows near both ends carry
// pictures (4 KB each); the rows between are empty sprites, which cost the list the same.
class Editor {
 public:
  Editor() : core(host) {
    tess::bench::writeOneVersionConfig(dir.path());
    main = std::make_unique<tess::TfrmMain>(core, host, chooser, nullptr, dir.path());
    core.spriteFile.Sprites.reserve(kSprites);
    for (int id = 1; id <= kSprites; ++id) {
      const bool nearAnEnd = id <= 100 || id > kSprites - 100;
      core.spriteFile.Sprites.push_back(tess::bench::gradientSprite(id, nearAnEnd));
    }
    core.spriteFile.loaded = true;
    main->show();
    QApplication::processEvents();
  }

  QImage paintViewport() const {
    return tess::bench::renderedImage(main->SpriteListBox->viewport());
  }

  QTemporaryDir dir;
  BenchHost host;
  tess::TEditorCore core;
  tess::QtFileChooser chooser;
  std::unique_ptr<tess::TfrmMain> main;
};

Editor& editor() {
  static Editor instance;
  return instance;
}

void BM_LoadSprites(benchmark::State& state) {
  Editor& e = editor();
  for (auto _ : state) {
    e.main->loadSprites();
    benchmark::DoNotOptimize(e.main->SpritesIndex.data());
  }
  state.counters["rows"] = static_cast<double>(e.main->SpritesIndex.size());
}
BENCHMARK(BM_LoadSprites)->Unit(benchmark::kMillisecond);

void BM_RebuildModelOnly(benchmark::State& state) {
  Editor& e = editor();
  for (auto _ : state) {
    e.main->spriteListModel->rebuild(e.core.spriteFile.Sprites);
    benchmark::DoNotOptimize(e.main->SpritesIndex.data());
  }
}
BENCHMARK(BM_RebuildModelOnly)->Unit(benchmark::kMillisecond);

void BM_PaintScreenful(benchmark::State& state) {
  Editor& e = editor();
  e.main->loadSprites();
  QListView& list = *e.main->SpriteListBox;
  list.selectionModel()->select(list.model()->index(3, 0), QItemSelectionModel::Select);
  list.scrollToTop();
  for (auto _ : state) {
    QImage image = e.paintViewport();
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_PaintScreenful)->Unit(benchmark::kMicrosecond);

void BM_ScrollFirstToLastAndPaint(benchmark::State& state) {
  Editor& e = editor();
  e.main->loadSprites();
  QListView& list = *e.main->SpriteListBox;
  for (auto _ : state) {
    state.PauseTiming();
    list.scrollToTop();
    state.ResumeTiming();
    list.scrollToBottom();
    QImage image = e.paintViewport();
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_ScrollFirstToLastAndPaint)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return tess::bench::runWindowBenchmarks(argc, argv); }

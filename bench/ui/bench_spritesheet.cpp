// The sprite sheet window over a 1,000,000-sprite file: what opening it adds to the process, and
// scrolling from the first cell to the last one screenful at a time, painting each screenful.
//
// Run headless: QT_QPA_PLATFORM=offscreen ./ui_bench_spritesheet

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QScrollBar>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "../support/GradientSprites.h"
#include "BenchHost.h"
#include "bitmap/TBitmap32.h"
#include "core/editorCore.h"
#include "sprite/TSpriteFile.h"
#include "ui/FileChooser.h"
#include "ui/SpriteSheetView.h"
#include "ui/TfrmMain.h"
#include "ui/TfrmSpriteSheet.h"

namespace {

constexpr int kSprites = 1000000;
// Sprites with a picture: both ends of the file. The ones between are empty (a 32-bit file of a
// million pictures would take 4 GB); the screenfuls of pictures are timed on their own.
constexpr int kPicturedAtEachEnd = 20000;
const QSize kSheetWindow(640, 480);

using tess::bench::BenchHost;

// Resident memory of the process in KB, from /proc/self/statm.
long residentKb() {
  QFile statm(QStringLiteral("/proc/self/statm"));
  if (!statm.open(QIODevice::ReadOnly)) return -1;
  const QList<QByteArray> fields = statm.readAll().split(' ');
  if (fields.size() < 2) return -1;
  return fields[1].toLong() * 4;
}

class Editor {
 public:
  Editor() : core(host) {
    tess::bench::writeOneVersionConfig(dir.path());
    main = std::make_unique<tess::TfrmMain>(core, host, chooser, nullptr, dir.path());
    core.spriteFile.Sprites.reserve(kSprites);
    for (int id = 1; id <= kSprites; ++id) {
      const bool pictured = id <= kPicturedAtEachEnd || id > kSprites - kPicturedAtEachEnd;
      core.spriteFile.Sprites.push_back(
          tess::bench::gradientSprite(id, pictured, tess::bench::GradientAlpha::Fading));
    }
    core.spriteFile.loaded = true;
    main->loadSprites();
    main->resize(1024, 768);
    main->show();
    QApplication::processEvents();
  }

  tess::TSpriteSheetView& sheet() const { return *main->spriteSheetDialog->sheet; }

  void openSheet() {
    main->SpriteSheet1Click();
    main->spriteSheetDialog->frame()->resize(kSheetWindow);
    QApplication::processEvents();
  }

  QImage paintViewport() const { return tess::bench::renderedImage(sheet().viewport()); }

  // Scrolls a screenful at a time over [from, to] of the scroll range, painting each; returns the
  // number of screenfuls painted.
  long scrollAndPaint(int from, int to) const {
    QScrollBar* bar = sheet().verticalScrollBar();
    long screens = 0;
    for (int value = from;; value += bar->pageStep()) {
      bar->setValue(std::min(value, to));
      QImage image = paintViewport();
      benchmark::DoNotOptimize(image.constBits());
      ++screens;
      if (value >= to) break;
    }
    return screens;
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

void BM_OpenSheetWindow(benchmark::State& state) {
  Editor& e = editor();
  long added = 0;
  for (auto _ : state) {
    if (e.main->spriteSheetDialog) {
      state.PauseTiming();
      e.main->spriteSheetDialog->closeWindow();
      QApplication::processEvents();
      state.ResumeTiming();
    }
    const long before = residentKb();
    e.openSheet();
    QImage image = e.paintViewport();
    benchmark::DoNotOptimize(image.constBits());
    added = residentKb() - before;
  }
  state.counters["rss_added_kb"] = static_cast<double>(added);
}
BENCHMARK(BM_OpenSheetWindow)->Unit(benchmark::kMillisecond)->Iterations(3);

// The whole file, first cell to last.
void BM_ScrollFirstToLastEachScreenful(benchmark::State& state) {
  Editor& e = editor();
  if (!e.main->spriteSheetDialog) e.openSheet();
  long screens = 0;
  double seconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    screens = e.scrollAndPaint(0, e.sheet().verticalScrollBar()->maximum());
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  state.counters["screenfuls"] = static_cast<double>(screens);
  state.counters["ms_per_screenful"] = seconds * 1000.0 / static_cast<double>(screens);
}
BENCHMARK(BM_ScrollFirstToLastEachScreenful)->Unit(benchmark::kMillisecond)->Iterations(1);

// Only screenfuls full of pictures, at each cell size: the costly case.
void BM_ScreenfulsOfPictures(benchmark::State& state) {
  Editor& e = editor();
  if (!e.main->spriteSheetDialog) e.openSheet();
  tess::TSpriteSheetView& sheet = e.sheet();
  sheet.setCellZoom(static_cast<int>(state.range(0)));
  QApplication::processEvents();
  const QRect lastPictured = sheet.visualRect(sheet.model()->index(kPicturedAtEachEnd - 1, 0))
                                 .translated(0, sheet.verticalScrollBar()->value());
  const int to = std::max(0, lastPictured.top() - sheet.viewport()->height());
  long screens = 0;
  double seconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    screens = e.scrollAndPaint(0, to);
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  state.counters["screenfuls"] = static_cast<double>(screens);
  state.counters["ms_per_screenful"] = seconds * 1000.0 / static_cast<double>(screens);
  sheet.setCellZoom(1);
}
BENCHMARK(BM_ScreenfulsOfPictures)
    ->Arg(1)
    ->Arg(2)
    ->Arg(4)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace

int main(int argc, char** argv) { return tess::bench::runWindowBenchmarks(argc, argv); }

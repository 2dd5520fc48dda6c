// The client assets window over a catalog the size of a real client's (4,400 sheets): the time
// from File > Open client assets to the first screenful painted, and a screenful further down
// painted from sheets not yet decoded.
//
// Only the sheets a screenful needs are ever read, so every catalog entry names one hard link of
// a single sheet file: the catalog is full size, the disk holds one sheet.
//
// Run headless: QT_QPA_PLATFORM=offscreen ./ui_bench_assets_window

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QScrollBar>
#include <QTemporaryDir>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "BenchHost.h"
#include "assets/assetCatalog.h"
#include "assets/assetStore.h"
#include "assets/sheetWriter.h"
#include "bitmap/TBitmap32.h"
#include "core/editorCore.h"
#include "ui/AssetsGridModel.h"
#include "ui/AssetsGridView.h"
#include "ui/FileChooser.h"
#include "ui/TfrmAssets.h"
#include "ui/TfrmMain.h"

namespace {

constexpr int kSheets = 4400;
const QSize kWindow(1024, 768);

// Answers every folder dialog with one folder.
class FolderChooser : public tess::IFileChooser {
 public:
  QString answer;
  QStringList openFiles(tess::TFileDialogSetup&) override { return {}; }
  QString saveFile(tess::TFileDialogSetup&) override { return {}; }
  QString folder(const QString&, QWidget*) override { return answer; }
};

// A 384x384 sheet's worth of 32x32 sprites, a different colour each, written by the program's
// writer; the name of its file.
std::string writeOneSheet(const std::string& folder) {
  tess::assets::TAssetCatalog scratch;
  std::string reason;
  if (!scratch.parse("[]\n", folder + "/scratch.json", reason)) return {};
  std::vector<tess::TBitmap32> sprites(144);
  std::vector<const tess::TBitmap32*> pointers;
  for (int i = 0; i < 144; ++i) {
    sprites[i].SetSizeAndFill(32, 32,
                              tess::PackColor32(static_cast<std::uint8_t>(i * 7), 90,
                                                static_cast<std::uint8_t>(255 - i), 255));
    pointers.push_back(&sprites[i]);
  }
  tess::assets::TSheetsWritten written;
  if (!tess::assets::writeSheets(scratch, pointers, tess::assets::TSheetType::Small, 1, written,
                                 reason)) {
    return {};
  }
  return written.sheets.front().file;
}

// The catalog: the sheet types in turn, IDs consecutive, every entry a hard link of `sheet`.
bool writeClient(const std::string& folder, const std::string& sheet, std::int64_t& sprites) {
  namespace fs = std::filesystem;
  std::string text = "[\n";
  std::int64_t next = 1;
  for (int i = 0; i < kSheets; ++i) {
    const auto type = static_cast<tess::assets::TSheetType>(i % tess::assets::kSheetTypeCount);
    const std::int64_t count = tess::assets::cellsPerSheet(type);
    const std::string name = "sheet-" + std::to_string(i) + ".bmp.lzma";
    std::error_code error;
    fs::create_hard_link(fs::path(folder) / sheet, fs::path(folder) / name, error);
    if (error) fs::copy_file(fs::path(folder) / sheet, fs::path(folder) / name, error);
    if (error) return false;
    text += std::string(i ? ",\n" : "") + R"({"type":"sprite","file":")" + name +
            R"(","spritetype":)" + std::to_string(static_cast<int>(type)) + R"(,"firstspriteid":)" +
            std::to_string(next) + R"(,"lastspriteid":)" + std::to_string(next + count - 1) +
            R"(,"area":64})";
    next += count;
  }
  text += "\n]\n";
  sprites = next - 1;
  QFile catalog(QString::fromStdString(folder + "/catalog-content.json"));
  return catalog.open(QIODevice::WriteOnly) &&
         catalog.write(text.data(), static_cast<qint64>(text.size())) ==
             static_cast<qint64>(text.size());
}

class Editor {
 public:
  Editor() : core(host) {
    tess::bench::writeOneVersionConfig(dir.path());
    const std::string folder = QDir(dir.path()).filePath("client").toStdString();
    QDir().mkpath(QString::fromStdString(folder));
    const std::string sheet = writeOneSheet(folder);
    ready = !sheet.empty() && writeClient(folder, sheet, sprites);
    chooser.answer = QString::fromStdString(folder);
    main = std::make_unique<tess::TfrmMain>(core, host, chooser, nullptr, dir.path());
    main->resize(kWindow);
    main->show();
    QApplication::processEvents();
  }

  tess::TAssetsGridView& grid() const { return *main->assetsDialog->grid; }

  QTemporaryDir dir;
  tess::bench::BenchHost host;
  tess::TEditorCore core;
  FolderChooser chooser;
  std::unique_ptr<tess::TfrmMain> main;
  std::int64_t sprites = 0;
  bool ready = false;
};

Editor& editor() {
  static Editor instance;
  return instance;
}

void BM_OpenToFirstScreen(benchmark::State& state) {
  Editor& e = editor();
  if (!e.ready) {
    state.SkipWithError("could not write the client");
    return;
  }
  for (auto _ : state) {
    if (e.main->assetsDialog) {
      state.PauseTiming();
      e.main->assetsDialog->closeWindow();
      QApplication::processEvents();
      state.ResumeTiming();
    }
    e.main->OpenAssets1Click();
    QImage image = tess::bench::renderedImage(e.grid().viewport());
    benchmark::DoNotOptimize(image.constBits());
  }
  state.counters["sprites"] = static_cast<double>(e.main->assetsDialog->model->rowCount());
  state.counters["sheets_decoded"] =
      static_cast<double>(e.main->assetsDialog->store()->sheetsDecoded());
}
BENCHMARK(BM_OpenToFirstScreen)->Unit(benchmark::kMillisecond)->Iterations(5);

// A screenful in the middle of the catalog: sheets the cache has not seen.
void BM_JumpAndPaint(benchmark::State& state) {
  Editor& e = editor();
  if (!e.ready) {
    state.SkipWithError("could not write the client");
    return;
  }
  if (!e.main->assetsDialog) e.main->OpenAssets1Click();
  QScrollBar* bar = e.grid().verticalScrollBar();
  int step = 0;
  for (auto _ : state) {
    bar->setValue(bar->maximum() / 7 * (1 + step++ % 6));
    QImage image = tess::bench::renderedImage(e.grid().viewport());
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_JumpAndPaint)->Unit(benchmark::kMillisecond)->Iterations(12);

}  // namespace

int main(int argc, char** argv) { return tess::bench::runWindowBenchmarks(argc, argv); }

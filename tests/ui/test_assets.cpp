// A client's assets folder beside the sprite file: opening it, the grid of its sprites, the
// search, adding its sprites (by button and by dragging) as one step, the failures that must lose
// nothing, and writing selected sprites out as new sheets that read back exactly.

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QImage>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMdiArea>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "UiTestSupport.h"
#include "assets/AssetsTestSupport.h"
#include "assets/assetStore.h"
#include "assets/assetTiles.h"
#include "assets/sheetWriter.h"
#include "bitmap/TBitmap32.h"
#include "sprite/TSpriteFile.h"
#include "ui/AssetsGridModel.h"
#include "ui/AssetsGridView.h"
#include "ui/BulkCommands.h"
#include "ui/EditHistory.h"
#include "ui/SpriteListModel.h"
#include "ui/StatusLine.h"
#include "ui/TfrmAssets.h"

using tess::TBitmap32;
using tess::TfrmAssets;
using tess::TSprite;
using tess::assets::TSheetType;
using tess::testing::EditorFixture;

namespace {

// The synthetic client: IDs 1-5 of 32x32, 100-102 of 64x64, 200-201 of 64x32, gaps between.
// The second sprite of every sheet has a fully transparent top-left tile.
struct SheetPlan {
  TSheetType type;
  std::int64_t firstId;
  int count;
  int seed;
};
const SheetPlan kPlan[] = {
    {TSheetType::Small, 1, 5, 1},
    {TSheetType::Large, 100, 3, 20},
    {TSheetType::Wide, 200, 2, 40},
};
const std::vector<std::int64_t> kIds = {1, 2, 3, 4, 5, 100, 101, 102, 200, 201};

// Writes the client into `folder` with the program's own writer; the sheet files it wrote, in
// the plan's order.
QStringList writeClient(const QString& folder) {
  QDir().mkpath(folder);
  tess::assets::TAssetCatalog catalog;
  std::string reason;
  const std::string path = QDir(folder).filePath("catalog-content.json").toStdString();
  if (!catalog.parse("[]\n", path, reason)) qFatal("catalog: %s", reason.c_str());
  QStringList files;
  for (const SheetPlan& plan : kPlan) {
    const std::vector<TBitmap32> sprites =
        tess::testing::patternSprites(plan.type, plan.count, plan.seed);
    const std::vector<const TBitmap32*> pointers = tess::testing::pointersTo(sprites);
    tess::assets::TSheetsWritten written;
    if (!tess::assets::writeSheets(catalog, pointers, plan.type, plan.firstId, written, reason)) {
      qFatal("sheets: %s", reason.c_str());
    }
    files << QString::fromStdString(written.sheets.front().file);
  }
  return files;
}

// The library's own reading of asset sprite `id`, cut into tiles.
std::vector<std::unique_ptr<TBitmap32>> libraryTiles(const QString& folder, std::int64_t id) {
  tess::assets::TAssetStore store;
  std::string reason;
  TBitmap32 sprite;
  if (!store.open(folder.toStdString(), reason) || !store.spriteImage(id, sprite, reason)) {
    qFatal("library: %s", reason.c_str());
  }
  return tess::assets::cutIntoTiles(sprite);
}

// Whether the file's sprites from `firstId` on are exactly `tiles`: a missing tile an empty
// sprite, every other one the same pixels.
bool spritesAre(const EditorFixture& f, std::int32_t firstId,
                const std::vector<std::unique_ptr<TBitmap32>>& tiles) {
  for (std::size_t k = 0; k < tiles.size(); ++k) {
    const TSprite* sprite = f.core.spriteFile.GetSpriteByID(firstId + static_cast<int>(k));
    if (!sprite) return false;
    if (!tiles[k]) {
      if (!sprite->isDUmmy) return false;
      continue;
    }
    if (sprite->isDUmmy || !sprite->bitmap ||
        !tess::testing::samePixels(*sprite->bitmap, *tiles[k])) {
      return false;
    }
  }
  return true;
}

TfrmAssets& openAssets(EditorFixture& f, const QString& folder) {
  f.chooser.folderAnswers.push_back(folder);
  f.main->OpenAssets1->trigger();
  if (!f.main->assetsDialog) qFatal("no assets window");
  TfrmAssets& window = *f.main->assetsDialog;
  window.frame()->resize(520, 420);
  QApplication::processEvents();
  return window;
}

std::vector<std::int64_t> shownIds(const TfrmAssets& window) {
  std::vector<std::int64_t> ids;
  for (int row = 0; row < window.model->rowCount(); ++row) ids.push_back(*window.model->idAt(row));
  return ids;
}

void selectIds(TfrmAssets& window, const std::vector<std::int64_t>& ids) {
  QItemSelectionModel& selection = *window.grid->selectionModel();
  selection.clearSelection();
  for (const std::int64_t id : ids) {
    const QModelIndex index = window.model->index(*window.model->rowOf(id));
    selection.select(index, QItemSelectionModel::Select);
  }
}

// Drops `mime` on `target` as a drag from another widget would: entering, then the drop.
bool dropOn(QWidget* target, QMimeData& mime) {
  const QPoint at = target->rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
  return drop.isAccepted();
}

std::size_t spriteCount(const EditorFixture& f) { return f.core.spriteFile.Sprites.size(); }

QString statusSummary(const EditorFixture& f) {
  const QStringList& lines = f.main->statusLine().lines();
  return lines.isEmpty() ? QString() : lines.first();
}

// Where the grid paints pixel (x, y) of the sprite in `row`.
QPoint spritePixelAt(const TfrmAssets& window, int row, int width, int height, int x, int y) {
  const QRect cell = window.grid->visualRect(window.model->index(row));
  const int side = tess::TAssetsGridView::kSquare;
  const QPoint square(cell.left() + (cell.width() - side) / 2,
                      cell.top() + tess::TAssetsGridView::kMargin);
  return square + QPoint((side - width) / 2 + x, (side - height) / 2 + y);
}

}  // namespace

class AssetsTest : public QObject {
  Q_OBJECT

 private slots:
  // The grid lists every sprite of the catalog in ID order across the gaps, painted from the
  // sheets; a second open replaces the source in the same window.
  void openShowsTheCatalogInOrder() {
    EditorFixture f;
    const QString folder = f.path("client");
    writeClient(folder);
    TfrmAssets& window = openAssets(f, folder);
    QCOMPARE(f.chooser.calls.back().kind, tess::testing::ScriptedChooser::Kind::Folder);
    QCOMPARE(shownIds(window), kIds);
    QVERIFY(statusSummary(f).startsWith("Opened client assets: 10 sprites in 3 sheets"));
    QVERIFY(f.host.messages.empty());

    const QImage shown = window.grid->viewport()->grab().toImage();
    tess::assets::TAssetStore store;
    std::string reason;
    QVERIFY(store.open(folder.toStdString(), reason));
    for (const int row : {0, 6, 9}) {
      TBitmap32 sprite;
      QVERIFY(store.spriteImage(kIds[row], sprite, reason));
      int checked = 0;
      for (int y = 0; y < sprite.Height(); y += 7) {
        for (int x = 0; x < sprite.Width(); x += 5) {
          const tess::TColor32 pixel = sprite.GetPixel(x, y);
          if (pixel >> 24 != 0xFF) continue;
          const QPoint at = spritePixelAt(window, row, sprite.Width(), sprite.Height(), x, y);
          QCOMPARE(shown.pixel(at), static_cast<QRgb>(pixel));
          ++checked;
        }
      }
      QVERIFY(checked > 10);
    }

    // Another client in the same window.
    const QString other = f.path("other");
    QDir().mkpath(other);
    tess::assets::TAssetCatalog catalog;
    QVERIFY(
        catalog.parse("[]\n", QDir(other).filePath("catalog-content.json").toStdString(), reason));
    const std::vector<TBitmap32> sprites = tess::testing::patternSprites(TSheetType::Tall, 2, 7);
    tess::assets::TSheetsWritten written;
    QVERIFY(tess::assets::writeSheets(catalog, tess::testing::pointersTo(sprites), TSheetType::Tall,
                                      50, written, reason));
    TfrmAssets& again = openAssets(f, other);
    QCOMPARE(&again, &window);
    QCOMPARE(shownIds(window), (std::vector<std::int64_t>{50, 51}));
    QCOMPARE(f.main->childArea->subWindowList().size(), 1);
  }

  // The search brings an ID into view and selects it; an ID no sheet holds is said so in the
  // window, leaving the selection.
  void search_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("byEnter");
    QTest::addColumn<int>("selectedRow");  // -1: the earlier selection stays
    QTest::addColumn<QString>("label");
    QTest::newRow("first sheet, Enter") << "3" << true << 2 << "Sprite 3: 32x32";
    QTest::newRow("last sheet, Go") << "201" << false << 9 << "Sprite 201: 64x32";
    QTest::newRow("in a gap") << "150" << true << -1 << "No sheet holds sprite 150.";
    QTest::newRow("before the first") << "0" << false << -1 << "No sheet holds sprite 0.";
    QTest::newRow("beyond the last")
        << "9999" << true << -1 << "Sprite 9999 is beyond the last one (201).";
  }
  void search() {
    QFETCH(QString, typed);
    QFETCH(bool, byEnter);
    QFETCH(int, selectedRow);
    QFETCH(QString, label);
    EditorFixture f;
    const QString folder = f.path("client");
    writeClient(folder);
    TfrmAssets& window = openAssets(f, folder);
    window.frame()->resize(220, 200);  // one or two columns: the last rows start out of view
    QApplication::processEvents();
    selectIds(window, {100});
    window.edtSearch->clear();
    QTest::keyClicks(window.edtSearch, typed);
    if (byEnter) {
      QTest::keyClick(window.edtSearch, Qt::Key_Return);
    } else {
      QTest::mouseClick(window.btnGo, Qt::LeftButton);
    }
    QVERIFY2(window.lblInfo->text().startsWith(label), qPrintable(window.lblInfo->text()));
    const QModelIndexList selected = window.grid->selectionModel()->selectedIndexes();
    QCOMPARE(selected.size(), 1);
    QCOMPARE(selected.first().row(), selectedRow >= 0 ? selectedRow : 5);
    if (selectedRow >= 0) {
      const QRect cell = window.grid->visualRect(selected.first());
      QVERIFY(window.grid->viewport()->rect().contains(cell));
    }
    QVERIFY(f.host.messages.empty());
  }

  // Two asset sprites of different sizes become their tiles in object order, as the library cuts
  // them, in one step that Undo takes back whole and Redo brings back.
  void addSelectedIsOneStep() {
    EditorFixture f;
    QVERIFY(f.openTestFile(3));
    const QString folder = f.path("client");
    writeClient(folder);
    TfrmAssets& window = openAssets(f, folder);
    QTest::mouseClick(window.grid->viewport(), Qt::LeftButton, {},
                      window.grid->visualRect(window.model->index(0)).center());
    QTest::mouseClick(window.grid->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      window.grid->visualRect(window.model->index(6)).center());
    QCOMPARE(window.selectedIds(), (std::vector<std::int64_t>{1, 101}));
    QTest::mouseClick(window.btnAdd, Qt::LeftButton);

    const auto small = libraryTiles(folder, 1);
    const auto large = libraryTiles(folder, 101);
    QCOMPARE(small.size(), std::size_t{1});
    QCOMPARE(large.size(), std::size_t{4});
    QVERIFY(!large[3]);  // the transparent top-left tile, last in object order
    QCOMPARE(spriteCount(f), std::size_t{8});
    QVERIFY(spritesAre(f, 4, small));
    QVERIFY(spritesAre(f, 5, large));
    QCOMPARE(statusSummary(f),
             QString::fromUtf8("Added 5 sprites (IDs 4–8) from 2 client sprites"));
    QCOMPARE(f.main->Undo1->text(), QStringLiteral("Undo Add 5 sprites"));
    QCOMPARE(f.main->history().undoableSteps(), 1);
    const std::vector<int> rows = f.main->getSelectedItems();
    QCOMPARE(rows, (std::vector<int>{3, 4, 5, 6, 7}));

    f.main->Undo1Click();
    QCOMPARE(spriteCount(f), std::size_t{3});
    f.main->Redo1Click();
    QCOMPARE(spriteCount(f), std::size_t{8});
    QVERIFY(spritesAre(f, 4, small));
    QVERIFY(spritesAre(f, 5, large));
    QVERIFY(f.host.messages.empty());
  }

  // The context menu's item is the same command.
  void contextMenuAdds() {
    EditorFixture f;
    QVERIFY(f.openTestFile(2));
    const QString folder = f.path("client");
    writeClient(folder);
    TfrmAssets& window = openAssets(f, folder);
    selectIds(window, {200, 201});
    window.AddToSpriteFile1->trigger();
    QCOMPARE(spriteCount(f), std::size_t{6});
    QVERIFY(spritesAre(f, 3, libraryTiles(folder, 200)));
    QVERIFY(spritesAre(f, 5, libraryTiles(folder, 201)));
  }

  // Cells dragged onto the list are added the same way; dropped back on the grid, nothing is.
  // Files dropped on the list still come in as images.
  void dragFromTheGrid() {
    EditorFixture f;
    QVERIFY(f.openTestFile(3));
    const QString folder = f.path("client");
    writeClient(folder);
    TfrmAssets& window = openAssets(f, folder);
    selectIds(window, {5, 102});
    const std::unique_ptr<QMimeData> mime(
        window.model->mimeData(window.grid->selectionModel()->selectedIndexes()));
    QCOMPARE(tess::assetIdsFrom(*mime), (std::vector<std::int64_t>{5, 102}));

    QVERIFY(dropOn(window.grid->viewport(), *mime));
    QCOMPARE(spriteCount(f), std::size_t{3});

    QVERIFY(dropOn(f.main->SpriteListBox->viewport(), *mime));
    QCOMPARE(spriteCount(f), std::size_t{8});
    QVERIFY(spritesAre(f, 4, libraryTiles(folder, 5)));
    QVERIFY(spritesAre(f, 5, libraryTiles(folder, 102)));
    QCOMPARE(f.main->history().undoableSteps(), 1);

    TBitmap32 red;
    red.SetSizeAndFill(32, 32, 0xFFFF0000u);
    const QString png = f.path("red.png");
    QVERIFY(tess::imageFromBitmap(red).save(png));
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(png)});
    QVERIFY(dropOn(f.main->SpriteListBox->viewport(), files));
    QCOMPARE(spriteCount(f), std::size_t{9});
    QVERIFY(f.host.messages.empty());
  }

  // What cannot be done says so and changes nothing.
  void refusals() {
    EditorFixture f;
    const QString folder = f.path("client");
    const QStringList sheets = writeClient(folder);

    // A folder without a catalog: no window.
    f.chooser.folderAnswers.push_back(f.path("nowhere"));
    f.main->OpenAssets1Click();
    QVERIFY(!f.main->assetsDialog);
    QVERIFY(f.host.last());
    QVERIFY(f.host.lastText().starts_with("Cannot open client assets: "));
    QCOMPARE(f.host.last()->caption, std::string("Error!"));
    QCOMPARE(f.host.last()->icon, tess::TMsgIcon::Error);
    QVERIFY(statusSummary(f).startsWith("Cannot open client assets: "));

    // No file open.
    f.host.clearMessages();
    TfrmAssets& window = openAssets(f, folder);
    selectIds(window, {1});
    window.btnAddClick();
    QCOMPARE(f.host.lastText(), std::string("No file open!"));

    // A damaged sheet: its cells are red-crossed frames, the others still show, and adding one of
    // its sprites names the file and appends nothing.
    QVERIFY(f.openTestFile(3));
    QFile damaged(QDir(folder).filePath(sheets[1]));
    QVERIFY(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
    damaged.write("not a sheet");
    damaged.close();
    TfrmAssets& reopened = openAssets(f, folder);
    const QImage shown = reopened.grid->viewport()->grab().toImage();
    QCOMPARE(reopened.grid->unreadableSheets(), std::size_t{1});
    const QRect cell = reopened.grid->visualRect(reopened.model->index(5));
    const QPoint corner(cell.left() + (cell.width() - tess::TAssetsGridView::kSquare) / 2,
                        cell.top() + tess::TAssetsGridView::kMargin);
    QCOMPARE(QColor(shown.pixel(corner)), QColor(0xD0, 0x20, 0x20));
    f.host.clearMessages();
    selectIds(reopened, {1, 100});
    reopened.btnAddClick();
    QCOMPARE(spriteCount(f), std::size_t{3});
    QCOMPARE(f.host.messages.size(), std::size_t{1});
    QVERIFY(f.host.lastText().find(sheets[1].toStdString()) != std::string::npos);
    QCOMPARE(f.host.last()->caption, std::string("Error!"));
    QVERIFY(!f.main->history().canUndo());
  }

  // Selected sprites written out as new sheets: consecutive sprites make one asset sprite, and
  // the library reads them back pixel for pixel. A selection that does not fill whole sprites is
  // refused.
  void exportAsClientSheets() {
    EditorFixture f;
    QVERIFY(f.openTestFile(9));
    const QString folder = f.path("out");
    QDir().mkpath(folder);
    QItemSelectionModel& selection = *f.main->SpriteListBox->selectionModel();

    selection.select(
        QItemSelection(f.main->spriteListModel->index(0), f.main->spriteListModel->index(2)),
        QItemSelectionModel::ClearAndSelect);
    f.chooser.folderAnswers = {folder};
    f.chooser.numberAnswers = {3};
    f.main->ExportAssets1->trigger();
    QVERIFY(f.host.lastText().starts_with("Cannot export as client sheets: "));
    QCOMPARE(f.host.last()->icon, tess::TMsgIcon::Error);
    QVERIFY(QDir(folder).isEmpty());

    selection.select(
        QItemSelection(f.main->spriteListModel->index(0), f.main->spriteListModel->index(7)),
        QItemSelectionModel::ClearAndSelect);
    f.host.clearMessages();
    f.chooser.folderAnswers = {folder};
    f.chooser.numberAnswers = {3};
    f.main->ExportAssets1Click();
    QVERIFY(f.host.messages.empty());
    QCOMPARE(statusSummary(f),
             QString::fromUtf8("Exported 8 sprites as 1 client sheet (IDs 1–2) to ") +
                 QDir::toNativeSeparators(folder));

    tess::assets::TAssetStore store;
    std::string reason;
    QVERIFY(store.open(folder.toStdString(), reason));
    QCOMPARE(store.catalog().sheets().size(), std::size_t{1});
    QCOMPARE(store.catalog().sheets()[0].type, TSheetType::Large);
    for (const std::int64_t id : {1, 2}) {
      TBitmap32 sprite;
      QVERIFY(store.spriteImage(id, sprite, reason));
      QVERIFY(spritesAre(f, static_cast<std::int32_t>((id - 1) * 4 + 1),
                         tess::assets::cutIntoTiles(sprite)));
    }
  }
};

TESS_UI_TEST_MAIN(AssetsTest)
#include "test_assets.moc"

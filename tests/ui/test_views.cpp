// The window that grows, the preview and the sprite sheet: what they show (read back from the
// pixels of the grabbed widgets), how they follow the rows, and the selection they share with
// the list.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QWheelEvent>
#include <set>
#include <vector>

#include "UiTestSupport.h"
#include "bitmap/TBitmap32.h"
#include "sprite/TSpriteFile.h"
#include "ui/SpriteDelegate.h"
#include "ui/SpriteListModel.h"
#include "ui/SpritePainting.h"
#include "ui/SpriteSheetView.h"
#include "ui/TfrmFileDialog.h"
#include "ui/TfrmPreview.h"
#include "ui/TfrmSpriteSheet.h"
#include "ui/ViewPlacement.h"

using tess::PackColor32;
using tess::TColor32;
using tess::TfrmPreview;
using tess::TfrmSpriteSheet;
using tess::TSprite;
using tess::TSpriteSheetView;
using tess::testing::EditorFixture;
using tess::testing::testSpriteColour;

namespace {

QRgb opaque(TColor32 colour) { return static_cast<QRgb>(colour | 0xFF000000u); }

bool isChecker(QRgb pixel) {
  return pixel == tess::kCheckerLight.rgb() || pixel == tess::kCheckerDark.rgb();
}

QImage grabCanvas(const TfrmPreview& preview) { return preview.canvas->grab().toImage(); }

// The colour the preview shows at the centre of sprite pixel (x, y).
QRgb shownAt(const TfrmPreview& preview, int x, int y) {
  const int zoom = preview.zoom();
  return grabCanvas(preview).pixel(x * zoom + zoom / 2, y * zoom + zoom / 2);
}

TfrmPreview& openPreview(EditorFixture& f) {
  f.main->Preview1Click();
  return *f.main->previewDialog;
}

TfrmSpriteSheet& openSheet(EditorFixture& f) {
  f.main->SpriteSheet1Click();
  TfrmSpriteSheet& window = *f.main->spriteSheetDialog;
  window.frame()->resize(420, 360);
  QApplication::processEvents();
  return window;
}

void makeCurrent(EditorFixture& f, int row) {
  f.main->SpriteListBox->selectionModel()->setCurrentIndex(f.main->spriteListModel->index(row),
                                                           QItemSelectionModel::NoUpdate);
}

std::vector<int> rowsOf(const QModelIndexList& indexes) {
  std::set<int> rows;
  for (const QModelIndex& index : indexes) rows.insert(index.row());
  return {rows.begin(), rows.end()};
}

std::vector<int> range(int first, int last) {
  std::vector<int> rows;
  for (int row = first; row <= last; ++row) rows.push_back(row);
  return rows;
}

void clickCell(TSpriteSheetView& sheet, int row, Qt::MouseButton button = Qt::LeftButton,
               Qt::KeyboardModifiers modifiers = {}) {
  const QModelIndex index = sheet.model()->index(row, 0);
  sheet.scrollTo(index);
  QTest::mouseClick(sheet.viewport(), button, modifiers, sheet.visualRect(index).center());
}

void clickRow(QListView& list, int row, Qt::KeyboardModifiers modifiers = {}) {
  const QModelIndex index = list.model()->index(row, 0);
  list.scrollTo(index);
  QTest::mouseClick(list.viewport(), Qt::LeftButton, modifiers, list.visualRect(index).center());
}

// A sprite of alternating black and white pixels: any smoothing shows as grey.
void makeChequered(TSprite& sprite) {
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      sprite.bitmap->FBits()[y * 32 + x] =
          (x + y) % 2 ? PackColor32(255, 255, 255, 255) : PackColor32(0, 0, 0, 255);
    }
  }
}

bool blackOrWhite(const QImage& image, const QRect& area) {
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      const QRgb pixel = image.pixel(x, y) | 0xFF000000u;
      if (pixel != 0xFF000000u && pixel != 0xFFFFFFFFu) return false;
    }
  }
  return true;
}

// Counts the reports of a load and grabs the preview at the first one.
struct LoadProbe {
  TfrmPreview* preview = nullptr;
  int reports = 0;
  QString textDuringLoad;
  bool blankDuringLoad = false;
  void loaded(std::int32_t, std::int32_t) {
    if (reports++ != 0) return;
    textDuringLoad = preview->lblSprite->text();
    const QImage image = grabCanvas(*preview);
    blankDuringLoad = !isChecker(image.pixel(4, 4)) &&
                      image.pixel(4, 4) != opaque(testSpriteColour(1)) &&
                      preview->sprite() == nullptr;
  }
};

}  // namespace

class ViewsTest : public QObject {
  Q_OBJECT

 private slots:
  void windowOpensAtItsSizeAndGrowsWithTheListAtTheRight() {
    EditorFixture f;
    QWidget* client = f.main->centralWidget();
    QCOMPARE(client->size(), QSize(662, 487));
    QCOMPARE(f.main->SpriteListBox->geometry(), QRect(479, 35, 175, 444));
    QVERIFY(f.main->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));

    f.main->resize(f.main->width() + 300, f.main->height() + 200);
    QTRY_COMPARE(client->size(), QSize(962, 687));
    const struct {
      QWidget* control;
      QRect expected;
    } table[] = {
        {f.main->SpriteListBox, QRect(779, 35, 175, 644)},
        {f.main->edt_search, QRect(779, 8, 130, 21)},
        {f.main->btn_search, QRect(915, 8, 39, 21)},
        {f.main->lbl_search, QRect(779, 8, 66, 13)},
        {f.main->childArea, QRect(0, 0, 962, 687)},
        {f.main->background, QRect(0, 0, 962, 687)},
    };
    for (const auto& row : table) QCOMPARE(row.control->geometry(), row.expected);

    // Never smaller than the design, so nothing is cut off.
    f.main->resize(300, 200);
    QTRY_COMPARE(client->size(), QSize(662, 487));
    QCOMPARE(f.main->SpriteListBox->geometry(), QRect(479, 35, 175, 444));
  }

  void viewMenuShowsOneOfEachWithItsShortcut() {
    EditorFixture f;
    QCOMPARE(f.main->Preview1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_1));
    QCOMPARE(f.main->SpriteSheet1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_2));
    f.main->Preview1->trigger();
    f.main->Preview1->trigger();
    f.main->SpriteSheet1->trigger();
    f.main->SpriteSheet1->trigger();
    QCOMPARE(f.main->childArea->subWindowList().size(), 2);
    QVERIFY(f.main->previewDialog && f.main->spriteSheetDialog);
    QVERIFY(f.main->previewDialog->closeWindow());
    QVERIFY(f.main->spriteSheetDialog->closeWindow());
    QVERIFY(!f.main->previewDialog && !f.main->spriteSheetDialog);
    QTRY_COMPARE(f.main->childArea->subWindowList().size(), 0);
  }

  void previewFollowsTheFocusRow() {
    EditorFixture f;
    TfrmPreview& preview = openPreview(f);
    QCOMPARE(preview.lblSprite->text(), QString());  // no file
    QVERIFY(f.openTestFile(20));
    QCOMPARE(preview.lblSprite->text(), QString());  // no focus row yet

    clickRow(*f.main->SpriteListBox, 2);
    QCOMPARE(preview.lblSprite->text(), QString("ID 3"));
    QCOMPARE(shownAt(preview, 10, 10), opaque(testSpriteColour(3)));

    QTest::keyClick(f.main->SpriteListBox, Qt::Key_Down);
    QCOMPARE(preview.lblSprite->text(), QString("ID 4"));
    QCOMPARE(shownAt(preview, 0, 0), opaque(testSpriteColour(4)));

    f.main->edt_search->setText("9");
    f.main->btn_searchClick();
    QCOMPARE(preview.lblSprite->text(), QString("ID 9"));

    makeCurrent(f, 4);  // ID 5 is empty
    QCOMPARE(preview.lblSprite->text(), QString("ID 5, empty"));
    QVERIFY(isChecker(shownAt(preview, 3, 3)));
  }

  void previewFollowsEditsUndoNewAndOpen() {
    EditorFixture f;
    QVERIFY(f.openTestFile(10));
    TfrmPreview& preview = openPreview(f);
    clickRow(*f.main->SpriteListBox, 1);  // ID 2, selected and current
    QCOMPARE(shownAt(preview, 5, 5), opaque(testSpriteColour(2)));

    f.main->Clear1Click();
    QCOMPARE(preview.lblSprite->text(), QString("ID 2, cleared"));
    QVERIFY(isChecker(shownAt(preview, 5, 5)));

    f.main->Undo1Click();
    QCOMPARE(preview.lblSprite->text(), QString("ID 2"));
    QCOMPARE(shownAt(preview, 5, 5), opaque(testSpriteColour(2)));

    f.main->Redo1Click();
    QCOMPARE(preview.lblSprite->text(), QString("ID 2, cleared"));

    // Another file: the old sprite is not shown while it loads nor after.
    LoadProbe probe;
    probe.preview = &preview;
    f.core.spriteFile.onLoadSprite.push_back(tess::TonLoadSprite(&probe, &LoadProbe::loaded));
    QVERIFY(f.openTestFile(12, 0, "other.spr"));
    tess::removeListener(f.core.spriteFile.onLoadSprite,
                         tess::TonLoadSprite(&probe, &LoadProbe::loaded));
    QVERIFY(probe.reports > 0);
    QCOMPARE(probe.textDuringLoad, QString());
    QVERIFY(probe.blankDuringLoad);
    QCOMPARE(preview.lblSprite->text(), QString());
    makeCurrent(f, 11);
    QCOMPARE(preview.lblSprite->text(), QString("ID 12"));
    QCOMPARE(shownAt(preview, 31, 31), opaque(testSpriteColour(12)));

    f.newFile();
    QCOMPARE(preview.lblSprite->text(), QString());
    QVERIFY(preview.sprite() == nullptr);
  }

  void previewShowsTheOpenFileAgainAfterAFailedOpen() {
    EditorFixture f;
    QVERIFY(f.openTestFile(10));
    TfrmPreview& preview = openPreview(f);
    makeCurrent(f, 1);
    const QString brokenPath = f.path("broken.spr");
    QVERIFY(
        tess::testing::writeSprFile(brokenPath, tess::testing::makeTestSprites(400),
                                    static_cast<std::uint32_t>(f.core.versions[0].spriteSignature),
                                    f.core.versions[0].sprite32));
    QFile broken(brokenPath);
    QVERIFY(broken.resize(broken.size() / 2));

    LoadProbe probe;
    probe.preview = &preview;
    f.core.spriteFile.onLoadSprite.push_back(tess::TonLoadSprite(&probe, &LoadProbe::loaded));
    QVERIFY(!f.openFile(brokenPath));
    tess::removeListener(f.core.spriteFile.onLoadSprite,
                         tess::TonLoadSprite(&probe, &LoadProbe::loaded));
    QVERIFY(probe.reports > 1);  // the load had started before it failed
    QVERIFY(probe.blankDuringLoad);
    QCOMPARE(f.core.spriteFile.Sprites.size(), std::size_t(10));
    QTRY_COMPARE(preview.lblSprite->text(), QString("ID 2"));
    QCOMPARE(shownAt(preview, 0, 0), opaque(testSpriteColour(2)));
  }

  void previewShowsThePixelUnderTheMouse() {
    EditorFixture f;
    QVERIFY(f.openTestFile(3));
    TfrmPreview& preview = openPreview(f);
    preview.setZoom(8);
    makeCurrent(f, 0);
    TSprite& sprite = *f.core.spriteFile.Sprites[0];
    sprite.bitmap->FBits()[5 * 32 + 3] = PackColor32(0x10, 0x20, 0x30, 0x80);
    QTest::mouseMove(preview.canvas, QPoint(3 * 8 + 2, 5 * 8 + 7));
    QTRY_COMPARE(preview.lblPixel->text(), QString("x 3, y 5: ARGB 80102030"));
    QCOMPARE(tess::previewPixelText(0, 31, 0x00FFFFFFu), QString("x 0, y 31: ARGB 00FFFFFF"));
  }

  void zoomStaysWithinItsBounds() {
    EditorFixture f;
    QVERIFY(f.openTestFile(3));
    TfrmPreview& preview = openPreview(f);
    const struct {
      int asked;
      int got;
    } table[] = {{0, 1}, {-5, 1}, {1, 1}, {4, 4}, {16, 16}, {17, 16}, {1000, 16}};
    for (const auto& row : table) {
      preview.setZoom(row.asked);
      QCOMPARE(preview.zoom(), row.got);
      QCOMPARE(preview.zoomBox->value(), row.got);
      QCOMPARE(preview.canvas->size(), QSize(32 * row.got, 32 * row.got));
      QCOMPARE(preview.gridBox->isEnabled(), row.got >= 4);
    }

    preview.setZoom(16);
    QTest::keyClick(&preview, Qt::Key_Plus);
    QCOMPARE(preview.zoom(), 16);
    QTest::keyClick(&preview, Qt::Key_Minus);
    QCOMPARE(preview.zoom(), 15);
    preview.setZoom(1);
    QTest::keyClick(&preview, Qt::Key_Minus);
    QCOMPARE(preview.zoom(), 1);

    const auto wheel = [&](int delta, Qt::KeyboardModifiers modifiers) {
      const QPointF at(4, 4);
      QWheelEvent event(at, preview.canvas->mapToGlobal(at), QPoint(), QPoint(0, delta),
                        Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
      QApplication::sendEvent(preview.canvas, &event);
    };
    wheel(120, Qt::ControlModifier);
    QCOMPARE(preview.zoom(), 2);
    wheel(120, Qt::NoModifier);  // without Ctrl the wheel scrolls
    QCOMPARE(preview.zoom(), 2);
    wheel(-120, Qt::ControlModifier);
    wheel(-120, Qt::ControlModifier);
    QCOMPARE(preview.zoom(), 1);

    preview.zoomBox->setValue(6);
    QCOMPARE(preview.zoom(), 6);
  }

  void checkerboardUnderTransparencyExactColourUnderOpaque() {
    EditorFixture f;
    QVERIFY(f.openTestFile(3));
    TfrmPreview& preview = openPreview(f);
    makeCurrent(f, 0);
    TSprite& sprite = *f.core.spriteFile.Sprites[0];
    const TColor32 solid = PackColor32(0x12, 0x9A, 0xEF, 0xFF);
    sprite.bitmap->FBits()[0] = PackColor32(0, 0, 0, 0);  // black, fully transparent
    sprite.bitmap->FBits()[1] = solid;
    sprite.bitmap->FBits()[2] = PackColor32(255, 0, 0, 128);  // half-transparent red
    for (const int zoom : {1, 8}) {
      preview.setZoom(zoom);
      const QImage image = grabCanvas(preview);
      // Every device pixel of the block, not just its centre.
      for (int dy = 0; dy < zoom; ++dy) {
        for (int dx = 0; dx < zoom; ++dx) {
          QVERIFY2(isChecker(image.pixel(dx, dy)), qPrintable(QString::number(zoom)));
          QCOMPARE(image.pixel(zoom + dx, dy), opaque(solid));
        }
      }
      const QColor half = image.pixelColor(2 * zoom, 0);
      QVERIFY(half.red() > 200 && half.green() > 60 && half.green() < 140);
    }
  }

  void paintingStaysSharpAtAFractionalScale() {
    EditorFixture f;
    QVERIFY(f.openTestFile(3));
    TSprite& sprite = *f.core.spriteFile.Sprites[0];
    makeChequered(sprite);

    QImage row(QSize(175, 32) * 3 / 2, QImage::Format_ARGB32);
    row.setDevicePixelRatio(1.5);
    row.fill(Qt::white);
    {
      QPainter painter(&row);
      QStyleOptionViewItem option;
      option.rect = QRect(0, 0, 175, 32);
      option.font = f.main->font();
      option.palette = f.main->palette();
      tess::paintSpriteRow(painter, option, &sprite);
    }
    QVERIFY(blackOrWhite(row, QRect(0, 0, 48, 48)));

    TfrmPreview& preview = openPreview(f);
    makeCurrent(f, 0);
    for (const int zoom : {1, 3}) {
      preview.setZoom(zoom);
      QImage image(preview.canvas->size() * 3 / 2, QImage::Format_ARGB32);
      image.setDevicePixelRatio(1.5);
      preview.canvas->render(&image);
      QVERIFY(blackOrWhite(image, QRect(QPoint(0, 0), image.size())));
    }
  }

  void sheetShowsCellsInIdOrderOverTheCheckerboard() {
    EditorFixture f;
    QVERIFY(f.openTestFile(30));
    TfrmSpriteSheet& window = openSheet(f);
    TSpriteSheetView& sheet = *window.sheet;
    QVERIFY(sheet.columns() > 1);
    f.core.spriteFile.Sprites[1]->bitmap->FBits()[0] = PackColor32(0, 0, 0, 0);
    for (const int zoom : {1, 2, 4}) {
      window.zoomBox->setCurrentIndex(window.zoomBox->findData(zoom));
      QCOMPARE(sheet.cellZoom(), zoom);
      const QImage image = sheet.viewport()->grab().toImage();
      const int side = 32 * zoom;
      for (const int row : {0, 1, sheet.columns()}) {
        const QRect cell = sheet.visualRect(sheet.model()->index(row, 0));
        const QPoint square(cell.left() + (cell.width() - side) / 2, cell.top() + 4);
        QCOMPARE(cell.topLeft(), QPoint((row % sheet.columns()) * cell.width(),
                                        (row / sheet.columns()) * cell.height()));
        QCOMPARE(image.pixel(square + QPoint(side - 1, side - 1)),
                 opaque(testSpriteColour(row + 1)));
      }
      const QRect second = sheet.visualRect(sheet.model()->index(1, 0));
      QVERIFY(
          isChecker(image.pixel(second.left() + (second.width() - side) / 2, second.top() + 4)));
      // ID 5 is empty: a frame with nothing inside.
      const QRect empty = sheet.visualRect(sheet.model()->index(4, 0));
      if (empty.bottom() < image.height()) {
        const QPoint inside = empty.topLeft() + QPoint(empty.width() / 2, 4 + side / 2);
        QCOMPARE(image.pixel(inside), sheet.palette().color(QPalette::Base).rgb());
      }
    }
  }

  void sheetAndListShareOneSelection() {
    EditorFixture f;
    QVERIFY(f.openTestFile(60));
    TfrmSpriteSheet& window = openSheet(f);
    TSpriteSheetView& sheet = *window.sheet;
    QListView& list = *f.main->SpriteListBox;
    QCOMPARE(sheet.selectionModel(), list.selectionModel());
    const int cols = sheet.columns();
    QVERIFY(cols > 1);

    // Click, then shift-click up and to the left: a range in ID order, not a rectangle.
    clickCell(sheet, cols + 3);
    clickCell(sheet, 1, Qt::LeftButton, Qt::ShiftModifier);
    QCOMPARE(f.main->getSelectedItems(), range(1, cols + 3));
    QCOMPARE(rowsOf(list.selectionModel()->selectedIndexes()), range(1, cols + 3));
    QCOMPARE(list.currentIndex().row(), 1);

    clickCell(sheet, 2 * cols, Qt::LeftButton, Qt::ControlModifier);
    std::vector<int> expected = range(1, cols + 3);
    expected.push_back(2 * cols);
    QCOMPARE(f.main->getSelectedItems(), expected);

    clickRow(list, 5);
    clickRow(list, 8, Qt::ShiftModifier);
    QCOMPARE(rowsOf(sheet.selectionModel()->selectedIndexes()), range(5, 8));
    QCOMPARE(sheet.currentIndex().row(), 8);

    // The File menu works on the shared selection.
    clickCell(sheet, 10);
    clickCell(sheet, 11, Qt::LeftButton, Qt::ShiftModifier);
    f.main->Clear1Click();
    for (int row = 0; row < 60; ++row) {
      const bool cleared = row == 10 || row == 11;
      QCOMPARE(f.core.spriteFile.Sprites[static_cast<std::size_t>(row)]->isDUmmy,
               cleared || (row + 1) % 5 == 0);
    }
  }

  void sheetContextMenuClearsTheCellUnderTheRightPress() {
    EditorFixture f;
    QVERIFY(f.openTestFile(40));
    TfrmSpriteSheet& window = openSheet(f);
    TSpriteSheetView& sheet = *window.sheet;
    clickCell(sheet, 2);  // selected; the right press must not change that
    QTest::mousePress(sheet.viewport(), Qt::RightButton, {},
                      sheet.visualRect(sheet.model()->index(6, 0)).center());
    QCOMPARE(f.main->itemIndex, 6);
    QCOMPARE(f.main->getSelectedItems(), std::vector<int>{2});
    QTest::mouseRelease(sheet.viewport(), Qt::RightButton, {},
                        sheet.visualRect(sheet.model()->index(6, 0)).center());
    emit sheet.customContextMenuRequested(sheet.visualRect(sheet.model()->index(6, 0)).center());
    QTRY_VERIFY(f.main->PopupMenu1->isVisible());
    f.main->Clear2->trigger();
    f.main->PopupMenu1->close();
    for (int row = 0; row < 10; ++row) {
      const TSprite& sprite = *f.core.spriteFile.Sprites[static_cast<std::size_t>(row)];
      QCOMPARE(sprite.isDUmmy, row == 6 || (row + 1) % 5 == 0);
    }
    // A left press leaves the context menu no row, as on the list.
    clickCell(sheet, 3);
    QCOMPARE(f.main->itemIndex, -1);
  }

  void sheetBuildsNothingPerSpriteAndPaintsOnlyWhatShows() {
    EditorFixture f;
    QVERIFY(f.openTestFile(2000));
    TfrmSpriteSheet& window = openSheet(f);
    TSpriteSheetView& sheet = *window.sheet;
    sheet.scrollTo(sheet.model()->index(1998, 0));
    QApplication::processEvents();
    const QRect last = sheet.visualRect(sheet.model()->index(1998, 0));
    QVERIFY(sheet.viewport()->rect().contains(last));
    const QImage image = sheet.viewport()->grab().toImage();
    const QPoint corner(last.left() + (last.width() - 32) / 2 + 31, last.top() + 4 + 31);
    QCOMPARE(image.pixel(corner), opaque(testSpriteColour(1999)));
    clickCell(sheet, 1998);
    QTest::keyClick(&sheet, Qt::Key_Home);
    QCOMPARE(sheet.currentIndex().row(), 0);
    QCOMPARE(sheet.verticalScrollBar()->value(), 0);
    QTest::keyClick(&sheet, Qt::Key_End);
    QCOMPARE(sheet.currentIndex().row(), 1999);
    QVERIFY(sheet.viewport()->rect().contains(sheet.visualRect(sheet.currentIndex())));
    QTest::keyClick(&sheet, Qt::Key_Up);
    QCOMPARE(sheet.currentIndex().row(), 1999 - sheet.columns());
  }

  // The sheet fills the free area left of the list and the preview opens at 8x at its right,
  // beside the sheet where there is room; both come back where the user left them.
  void viewsOpenWhereTheyCanBeUsedAndRememberTheirPlace() {
    EditorFixture f;
    QVERIFY(f.openTestFile(50));
    const QRect list = f.main->SpriteListBox->geometry();
    f.main->SpriteSheet1Click();
    QWidget* sheet = f.main->spriteSheetDialog->frame();
    QCOMPARE(sheet->geometry(), f.main->freeViewArea());
    QCOMPARE(sheet->geometry().right(), list.left() - 1 - tess::kViewGap);
    QCOMPARE(sheet->geometry().height(), f.main->childArea->height());

    f.main->Preview1Click();
    QWidget* preview = f.main->previewDialog->frame();
    QCOMPARE(f.main->previewDialog->zoom(), 8);
    QCOMPARE(preview->geometry().topRight(), f.main->freeViewArea().topRight());
    // At the window's design size there is no room beside it: the sheet keeps the whole area.
    QCOMPARE(sheet->geometry(), f.main->freeViewArea());

    // In a larger window the sheet makes room, and the two do not overlap.
    f.main->previewDialog->closeWindow();
    f.main->spriteSheetDialog->closeWindow();
    QApplication::processEvents();
    f.main->resize(f.main->width() + 600, f.main->height() + 300);
    QTRY_COMPARE(f.main->centralWidget()->width(), 662 + 600);
    f.main->Preview1Click();
    f.main->SpriteSheet1Click();
    // Both open where they were: the area grew, but the places were remembered.
    QCOMPARE(f.main->previewDialog->frame()->geometry().size(), preview->geometry().size());
    f.main->previewDialog->closeWindow();
    f.main->spriteSheetDialog->closeWindow();
    QApplication::processEvents();

    EditorFixture wide;
    QVERIFY(wide.openTestFile(50));
    wide.main->resize(wide.main->width() + 600, wide.main->height() + 300);
    QTRY_COMPARE(wide.main->centralWidget()->width(), 662 + 600);
    wide.main->Preview1Click();
    wide.main->SpriteSheet1Click();
    const QRect previewPlace = wide.main->previewDialog->frame()->geometry();
    const QRect sheetPlace = wide.main->spriteSheetDialog->frame()->geometry();
    QVERIFY(!previewPlace.intersects(sheetPlace));
    QCOMPARE(sheetPlace.left(), 0);
    QCOMPARE(previewPlace.right(), wide.main->freeViewArea().right());

    // Moved by the user, closed and opened again: where the user left it.
    wide.main->previewDialog->frame()->move(40, 50);
    wide.main->previewDialog->closeWindow();
    QApplication::processEvents();
    wide.main->Preview1Click();
    QCOMPARE(wide.main->previewDialog->frame()->pos(), QPoint(40, 50));
  }

  // Growing the window and shrinking it again leaves no child window under the list or with its
  // title bar out of reach.
  void childWindowsStayReachableAfterTheWindowShrinks() {
    EditorFixture f;
    QVERIFY(f.openTestFile(50));
    f.main->Preview1Click();
    f.main->SpriteSheet1Click();
    f.main->Open1Click();
    f.main->showMaximized();
    f.main->resize(f.main->width() + 700, f.main->height() + 500);
    QTRY_VERIFY(f.main->centralWidget()->width() >= 662 + 700);
    QApplication::processEvents();
    // The user spreads the windows over the larger area, far right and far down.
    const QRect grown = f.main->freeViewArea();
    f.main->previewDialog->frame()->move(grown.right() - f.main->previewDialog->frame()->width(),
                                         grown.bottom() - 40);
    f.main->spriteSheetDialog->frame()->move(grown.right() - 300, 200);
    f.main->dialog->frame()->move(grown.right() - 430, grown.bottom() - 30);

    f.main->showNormal();
    f.main->resize(300, 200);
    QTRY_COMPARE(f.main->centralWidget()->size(), QSize(662, 487));
    QApplication::processEvents();
    const QRect list = f.main->SpriteListBox->geometry();
    const int title = f.main->style()->pixelMetric(QStyle::PM_TitleBarHeight);
    for (QMdiSubWindow* sub : f.main->childArea->subWindowList()) {
      const QRect frame = sub->geometry();
      QVERIFY2(frame.right() < list.left(), qPrintable(sub->windowTitle()));
      QVERIFY2(frame.left() >= 0 && frame.top() >= 0, qPrintable(sub->windowTitle()));
      QVERIFY2(frame.top() + title <= f.main->childArea->height(), qPrintable(sub->windowTitle()));
    }
  }

  // Resizing the sheet changes its columns; the first sprite in view stays in view.
  void resizingTheSheetKeepsTheFirstSpriteInView() {
    EditorFixture f;
    QVERIFY(f.openTestFile(3000));
    TfrmSpriteSheet& window = openSheet(f);
    TSpriteSheetView& sheet = *window.sheet;
    sheet.scrollTo(sheet.model()->index(1200, 0), QAbstractItemView::PositionAtTop);
    QApplication::processEvents();
    const int first = sheet.indexAt(QPoint(1, 1)).row();
    QVERIFY(first > 1000);
    for (const int width : {260, 600, 340}) {
      window.frame()->resize(width, 360);
      QApplication::processEvents();
      const QRect cell = sheet.visualRect(sheet.model()->index(first, 0));
      QVERIFY2(sheet.viewport()->rect().intersects(cell), qPrintable(QString::number(width)));
    }
  }
};

TESS_UI_TEST_MAIN(ViewsTest)
#include "test_views.moc"

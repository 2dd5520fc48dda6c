// The sprite list of the main window: its rows, their painting, the right-click tracking, the
// search and what happens to the rows when the sprite file lets its sprites go.

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QImage>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QStyleOptionViewItem>
#include <QToolTip>

#include "UiTestSupport.h"
#include "bitmap/TBitmap32.h"
#include "ui/SpriteDelegate.h"
#include "ui/SpriteListModel.h"

using tess::TMsgIcon;
using tess::testing::EditorFixture;

namespace {

QPoint rowPoint(const QListView& list, int row) {
  return list.visualRect(list.model()->index(row, 0)).center();
}

void selectRows(QListView& list, std::initializer_list<int> rows) {
  QItemSelection selection;
  for (int row : rows) {
    const QModelIndex index = list.model()->index(row, 0);
    selection.select(index, index);
  }
  list.selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

std::vector<int> selectedRows(const tess::TfrmMain& w) { return w.getSelectedItems(); }

bool near(QRgb pixel, int red, int green, int blue, int tolerance = 2) {
  return qAbs(qRed(pixel) - red) <= tolerance && qAbs(qGreen(pixel) - green) <= tolerance &&
         qAbs(qBlue(pixel) - blue) <= tolerance;
}

bool isWhite(QRgb pixel) { return near(pixel, 255, 255, 255, 0); }

// Dark pixels (text) inside `area`.
int darkPixels(const QImage& image, const QRect& area) {
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      if (qGray(image.pixel(x, y)) < 128) ++n;
    }
  }
  return n;
}

// One row painted by the list's delegate into an image of `format` pre-filled with `ground`.
struct RowPainting {
  QImage image;
};

constexpr int kRowWidth = 175;

QImage paintRow(tess::TSprite* sprite, bool selected, QImage::Format format,
                QColor ground = Qt::white) {
  std::vector<tess::TSprite*> index;
  if (sprite) index.push_back(sprite);
  tess::TSpriteListModel model(index);
  if (sprite) {
    model.clearRows();
    model.appendRow(sprite);
  }
  QImage image(kRowWidth, 32, format);
  image.fill(ground);
  QListView view;  // the surface's font and palette come from a list
  view.setFont(tess::TfrmMain::windowFont());
  QStyleOptionViewItem option;
  option.initFrom(&view);
  option.font = view.font();
  option.rect = QRect(0, 0, kRowWidth, 32);
  option.state = QStyle::State_Enabled | QStyle::State_Active;
  if (selected) option.state |= QStyle::State_Selected;
  option.widget = &view;
  tess::TSpriteDelegate delegate;
  QPainter painter(&image);
  delegate.paint(&painter, option, model.index(0, 0));
  painter.end();
  return image.convertToFormat(QImage::Format_RGB32);
}

// A sprite of transparent white pixels with a transparent black pixel at (5, 5) and an opaque
// red one at (10, 10), as files and imports give them.
std::unique_ptr<tess::TSprite> transparentSprite(int id) {
  auto sprite = tess::testing::makeFilledSprite(id, tess::clTransparentWhite32);
  tess::TColor32* bits = sprite->bitmap->FBits();
  bits[5 + 5 * 32] = 0x00000000u;
  bits[10 + 10 * 32] = tess::PackColor32(255, 0, 0, 255);
  return sprite;
}

}  // namespace

class SpriteListTest : public QObject {
  Q_OBJECT

 private slots:
  void loadSpritesBuildsOneRowPerSprite() {
    EditorFixture f;
    QVERIFY(f.openTestFile(1000));
    tess::TfrmMain& w = *f.main;
    QCOMPARE(w.spriteListModel->rowCount(), 1000);
    QCOMPARE(w.SpritesIndex.size(), std::size_t(1000));
    for (int row = 0; row < 1000; ++row) {
      QCOMPARE(w.SpritesIndex[row], f.core.spriteFile.Sprites[row].get());
      QCOMPARE(w.SpritesIndex[row]->ID(), row + 1);
    }
    QCOMPARE(w.spriteListModel->data(w.spriteListModel->index(0, 0)).toString(), QString("      "));
    // Loading again replaces the rows.
    QVERIFY(f.openTestFile(7, 0, "other.spr"));
    QCOMPARE(w.spriteListModel->rowCount(), 7);
    QCOMPARE(w.SpritesIndex.size(), std::size_t(7));
  }

  void newFileEmptiesTheList() {
    EditorFixture f;
    QVERIFY(f.openTestFile(5));
    f.newFile();
    QCOMPARE(f.main->spriteListModel->rowCount(), 0);
    QVERIFY(f.main->SpritesIndex.empty());
  }

  void appendRowAddsRowAndEntry() {
    EditorFixture f;
    QVERIFY(f.openTestFile(3));
    auto sprite = tess::testing::makeFilledSprite(4, tess::testing::testSpriteColour(4));
    tess::TSprite* raw = sprite.get();
    f.core.spriteFile.Sprites.push_back(std::move(sprite));
    f.main->spriteListModel->appendRow(raw);
    QCOMPARE(f.main->spriteListModel->rowCount(), 4);
    QCOMPARE(f.main->SpritesIndex.size(), std::size_t(4));
    QCOMPARE(f.main->SpritesIndex[3], raw);
    QCOMPARE(f.main->spriteListModel->data(f.main->spriteListModel->index(3, 0)).toString(),
             QString("   "));
  }

  void releaseDropsTheRows() {
    EditorFixture f;
    QVERIFY(f.openTestFile(10));
    f.main->itemIndex = 3;
    f.core.spriteFile.clear();
    QCOMPARE(f.main->spriteListModel->rowCount(), 0);
    QVERIFY(f.main->SpritesIndex.empty());
    QCOMPARE(f.main->itemIndex, 3);
    f.main->SpriteListBox->viewport()->grab();  // paints without touching freed sprites
  }

  // A failed open keeps the rows of the file that was open, each still showing its sprite.
  void failedOpenKeepsTheRows() {
    EditorFixture f;
    QVERIFY(f.openTestFile(10));
    const std::vector<tess::TSprite*> before = f.main->SpritesIndex;
    QFile broken(f.path("broken.spr"));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("\x01\x02\x03", 3);
    broken.close();
    QVERIFY(!f.openFile(f.path("broken.spr")));
    QCOMPARE(f.main->spriteListModel->rowCount(), 10);
    QVERIFY(f.main->SpritesIndex == before);
    QCOMPARE(f.core.spriteFile.Sprites.size(), std::size_t{10});
    QCOMPARE(f.main->SpritesIndex[3], f.core.spriteFile.Sprites[3].get());
    f.main->SpriteListBox->viewport()->grab();
  }

  void selectedItemsAscending() {
    EditorFixture f;
    QVERIFY(f.openTestFile(20));
    QListView& list = *f.main->SpriteListBox;
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, rowPoint(list, 9));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::ControlModifier, rowPoint(list, 2));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::ControlModifier, rowPoint(list, 5));
    QCOMPARE(selectedRows(*f.main), (std::vector<int>{2, 5, 9}));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, rowPoint(list, 3));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::ShiftModifier, rowPoint(list, 6));
    QCOMPARE(selectedRows(*f.main), (std::vector<int>{3, 4, 5, 6}));
  }

  void rightClickTracksRowWithoutSelecting() {
    EditorFixture f;
    QVERIFY(f.openTestFile(10));
    QListView& list = *f.main->SpriteListBox;
    selectRows(list, {1, 2});
    list.selectionModel()->setCurrentIndex(list.model()->index(1, 0),
                                           QItemSelectionModel::NoUpdate);
    QTest::mouseClick(list.viewport(), Qt::RightButton, Qt::NoModifier, rowPoint(list, 3));
    QCOMPARE(f.main->itemIndex, 3);
    QCOMPARE(selectedRows(*f.main), (std::vector<int>{1, 2}));
    QCOMPARE(list.currentIndex().row(), 1);

    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, rowPoint(list, 5));
    QCOMPARE(f.main->itemIndex, -1);
    QTest::mouseClick(list.viewport(), Qt::RightButton, Qt::NoModifier, rowPoint(list, 0));
    QCOMPARE(f.main->itemIndex, 0);
    QTest::mouseClick(list.viewport(), Qt::MiddleButton, Qt::NoModifier, rowPoint(list, 4));
    QCOMPARE(f.main->itemIndex, -1);
    // Below the last row there is no row.
    QVERIFY(f.openTestFile(3, 0, "short.spr"));
    QTest::mouseClick(list.viewport(), Qt::RightButton, Qt::NoModifier, QPoint(20, 32 * 3 + 40));
    QCOMPARE(f.main->itemIndex, -1);
  }

  void doubleClickCountsBothPresses() {
    EditorFixture f;
    QVERIFY(f.openTestFile(10));
    QListView& list = *f.main->SpriteListBox;
    QTest::mouseClick(list.viewport(), Qt::RightButton, Qt::NoModifier, rowPoint(list, 6));
    QCOMPARE(f.main->itemIndex, 6);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, rowPoint(list, 2));
    QCOMPARE(f.main->itemIndex, -1);
    QTest::mouseDClick(list.viewport(), Qt::RightButton, Qt::NoModifier, rowPoint(list, 4));
    QCOMPARE(f.main->itemIndex, 4);
    QCOMPARE(selectedRows(*f.main), (std::vector<int>{2}));
  }

  void tooltipShowsOverRowsAndBelowThem() {
    EditorFixture f;
    QVERIFY(f.openTestFile(3));
    QListView& list = *f.main->SpriteListBox;
    for (const QPoint& at : {rowPoint(list, 1), QPoint(20, 32 * 3 + 40)}) {
      QToolTip::hideText();
      QHelpEvent help(QEvent::ToolTip, at, list.viewport()->mapToGlobal(at));
      QCoreApplication::sendEvent(list.viewport(), &help);
      QCOMPARE(QToolTip::text(), QString("Right click to show the menu"));
    }
    QToolTip::hideText();
  }

  void rightClickWithoutFileChangesNothing() {
    EditorFixture f;
    QListView& list = *f.main->SpriteListBox;
    QTest::mouseClick(list.viewport(), Qt::RightButton, Qt::NoModifier, rowPoint(list, 0));
    QCOMPARE(f.main->itemIndex, 0);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, rowPoint(list, 0));
    QCOMPARE(f.main->itemIndex, 0);
  }

  void searchFindsRowWithoutSelecting() {
    EditorFixture f;
    QVERIFY(f.openTestFile(1000));
    QListView& list = *f.main->SpriteListBox;
    selectRows(list, {4});
    struct Case {
      const char* text;
      int row;
    };
    for (const Case& c : {Case{"1", 0}, Case{"900", 899}, Case{"1000", 999}, Case{"5", 4}}) {
      f.main->edt_search->setText(c.text);
      QTest::mouseClick(f.main->btn_search, Qt::LeftButton);
      QVERIFY(f.host.messages.empty());
      QCOMPARE(list.currentIndex().row(), c.row);
      QCOMPARE(selectedRows(*f.main), (std::vector<int>{4}));
      const QRect shown = list.visualRect(list.currentIndex());
      QVERIFY2(shown.top() >= 0 && shown.bottom() < list.viewport()->height(),
               qPrintable(QString("row %1 (%5 wide) at %2,%3 in a viewport %4 high")
                              .arg(c.row)
                              .arg(shown.top())
                              .arg(shown.bottom())
                              .arg(list.viewport()->height())
                              .arg(shown.width())));
    }
  }

  void searchNotFound_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << "0";
    QTest::newRow("one past the end") << "11";
    QTest::newRow("far") << "2147483647";
  }

  void searchNotFound() {
    QFETCH(QString, text);
    EditorFixture f;
    QVERIFY(f.openTestFile(10));
    QListView& list = *f.main->SpriteListBox;
    selectRows(list, {3});
    list.selectionModel()->setCurrentIndex(list.model()->index(3, 0),
                                           QItemSelectionModel::NoUpdate);
    f.main->edt_search->setText(text);
    QTest::mouseClick(f.main->btn_search, Qt::LeftButton);
    QCOMPARE(f.host.messages.size(), std::size_t(1));
    QCOMPARE(f.host.messages[0].text, std::string("Id not found."));
    QCOMPARE(f.host.messages[0].caption, std::string("Error!"));
    QCOMPARE(f.host.messages[0].icon, TMsgIcon::Error);
    QCOMPARE(list.currentIndex().row(), 3);
    QCOMPARE(selectedRows(*f.main), (std::vector<int>{3}));
  }

  void searchBadNumber_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty") << ""
                           << "'''' is not a valid integer value";
    QTest::newRow("too large") << "2147483648"
                               << "''2147483648'' is not a valid integer value";
    QTest::newRow("much too large") << "99999999999999999999"
                                    << "''99999999999999999999'' is not a valid integer value";
  }

  void searchBadNumber() {
    QFETCH(QString, text);
    QFETCH(QString, message);
    EditorFixture f;
    QVERIFY(f.openTestFile(10));
    f.main->edt_search->setText(text);
    QTest::mouseClick(f.main->btn_search, Qt::LeftButton);
    QCOMPARE(f.host.messages.size(), std::size_t(1));
    QCOMPARE(QString::fromStdString(f.host.messages[0].text), message);
    QCOMPARE(f.host.messages[0].caption, std::string("Error!"));
    QCOMPARE(f.host.messages[0].icon, TMsgIcon::Error);
    // Called directly, the handler raises the error itself.
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, f.main->btn_searchClick());
  }

  void searchWithoutFileDoesNothing() {
    EditorFixture f;
    f.main->edt_search->setText("");
    QTest::mouseClick(f.main->btn_search, Qt::LeftButton);
    f.main->edt_search->setText("1");
    QTest::mouseClick(f.main->btn_search, Qt::LeftButton);
    QVERIFY(f.host.messages.empty());
  }

  // Painting of single rows, pixel by pixel, on the two kinds of surface a list paints on.
  void paintSpriteRow_data() {
    QTest::addColumn<int>("format");
    QTest::newRow("RGB32") << int(QImage::Format_RGB32);
    QTest::newRow("ARGB32 premultiplied") << int(QImage::Format_ARGB32_Premultiplied);
  }

  void paintSpriteRow() {
    QFETCH(int, format);
    auto sprite = transparentSprite(7);
    sprite->bitmap->DrawMode = tess::dmOpaque;
    const QImage row = paintRow(sprite.get(), false, QImage::Format(format), Qt::gray);
    QCOMPARE(sprite->bitmap->DrawMode, tess::dmBlend);
    QVERIFY(isWhite(row.pixel(0, 0)));
    QVERIFY(isWhite(row.pixel(31, 31)));
    QVERIFY(near(row.pixel(5, 5), 0, 0, 0, 0));
    QVERIFY(near(row.pixel(10, 10), 255, 0, 0, 0));
    // The rest of the row is white, the ID's text lies right of x = 40 in the lower half.
    QVERIFY(isWhite(row.pixel(kRowWidth - 1, 0)));
    QCOMPARE(darkPixels(row, QRect(32, 0, kRowWidth - 32, 16)), 0);
    QCOMPARE(darkPixels(row, QRect(32, 16, 8, 16)), 0);
    QVERIFY(darkPixels(row, QRect(40, 16, 30, 16)) > 0);
  }

  void paintSelectedSpriteRow() {
    QFETCH(int, format);
    auto sprite = transparentSprite(7);
    const QImage row = paintRow(sprite.get(), true, QImage::Format(format), Qt::gray);
    // White under the overlay: (166 * 175 + 255 * 80) / 255 and so on.
    QVERIFY2(near(row.pixel(0, 0), 194, 224, 255),
             qPrintable(QString::number(row.pixel(0, 0), 16)));
    QVERIFY(near(row.pixel(150, 2), 194, 224, 255));
    // Black under the overlay.
    QVERIFY(near(row.pixel(5, 5), 114, 144, 175));
  }
  void paintSelectedSpriteRow_data() { paintSpriteRow_data(); }

  void paintEmptySpriteRow() {
    QFETCH(int, format);
    auto sprite = tess::testing::makeEmptySprite(7);
    const QImage row = paintRow(sprite.get(), false, QImage::Format(format), Qt::gray);
    QCOMPARE(darkPixels(row, QRect(0, 0, 40, 32)), 0);
    QCOMPARE(darkPixels(row, QRect(0, 0, kRowWidth, 16)), 0);
    // "D:7" is wider than "7".
    auto numbered = transparentSprite(7);
    const QImage plain = paintRow(numbered.get(), false, QImage::Format(format), Qt::gray);
    const int dummyInk = darkPixels(row, QRect(40, 16, kRowWidth - 40, 16));
    const int plainInk = darkPixels(plain, QRect(40, 16, kRowWidth - 40, 16));
    QVERIFY(dummyInk > plainInk);
    QVERIFY(isWhite(row.pixel(5, 5)));
  }
  void paintEmptySpriteRow_data() { paintSpriteRow_data(); }

  void paintBlankRow() {
    QFETCH(int, format);
    const QImage plain = paintRow(nullptr, false, QImage::Format(format), QColor(100, 100, 100));
    const QImage selected = paintRow(nullptr, true, QImage::Format(format), QColor(100, 100, 100));
    for (const QPoint& p : {QPoint(0, 0), QPoint(20, 20), QPoint(60, 25), QPoint(174, 31)}) {
      QVERIFY(near(plain.pixel(p), 100, 100, 100, 0));
      // Only the overlay: (166 * 175 + 100 * 80) / 255 and so on.
      QVERIFY(near(selected.pixel(p), 145, 175, 206));
    }
  }
  void paintBlankRow_data() { paintSpriteRow_data(); }

  void paintSpriteWithoutBitmapPaintsNothing() {
    auto sprite = tess::testing::makeEmptySprite(3);
    sprite->isDUmmy = false;
    const QImage row = paintRow(sprite.get(), false, QImage::Format_RGB32, QColor(100, 100, 100));
    QVERIFY(near(row.pixel(0, 0), 100, 100, 100, 0));
    QVERIFY(near(row.pixel(60, 25), 100, 100, 100, 0));
  }

  void fillRectBlendedFormula() {
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(QColor(0, 128, 255));
    QPainter painter(&image);
    tess::fillRectBlended(painter, QRect(0, 0, 2, 4), 0x0000FF, 255);  // red, plain fill
    tess::fillRectBlended(painter, QRect(2, 0, 2, 4), 0xFFFFFF, 128);
    painter.end();
    QVERIFY(near(image.pixel(0, 0), 255, 0, 0, 0));
    QVERIFY(near(image.pixel(3, 3), 128, 191, 255, 1));
  }

  void theListPaintsItsRows() {
    EditorFixture f;
    QVERIFY(f.openTestFile(12));
    QListView& list = *f.main->SpriteListBox;
    const QImage shot = list.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const qreal scale = list.viewport()->devicePixelRatioF();
    const auto at = [&](int x, int y) { return shot.pixel(int(x * scale), int(y * scale)); };
    for (int row : {0, 1, 3}) {
      const tess::TColor32 colour = tess::testing::testSpriteColour(row + 1);
      QCOMPARE(at(5, row * 32 + 5) & 0xFFFFFF, colour & 0xFFFFFF);
    }
    QVERIFY(isWhite(at(5, 4 * 32 + 5)));  // ID 5 is empty
    // Rows span the list's width and show their ID right of the picture.
    QCOMPARE(list.visualRect(list.model()->index(0, 0)).width(), list.viewport()->width());
    QVERIFY(darkPixels(shot, QRect(int(40 * scale), int(16 * scale), int(30 * scale),
                                   int(16 * scale))) > 0);
    for (const auto& sprite : f.core.spriteFile.Sprites) {
      if (sprite->bitmap && sprite->ID() <= 12) QCOMPARE(sprite->bitmap->DrawMode, tess::dmBlend);
    }
  }

  void theBlankFirstRowShowsOnlyTheOverlay() {
    EditorFixture f;
    QListView& list = *f.main->SpriteListBox;
    selectRows(list, {0});
    list.clearFocus();
    const QImage shot = list.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QColor base = list.palette().color(QPalette::Base);
    const QRgb pixel = shot.pixel(20, 10);
    const int red = (166 * 175 + base.red() * 80) / 255;
    const int green = (210 * 175 + base.green() * 80) / 255;
    const int blue = (255 * 175 + base.blue() * 80) / 255;
    QVERIFY(near(pixel, red, green, blue));
  }
};

TESS_UI_TEST_MAIN(SpriteListTest)
#include "test_spritelist.moc"

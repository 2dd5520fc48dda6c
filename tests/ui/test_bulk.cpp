// The commands that work on many sprites at once, through the real main window: sprite sheets in
// and out, images dropped on the window and pasted from the clipboard, copying an image, and the
// selection commands. Each edit among them is one step of the history.

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QImage>
#include <QItemSelectionModel>
#include <QListView>
#include <QMdiArea>
#include <QMimeData>
#include <QProgressBar>
#include <QProgressDialog>
#include <QSet>
#include <QTimer>
#include <QUrl>
#include <cstdint>
#include <string>
#include <vector>

#include "UiTestSupport.h"
#include "bitmap/TBitmap32.h"
#include "image/PNG.h"
#include "sprite/TSpriteFile.h"
#include "ui/BulkCommands.h"
#include "ui/EditHistory.h"
#include "ui/SpriteListModel.h"
#include "ui/SpriteSheetView.h"
#include "ui/TfrmSpriteSheet.h"

using tess::TBitmap32;
using tess::TColor32;
using tess::TSprite;
using tess::testing::EditorFixture;

namespace {

// The colour of tile `index` of a test sheet: opaque, different for every tile.
TColor32 tileColour(int index) {
  return 0xFF000000u | static_cast<TColor32>(0x101010 * (index + 1));
}

// A sheet of columns x rows tiles, each filled with tileColour of its index; the tiles listed in
// `transparent` are fully transparent.
TBitmap32 sheetOf(int columns, int rows, std::vector<int> transparent = {}) {
  TBitmap32 sheet;
  sheet.SetSizeAndFill(columns * 32, rows * 32, 0);
  for (int y = 0; y < sheet.Height(); ++y) {
    for (int x = 0; x < sheet.Width(); ++x) {
      const int index = (y / 32) * columns + x / 32;
      const bool clear =
          std::find(transparent.begin(), transparent.end(), index) != transparent.end();
      sheet.FBits()[y * sheet.Width() + x] = clear ? 0x00FFFFFFu : tileColour(index);
    }
  }
  return sheet;
}

QString writePng(const EditorFixture& f, const QString& name, const TBitmap32& picture) {
  const QString path = f.path(name);
  tess::savePngFile(picture, path.toStdString());
  return path;
}

QString writeBytes(const EditorFixture& f, const QString& name, const QByteArray& bytes) {
  const QString path = f.path(name);
  QFile file(path);
  if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(bytes);
  return path;
}

// Whether sprite `id` is filled with one colour.
bool filledWith(const EditorFixture& f, std::int32_t id, TColor32 colour) {
  const TSprite* const sprite = f.core.spriteFile.GetSpriteByID(id);
  if (!sprite || sprite->isDUmmy || !sprite->bitmap || sprite->bitmap->pixelCount() != 1024) {
    return false;
  }
  const TColor32* const pixels = sprite->bitmap->FBits();
  return std::all_of(pixels, pixels + 1024, [&](TColor32 p) { return p == colour; });
}

void selectRows(EditorFixture& f, std::initializer_list<int> rows) {
  QItemSelection selection;
  for (int row : rows) {
    const QModelIndex index = f.main->spriteListModel->index(row);
    selection.select(index, index);
  }
  f.main->SpriteListBox->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

std::size_t spriteCount(const EditorFixture& f) { return f.core.spriteFile.Sprites.size(); }

// Drops `files` on `target` as a file manager does: a drag entering it, then the drop.
void dropOn(QWidget* target, const QStringList& files) {
  QMimeData mime;
  QList<QUrl> urls;
  for (const QString& file : files) urls << QUrl::fromLocalFile(file);
  mime.setUrls(urls);
  const QPoint at = target->rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
}

// Records the titles of the windows that show while it lives.
class ShowWatcher : public QObject {
 public:
  ShowWatcher() { qApp->installEventFilter(this); }
  ~ShowWatcher() override { qApp->removeEventFilter(this); }
  QStringList titles;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show) {
      if (auto* widget = qobject_cast<QWidget*>(watched); widget && widget->isWindow())
        titles << widget->windowTitle();
    }
    return false;
  }
};

}  // namespace

// Cancels a progress window as soon as its bar reaches `at`: it watches for the window to show
// and follows its bar.
class CancelAtProgress : public QObject {
 public:
  CancelAtProgress(int at, bool& saw) : FAt(at), FSaw(saw) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* progress = qobject_cast<QProgressDialog*>(watched);
    if (event->type() == QEvent::Show && progress && !FFollowed.contains(progress)) {
      FFollowed.insert(progress);
      if (auto* bar = progress->findChild<QProgressBar*>()) {
        connect(bar, &QProgressBar::valueChanged, progress, [this, progress](int value) {
          if (value < FAt || progress->wasCanceled()) return;
          FSaw = true;
          progress->cancel();
        });
      }
    }
    return false;
  }

 private:
  int FAt;
  bool& FSaw;
  QSet<QObject*> FFollowed;
};

class BulkTest : public QObject {
  Q_OBJECT

 public:
  enum class DropTarget { List, SpriteSheet, WindowArea };
  Q_ENUM(DropTarget)

 private slots:
  // A sheet is cut left to right, then top to bottom, into new sprites at the end, as one step;
  // the option leaves fully transparent tiles out.
  void importSheet_data() {
    QTest::addColumn<bool>("skip");
    QTest::newRow("skipping transparent tiles") << true;
    QTest::newRow("keeping them") << false;
  }
  void importSheet() {
    QFETCH(bool, skip);
    EditorFixture f;
    QVERIFY(f.openTestFile(4));
    QVERIFY(f.main->SkipTransparentTiles1->isChecked());  // the default
    if (!skip) f.main->SkipTransparentTiles1->trigger();
    f.chooser.openAnswers.push_back({{writePng(f, "sheet.png", sheetOf(3, 2, {4}))}});
    f.main->ImportSheet1Click();
    QVERIFY(f.host.messages.empty());
    const std::vector<int> tiles =
        skip ? std::vector<int>{0, 1, 2, 3, 5} : std::vector<int>{0, 1, 2, 3, 4, 5};
    QCOMPARE(spriteCount(f), 4 + tiles.size());
    QCOMPARE(f.main->spriteListModel->rowCount(), static_cast<int>(4 + tiles.size()));
    for (std::size_t i = 0; i < tiles.size(); ++i) {
      const auto id = static_cast<std::int32_t>(5 + i);
      if (tiles[i] == 4) {
        QVERIFY(filledWith(f, id, 0x00FFFFFFu));
      } else {
        QVERIFY(filledWith(f, id, tileColour(tiles[i])));
      }
    }
    QCOMPARE(f.main->Undo1->text(), QStringLiteral("Undo Import %1 sprites").arg(tiles.size()));
    f.main->Undo1Click();
    QCOMPARE(spriteCount(f), std::size_t{4});
    QVERIFY(!f.main->history().canUndo());
  }

  void importSheetOfAnotherSize_data() {
    QTest::addColumn<QSize>("size");
    QTest::newRow("40x32") << QSize(40, 32);
    QTest::newRow("32x40") << QSize(32, 40);
    QTest::newRow("16x16") << QSize(16, 16);
    QTest::newRow("96x31") << QSize(96, 31);
  }
  void importSheetOfAnotherSize() {
    QFETCH(QSize, size);
    EditorFixture f;
    QVERIFY(f.openTestFile(4));
    TBitmap32 odd;
    odd.SetSizeAndFill(size.width(), size.height(), 0xFF123456u);
    f.chooser.openAnswers.push_back({{writePng(f, "odd.png", odd)}});
    f.main->ImportSheet1Click();
    QCOMPARE(f.host.messages.size(), std::size_t{1});
    const QString named = QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
    QVERIFY(QString::fromStdString(f.host.lastText()).contains(named));
    QCOMPARE(f.host.last()->caption, std::string("Error!"));
    QCOMPARE(spriteCount(f), std::size_t{4});
    QVERIFY(!f.main->history().canUndo());
  }

  // A sheet that takes more than a moment shows its progress while it is cut.
  void importSheetShowsItsProgress() {
    EditorFixture f;
    QVERIFY(f.openTestFile(4));
    f.main->progressDelayMs = 0;
    ShowWatcher shown;
    f.chooser.openAnswers.push_back({{writePng(f, "tall.png", sheetOf(4, 64))}});
    f.main->ImportSheet1Click();
    QVERIFY(f.host.messages.empty());
    QCOMPARE(spriteCount(f), std::size_t{4 + 4 * 64});
    QVERIFY(shown.titles.contains(QStringLiteral("Import sprite sheet")));
    QVERIFY(!f.main->findChild<QProgressDialog*>() ||
            !f.main->findChild<QProgressDialog*>()->isVisible());
  }

  // Add asks once per command whether to cut an image of whole tiles larger than a sprite.
  void addAsksToCutLargeImages_data() {
    QTest::addColumn<bool>("cut");
    QTest::newRow("Yes") << true;
    QTest::newRow("No") << false;
  }
  void addAsksToCutLargeImages() {
    QFETCH(bool, cut);
    EditorFixture f;
    QVERIFY(f.openTestFile(2));
    const QString big = writePng(f, "big.png", sheetOf(2, 2));
    const QString wide = writePng(f, "wide.png", sheetOf(3, 1));
    f.host.answers = {cut};
    f.chooser.openAnswers.push_back({{big, wide}});
    f.main->Add2Click();
    QCOMPARE(f.host.count("Cut 64x64 image into 4 sprites?"), 1);
    QCOMPARE(f.host.messages.size(), std::size_t{1});  // once per command
    if (cut) {
      QCOMPARE(spriteCount(f), std::size_t{2 + 4 + 3});
      QVERIFY(filledWith(f, 6, tileColour(3)));
      QVERIFY(filledWith(f, 9, tileColour(2)));
    } else {
      QCOMPARE(spriteCount(f), std::size_t{4});
      QVERIFY(filledWith(f, 3, tileColour(0)));  // the top-left 32x32, as Add always did
    }
    f.main->Undo1Click();
    QCOMPARE(spriteCount(f), std::size_t{2});
  }

  // Files dropped on the list, the sprite sheet or the empty window area are appended like Add,
  // in order, as one step; the others are named in one error box.
  void dropFiles_data() {
    QTest::addColumn<DropTarget>("where");
    QTest::newRow("on the list") << DropTarget::List;
    QTest::newRow("on the sprite sheet") << DropTarget::SpriteSheet;
    QTest::newRow("on the window area") << DropTarget::WindowArea;
  }
  void dropFiles() {
    QFETCH(DropTarget, where);
    EditorFixture f;
    QVERIFY(f.openTestFile(3));
    TBitmap32 red, blue;
    red.SetSizeAndFill(32, 32, 0xFFFF0000u);
    blue.SetSizeAndFill(32, 32, 0xFF0000FFu);
    const QString a = writePng(f, "a.png", red);
    const QString notes = writeBytes(f, "notes.txt", "not an image");
    const QString b = writePng(f, "b.png", blue);
    const QString gif = writeBytes(f, "c.gif", "GIF89a\x01\x00\x01\x00");
    QWidget* target = f.main->childArea->viewport();
    if (where == DropTarget::List) target = f.main->SpriteListBox->viewport();
    if (where == DropTarget::SpriteSheet) {
      f.main->SpriteSheet1Click();
      target = f.main->spriteSheetDialog->sheet->viewport();
    }
    dropOn(target, {a, notes, b, gif});
    QCOMPARE(spriteCount(f), std::size_t{5});
    QVERIFY(filledWith(f, 4, 0xFFFF0000u));
    QVERIFY(filledWith(f, 5, 0xFF0000FFu));
    QCOMPARE(f.host.messages.size(), std::size_t{1});
    const QString text = QString::fromStdString(f.host.lastText());
    QVERIFY(text.contains(QStringLiteral("notes.txt")));
    QVERIFY(text.contains(QStringLiteral("c.gif")));
    QVERIFY(!text.contains(QStringLiteral("a.png")));
    QCOMPARE(f.main->Undo1->text(), QStringLiteral("Undo Add 2 sprites"));
    f.main->Undo1Click();
    QCOMPARE(spriteCount(f), std::size_t{3});
  }

  // Paste appends the clipboard's image with its alpha; an image of whole tiles is cut after the
  // question. Copy image puts the focus row's sprite there, alpha included.
  void pasteAndCopy() {
    EditorFixture f;
    QVERIFY(f.openTestFile(3));
    QImage small(32, 32, QImage::Format_ARGB32);
    small.fill(QColor::fromRgba(0xFF203040u));
    small.setPixel(3, 4, 0x80102030u);
    QApplication::clipboard()->setImage(small);
    QVERIFY(QTest::qWaitForWindowActive(f.main.get()));
    f.main->SpriteListBox->setFocus();
    QTest::keyClick(f.main->SpriteListBox, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(spriteCount(f), std::size_t{4});
    const TSprite* pasted = f.core.spriteFile.GetSpriteByID(4);
    QCOMPARE(pasted->bitmap->GetPixel(3, 4), TColor32{0x80102030u});
    QCOMPARE(pasted->bitmap->GetPixel(0, 0), TColor32{0xFF203040u});
    QVERIFY(f.host.messages.empty());

    QApplication::clipboard()->setImage(tess::imageFromBitmap(sheetOf(3, 2)));
    f.host.answers = {true};
    QTest::keyClick(f.main->SpriteListBox, Qt::Key_Insert, Qt::ShiftModifier);
    QCOMPARE(f.host.count("Cut 96x64 image into 6 sprites?"), 1);
    QCOMPARE(spriteCount(f), std::size_t{10});
    QVERIFY(filledWith(f, 10, tileColour(5)));
    f.main->Undo1Click();
    QCOMPARE(spriteCount(f), std::size_t{4});

    // Copy the pasted sprite back: the same pixels, alpha and all.
    QApplication::clipboard()->clear();
    f.main->SpriteListBox->setCurrentIndex(f.main->spriteListModel->index(3));
    QTest::keyClick(f.main->SpriteListBox, Qt::Key_Insert, Qt::ControlModifier);
    const QImage copied = QApplication::clipboard()->image().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(copied.size(), QSize(32, 32));
    QCOMPARE(copied.pixel(3, 4), 0x80102030u);
    QCOMPARE(copied.pixel(0, 0), 0xFF203040u);
  }

  void pasteWithoutImage() {
    EditorFixture f;
    QVERIFY(f.openTestFile(3));
    QApplication::clipboard()->setText(QStringLiteral("text"));
    f.main->Paste1Click();
    QCOMPARE(f.host.lastText(), std::string("The clipboard holds no image."));
    QCOMPARE(spriteCount(f), std::size_t{3});
  }

  // Duplicates: every sprite whose image equals one with a lower ID; empty and cleared sprites
  // never count.
  void selectDuplicates() {
    EditorFixture f;
    QVERIFY(f.openTestFile(6));  // 5 is empty
    auto& sprites = f.core.spriteFile.Sprites;
    const auto fill = [&](int id, TColor32 colour) {
      sprites[id - 1]->bitmap->SetSizeAndFill(32, 32, colour);
    };
    fill(1, 0xFF111111u);
    fill(2, 0xFF222222u);
    fill(3, 0xFF111111u);
    fill(4, 0xFF111111u);
    fill(6, 0xFF222222u);
    sprites[3]->isDUmmy = true;  // 4 is now a cleared sprite hiding the same image
    selectRows(f, {0});
    f.main->SelectDuplicates1Click();
    QCOMPARE(f.main->getSelectedItems(), (std::vector<int>{2, 5}));
    QCOMPARE(f.host.lastText(), std::string("Found 2 duplicates of other sprites in 2 groups."));
    QVERIFY(!f.main->history().canUndo());  // selecting is no edit
  }

  void selectEmptyAndTheSelectionKeys() {
    EditorFixture f;
    QVERIFY(f.openTestFile(7));  // 5 is empty
    f.core.spriteFile.Sprites[1]->bitmap->SetSizeAndFill(32, 32, 0x00ABCDEFu);
    f.main->SelectEmpty1Click();
    QCOMPARE(f.main->getSelectedItems(), (std::vector<int>{1, 4}));

    QWidget* list = f.main->SpriteListBox;
    QVERIFY(QTest::qWaitForWindowActive(f.main.get()));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_I, Qt::ControlModifier);
    QCOMPARE(f.main->getSelectedItems(), (std::vector<int>{0, 2, 3, 5, 6}));
    QTest::keyClick(list, Qt::Key_Backslash, Qt::ControlModifier);
    QVERIFY(f.main->getSelectedItems().empty());
    QTest::keyClick(list, Qt::Key_Slash, Qt::ControlModifier);
    QCOMPARE(f.main->getSelectedItems().size(), std::size_t{7});
  }

  // The number of columns chosen, and the save dialog asks before it replaces a file.
  void exportSheetInTheColumnsChosen() {
    EditorFixture f;
    QVERIFY(f.openTestFile(6));  // 5 is empty
    f.main->SpriteListBox->selectAll();
    const QString out = f.path("wide.png");
    f.chooser.numberAnswers.push_back(4);
    f.chooser.saveAnswers.push_back({out});
    f.main->ExportSheet1Click();
    QVERIFY(f.host.messages.empty());
    QCOMPARE(f.chooser.calls.front().kind, tess::testing::ScriptedChooser::Kind::Number);
    QVERIFY(f.chooser.calls.back().setup.confirmOverwrite);
    TBitmap32 sheet;
    QVERIFY(tess::loadPngFile(sheet, out.toStdString()));
    QCOMPARE(sheet.Width(), 4 * 32);
    QCOMPARE(sheet.Height(), 2 * 32);
    // The empty sprite 5 starts the second row, sprite 6 follows it.
    const TColor32* four = f.core.spriteFile.Sprites[3]->bitmap->FBits();
    const TColor32* six = f.core.spriteFile.Sprites[5]->bitmap->FBits();
    QCOMPARE(sheet.GetPixel(3 * 32 + 1, 2), four[2 * 32 + 1]);
    QCOMPARE(tess::AlphaOf(sheet.GetPixel(1, 32 + 2)), std::uint8_t{0});
    QCOMPARE(sheet.GetPixel(32 + 1, 32 + 2), six[2 * 32 + 1]);

    // Cancelling the columns writes nothing.
    f.chooser.numberAnswers.push_back(std::nullopt);
    QVERIFY(QFile::remove(out));
    f.main->ExportSheet1Click();
    QVERIFY(!QFile::exists(out));
  }

  // The selected sprites in ID order, into one PNG; empty sprites leave transparent cells.
  void exportSheet() {
    EditorFixture f;
    QVERIFY(f.openTestFile(6));  // 5 is empty
    selectRows(f, {5, 0, 4, 2});
    const QString out = f.path("out/sheet.png");
    QVERIFY(QDir().mkpath(f.path("out")));
    f.chooser.saveAnswers.push_back({out});
    f.main->ExportSheet1Click();
    QVERIFY(f.host.messages.empty());
    TBitmap32 sheet;
    QVERIFY(tess::loadPngFile(sheet, out.toStdString()));
    // Four cells: two columns, two rows.
    QCOMPARE(sheet.Width(), 64);
    QCOMPARE(sheet.Height(), 64);
    const TColor32* one = f.core.spriteFile.Sprites[0]->bitmap->FBits();
    const TColor32* three = f.core.spriteFile.Sprites[2]->bitmap->FBits();
    const TColor32* six = f.core.spriteFile.Sprites[5]->bitmap->FBits();
    QCOMPARE(sheet.GetPixel(7, 9), one[9 * 32 + 7]);
    QCOMPARE(sheet.GetPixel(32 + 7, 9), three[9 * 32 + 7]);
    QCOMPARE(tess::AlphaOf(sheet.GetPixel(7, 32 + 9)), std::uint8_t{0});
    QCOMPARE(sheet.GetPixel(32 + 7, 32 + 9), six[9 * 32 + 7]);
  }

  // A large export shows its progress and can be cancelled; what was written stays.
  void exportCanBeCancelled() {
    EditorFixture f;
    QVERIFY(f.openTestFile(1200, 1));
    f.main->progressDelayMs = 0;
    f.main->SpriteListBox->selectAll();
    const QString folder = f.path("export");
    QVERIFY(QDir().mkpath(folder));
    f.chooser.folderAnswers.push_back(folder);
    // The user presses Cancel once the bar passes 100, whatever the speed of the machine: the
    // press follows the bar itself, not a clock.
    bool sawProgress = false;
    CancelAtProgress canceller(100, sawProgress);
    qApp->installEventFilter(&canceller);
    f.main->Export1Click();
    qApp->removeEventFilter(&canceller);
    QVERIFY(sawProgress);
    const int written = static_cast<int>(QDir(folder).entryList(QDir::Files).size());
    QVERIFY(written >= 80);
    QVERIFY(written < 960);  // 1200 less the empty ones
    QVERIFY(QFile::exists(folder + QStringLiteral("/1.png")));
  }
};

TESS_UI_TEST_MAIN(BulkTest)
#include "test_bulk.moc"

// The status line: what each command did, in one line, with the notes it gathered, read through
// the main window's status line as the user reads the status bar.

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <cstdint>
#include <string>

#include "UiTestSupport.h"
#include "bitmap/TBitmap32.h"
#include "image/PNG.h"
#include "sprite/TSpriteFile.h"
#include "ui/BulkCommands.h"
#include "ui/EditHistory.h"
#include "ui/SpriteListModel.h"
#include "ui/StatusLine.h"
#include "ui/TfrmFileDialog.h"

using tess::TBitmap32;
using tess::TfrmFileDialog;
using tess::testing::EditorFixture;

namespace {

QStringList statusOf(const EditorFixture& f) { return f.main->statusLine().lines(); }

QString writePng(const EditorFixture& f, const QString& name, int width, int height,
                 tess::TColor32 fill = 0xFF336699u) {
  TBitmap32 picture;
  picture.SetSizeAndFill(width, height, fill);
  const QString path = f.path(name);
  tess::savePngFile(picture, path.toStdString());
  return path;
}

// A plain 32-bit BMP whose fourth bytes are all 0: it comes in fully transparent.
QString writeZeroAlphaBmp(const EditorFixture& f, const QString& name) {
  QByteArray bytes;
  const auto u16 = [&](int v) {
    bytes.append(static_cast<char>(v & 0xFF)).append(static_cast<char>((v >> 8) & 0xFF));
  };
  const auto u32 = [&](std::uint32_t v) {
    u16(static_cast<int>(v & 0xFFFF));
    u16(static_cast<int>(v >> 16));
  };
  bytes.append("BM");
  u32(54 + 32 * 32 * 4);
  u32(0);
  u32(54);
  u32(40);
  u32(32);
  u32(32);
  u16(1);
  u16(32);
  u32(0);
  u32(32 * 32 * 4);
  u32(2835);
  u32(2835);
  u32(0);
  u32(0);
  for (int i = 0; i < 32 * 32; ++i) bytes.append("\x10\x20\x30\x00", 4);
  const QString path = f.path(name);
  QFile file(path);
  if (file.open(QIODevice::WriteOnly)) file.write(bytes);
  return path;
}

void selectRows(EditorFixture& f, int first, int last) {
  f.main->SpriteListBox->selectionModel()->select(
      QItemSelection(f.main->spriteListModel->index(first), f.main->spriteListModel->index(last)),
      QItemSelectionModel::ClearAndSelect);
}

}  // namespace

class StatusLineTest : public QObject {
  Q_OBJECT

 private slots:
  void countsAreGroupedAsUsersReadThem() {
    QCOMPARE(tess::groupedNumber(0), std::string("0"));
    QCOMPARE(tess::groupedNumber(999), std::string("999"));
    QCOMPARE(tess::groupedNumber(120100), std::string("120,100"));
    QCOMPARE(tess::groupedNumber(2000000), std::string("2,000,000"));
    QCOMPARE(tess::spriteRange(1, 7), std::string("1 sprite (ID 7)"));
    QCOMPARE(tess::spriteRange(5, 20001), std::string("5 sprites (IDs 20001\u201320005)"));
  }

  // Add says what it added, brings the first new sprite into view and selects the new ones; an
  // image that was fitted or that comes in fully transparent gets a line of its own.
  void addSaysWhatItAddedWithANoteForEachImageThatChanged() {
    EditorFixture f;
    QVERIFY(f.openTestFile(400));
    f.chooser.openAnswers.push_back(
        {{writePng(f, "icon.png", 40, 30), writePng(f, "whole.png", 32, 32),
          writeZeroAlphaBmp(f, "rgb32.bmp"), writePng(f, "small.png", 10, 10)}});
    f.main->Add2Click();
    QVERIFY(f.host.messages.empty());
    QCOMPARE(statusOf(f), QStringList({"Added 4 sprites (IDs 401\u2013404)",
                                       "icon.png is 40x30: cut and padded to 32x32 with black",
                                       "rgb32.bmp: every pixel is transparent; the sprite is empty",
                                       "small.png is 10x10: padded to 32x32 with black"}));
    QListView& list = *f.main->SpriteListBox;
    QCOMPARE(list.currentIndex().row(), 400);
    QApplication::processEvents();
    QVERIFY(list.viewport()->rect().contains(list.visualRect(list.currentIndex())));
    for (int row = 400; row < 404; ++row) {
      QVERIFY(list.selectionModel()->isSelected(f.main->spriteListModel->index(row)));
    }
  }

  // Each command that finishes says what it did.
  void everyCommandSaysWhatItDid() {
    EditorFixture f;
    QVERIFY(f.openTestFile(10));  // every fifth sprite is empty

    selectRows(f, 0, 2);
    f.main->Clear1Click();
    QCOMPARE(statusOf(f), QStringList({"Cleared 3 sprites"}));
    f.main->Undo1Click();
    QCOMPARE(statusOf(f), QStringList({"Undone: Clear 3 sprites"}));
    f.main->Redo1Click();
    QCOMPARE(statusOf(f), QStringList({"Redone: Clear 3 sprites"}));

    f.main->SelectEmpty1Click();
    QCOMPARE(statusOf(f), QStringList({"Selected 5 empty sprites"}));

    selectRows(f, 0, 9);
    const QString folder = f.path("pngs");
    QVERIFY(QDir().mkpath(folder));
    f.chooser.folderAnswers.push_back(folder);
    f.main->Export1Click();
    // Three cleared and two empty sprites are no files.
    QCOMPARE(statusOf(f),
             QStringList({"Exported 5 PNG files to " + QDir::toNativeSeparators(folder)}));

    selectRows(f, 5, 6);
    f.main->Clone1Click();
    QCOMPARE(statusOf(f), QStringList({"Cloned 2 sprites (IDs 11\u201312)"}));

    QApplication::clipboard()->setImage(tess::imageFromBitmap([] {
      TBitmap32 picture;
      picture.SetSizeAndFill(32, 32, 0xFF102030u);
      return picture;
    }()));
    f.main->Paste1Click();
    QCOMPARE(statusOf(f), QStringList({"Pasted 1 sprite (ID 13)"}));
    QCOMPARE(f.main->SpriteListBox->currentIndex().row(), 12);
  }

  // Export into a folder that cannot be written no longer fails without a word.
  void exportIntoAMissingFolderSaysWhy() {
    EditorFixture f;
    QVERIFY(f.openTestFile(4));
    selectRows(f, 0, 3);
    const QString missing = f.path("no/such/folder");
    f.chooser.folderAnswers.push_back(missing);
    f.main->Export1Click();
    QCOMPARE(f.host.messages.size(), std::size_t{1});
    const QString expected = "Cannot write to " + QDir::toNativeSeparators(missing) + ": ";
    QVERIFY2(QString::fromStdString(f.host.lastText()).startsWith(expected),
             f.host.lastText().c_str());
    QCOMPARE(statusOf(f).first(), "Exported 0 PNG files to " + QDir::toNativeSeparators(missing));
  }

  // Open and save through the window say how many sprites, in which version and how long; an
  // open by hand in a version whose signature is another's says so; a failed one says why.
  void openAndSaveSayWhatTheyDid() {
    EditorFixture f;
    // 10.98's signature in 7.6's layout (16-bit counts): opened as 7.6 it reads.
    const QString path = f.path("hand.spr");
    QVERIFY(tess::testing::writeSprFile(path, tess::testing::makeTestSprites(12),
                                        f.core.versions.at(1).spriteSignature, false));
    f.main->Open1Click();
    TfrmFileDialog& dialog = *f.main->dialog;
    std::int64_t now = 1000;
    dialog.clockMs = [&now] { return now += 200; };
    dialog.edtSpr->setText(path);
    dialog.cmbVersion->setCurrentIndex(1);
    QTest::mouseClick(dialog.btnExecute, Qt::LeftButton);
    QVERIFY(f.host.messages.empty());
    QCOMPARE(statusOf(f).size(), 2);
    QVERIFY2(QRegularExpression("^Opened 12 sprites as 7\\.6 in \\d+\\.\\d s$")
                 .match(statusOf(f).at(0))
                 .hasMatch(),
             qPrintable(statusOf(f).at(0)));
    QCOMPARE(statusOf(f).at(1), QStringLiteral("The file's signature 57BBD603 is 10.98's, "
                                               "opened as 7.6"));

    f.main->Save1Click();
    dialog.edtSpr->setText(f.path("saved.spr"));
    dialog.cmbVersion->setCurrentIndex(1);
    QTest::mouseClick(dialog.btnExecute, Qt::LeftButton);
    QVERIFY2(QRegularExpression("^Saved 12 sprites as 10\\.98 in \\d+\\.\\d s$")
                 .match(statusOf(f).at(0))
                 .hasMatch(),
             qPrintable(statusOf(f).at(0)));

    // A file that does not hold together: the box as always, and the reason in the status line.
    const QString broken = f.path("broken.spr");
    QFile file(broken);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray("\x03\xD6\xBB\x57\x05\x00\x00\x00\xFF\xFF\x00\x00", 12));
    file.close();
    f.main->Open1Click();
    dialog.edtSpr->setText(broken);
    dialog.cmbVersion->setCurrentIndex(2);
    QTest::mouseClick(dialog.btnExecute, Qt::LeftButton);
    QCOMPARE(f.host.count("Cannot load Sprite file!"), 1);
    QVERIFY2(statusOf(f).first().startsWith("Cannot load " + broken + ": "),
             qPrintable(statusOf(f).first()));
    QVERIFY(statusOf(f).first().size() > ("Cannot load " + broken + ": ").size());
  }
};

TESS_UI_TEST_MAIN(StatusLineTest)
#include "test_statusline.moc"

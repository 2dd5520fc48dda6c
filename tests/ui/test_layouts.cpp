// Files of layouts the catalog does not name, opened through the real open window: the question
// for a signature no version has, the version that exists for the run, and the hint after a
// version chosen by hand fails.

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "UiTestSupport.h"
#include "image/PNG.h"
#include "sprite/TSpriteFile.h"
#include "ui/SpriteListModel.h"
#include "ui/TfrmFileDialog.h"
#include "ui/TfrmNewFile.h"

using tess::TMsgIcon;
using tess::TSprLayout;
using tess::testing::EditorFixture;

namespace {

// Writes makeTestSprites(count), one pixel of each made half transparent, as `layout`.
bool writeFile(EditorFixture& f, const QString& path, int count, std::uint32_t signature,
               TSprLayout layout) {
  tess::TSpriteFile file(f.host);
  file.Sprites = tess::testing::makeTestSprites(count);
  for (auto& sprite : file.Sprites) {
    if (sprite->bitmap) sprite->bitmap->FBits()[7] = 0x80102030u;
  }
  return file.save(path.toStdString(), static_cast<std::int32_t>(signature), layout);
}

QByteArray bytesOf(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void openThroughWindow(EditorFixture& f, const QString& path, int position) {
  f.main->Open1Click();
  f.main->dialog->edtSpr->setText(path);
  f.main->dialog->cmbVersion->setCurrentIndex(position);
  QTest::mouseClick(f.main->dialog->btnExecute, Qt::LeftButton);
}

}  // namespace

class LayoutsTest : public QObject {
  Q_OBJECT

 private slots:
  // Images come into a file with alpha with their own colours and alpha, through Add, Replace
  // and a sprite sheet; into a file without, a partly transparent pixel is composited over
  // white as before.
  void importKeepsTheImagesAlphaWhereTheVersionHasIt_data() {
    QTest::addColumn<bool>("alpha");
    QTest::addColumn<std::uint32_t>("expected");
    QTest::newRow("version with alpha") << true << 0x80102030u;
    QTest::newRow("version without alpha") << false << 0x80878F97u;
  }
  void importKeepsTheImagesAlphaWhereTheVersionHasIt() {
    QFETCH(bool, alpha);
    QFETCH(std::uint32_t, expected);
    EditorFixture::Options options;
    options.versions = {{"A32", 0xA1A1A132u, true, alpha}};
    EditorFixture f(options);
    f.newFile(0);
    tess::TBitmap32 picture;
    picture.SetSizeAndFill(32, 32, 0xFF010203u);
    picture.FBits()[0] = 0x80102030u;
    const QString png = f.path("half.png");
    tess::savePngFile(picture, png.toStdString());
    tess::TBitmap32 sheet;
    sheet.SetSizeAndFill(64, 32, 0xFF010203u);
    sheet.FBits()[0] = 0x80102030u;
    sheet.FBits()[32] = 0x80102030u;
    const QString sheetPng = f.path("sheet.png");
    tess::savePngFile(sheet, sheetPng.toStdString());

    f.chooser.openAnswers.push_back({{png}});
    f.main->Add1Click();
    QCOMPARE(f.core.spriteFile.Sprites.size(), std::size_t{1});
    f.chooser.openAnswers.push_back({{sheetPng}});
    f.main->ImportSheet1Click();
    QCOMPARE(f.core.spriteFile.Sprites.size(), std::size_t{3});
    f.chooser.openAnswers.push_back({{png}});
    f.main->SpriteListBox->selectionModel()->select(f.main->spriteListModel->index(2),
                                                    QItemSelectionModel::ClearAndSelect);
    f.main->Replace1Click();
    QVERIFY(f.host.messages.empty());

    for (const std::size_t k : {std::size_t{0}, std::size_t{1}, std::size_t{2}}) {
      const tess::TColor32* pixels = f.core.spriteFile.Sprites[k]->bitmap->FBits();
      QCOMPARE(pixels[0], tess::TColor32{expected});
      QCOMPARE(pixels[1], tess::TColor32{0xFF010203u});
    }
  }

  // A signature no version has: the file's own layout is detected and offered; Yes opens it as a
  // version for this run, listed last, that saves the file as it was; No changes nothing.
  void unknownSignatureIsOffered_data() {
    QTest::addColumn<bool>("sprite32");
    QTest::addColumn<bool>("alpha");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QString>("question");
    const QString base = QStringLiteral(
        "No version in config.ini has the signature 0BADF00D. Open it as a file "
        "with %1-bit sprite counts and %2?");
    QTest::newRow("32-bit, alpha, Yes") << true << true << true << base.arg(32).arg("alpha");
    QTest::newRow("16-bit, no alpha, Yes")
        << false << false << true << base.arg(16).arg("no alpha");
    QTest::newRow("32-bit, alpha, No") << true << true << false << base.arg(32).arg("alpha");
  }
  void unknownSignatureIsOffered() {
    QFETCH(bool, sprite32);
    QFETCH(bool, alpha);
    QFETCH(bool, yes);
    QFETCH(QString, question);
    EditorFixture f;
    const QString path = f.path("custom.spr");
    QVERIFY(writeFile(f, path, 12, 0x0BADF00Du, TSprLayout{sprite32, alpha}));
    const QByteArray original = bytesOf(path);
    f.host.answers = {yes};
    openThroughWindow(f, path, 0);
    QVERIFY(!f.host.messages.empty());
    QCOMPARE(QString::fromStdString(f.host.messages[0].text), question);
    QCOMPARE(f.host.messages[0].caption, std::string("Files"));
    if (!yes) {
      QCOMPARE(f.host.lastText(), std::string("cannot auto detect this Sprite File!"));
      QVERIFY(!f.core.spriteFile.loaded);
      QCOMPARE(f.core.versions.size(), std::size_t{2});
      return;
    }
    QCOMPARE(f.host.messages.size(), std::size_t{1});
    QCOMPARE(f.core.spriteFile.Sprites.size(), std::size_t{12});
    QCOMPARE(f.main->windowTitle(),
             QStringLiteral("Tessaline (Unknown (0BADF00D)) - file: ") + path);
    // The pixel that is half transparent comes back as it was only where the file has alpha.
    QCOMPARE(f.core.spriteFile.Sprites[0]->bitmap->FBits()[7], alpha ? 0x80102030u : 0xFF102030u);

    // Listed last in the save window; saving in it gives back the same bytes.
    f.main->Save1Click();
    QComboBox& versions = *f.main->dialog->cmbVersion;
    QCOMPARE(versions.itemText(versions.count() - 1), QStringLiteral("Unknown (0BADF00D)"));
    const QString again = f.path("again.spr");
    f.main->dialog->edtSpr->setText(again);
    versions.setCurrentIndex(versions.count() - 1);
    QTest::mouseClick(f.main->dialog->btnExecute, Qt::LeftButton);
    QCOMPARE(bytesOf(again), original);

    // Opening another such file again adds no second entry.
    f.host.answers = {true};
    openThroughWindow(f, path, 0);
    QCOMPARE(f.core.versions.size(), std::size_t{3});
  }

  // A version chosen by hand that does not read the file: after the messages of a failed open,
  // one more says which version does.
  void wrongVersionGetsAHint() {
    EditorFixture f;
    const QString path = f.path("wide.spr");
    // 10.98's signature and layout (32-bit counts, no alpha), opened as 7.6 (16-bit counts).
    QVERIFY(writeFile(f, path, 20, f.core.versions.at(1).spriteSignature, TSprLayout{true, false}));
    openThroughWindow(f, path, 1);
    QVERIFY(f.host.count("Cannot load Sprite file!") == 1);
    QCOMPARE(f.host.lastText(),
             std::string("This file reads as 10.98 (32-bit counts, without alpha). Choose that "
                         "version to open it."));
    QVERIFY(!f.core.spriteFile.loaded);
  }

  // When no version of the file's signature has the layout it reads as, the hint names that
  // layout as a version of this run, which the open window and an open new-file window then
  // list, and choosing it opens the file.
  void hintedVersionOfThisRunCanBeChosen() {
    EditorFixture f;
    f.main->New1Click();
    QComboBox& newVersions = *f.main->newDialog->cmbVersion;
    QCOMPARE(newVersions.count(), 2);
    const QString path = f.path("alpha.spr");
    QVERIFY(writeFile(f, path, 20, f.core.versions.at(1).spriteSignature, TSprLayout{true, true}));
    openThroughWindow(f, path, 2);
    QCOMPARE(f.host.lastText(),
             std::string("This file reads as 10.98 (32-bit, alpha). Choose that version to open "
                         "it."));
    QComboBox& versions = *f.main->dialog->cmbVersion;
    QCOMPARE(versions.count(), 4);
    QCOMPARE(versions.itemText(3), QStringLiteral("10.98 (32-bit, alpha)"));
    f.main->New1Click();
    QCOMPARE(f.main->newDialog->cmbVersion->count(), 3);
    QCOMPARE(f.main->newDialog->cmbVersion->itemText(2), QStringLiteral("10.98 (32-bit, alpha)"));

    f.host.clearMessages();
    openThroughWindow(f, path, 3);
    QVERIFY(f.host.messages.empty());
    QCOMPARE(f.core.spriteFile.Sprites.size(), std::size_t{20});
    QCOMPARE(f.core.spriteFile.Sprites[0]->bitmap->FBits()[7], 0x80102030u);
  }

  // Custom clients keep a known version's signature in another layout. Auto detect opens such a
  // file in the one layout that reads it, named after the version and the layout; the save
  // window offers that version first, and saving in it gives back the same bytes.
  void knownSignatureInAnotherLayoutOpensWithAutoDetect_data() {
    QTest::addColumn<int>("entry");
    QTest::addColumn<bool>("sprite32");
    QTest::addColumn<bool>("alpha");
    QTest::addColumn<QString>("name");
    const struct {
      int entry;
      bool sprite32;
      bool alpha;
      const char* name;
    } cases[] = {
        {1, true, true, "10.98 (32-bit, alpha)"},
        {1, false, false, "10.98 (16-bit, no alpha)"},
        {1, false, true, "10.98 (16-bit, alpha)"},
        {0, true, false, "8.60 (32-bit, no alpha)"},
        {0, false, true, "8.60 (16-bit, alpha)"},
        {0, true, true, "8.60 (32-bit, alpha)"},
        {2, false, false, "Custom (16-bit, no alpha)"},
        {2, true, false, "Custom (32-bit, no alpha)"},
        {2, false, true, "Custom (16-bit, alpha)"},
    };
    for (const auto& c : cases) {
      QTest::newRow(c.name) << c.entry << c.sprite32 << c.alpha << QString::fromLatin1(c.name);
    }
  }
  void knownSignatureInAnotherLayoutOpensWithAutoDetect() {
    QFETCH(int, entry);
    QFETCH(bool, sprite32);
    QFETCH(bool, alpha);
    QFETCH(QString, name);
    EditorFixture::Options options;
    options.versions = {{"8.60", 0x4C220594u, false, false},
                        {"10.98", 0x57BBD603u, true, false},
                        {"Custom", 0xC0C0A1FAu, true, true}};
    EditorFixture f(options);
    const QString path = f.path("variant.spr");
    const std::uint32_t signature = options.versions.at(static_cast<std::size_t>(entry)).signature;
    QVERIFY(writeFile(f, path, 30, signature, TSprLayout{sprite32, alpha}));
    const QByteArray original = bytesOf(path);

    openThroughWindow(f, path, 0);
    QVERIFY2(f.host.messages.empty(), f.host.lastText().c_str());
    QCOMPARE(f.core.spriteFile.Sprites.size(), std::size_t{30});
    QCOMPARE(f.main->windowTitle(), QStringLiteral("Tessaline (%1) - file: %2").arg(name, path));
    QCOMPARE(f.core.spriteFile.Sprites[0]->bitmap->FBits()[7], alpha ? 0x80102030u : 0xFF102030u);
    QComboBox& openVersions = *f.main->dialog->cmbVersion;
    QCOMPARE(openVersions.itemText(openVersions.count() - 1), name);
    // Its list shows the name whole, though the box is narrower.
    QVERIFY(openVersions.view()->minimumWidth() >=
            openVersions.view()->fontMetrics().horizontalAdvance(name));
    QCOMPARE(openVersions.view()->textElideMode(), Qt::ElideNone);

    // The save window offers the layout the file has; the catalog entries stay as they were.
    f.main->Save1Click();
    QComboBox& versions = *f.main->dialog->cmbVersion;
    QCOMPARE(versions.currentText(), name);
    QCOMPARE(versions.count(), 4);
    const QString again = f.path("again.spr");
    f.main->dialog->edtSpr->setText(again);
    QTest::mouseClick(f.main->dialog->btnExecute, Qt::LeftButton);
    QVERIFY2(f.host.messages.empty(), f.host.lastText().c_str());
    QCOMPARE(bytesOf(again), original);
    QCOMPARE(f.main->windowTitle(), QStringLiteral("Tessaline (%1) - file: %2").arg(name, again));
  }

  // A file in a catalog entry's own layout: the save window still starts with no choice.
  void catalogFilesStartTheSaveWindowWithoutAChoice() {
    EditorFixture f;
    QVERIFY(f.openTestFile(5, 1));
    f.main->Save1Click();
    QCOMPARE(f.main->dialog->cmbVersion->currentIndex(), -1);
  }
};

TESS_UI_TEST_MAIN(LayoutsTest)
#include "test_layouts.moc"

// The open and save window, driven through the real main window and its commands.

#include <QAbstractItemModel>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMdiArea>
#include <QMovie>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "UiTestSupport.h"
#include "core/editorCore.h"
#include "sprite/TSpriteFile.h"
#include "ui/TfrmFileDialog.h"
#include "ui/TfrmFileProperties.h"
#include "ui/TfrmMain.h"
#include "ui/TfrmNewFile.h"

using tess::TfrmFileDialog;
using tess::TMsgIcon;
using tess::TonLoadSprite;
using tess::testing::EditorFixture;
using tess::testing::ShownMessage;
using tess::testing::TestVersion;

namespace {

// A progress listener registered after the window's own, so it runs in the middle of a load or
// save exactly where a user's click would be handled.
class RunProbe {
 public:
  explicit RunProbe(tess::TSpriteFile& file) : FFile(file) {
    FFile.onLoadSprite.push_back(TonLoadSprite(this, &RunProbe::onSprite));
  }
  ~RunProbe() {
    tess::removeListener(FFile.onLoadSprite, TonLoadSprite(this, &RunProbe::onSprite));
  }
  RunProbe(const RunProbe&) = delete;
  RunProbe& operator=(const RunProbe&) = delete;

  void onSprite(std::int32_t id, std::int32_t total) {
    ++calls;
    lastId = id;
    lastTotal = total;
    if (action) action(id, total);
  }

  std::function<void(std::int32_t, std::int32_t)> action;
  int calls = 0;
  std::int32_t lastId = 0;
  std::int32_t lastTotal = 0;

 private:
  tess::TSpriteFile& FFile;
};

TfrmFileDialog* showOpen(EditorFixture& f) {
  f.main->Open1Click();
  return f.main->dialog.data();
}

// Save mode without the main window's "file loaded" check in front of it.
TfrmFileDialog* showSave(EditorFixture& f) {
  if (f.core.spriteFile.loaded) {
    f.main->Save1Click();
  } else {
    f.main->Open1Click();
    f.main->dialog->enterInSaveMode();
  }
  return f.main->dialog.data();
}

void execute(TfrmFileDialog* dialog) { QTest::mouseClick(dialog->btnExecute, Qt::LeftButton); }

int listRows(const EditorFixture& f) { return f.main->SpriteListBox->model()->rowCount(); }

QByteArray fileBytes(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

bool writeBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  return file.write(bytes) == bytes.size();
}

std::uint32_t readU32(const QByteArray& bytes, int at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<std::uint8_t>(bytes[at + i]);
  return value;
}

std::string title(const EditorFixture& f) { return f.main->windowTitle().toStdString(); }

std::vector<std::string> texts(const std::vector<ShownMessage>& messages) {
  std::vector<std::string> out;
  for (const ShownMessage& m : messages) out.push_back(m.text);
  return out;
}

QString describe(const std::vector<ShownMessage>& messages) {
  QStringList parts;
  for (const ShownMessage& m : messages) parts << QString::fromStdString(m.text);
  return parts.join(QStringLiteral(" | "));
}

}  // namespace

class FileDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void layoutAndTabOrder();
  void modesRebuildTheChoices();
  void browseSetsUpTheDialogs();
  void openWithChosenVersion();
  void autoDetectTakesTheFirstMatchingEntry();
  void detectVersionReadsOnlyAWholeSignature();
  void failureTable();
  void malformedFileShowsTheLoadersMessageFirst();
  void saveAboveTheSixteenBitLimitWritesNothing();
  void saveInAnotherVersionConvertsTheFile();
  void failedOpenAfterEditsKeepsTheEditorSafe();
  void closingDuringAnOpenIsDeferred();
  void newCommandDuringAnOpenClosesAfterTheRun();
  void closingDuringASaveIsDeferred();
  void secondExecuteDuringARunIsRefused();
  void progressAndAnimationFollowTheRun();
  void propertiesWindowIsRefreshedAfterAnOpen();
};

void FileDialogTest::layoutAndTabOrder() {
  EditorFixture f;
  TfrmFileDialog* d = showOpen(f);
  QVERIFY(d);
  QCOMPARE(d->size(), QSize(424, 102));
  QCOMPARE(d->minimumSize(), d->maximumSize());
  QCOMPARE(d->edtSpr->geometry(), QRect(8, 8, 313, 21));
  QCOMPARE(d->btnSpr->geometry(), QRect(327, 8, 90, 21));
  QCOMPARE(d->pbSpr->geometry(), QRect(8, 35, 409, 21));
  QCOMPARE(d->btnExecute->geometry(), QRect(8, 62, 114, 36));
  QCOMPARE(d->cmbVersion->geometry(), QRect(128, 62, 121, 21));
  QCOMPARE(d->Image->geometry(), QRect(385, 62, 32, 36));
  QCOMPARE(d->btnSpr->text(), QStringLiteral("SPR"));
  QCOMPARE(d->edtSpr->text(), QString());
  QCOMPARE(d->font().pixelSize(), 11);
  QVERIFY(d->cmbVersion->isEditable());
  QVERIFY(d->pbSpr->isTextVisible());
  QCOMPARE(d->pbSpr->value(), 0);
  QVERIFY(d->animation->isValid());
  QVERIFY(d->animation->state() != QMovie::Running);
  QCOMPARE(d->frame()->pos(), QPoint(20, 20));

  // Tab order: edtSpr, cmbVersion, btnSpr, btnExecute.
  const std::vector<QWidget*> wanted = {d->edtSpr, d->cmbVersion, d->btnSpr, d->btnExecute};
  std::vector<QWidget*> seen;
  QWidget* w = d->edtSpr;
  for (int step = 0; step < 40 && seen.size() < wanted.size(); ++step, w = w->nextInFocusChain()) {
    for (QWidget* candidate : wanted) {
      const bool isCandidate = w == candidate || w->focusProxy() == candidate ||
                               (candidate == d->cmbVersion && w == d->cmbVersion->lineEdit());
      if (isCandidate && std::find(seen.begin(), seen.end(), candidate) == seen.end()) {
        seen.push_back(candidate);
      }
    }
  }
  QVERIFY(seen == wanted);
}

void FileDialogTest::modesRebuildTheChoices() {
  EditorFixture f;
  TfrmFileDialog* d = showOpen(f);
  QVERIFY(!d->isSaving);
  QCOMPARE(d->windowTitle(), QStringLiteral("Open..."));
  QCOMPARE(d->btnExecute->text(), QStringLiteral("Open"));
  QCOMPARE(d->cmbVersion->count(), 3);
  QCOMPARE(d->cmbVersion->itemText(0), QStringLiteral("Auto detect"));
  QCOMPARE(d->cmbVersion->itemText(1), QStringLiteral("7.6"));
  QCOMPARE(d->cmbVersion->itemText(2), QStringLiteral("10.98"));
  QCOMPARE(d->cmbVersion->currentIndex(), -1);
  QCOMPARE(d->cmbVersion->currentText(), QString());
  QCOMPARE(d->cmbVersion->lineEdit()->placeholderText(), QStringLiteral("Select version"));
  QCOMPARE(d->chosenIndex(), -1);

  d->edtSpr->setText(QStringLiteral("kept/path.spr"));
  d->cmbVersion->setCurrentIndex(2);
  d->pbSpr->setValue(1);
  d->enterInSaveMode();
  QVERIFY(d->isSaving);
  QCOMPARE(d->windowTitle(), QStringLiteral("Save..."));
  QCOMPARE(d->btnExecute->text(), QStringLiteral("Save"));
  QCOMPARE(d->cmbVersion->count(), 2);
  QCOMPARE(d->cmbVersion->itemText(0), QStringLiteral("7.6"));
  QCOMPARE(d->cmbVersion->itemText(1), QStringLiteral("10.98"));
  QCOMPARE(d->chosenIndex(), -1);
  QCOMPARE(d->pbSpr->value(), 0);
  QCOMPARE(d->edtSpr->text(), QStringLiteral("kept/path.spr"));

  // The main window's Open switches the same window back and keeps the path.
  const QPointer<TfrmFileDialog> same(d);
  f.main->Open1Click();
  QCOMPARE(f.main->dialog.data(), same.data());
  QVERIFY(!d->isSaving);
  QCOMPARE(d->edtSpr->text(), QStringLiteral("kept/path.spr"));

  // What the edit field shows decides what is chosen.
  d->cmbVersion->setCurrentIndex(1);
  QCOMPARE(d->chosenIndex(), 1);
  d->cmbVersion->setEditText(QStringLiteral("7.7"));
  QCOMPARE(d->chosenIndex(), -1);
  d->cmbVersion->setEditText(QStringLiteral("10.98"));
  QCOMPARE(d->chosenIndex(), 2);
  // Typed text never becomes an entry.
  d->cmbVersion->setEditText(QStringLiteral("9.9"));
  QTest::keyClick(d->cmbVersion->lineEdit(), Qt::Key_Return);
  QCOMPARE(d->cmbVersion->count(), 3);
}

void FileDialogTest::browseSetsUpTheDialogs() {
  EditorFixture f;
  TfrmFileDialog* d = showOpen(f);
  f.chooser.openAnswers.push_back({{f.path("picked.spr")}, 0});
  QTest::mouseClick(d->btnSpr, Qt::LeftButton);
  QCOMPARE(d->edtSpr->text(), f.path("picked.spr"));
  QCOMPARE(f.chooser.calls.size(), std::size_t{1});
  const auto& open = f.chooser.calls.back();
  QCOMPARE(open.kind, tess::testing::ScriptedChooser::Kind::Open);
  QCOMPARE(open.setup.title, QStringLiteral("Select SPR file to open..."));
  QVERIFY(open.setup.filter.startsWith(QStringLiteral("SPR File")));
  QVERIFY(open.setup.filter.contains(QStringLiteral("*.SPR")));
  QVERIFY(open.setup.filter.contains(QStringLiteral("*.spr")));
  QCOMPARE(open.setup.filterIndex, 1);
  QCOMPARE(open.setup.defaultSuffix, QStringLiteral("SPR"));
  QCOMPARE(open.setup.fileName, QString());
  QVERIFY(!open.setup.multiSelect);
  QCOMPARE(d->OpenDialog.fileName, f.path("picked.spr"));

  // A cancelled dialog changes nothing.
  QTest::mouseClick(d->btnSpr, Qt::LeftButton);
  QCOMPARE(d->edtSpr->text(), f.path("picked.spr"));

  d->enterInSaveMode();
  f.chooser.saveAnswers.push_back({f.path("target.spr"), 0});
  QTest::mouseClick(d->btnSpr, Qt::LeftButton);
  QCOMPARE(d->edtSpr->text(), f.path("target.spr"));
  const auto& save = f.chooser.calls.back();
  QCOMPARE(save.kind, tess::testing::ScriptedChooser::Kind::Save);
  QCOMPARE(save.setup.title, QStringLiteral("Select SPR file to save..."));
  QCOMPARE(save.setup.filterIndex, 1);
  QCOMPARE(save.setup.defaultSuffix, QStringLiteral("SPR"));
  QCOMPARE(save.setup.fileName, QString());
  QVERIFY(f.host.messages.empty());
}

void FileDialogTest::openWithChosenVersion() {
  EditorFixture f;
  const QString file = f.path("chosen.spr");
  QVERIFY(tess::testing::writeSprFile(file, tess::testing::makeTestSprites(12), 0x57BBD603u, true));
  TfrmFileDialog* d = showOpen(f);
  d->edtSpr->setText(file);
  d->cmbVersion->setCurrentIndex(2);  // "10.98"
  execute(d);
  QVERIFY2(f.host.messages.empty(), qPrintable(describe(f.host.messages)));
  QCOMPARE(f.core.spriteFile.Sprites.size(), std::size_t{12});
  QCOMPARE(listRows(f), 12);
  QCOMPARE(title(f), tess::formatTitle("10.98", false, file.toStdString()));
  QCOMPARE(f.core.currentVersion->name, std::string("10.98"));
  QCOMPARE(f.core.currentFileName, file.toStdString());
  QVERIFY(!f.core.unsavedChanges);
  // The window stays open after success.
  QCOMPARE(f.main->dialog.data(), d);
  QVERIFY(d->isVisible());
}

void FileDialogTest::autoDetectTakesTheFirstMatchingEntry() {
  // Both entries carry the same signature; only the first one reads the file correctly.
  EditorFixture::Options options;
  options.versions = {{"first", 0x11223344u, false}, {"second", 0x11223344u, true}};
  EditorFixture f(options);
  QVERIFY(tess::testing::writeSprFile(f.path("auto.spr"), tess::testing::makeTestSprites(9),
                                      0x11223344u, false));
  const QString typed = f.dir() + QStringLiteral("/./auto.spr");
  TfrmFileDialog* d = showOpen(f);
  d->edtSpr->setText(typed);
  d->cmbVersion->setCurrentIndex(0);  // "Auto detect"
  execute(d);
  QVERIFY2(f.host.messages.empty(), qPrintable(describe(f.host.messages)));
  QCOMPARE(f.core.spriteFile.Sprites.size(), std::size_t{9});
  QCOMPARE(listRows(f), 9);
  QCOMPARE(f.core.currentVersion->name, std::string("first"));
  QCOMPARE(title(f), std::string("Tessaline (first) - file: ") + typed.toStdString());
}

void FileDialogTest::detectVersionReadsOnlyAWholeSignature() {
  EditorFixture::Options options;
  options.versions = {
      {"a", 0x04030201u, false}, {"b", 0xF4F3F2F1u, true}, {"c", 0x04030201u, true}};
  EditorFixture f(options);
  struct Case {
    const char* name;
    QByteArray bytes;
    const char* expected;  // nullptr: no entry
  };
  const std::vector<Case> cases = {
      {"empty", QByteArray(), nullptr},
      {"three bytes", QByteArray::fromHex("010203"), nullptr},
      {"exactly the signature", QByteArray::fromHex("01020304"), "a"},
      {"signature and more", QByteArray::fromHex("0102030405060708"), "a"},
      {"top bit set", QByteArray::fromHex("f1f2f3f4"), "b"},
      {"big-endian reading would match", QByteArray::fromHex("04030201"), nullptr},
  };
  TfrmFileDialog* d = showOpen(f);
  for (const Case& c : cases) {
    const QString file = f.path(QStringLiteral("detect.spr"));
    QVERIFY(writeBytes(file, c.bytes));
    tess::TVersionInfo found;
    const bool ok = d->detectVersion(file.toStdString(), found);
    QVERIFY2(ok == (c.expected != nullptr), c.name);
    if (c.expected) QVERIFY2(found.name == c.expected, c.name);
  }
  tess::TVersionInfo none;
  QVERIFY(!d->detectVersion(f.path("missing.spr").toStdString(), none));
  QVERIFY(!d->detectVersion(f.dir().toStdString(), none));
}

void FileDialogTest::failureTable() {
  using Setup = std::function<TfrmFileDialog*(EditorFixture&)>;
  struct Row {
    const char* name;
    Setup setup;  // leaves the window ready for Execute
    std::string text;
    std::string caption;
    TMsgIcon icon;
    bool keepsPreviousFile;  // the file that was open stays open and untouched
  };
  const auto withOpenFile = [](EditorFixture& f) { return f.openTestFile(4, 0, "previous.spr"); };
  const std::vector<Row> rows = {
      {"open, nothing chosen",
       [&](EditorFixture& f) {
         withOpenFile(f);
         TfrmFileDialog* d = showOpen(f);
         d->edtSpr->setText(f.path("previous.spr"));
         return d;
       },
       "Select the Tibia Version!", "Error!", TMsgIcon::Error, true},
      {"open, typed text names no entry",
       [&](EditorFixture& f) {
         withOpenFile(f);
         TfrmFileDialog* d = showOpen(f);
         d->edtSpr->setText(f.path("previous.spr"));
         d->cmbVersion->setCurrentIndex(1);
         d->cmbVersion->setEditText(QStringLiteral("7.6x"));
         return d;
       },
       "Select the Tibia Version!", "Error!", TMsgIcon::Error, true},
      {"save, nothing chosen",
       [&](EditorFixture& f) {
         withOpenFile(f);
         TfrmFileDialog* d = showSave(f);
         d->edtSpr->setText(f.path("out.spr"));
         return d;
       },
       "Select the Tibia Version!", "Error!", TMsgIcon::Error, true},
      {"save, no file loaded",
       [](EditorFixture& f) {
         TfrmFileDialog* d = showSave(f);
         d->edtSpr->setText(f.path("out.spr"));
         d->cmbVersion->setCurrentIndex(0);
         return d;
       },
       "You Cannot save, Error!", "Error!", TMsgIcon::Error, false},
      {"save, folder missing",
       [&](EditorFixture& f) {
         withOpenFile(f);
         TfrmFileDialog* d = showSave(f);
         d->edtSpr->setText(f.path("no-such-folder/out.spr"));
         d->cmbVersion->setCurrentIndex(0);
         return d;
       },
       "The Sprite File path doesnt exists!", "Error!", TMsgIcon::Error, true},
      {"save, path without a folder part",
       [&](EditorFixture& f) {
         withOpenFile(f);
         TfrmFileDialog* d = showSave(f);
         d->edtSpr->setText(QStringLiteral("out.spr"));
         d->cmbVersion->setCurrentIndex(0);
         return d;
       },
       "The Sprite File path doesnt exists!", "Error!", TMsgIcon::Error, true},
      {"save, new file without sprites",
       [](EditorFixture& f) {
         f.newFile(0);
         TfrmFileDialog* d = showSave(f);
         d->edtSpr->setText(f.path("out.spr"));
         d->cmbVersion->setCurrentIndex(0);
         return d;
       },
       "Cannot save Sprite File!", "Error!", TMsgIcon::Error, false},
      {"save, target is a folder",
       [&](EditorFixture& f) {
         withOpenFile(f);
         QDir(f.dir()).mkdir(QStringLiteral("out.spr"));
         TfrmFileDialog* d = showSave(f);
         d->edtSpr->setText(f.path("out.spr"));
         d->cmbVersion->setCurrentIndex(0);
         return d;
       },
       "Cannot save Sprite File!", "Error!", TMsgIcon::Error, true},
      {"open, file missing",
       [&](EditorFixture& f) {
         withOpenFile(f);
         TfrmFileDialog* d = showOpen(f);
         d->edtSpr->setText(f.path("missing.spr"));
         d->cmbVersion->setCurrentIndex(1);
         return d;
       },
       "The Sprite file doesnt exists!", "Error!", TMsgIcon::Error, true},
      {"open, path is a folder",
       [&](EditorFixture& f) {
         withOpenFile(f);
         TfrmFileDialog* d = showOpen(f);
         d->edtSpr->setText(f.dir());
         d->cmbVersion->setCurrentIndex(0);
         return d;
       },
       "The Sprite file doesnt exists!", "Error!", TMsgIcon::Error, true},
      {"open, unknown signature",
       [&](EditorFixture& f) {
         withOpenFile(f);
         tess::testing::writeSprFile(f.path("alien.spr"), tess::testing::makeTestSprites(3),
                                     0x0BADF00Du, false);
         f.host.defaultAnswer = false;  // no to opening it as the layout it reads as
         TfrmFileDialog* d = showOpen(f);
         d->edtSpr->setText(f.path("alien.spr"));
         d->cmbVersion->setCurrentIndex(0);
         return d;
       },
       "cannot auto detect this Sprite File!", "Error!", TMsgIcon::Error, true},
      {"open, file shorter than a signature",
       [&](EditorFixture& f) {
         withOpenFile(f);
         writeBytes(f.path("short.spr"), QByteArray::fromHex("335a"));
         TfrmFileDialog* d = showOpen(f);
         d->edtSpr->setText(f.path("short.spr"));
         d->cmbVersion->setCurrentIndex(0);
         return d;
       },
       "cannot auto detect this Sprite File!", "Error!", TMsgIcon::Error, true},
      {"open, truncated file",
       [&](EditorFixture& f) {
         withOpenFile(f);
         writeBytes(f.path("cut.spr"), QByteArray::fromHex("335a9d43"));
         TfrmFileDialog* d = showOpen(f);
         d->edtSpr->setText(f.path("cut.spr"));
         d->cmbVersion->setCurrentIndex(1);
         return d;
       },
       "Cannot load Sprite file!", "Error!", TMsgIcon::Error, false},
  };

  for (const Row& row : rows) {
    EditorFixture f;
    TfrmFileDialog* d = row.setup(f);
    QVERIFY2(d, row.name);
    const std::string titleBefore = title(f);
    const std::size_t spritesBefore = f.core.spriteFile.Sprites.size();
    const bool loadedBefore = f.core.spriteFile.loaded;
    const int rowsBefore = listRows(f);
    f.host.clearMessages();
    execute(d);
    QVERIFY2(!f.host.messages.empty(), row.name);
    const ShownMessage& shown = f.host.messages.back();
    QVERIFY2(shown.text == row.text,
             qPrintable(QString::fromLatin1(row.name) + ": " + describe(f.host.messages)));
    QVERIFY2(shown.caption == row.caption, row.name);
    QVERIFY2(shown.icon == row.icon, row.name);
    QVERIFY2(!shown.question, row.name);
    QVERIFY2(!d->isRunning(), row.name);
    QVERIFY2(d->animation->state() != QMovie::Running, row.name);
    QVERIFY2(title(f) == titleBefore, row.name);
    QVERIFY2(!QFile::exists(f.path("out.spr")) || QFileInfo(f.path("out.spr")).isDir(), row.name);
    if (row.keepsPreviousFile) {
      QVERIFY2(f.core.spriteFile.Sprites.size() == spritesBefore, row.name);
      QVERIFY2(f.core.spriteFile.loaded == loadedBefore, row.name);
      QVERIFY2(listRows(f) == rowsBefore, row.name);
    }
    // The window stays open after a failure.
    QVERIFY2(f.main->dialog.data() == d, row.name);
  }
}

void FileDialogTest::malformedFileShowsTheLoadersMessageFirst() {
  EditorFixture f;
  QVERIFY(f.openTestFile(6));
  // A 16-bit file whose count is 0.
  QVERIFY(writeBytes(f.path("zero.spr"), QByteArray::fromHex("335a9d430000")));
  TfrmFileDialog* d = showOpen(f);
  d->edtSpr->setText(f.path("zero.spr"));
  d->cmbVersion->setCurrentIndex(0);
  f.host.clearMessages();
  execute(d);
  QCOMPARE(texts(f.host.messages),
           (std::vector<std::string>{"SPR Count = 0", "Cannot load Sprite file!"}));
  QCOMPARE(f.host.messages.back().caption, std::string("Error!"));
  QCOMPARE(d->pbSpr->value(), 0);
  // The file that was open stays open.
  QVERIFY(f.core.spriteFile.loaded);
  QCOMPARE(listRows(f), 6);
  QCOMPARE(f.core.spriteFile.Sprites.size(), std::size_t{6});
}

void FileDialogTest::saveAboveTheSixteenBitLimitWritesNothing() {
  EditorFixture f;
  f.newFile(1);  // 10.98 counts in 32 bits
  auto& sprites = f.core.spriteFile.Sprites;
  for (int id = 1; id <= 65501; ++id) sprites.push_back(tess::testing::makeEmptySprite(id));
  f.main->loadSprites();

  TfrmFileDialog* d = showSave(f);
  const QString target = f.path("big.spr");
  d->edtSpr->setText(target);
  d->cmbVersion->setCurrentIndex(0);  // 7.6 counts in 16 bits
  f.host.clearMessages();
  execute(d);
  QCOMPARE(texts(f.host.messages),
           (std::vector<std::string>{"This format dont support above 65500 sprites!",
                                     "Cannot save Sprite File!"}));
  for (const ShownMessage& m : f.host.messages) {
    QCOMPARE(m.caption, std::string("Error!"));
    QCOMPARE(m.icon, TMsgIcon::Error);
  }
  QVERIFY(!QFile::exists(target));
  QCOMPARE(d->pbSpr->value(), 0);

  // One sprite fewer fits.
  sprites.pop_back();
  f.main->loadSprites();
  f.host.clearMessages();
  execute(d);
  QVERIFY2(f.host.messages.empty(), qPrintable(describe(f.host.messages)));
  const QByteArray bytes = fileBytes(target);
  QCOMPARE(bytes.size(), 6 + 4 * 65500);
  QCOMPARE(static_cast<int>(static_cast<std::uint8_t>(bytes[4]) |
                            static_cast<std::uint8_t>(bytes[5]) << 8),
           65500);
  QCOMPARE(d->pbSpr->value(), 65500);
  QCOMPARE(d->pbSpr->maximum(), 65500);
}

void FileDialogTest::saveInAnotherVersionConvertsTheFile() {
  EditorFixture f;
  QVERIFY(f.openTestFile(7, 0, "old.spr"));  // 7.6, 16-bit count
  TfrmFileDialog* d = showSave(f);
  const QString target = f.path("converted.spr");
  f.chooser.saveAnswers.push_back({target, 0});
  QTest::mouseClick(d->btnSpr, Qt::LeftButton);
  d->cmbVersion->setCurrentIndex(1);  // 10.98, 32-bit count
  execute(d);
  QVERIFY2(f.host.messages.empty(), qPrintable(describe(f.host.messages)));

  const QByteArray bytes = fileBytes(target);
  QVERIFY(bytes.size() > 8 + 4 * 7);
  QCOMPARE(readU32(bytes, 0), 0x57BBD603u);
  QCOMPARE(readU32(bytes, 4), 7u);
  QCOMPARE(readU32(bytes, 8), 0u + 8 + 4 * 7);  // sprite 1's record right after the table
  QCOMPARE(title(f), tess::formatTitle("10.98", false, target.toStdString()));
  QCOMPARE(f.core.currentVersion->name, std::string("10.98"));
  QCOMPARE(d->pbSpr->value(), 7);
  QCOMPARE(d->pbSpr->maximum(), 7);
  QVERIFY(d->animation->state() != QMovie::Running);

  // The converted file reads back in its new version with the same pictures.
  TfrmFileDialog* again = showOpen(f);
  again->edtSpr->setText(target);
  again->cmbVersion->setCurrentIndex(0);
  execute(again);
  QVERIFY2(f.host.messages.empty(), qPrintable(describe(f.host.messages)));
  QCOMPARE(f.core.currentVersion->name, std::string("10.98"));
  QCOMPARE(f.core.spriteFile.Sprites.size(), std::size_t{7});
  const tess::TSprite* first = f.core.spriteFile.GetSpriteByID(1);
  QVERIFY(first && first->bitmap);
  QCOMPARE(first->bitmap->GetPixel(31, 31), tess::testing::testSpriteColour(1));
  QVERIFY(f.core.spriteFile.GetSpriteByID(5)->isDUmmy);
}

void FileDialogTest::failedOpenAfterEditsKeepsTheEditorSafe() {
  EditorFixture f;
  QVERIFY(f.openTestFile(20));
  f.core.setModified();
  QVERIFY(writeBytes(f.path("broken.spr"), QByteArray::fromHex("335a9d43")));
  TfrmFileDialog* d = showOpen(f);
  d->edtSpr->setText(f.path("broken.spr"));
  d->cmbVersion->setCurrentIndex(1);
  const std::string titleBefore = title(f);
  execute(d);
  QCOMPARE(f.host.lastText(), std::string("Cannot load Sprite file!"));
  QCOMPARE(title(f), titleBefore);
  QVERIFY(f.core.unsavedChanges);
  // The edited file is still there, rows and all, and paints: the colour of sprite 1 shows.
  QCOMPARE(listRows(f), 20);
  QWidget* const viewport = f.main->SpriteListBox->viewport();
  const QImage shot = viewport->grab().toImage();
  QCOMPARE(shot.size(), viewport->size() * shot.devicePixelRatio());
  const QRgb first = tess::testing::testSpriteColour(1) | 0xFF000000u;
  int spriteColoured = 0;
  for (int y = 0; y < shot.height(); ++y) {
    for (int x = 0; x < shot.width(); ++x) spriteColoured += shot.pixel(x, y) == first ? 1 : 0;
  }
  QVERIFY(spriteColoured > 0);

  // The close prompt is still asked; No then shows the save window for the edited file.
  f.host.clearMessages();
  f.host.answers = {false};
  f.main->Exit1Click();
  QCOMPARE(texts(f.host.messages),
           (std::vector<std::string>{"Are you sure you want close without saving?"}));
  QVERIFY(f.main->dialog && f.main->dialog->isSaving);
  QCOMPARE(f.host.terminations, 0);
}

void FileDialogTest::closingDuringAnOpenIsDeferred() {
  EditorFixture f;
  QVERIFY(tess::testing::writeSprFile(f.path("run.spr"), tess::testing::makeTestSprites(40),
                                      0x439D5A33u, false));
  TfrmFileDialog* d = showOpen(f);
  const QPointer<TfrmFileDialog> watch(d);
  d->edtSpr->setText(f.path("run.spr"));
  d->cmbVersion->setCurrentIndex(1);
  RunProbe probe(f.core.spriteFile);
  bool refused = false;
  bool stillThere = false;
  probe.action = [&](std::int32_t id, std::int32_t) {
    if (id == 10) refused = !d->closeWindow();
    if (id == 20) stillThere = f.main->dialog.data() == d && d->isClosePending();
  };
  execute(d);
  probe.action = nullptr;  // the window it looks at is going
  QVERIFY(refused);
  QVERIFY(stillThere);
  QCOMPARE(probe.lastId, 40);
  QVERIFY(f.host.messages.empty());
  QCOMPARE(listRows(f), 40);
  QCOMPARE(title(f), tess::formatTitle("7.6", false, f.path("run.spr").toStdString()));
  // Closed as soon as the run ended: the field is empty and the window goes away.
  QVERIFY(f.main->dialog.isNull());
  QTRY_VERIFY(watch.isNull());
  QCOMPARE(f.core.spriteFile.onLoadSprite.size(), std::size_t{1});  // the probe's alone

  // The next Open makes a fresh window that works.
  TfrmFileDialog* fresh = showOpen(f);
  QVERIFY(fresh);
  fresh->edtSpr->setText(f.path("run.spr"));
  fresh->cmbVersion->setCurrentIndex(0);
  execute(fresh);
  QVERIFY(f.host.messages.empty());
  QCOMPARE(fresh->pbSpr->value(), 40);
}

void FileDialogTest::newCommandDuringAnOpenClosesAfterTheRun() {
  EditorFixture f;
  QVERIFY(tess::testing::writeSprFile(f.path("run.spr"), tess::testing::makeTestSprites(30),
                                      0x439D5A33u, false));
  TfrmFileDialog* d = showOpen(f);
  const QPointer<TfrmFileDialog> watch(d);
  d->edtSpr->setText(f.path("run.spr"));
  d->cmbVersion->setCurrentIndex(0);
  RunProbe probe(f.core.spriteFile);
  probe.action = [&](std::int32_t id, std::int32_t) {
    if (id == 5) f.main->New1Click();
    if (id == 8 && f.main->newDialog) {
      // A new file now would free the sprites the load is filling.
      f.main->newDialog->cmbVersion->setCurrentIndex(0);
      QTest::mouseClick(f.main->newDialog->Button1, Qt::LeftButton);
    }
  };
  execute(d);
  QCOMPARE(texts(f.host.messages), (std::vector<std::string>{"Its loading now"}));
  QCOMPARE(f.host.messages.front().caption, std::string("Status"));
  QCOMPARE(f.host.messages.front().icon, TMsgIcon::None);
  QCOMPARE(f.core.spriteFile.Sprites.size(), std::size_t{30});
  QCOMPARE(listRows(f), 30);
  QVERIFY(f.main->dialog.isNull());
  QVERIFY(!f.main->newDialog.isNull());
  QTRY_VERIFY(watch.isNull());
}

void FileDialogTest::closingDuringASaveIsDeferred() {
  EditorFixture f;
  QVERIFY(f.openTestFile(25));
  TfrmFileDialog* d = showSave(f);
  const QPointer<TfrmFileDialog> watch(d);
  const QString target = f.path("saved.spr");
  d->edtSpr->setText(target);
  d->cmbVersion->setCurrentIndex(1);
  RunProbe probe(f.core.spriteFile);
  bool refused = false;
  probe.action = [&](std::int32_t id, std::int32_t) {
    if (id == 3) refused = !d->closeWindow();
  };
  execute(d);
  QVERIFY(refused);
  QVERIFY(f.host.messages.empty());
  QCOMPARE(readU32(fileBytes(target), 4), 25u);
  QVERIFY(f.main->dialog.isNull());
  QTRY_VERIFY(watch.isNull());
}

void FileDialogTest::secondExecuteDuringARunIsRefused() {
  for (const bool saving : {false, true}) {
    EditorFixture f;
    QVERIFY(f.openTestFile(15));
    TfrmFileDialog* d = saving ? showSave(f) : showOpen(f);
    d->edtSpr->setText(saving ? f.path("second.spr") : f.path("test.spr"));
    d->cmbVersion->setCurrentIndex(saving ? 0 : 1);
    RunProbe probe(f.core.spriteFile);
    int nested = 0;
    probe.action = [&](std::int32_t id, std::int32_t) {
      if (id == 4) {
        ++nested;
        execute(d);
      }
    };
    f.host.clearMessages();
    execute(d);
    QCOMPARE(nested, 1);
    QCOMPARE(texts(f.host.messages), (std::vector<std::string>{"Its loading now"}));
    QCOMPARE(f.host.messages.front().caption, std::string("Status"));
    QCOMPARE(f.host.messages.front().icon, TMsgIcon::None);
    QCOMPARE(probe.calls, 15);  // one run only
    QCOMPARE(f.core.spriteFile.Sprites.size(), std::size_t{15});
    QVERIFY(!d->isRunning());
  }
}

void FileDialogTest::progressAndAnimationFollowTheRun() {
  EditorFixture f;
  QVERIFY(tess::testing::writeSprFile(f.path("anim.spr"), tess::testing::makeTestSprites(3000),
                                      0x57BBD603u, true));
  TfrmFileDialog* d = showOpen(f);
  QVERIFY(d->animation->state() != QMovie::Running);
  d->edtSpr->setText(f.path("anim.spr"));
  d->cmbVersion->setCurrentIndex(2);
  RunProbe probe(f.core.spriteFile);
  int runningSeen = 0;
  int speedSeen = 0;
  int shownNeverAhead = 0;
  probe.action = [&](std::int32_t id, std::int32_t) {
    if (d->animation->state() == QMovie::Running) ++runningSeen;
    if (d->animation->speed() == 600) ++speedSeen;
    if (d->pbSpr->value() <= id) ++shownNeverAhead;
  };
  execute(d);
  QCOMPARE(runningSeen, 3000);
  QCOMPARE(speedSeen, 3000);
  QCOMPARE(shownNeverAhead, 3000);
  QVERIFY(d->animation->state() != QMovie::Running);
  QCOMPARE(d->pbSpr->maximum(), 3000);
  QCOMPARE(d->pbSpr->value(), 3000);
  QCOMPARE(d->pbSpr->text(), QStringLiteral("100%"));

  // The bar moves during the run, redrawn a few times a second of the run's own time: with a
  // clock that advances 2 ms per sprite, the 6 s run is shown about every 200 ms, and never
  // twice within that time except for its end.
  std::int64_t now = 0;
  d->clockMs = [&] { return now; };
  std::vector<std::pair<std::int64_t, int>> shown;  // (time, value) at each change of the bar
  const QMetaObject::Connection watch = connect(d->pbSpr, &QProgressBar::valueChanged,
                                                [&](int value) { shown.emplace_back(now, value); });
  probe.action = [&](std::int32_t, std::int32_t) { now += 2; };
  d->edtSpr->setText(f.path("anim.spr"));
  d->cmbVersion->setCurrentIndex(2);
  execute(d);
  disconnect(watch);
  QVERIFY(f.host.messages.empty());
  QVERIFY2(shown.size() >= 25 && shown.size() <= 33, qPrintable(QString::number(shown.size())));
  QCOMPARE(shown.back().second, 3000);
  for (std::size_t k = 1; k < shown.size(); ++k) {
    QVERIFY(shown[k].second > shown[k - 1].second);
    if (shown[k].second != 3000) QVERIFY(shown[k].first - shown[k - 1].first >= 200);
  }

  // Every mode switch sets the parts complete back to 0 and keeps the total.
  d->enterInOpenMode();
  QCOMPARE(d->pbSpr->value(), 0);
  QCOMPARE(d->pbSpr->maximum(), 3000);

  // A listener call from a run of another size takes the new total at once.
  d->onSpriteLoad(1, 4);
  QCOMPARE(d->pbSpr->maximum(), 4);
  d->onSpriteLoad(4, 4);
  QCOMPARE(d->pbSpr->value(), 4);
}

void FileDialogTest::propertiesWindowIsRefreshedAfterAnOpen() {
  EditorFixture f;
  QVERIFY(f.openTestFile(3));
  f.main->Properties1Click();
  QVERIFY(f.main->propertiesDialog);
  QVERIFY(tess::testing::writeSprFile(f.path("more.spr"), tess::testing::makeTestSprites(11),
                                      0x57BBD603u, true));
  TfrmFileDialog* d = showOpen(f);
  d->edtSpr->setText(f.path("more.spr"));
  d->cmbVersion->setCurrentIndex(0);
  execute(d);
  QVERIFY(f.host.messages.empty());
  QCOMPARE(f.main->propertiesDialog->lblSprCount->text(), QStringLiteral("11"));
  QCOMPARE(f.main->propertiesDialog->lblSprSignatureValue->text(), QStringLiteral("57BBD603"));
}

TESS_UI_TEST_MAIN(FileDialogTest)
#include "test_filedialog.moc"

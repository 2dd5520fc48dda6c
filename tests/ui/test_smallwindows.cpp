// The new-file, properties and about windows, reached through the main window's commands.

#include <QAbstractItemModel>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QUrl>
#include <string>
#include <vector>

#include "UiTestSupport.h"
#include "core/editorCore.h"
#include "ui/EditHistory.h"
#include "ui/TfrmAbout.h"
#include "ui/TfrmFileDialog.h"
#include "ui/TfrmFileProperties.h"
#include "ui/TfrmMain.h"
#include "ui/TfrmNewFile.h"

using tess::TfrmAbout;
using tess::TfrmFileProperties;
using tess::TfrmNewFile;
using tess::testing::EditorFixture;

namespace {

int listRows(const EditorFixture& f) { return f.main->SpriteListBox->model()->rowCount(); }

std::string title(const EditorFixture& f) { return f.main->windowTitle().toStdString(); }

template <typename Window>
int countHosted(const EditorFixture& f) {
  int n = 0;
  for (QMdiSubWindow* sub : f.main->childArea->subWindowList()) {
    if (qobject_cast<Window*>(sub->widget())) ++n;
  }
  return n;
}

QPoint centreFor(const EditorFixture& f, const QWidget* frame) {
  const QSize area = f.main->childArea->size();
  return {(area.width() - frame->width()) / 2, (area.height() - frame->height()) / 2};
}

}  // namespace

class SmallWindowsTest : public QObject {
  Q_OBJECT

 private slots:
  void newFileLayout();
  void newFileWithoutChoice();
  void newFileWithChangesAsksFirst_data();
  void newFileWithChangesAsksFirst();
  void newFileRefusedWhileAFileIsBusy();
  void newAndOpenExcludeEachOther();
  void signatureTextTable();
  void propertiesLayoutAndPlacement();
  void propertiesAfterAnOpenWithTopBitSignature();
  void propertiesStayStaleUntilRefreshed();
  void propertiesAfterANewFile();
  void aboutWindow();
  void aboutTwiceGivesOneWindow();
  void aboutPictureOpensTheReadme();
  void closingEmptiesTheFieldAndTheNextCommandMakesAFreshWindow();
};

void SmallWindowsTest::newFileLayout() {
  EditorFixture f;
  f.main->New1Click();
  TfrmNewFile* w = f.main->newDialog.data();
  QVERIFY(w);
  QCOMPARE(w->windowTitle(), QStringLiteral("Select the file version:"));
  QCOMPARE(w->size(), QSize(239, 37));
  QVERIFY(w->minimumSize() != w->maximumSize());  // resizable
  QCOMPARE(w->cmbVersion->geometry(), QRect(8, 8, 121, 21));
  QCOMPARE(w->Button1->geometry(), QRect(136, 8, 89, 21));
  QCOMPARE(w->Button1->text(), QStringLiteral("OK"));
  QCOMPARE(w->font().pixelSize(), 11);
  QCOMPARE(w->frame()->pos(), QPoint(100, 100));
  // The catalog alone: no "Auto detect", no prompt, nothing chosen.
  QCOMPARE(w->cmbVersion->count(), 2);
  QCOMPARE(w->cmbVersion->itemText(0), QStringLiteral("7.6"));
  QCOMPARE(w->cmbVersion->itemText(1), QStringLiteral("10.98"));
  QCOMPARE(w->cmbVersion->currentIndex(), -1);
  QCOMPARE(w->cmbVersion->currentText(), QString());
  QCOMPARE(w->cmbVersion->lineEdit()->placeholderText(), QString());
  QVERIFY(w->cmbVersion->isEditable());
  // Tab order: the combo box, then OK.
  QWidget* next = w->cmbVersion->lineEdit();
  for (int step = 0; step < 10 && next != w->Button1; ++step) next = next->nextInFocusChain();
  QCOMPARE(next, static_cast<QWidget*>(w->Button1));
}

void SmallWindowsTest::newFileWithoutChoice() {
  EditorFixture f;
  QVERIFY(f.openTestFile(5));
  const std::string before = title(f);
  f.main->New1Click();
  TfrmNewFile* w = f.main->newDialog.data();
  for (const QString& typed : {QString(), QStringLiteral("8.0")}) {
    f.host.clearMessages();
    w->cmbVersion->setEditText(typed);
    QTest::mouseClick(w->Button1, Qt::LeftButton);
    QCOMPARE(f.host.messages.size(), std::size_t{1});
    QCOMPARE(f.host.messages[0].text, std::string("Select the Tibia Version!"));
    QCOMPARE(f.host.messages[0].caption, std::string("Error!"));
    QCOMPARE(f.host.messages[0].icon, tess::TMsgIcon::Error);
  }
  // Nothing happened to the file, and the window is still there.
  QCOMPARE(f.core.spriteFile.Sprites.size(), std::size_t{5});
  QCOMPARE(listRows(f), 5);
  QCOMPARE(title(f), before);
  QCOMPARE(f.main->newDialog.data(), w);
}

void SmallWindowsTest::newFileWithChangesAsksFirst_data() {
  QTest::addColumn<bool>("yes");
  QTest::newRow("Yes discards the changes") << true;
  QTest::newRow("No keeps them and shows the save window") << false;
}

void SmallWindowsTest::newFileWithChangesAsksFirst() {
  QFETCH(bool, yes);
  EditorFixture f;
  QVERIFY(f.openTestFile(8));
  f.main->SpriteListBox->selectionModel()->select(f.main->SpriteListBox->model()->index(2, 0),
                                                  QItemSelectionModel::Select);
  f.main->Clear1Click();
  const std::string edited = title(f);
  QVERIFY(QString::fromStdString(edited).contains(QStringLiteral(" - Not saved!")));
  f.main->New1Click();
  const QPointer<TfrmNewFile> w(f.main->newDialog.data());
  w->cmbVersion->setCurrentIndex(1);
  f.host.clearMessages();
  f.host.answers = {yes};
  QTest::mouseClick(w->Button1, Qt::LeftButton);
  QCOMPARE(f.host.messages.size(), std::size_t{1});
  QCOMPARE(f.host.messages[0].text, std::string("Are you sure you want close without saving?"));
  QCOMPARE(f.host.messages[0].caption, std::string("Files"));
  QCOMPARE(f.host.messages[0].icon, tess::TMsgIcon::Warning);
  QVERIFY(f.host.messages[0].question);
  if (yes) {
    QCOMPARE(f.core.spriteFile.Sprites.size(), std::size_t{0});
    QCOMPARE(listRows(f), 0);
    QVERIFY(!f.core.unsavedChanges);
    QCOMPARE(title(f), std::string("Tessaline (10.98) - file: "));
    QVERIFY(!f.main->history().canUndo());
    QVERIFY(f.main->newDialog.isNull());
    QTRY_VERIFY(w.isNull());
    return;
  }
  // Nothing was thrown away: the edit is still there and can still be undone.
  QCOMPARE(f.core.spriteFile.Sprites.size(), std::size_t{8});
  QVERIFY(f.core.spriteFile.Sprites[2]->isDUmmy);
  QCOMPARE(listRows(f), 8);
  QCOMPARE(title(f), edited);
  QVERIFY(f.main->history().canUndo());
  QVERIFY(!f.main->dialog.isNull());
  QVERIFY(f.main->dialog->isSaving);
}

void SmallWindowsTest::newFileRefusedWhileAFileIsBusy() {
  EditorFixture f;
  QVERIFY(f.openTestFile(4));
  f.main->New1Click();
  TfrmNewFile* w = f.main->newDialog.data();
  w->cmbVersion->setCurrentIndex(0);
  f.core.spriteFile.isLoading = true;  // as in the middle of a load
  f.host.clearMessages();
  QTest::mouseClick(w->Button1, Qt::LeftButton);
  f.core.spriteFile.isLoading = false;
  QCOMPARE(f.host.lastText(), std::string("Its loading now"));
  QCOMPARE(f.host.last()->caption, std::string("Status"));
  QCOMPARE(f.host.last()->icon, tess::TMsgIcon::None);
  QCOMPARE(f.core.spriteFile.Sprites.size(), std::size_t{4});
  QCOMPARE(f.main->newDialog.data(), w);
}

void SmallWindowsTest::newAndOpenExcludeEachOther() {
  EditorFixture f;
  f.main->Open1Click();
  const QPointer<tess::TfrmFileDialog> dialog(f.main->dialog.data());
  QVERIFY(dialog);
  f.main->New1Click();
  QVERIFY(f.main->dialog.isNull());
  QVERIFY(f.main->newDialog);
  QTRY_VERIFY(dialog.isNull());
  const QPointer<TfrmNewFile> newWindow(f.main->newDialog.data());
  f.main->Open1Click();
  QVERIFY(f.main->newDialog.isNull());
  QVERIFY(f.main->dialog);
  QTRY_VERIFY(newWindow.isNull());
}

void SmallWindowsTest::signatureTextTable() {
  struct Case {
    std::int32_t signature;
    const char* text;
  };
  const std::vector<Case> cases = {
      {0, "0"},
      {-1, "FFFFFFFF"},
      {0x1234, "1234"},
      {0x439D5A33, "439D5A33"},
      {static_cast<std::int32_t>(0x80000000u), "80000000"},
      {0x0000ABCD, "ABCD"},
      {static_cast<std::int32_t>(0xF0F0F0F0u), "F0F0F0F0"},
  };
  for (const Case& c : cases)
    QCOMPARE(tess::signatureText(c.signature), QString::fromLatin1(c.text));
}

void SmallWindowsTest::propertiesLayoutAndPlacement() {
  EditorFixture f;
  QVERIFY(f.openTestFile(2));
  f.main->Properties1Click();
  TfrmFileProperties* w = f.main->propertiesDialog.data();
  QVERIFY(w);
  QCOMPARE(w->windowTitle(), QStringLiteral("Properties"));
  QCOMPARE(w->size(), QSize(164, 72));
  QCOMPARE(w->minimumSize(), w->maximumSize());
  QCOMPARE(w->Label2->geometry(), QRect(8, 15, 73, 21));
  QCOMPARE(w->Label2->text(), QStringLiteral("SPR Signature:"));
  QCOMPARE(w->lblSprSignatureValue->geometry(), QRect(87, 15, 66, 21));
  QCOMPARE(w->Label7->geometry(), QRect(8, 42, 73, 21));
  QCOMPARE(w->Label7->text(), QStringLiteral("SPR Count:"));
  QCOMPARE(w->lblSprCount->geometry(), QRect(87, 42, 66, 21));
  const auto allFit = [&] {
    for (const QLabel* label : {w->Label2, w->lblSprSignatureValue, w->Label7, w->lblSprCount}) {
      QVERIFY(label->alignment() & Qt::AlignVCenter);
      QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(),
               qPrintable(label->text()));
    }
  };
  allFit();
  // The widest values the labels can get still show whole.
  f.core.spriteFile.signature = static_cast<std::int32_t>(0xDDDDDDDDu);
  for (int id = 3; id <= 8888; ++id) {
    f.core.spriteFile.Sprites.push_back(tess::testing::makeEmptySprite(id));
  }
  w->actualize();
  QCOMPARE(w->lblSprSignatureValue->text(), QStringLiteral("DDDDDDDD"));
  QCOMPARE(w->lblSprCount->text(), QStringLiteral("8888"));
  allFit();
  QCOMPARE(w->lblSprCount->geometry(), QRect(87, 42, 66, 21));
  QCOMPARE(w->frame()->pos(), centreFor(f, w->frame()));
}

void SmallWindowsTest::propertiesAfterAnOpenWithTopBitSignature() {
  EditorFixture::Options options;
  options.versions = {{"high", 0xC0FFEE01u, true}};
  EditorFixture f(options);
  QVERIFY(f.openTestFile(13));
  f.main->Properties1Click();
  TfrmFileProperties* w = f.main->propertiesDialog.data();
  QCOMPARE(w->lblSprSignatureValue->text(), QStringLiteral("C0FFEE01"));
  QCOMPARE(w->lblSprCount->text(), QStringLiteral("13"));
}

void SmallWindowsTest::propertiesStayStaleUntilRefreshed() {
  EditorFixture f;
  QVERIFY(f.openTestFile(10));
  f.main->Properties1Click();
  TfrmFileProperties* w = f.main->propertiesDialog.data();
  QCOMPARE(w->lblSprCount->text(), QStringLiteral("10"));

  // An added sprite, as the editing commands append one.
  f.core.spriteFile.Sprites.push_back(tess::testing::makeEmptySprite(11));
  f.main->loadSprites();
  f.core.setModified();
  QCOMPARE(w->lblSprCount->text(), QStringLiteral("10"));

  f.main->Properties1Click();
  QCOMPARE(f.main->propertiesDialog.data(), w);
  QCOMPARE(w->lblSprCount->text(), QStringLiteral("11"));
  QCOMPARE(w->lblSprSignatureValue->text(), QStringLiteral("439D5A33"));
}

void SmallWindowsTest::propertiesAfterANewFile() {
  EditorFixture f;
  QVERIFY(f.openTestFile(6, 1));
  f.main->Properties1Click();
  TfrmFileProperties* w = f.main->propertiesDialog.data();
  QCOMPARE(w->lblSprSignatureValue->text(), QStringLiteral("57BBD603"));

  f.main->New1Click();
  f.main->newDialog->cmbVersion->setCurrentIndex(0);
  QTest::mouseClick(f.main->newDialog->Button1, Qt::LeftButton);
  // Not refreshed by the new file.
  QCOMPARE(w->lblSprCount->text(), QStringLiteral("6"));
  f.main->Properties1Click();
  // The last signature read from disk stays; the new file has no sprites.
  QCOMPARE(w->lblSprSignatureValue->text(), QStringLiteral("57BBD603"));
  QCOMPARE(w->lblSprCount->text(), QStringLiteral("0"));

  // Before any file was read, the signature is 0.
  EditorFixture fresh;
  fresh.newFile(0);
  fresh.main->Properties1Click();
  QCOMPARE(fresh.main->propertiesDialog->lblSprSignatureValue->text(), QStringLiteral("0"));
  QCOMPARE(fresh.main->propertiesDialog->lblSprCount->text(), QStringLiteral("0"));
}

void SmallWindowsTest::aboutWindow() {
  EditorFixture f;
  f.main->About1Click();
  TfrmAbout* w = f.main->aboutDialog.data();
  QVERIFY(w);
  QCOMPARE(w->windowTitle(), QStringLiteral("About"));
  QCOMPARE(w->size(), QSize(238, 87));
  QCOMPARE(w->minimumSize(), w->maximumSize());
  QCOMPARE(w->Image->geometry(), QRect(8, 8, 82, 81));
  // The labels keep their stored places and grow to their text where the font is wider.
  const std::vector<std::pair<const QLabel*, QRect>> stored = {
      {w->lblDescription, QRect(96, 16, 109, 15)},
      {w->Label1, QRect(96, 37, 54, 15)},
      {w->Label2, QRect(96, 60, 138, 15)}};
  for (const auto& [label, rect] : stored) {
    QCOMPARE(label->pos(), rect.topLeft());
    QCOMPARE(label->height(), rect.height());
    QVERIFY(label->width() >= rect.width());
    QVERIFY2(label->geometry().right() < w->width(), qPrintable(label->text()));
  }
  QCOMPARE(w->lblDescription->text(), QStringLiteral("Tessaline "));
  QCOMPARE(w->Label1->text(), QStringLiteral("Version 1.0"));
  QVERIFY(!w->Label2->text().isEmpty());
  for (const QLabel* label : {w->lblDescription, w->Label1, w->Label2}) {
    QCOMPARE(label->font().pixelSize(), 11);
    // The credit line and the others fit their boxes.
    QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(),
             qPrintable(label->text()));
  }
  QCOMPARE(w->Image->cursor().shape(), Qt::PointingHandCursor);
  QVERIFY(w->Image->toolTip().contains(QStringLiteral("README.md")));
  // The 300 x 300 picture, scaled proportionally into the box.
  const QPixmap picture = w->Image->pixmap();
  QVERIFY(!picture.isNull());
  QCOMPARE(picture.width(), picture.height());
  QVERIFY(picture.width() <= 82 && picture.height() <= 81);
  QVERIFY(picture.height() == 81);
  QVERIFY(picture.hasAlphaChannel());
  QCOMPARE(w->frame()->pos(), centreFor(f, w->frame()));
}

void SmallWindowsTest::aboutTwiceGivesOneWindow() {
  EditorFixture f;
  f.main->About1Click();
  TfrmAbout* first = f.main->aboutDialog.data();
  f.main->Open1Click();  // another window in front
  f.main->About1Click();
  QCOMPARE(f.main->aboutDialog.data(), first);
  QCOMPARE(countHosted<TfrmAbout>(f), 1);
  QCOMPARE(f.main->childArea->activeSubWindow(), first->frame());
}

void SmallWindowsTest::aboutPictureOpensTheReadme() {
  EditorFixture f;
  f.main->About1Click();
  TfrmAbout* w = f.main->aboutDialog.data();
  std::vector<QUrl> asked;
  w->openUrl = [&](const QUrl& url) {
    asked.push_back(url);
    return false;  // a failed request is ignored
  };
  QTest::mouseClick(w->Image, Qt::LeftButton, Qt::NoModifier, QPoint(40, 40));
  QTest::mouseClick(w->Image, Qt::RightButton, Qt::NoModifier, QPoint(40, 40));
  QCOMPARE(asked.size(), std::size_t{1});
  const QUrl expected =
      QUrl::fromLocalFile(QString::fromStdString(f.core.appPath) + QStringLiteral("README.md"));
  QCOMPARE(asked[0], expected);
  QVERIFY(asked[0].isLocalFile());
  QCOMPARE(asked[0].toLocalFile(), f.dir() + QStringLiteral("/README.md"));
  QVERIFY(f.host.messages.empty());
  QCOMPARE(f.main->aboutDialog.data(), w);
}

void SmallWindowsTest::closingEmptiesTheFieldAndTheNextCommandMakesAFreshWindow() {
  EditorFixture f;
  QVERIFY(f.openTestFile(3));
  const auto cycle = [&](auto field, auto command) {
    (f.main.get()->*command)();
    auto* first = (f.main.get()->*field).data();
    QVERIFY(first);
    first->setProperty("tessMarker", true);
    const QPointer<QWidget> gone(first);
    QVERIFY(first->closeWindow());
    QVERIFY((f.main.get()->*field).isNull());
    QTRY_VERIFY(gone.isNull());
    (f.main.get()->*command)();
    auto* second = (f.main.get()->*field).data();
    QVERIFY(second);
    QVERIFY(!second->property("tessMarker").isValid());
  };
  cycle(&tess::TfrmMain::newDialog, &tess::TfrmMain::New1Click);
  cycle(&tess::TfrmMain::propertiesDialog, &tess::TfrmMain::Properties1Click);
  cycle(&tess::TfrmMain::aboutDialog, &tess::TfrmMain::About1Click);
  cycle(&tess::TfrmMain::dialog, &tess::TfrmMain::Open1Click);
}

TESS_UI_TEST_MAIN(SmallWindowsTest)
#include "test_smallwindows.moc"

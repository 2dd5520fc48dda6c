// The user presses editing shortcuts, picks context-menu commands, or tries to close the
// program or switch the open/save window while a load or a save runs: the events reach the
// program through the event processing inside the run, every such command is refused, and the
// run ends as an undisturbed one does (a save writes byte for byte the same file).

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QTimer>
#include <QWindow>
#include <functional>
#include <string>

#include "UiTestSupport.h"
#include "bitmap/TBitmap32.h"
#include "image/PNG.h"
#include "sprite/TSpriteFile.h"
#include "ui/TfrmFileDialog.h"
#include "ui/TfrmMain.h"
#include "ui/TfrmNewFile.h"

using tess::testing::EditorFixture;

namespace {

constexpr int kSprites = 200;
constexpr int kVersion = 1;  // 32-bit counts
const std::string kBusy = "Its loading now";
const std::string kCloseQuestion = "Are you sure you want close without saving?";

QByteArray fileBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Saves through the save window, as the user does.
bool saveThroughWindow(EditorFixture& f, const QString& path) {
  f.main->Save1Click();
  tess::TfrmFileDialog* const dialog = f.main->dialog.data();
  if (!dialog) return false;
  dialog->edtSpr->setText(path);
  dialog->cmbVersion->setCurrentIndex(kVersion);
  dialog->btnExecuteClick();
  return QFile::exists(path);
}

// Opens through the open window with the version chosen, as the user does.
void openThroughWindow(EditorFixture& f, const QString& path) {
  f.main->Open1Click();
  tess::TfrmFileDialog* const dialog = f.main->dialog.data();
  if (!dialog) return;
  dialog->edtSpr->setText(path);
  dialog->cmbVersion->setCurrentIndex(kVersion + 1);
  dialog->btnExecuteClick();
}

// Runs `intrusion` once from inside the running load or save, halfway through it, at the point
// where the program lets pending events through. No clock is involved: the intrusion runs
// however fast the run is.
class DuringRun {
 public:
  DuringRun(EditorFixture& f, std::function<void()> intrusion)
      : FFixture(f), FIntrusion(std::move(intrusion)) {
    f.core.spriteFile.onLoadSprite.push_back(tess::TonLoadSprite(this, &DuringRun::onSprite));
  }
  ~DuringRun() {
    tess::removeListener(FFixture.core.spriteFile.onLoadSprite,
                         tess::TonLoadSprite(this, &DuringRun::onSprite));
  }
  DuringRun(const DuringRun&) = delete;
  DuringRun& operator=(const DuringRun&) = delete;

  bool ran = false;
  bool busy = false;  // the sprite file was busy when the intrusion ran
  std::size_t messagesBefore = 0;

 private:
  void onSprite(std::int32_t id, std::int32_t total) {
    if (ran || id < total / 2) return;
    ran = true;
    busy = FFixture.core.spriteFile.isBusy();
    messagesBefore = FFixture.host.messages.size();
    FIntrusion();
  }

  EditorFixture& FFixture;
  std::function<void()> FIntrusion;
};

void postShortcut(EditorFixture& f, Qt::Key key) {
  QCoreApplication::postEvent(f.main->SpriteListBox,
                              new QKeyEvent(QEvent::KeyPress, key, Qt::ControlModifier));
}

void postCall(QObject* context, std::function<void()> call) {
  QTimer::singleShot(0, context, std::move(call));
}

void selectRows(EditorFixture& f, int first, int last) {
  auto* model = f.main->SpriteListBox->model();
  f.main->SpriteListBox->selectionModel()->select(
      QItemSelection(model->index(first, 0), model->index(last, 0)),
      QItemSelectionModel::ClearAndSelect);
}

}  // namespace

class BusyGuardTest : public QObject {
  Q_OBJECT

 private slots:
  void commandsDuringASaveAreRefusedAndTheFileIsExact() {
    EditorFixture f;
    QVERIFY(f.openTestFile(kSprites, kVersion));
    selectRows(f, 0, 9);
    f.main->itemIndex = 3;
    QVERIFY(saveThroughWindow(f, f.path("undisturbed.spr")));
    const QByteArray undisturbed = fileBytes(f.path("undisturbed.spr"));
    QVERIFY(!undisturbed.isEmpty());
    f.host.clearMessages();

    // Were any command not refused, it would find a picture to add or put in place.
    tess::TBitmap32 picture;
    picture.SetSize(32, 32);
    tess::savePngFile(picture, f.path("picture.png").toStdString());
    for (int i = 0; i < 4; ++i) f.chooser.openAnswers.push_back({{f.path("picture.png")}});
    const auto chooserCallsBefore = f.chooser.calls.size();

    // Queued from inside the save and let through there, as the save's own event processing
    // does: the shortcuts Clone, Add, Clear and Replace, and the context menu's Clone, Clear,
    // Add and Replace.
    bool handledWhileBusy = false;
    DuringRun during(f, [&] {
      for (const Qt::Key key : {Qt::Key_C, Qt::Key_A, Qt::Key_D, Qt::Key_R}) postShortcut(f, key);
      postCall(f.main.get(), [&] { f.main->Clone2Click(); });
      postCall(f.main.get(), [&] { f.main->Clear2Click(); });
      postCall(f.main.get(), [&] { f.main->Add1Click(); });
      postCall(f.main.get(), [&] { f.main->Substituir1Click(); });
      // Handled after all of the above, so it tells whether they ran during the save.
      postCall(f.main.get(), [&] { handledWhileBusy = f.core.spriteFile.isBusy(); });
      QCoreApplication::processEvents();
    });

    QVERIFY(saveThroughWindow(f, f.path("disturbed.spr")));
    QVERIFY(during.ran);
    QVERIFY(handledWhileBusy);
    QCOMPARE(fileBytes(f.path("disturbed.spr")), undisturbed);
    QCOMPARE(f.core.spriteFile.Sprites.size(), std::size_t(kSprites));
    QCOMPARE(f.main->SpriteListBox->model()->rowCount(), kSprites);
    QCOMPARE(f.chooser.calls.size(), chooserCallsBefore);
    // One refusal per command; nothing else went wrong.
    QCOMPARE(f.host.count(kBusy), 8);
    QCOMPARE(f.host.messages.size(), std::size_t(8));

    // Once the save is over, the same shortcut works again.
    f.host.clearMessages();
    postShortcut(f, Qt::Key_C);
    QCoreApplication::processEvents();
    QCOMPARE(f.core.spriteFile.Sprites.size(), std::size_t(kSprites + 10));
    QCOMPARE(f.host.count(kBusy), 0);
  }

  // Closing the program (Esc, the exit item, the close box) and the Open and Save commands
  // (their keys and menu items) while a load or a save runs: each is refused with one "Its
  // loading now", asks nothing, ends nothing, leaves the running window in its mode, and the
  // run ends as it would have. New (its key and its item) shows the new-file window and the
  // running window closes once the run is over.
  void windowCommandsDuringARun_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("duringSave");
    QTest::addColumn<bool>("edited");
    const char* const paths[] = {"Esc",    "exit", "close box", "Ctrl+N", "New",
                                 "Ctrl+O", "Open", "Ctrl+S",    "Save"};
    for (const char* path : paths) {
      for (const bool duringSave : {false, true}) {
        for (const bool edited : {false, true}) {
          QTest::addRow("%s during %s%s", path, duringSave ? "save" : "load",
                        edited ? ", edited" : "")
              << QString(path) << duringSave << edited;
        }
      }
    }
  }
  void windowCommandsDuringARun() {
    QFETCH(QString, path);
    QFETCH(bool, duringSave);
    QFETCH(bool, edited);
    EditorFixture f;
    QVERIFY(f.openTestFile(kSprites, kVersion));
    const bool isNew = path == "Ctrl+N" || path == "New";
    const QByteArray original = fileBytes(f.path("test.spr"));
    if (edited) f.core.setModified();
    f.host.clearMessages();
    // Opening over the edits asks first; the user agrees.
    f.host.answers = {true};

    QWidget* const list = f.main->SpriteListBox;
    bool closed = false;
    QString modeDuring;
    int versionDuring = -2;
    DuringRun during(f, [&] {
      tess::TfrmFileDialog* const dialog = f.main->dialog.data();
      modeDuring = dialog ? dialog->windowTitle() : QString();
      versionDuring = dialog ? dialog->cmbVersion->currentIndex() : -2;
      if (path == "Esc") {
        QTest::keyClick(list, Qt::Key_Escape);
      } else if (path == "exit") {
        f.main->exit1->trigger();
      } else if (path == "close box") {
        closed = f.main->close();
      } else if (path == "Ctrl+N") {
        QTest::keyClick(list, Qt::Key_N, Qt::ControlModifier);
      } else if (path == "New") {
        f.main->New1->trigger();
      } else if (path == "Ctrl+O") {
        QTest::keyClick(list, Qt::Key_O, Qt::ControlModifier);
      } else if (path == "Open") {
        f.main->Open1->trigger();
      } else if (path == "Ctrl+S") {
        QTest::keyClick(list, Qt::Key_S, Qt::ControlModifier);
      } else if (path == "Save") {
        f.main->Save1->trigger();
      }
      QCoreApplication::processEvents();
      // The running window is untouched: same mode, same version, still there; after New it
      // waits for the run to end before it closes.
      tess::TfrmFileDialog* const after = f.main->dialog.data();
      QVERIFY(after == dialog);
      QCOMPARE(after->windowTitle(), modeDuring);
      QCOMPARE(after->cmbVersion->currentIndex(), versionDuring);
      QCOMPARE(after->isSaving, duringSave);
      QCOMPARE(after->isClosePending(), isNew);
      QCOMPARE(!f.main->newDialog.isNull(), isNew);
    });

    const QString saved = f.path("saved.spr");
    if (duringSave) {
      QVERIFY(saveThroughWindow(f, saved));
    } else {
      openThroughWindow(f, f.path("test.spr"));
    }
    QVERIFY(during.ran);
    QVERIFY(during.busy);
    if (QTest::currentTestFailed()) return;

    // Exactly one refusal came from the intrusion (none from New), and no question.
    QCOMPARE(f.host.messages.size(), during.messagesBefore + (isNew ? 0 : 1));
    if (!isNew) {
      const tess::testing::ShownMessage& refusal = f.host.messages.back();
      QCOMPARE(refusal.text, kBusy);
      QCOMPARE(refusal.caption, std::string("Status"));
      QCOMPARE(refusal.icon, tess::TMsgIcon::None);
      QVERIFY(!refusal.question);
    }
    QCOMPARE(f.host.count(kCloseQuestion), edited && !duringSave ? 1 : 0);
    QCOMPARE(f.host.terminations, 0);
    QVERIFY(!closed);
    QVERIFY(f.main->isVisible());

    // The run ended as an undisturbed one.
    QCOMPARE(f.core.spriteFile.Sprites.size(), std::size_t(kSprites));
    QCOMPARE(f.main->SpriteListBox->model()->rowCount(), kSprites);
    QVERIFY(!f.core.unsavedChanges);
    if (duringSave) {
      QCOMPARE(fileBytes(saved), original);
      QCOMPARE(f.core.currentFileName, saved.toStdString());
    }
    if (isNew) {
      QVERIFY(!f.main->dialog);
      QVERIFY(f.main->newDialog);
      return;
    }
    QVERIFY(f.main->dialog);
    QCOMPARE(f.main->dialog->isSaving, duringSave);

    // Once the run is over, the same path works again.
    f.host.clearMessages();
    f.host.answers = {true};
    if (path == "Esc" || path == "exit" || path == "close box") {
      f.main->Exit1Click();
      QCOMPARE(f.host.terminations, 1);
    } else if (path == "Ctrl+O" || path == "Open") {
      f.main->Open1Click();
      QVERIFY(!f.main->dialog->isSaving);
    } else {
      f.main->Save1Click();
      QVERIFY(f.main->dialog->isSaving);
    }
    QCOMPARE(f.host.count(kBusy), 0);
  }
};

TESS_UI_TEST_MAIN(BusyGuardTest)
#include "test_busy_guard.moc"

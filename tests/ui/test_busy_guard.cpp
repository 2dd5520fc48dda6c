// The user presses editing shortcuts and picks context-menu commands while a save runs: the
// events reach the program through the event processing inside the save, every command that
// would change the sprites is refused, and the file written is byte for byte the file an
// undisturbed save of the same sprites writes.

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QTimer>
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

// Long enough that the save lets events through several times.
constexpr int kSprites = 20000;
constexpr int kVersion = 1;  // 32-bit counts
const std::string kBusy = "Its loading now";

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

    // Queued now, handled inside the save: the shortcuts Clone, Add, Clear, Replace and New,
    // the context menu's Clone, Clear, Add and Replace, and the new-file window's button.
    for (const Qt::Key key : {Qt::Key_C, Qt::Key_A, Qt::Key_D, Qt::Key_R, Qt::Key_N}) {
      postShortcut(f, key);
    }
    postCall(f.main.get(), [&] { f.main->Clone2Click(); });
    postCall(f.main.get(), [&] { f.main->Clear2Click(); });
    postCall(f.main.get(), [&] { f.main->Add1Click(); });
    postCall(f.main.get(), [&] { f.main->Substituir1Click(); });
    bool newWindowTried = false;
    postCall(f.main.get(), [&] {
      if (!f.main->newDialog) return;
      f.main->newDialog->cmbVersion->setCurrentIndex(0);
      f.main->newDialog->Button1Click();
      newWindowTried = true;
    });
    // Handled after all of the above, so it tells whether they ran during the save.
    bool handledWhileBusy = false;
    postCall(f.main.get(), [&] { handledWhileBusy = f.core.spriteFile.isBusy(); });

    QVERIFY(saveThroughWindow(f, f.path("disturbed.spr")));
    QVERIFY2(handledWhileBusy, "the save did not let the queued commands through");
    QVERIFY(newWindowTried);
    QCOMPARE(fileBytes(f.path("disturbed.spr")), undisturbed);
    QCOMPARE(f.core.spriteFile.Sprites.size(), std::size_t(kSprites));
    QCOMPARE(f.main->SpriteListBox->model()->rowCount(), kSprites);
    QCOMPARE(f.chooser.calls.size(), chooserCallsBefore);
    // One refusal per command that would change the sprites; nothing else went wrong.
    QCOMPARE(f.host.count(kBusy), 9);
    QCOMPARE(f.host.count("Cannot save Sprite File!"), 0);

    // Once the save is over, the same shortcut works again.
    f.host.clearMessages();
    postShortcut(f, Qt::Key_C);
    QCoreApplication::processEvents();
    QCOMPARE(f.core.spriteFile.Sprites.size(), std::size_t(kSprites + 10));
    QCOMPARE(f.host.count(kBusy), 0);
  }
};

TESS_UI_TEST_MAIN(BusyGuardTest)
#include "test_busy_guard.moc"

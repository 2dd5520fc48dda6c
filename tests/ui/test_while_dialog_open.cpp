// The commands that show a modal file or folder dialog look at the sprite file again once the
// dialog is gone, since the dialog ran an event loop. Whatever happened to the file meanwhile
// (it was closed, another file was opened in its place, or a load or save began) the command
// stops without touching any sprite, writing any file or leaving a step in the history.

#include <QDir>
#include <QItemSelectionModel>
#include <QListView>
#include <functional>
#include <string>
#include <vector>

#include "UiTestSupport.h"
#include "bitmap/TBitmap32.h"
#include "image/PNG.h"
#include "sprite/TSpriteFile.h"
#include "ui/EditHistory.h"
#include "ui/SpriteListModel.h"
#include "ui/TfrmMain.h"

using tess::TColor32;
using tess::testing::EditorFixture;
using tess::testing::ScriptedChooser;

namespace {

using Command = void (tess::TfrmMain::*)();
using Dialog = ScriptedChooser::Kind;

struct DialogCommand {
  const char* name;
  Command command;
  Dialog changeDuring;  // the file changes while the first dialog of this kind is open
  int dialogs = 1;      // the most dialogs the command may show
};

const DialogCommand kDialogCommands[] = {
    {"Add2", &tess::TfrmMain::Add2Click, Dialog::Open},
    {"Add1", &tess::TfrmMain::Add1Click, Dialog::Open},
    {"Replace1", &tess::TfrmMain::Replace1Click, Dialog::Open},
    {"Substituir1", &tess::TfrmMain::Substituir1Click, Dialog::Open},
    {"Export1", &tess::TfrmMain::Export1Click, Dialog::Folder},
    {"Exportar1", &tess::TfrmMain::Exportar1Click, Dialog::Save},
    {"ImportSheet1", &tess::TfrmMain::ImportSheet1Click, Dialog::Open},
    // Asks for the number of columns, then for the file to write; a change during the first
    // stops it before the second.
    {"ExportSheet1 columns", &tess::TfrmMain::ExportSheet1Click, Dialog::Number, 1},
    {"ExportSheet1 file", &tess::TfrmMain::ExportSheet1Click, Dialog::Save, 2},
};

const DialogCommand& commandNamed(const QString& name) {
  for (const DialogCommand& c : kDialogCommands) {
    if (name == QLatin1String(c.name)) return c;
  }
  qFatal("unknown command");
}

enum class Change { Closed, Replaced, Busy };

// Every sprite's ID, empty flag and pixels, to tell whether anything changed.
struct SpriteState {
  std::int32_t id;
  bool empty;
  std::vector<TColor32> pixels;
  bool operator==(const SpriteState&) const = default;
};

std::vector<SpriteState> stateOf(const tess::TSpriteFile& file) {
  std::vector<SpriteState> state;
  for (const auto& sprite : file.Sprites) {
    std::vector<TColor32> pixels;
    if (sprite->bitmap) {
      pixels.assign(sprite->bitmap->FBits(),
                    sprite->bitmap->FBits() + sprite->bitmap->pixelCount());
    }
    state.push_back({sprite->ID(), sprite->isDUmmy, std::move(pixels)});
  }
  return state;
}

// The sprites of the file `name` of the fixture's folder, as read from the disk.
std::vector<SpriteState> stateOnDisk(EditorFixture& f, const QString& name) {
  tess::TSpriteFile file(f.host);
  if (!file.load(f.path(name).toStdString(), false)) return {};
  return stateOf(file);
}

void selectRows(EditorFixture& f, int first, int last) {
  auto* model = f.main->SpriteListBox->model();
  f.main->SpriteListBox->selectionModel()->select(
      QItemSelection(model->index(first, 0), model->index(last, 0)),
      QItemSelectionModel::ClearAndSelect);
}

void rightClickRow(EditorFixture& f, int row) {
  QListView& list = *f.main->SpriteListBox;
  const QModelIndex index = f.main->spriteListModel->index(row);
  list.scrollTo(index);
  f.main->SpriteListBoxMouseDown(Qt::RightButton, list.visualRect(index).center());
}

QStringList pngFilesIn(const QString& dir) {
  return QDir(dir).entryList({QStringLiteral("*.png")}, QDir::Files, QDir::Name);
}

}  // namespace

class WhileDialogOpenTest : public QObject {
  Q_OBJECT

 private slots:
  void commandStopsWhenTheFileChanged_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("change");
    for (const DialogCommand& c : kDialogCommands) {
      QTest::addRow("%s, file closed", c.name) << QString(c.name) << int(Change::Closed);
      QTest::addRow("%s, file replaced", c.name) << QString(c.name) << int(Change::Replaced);
      QTest::addRow("%s, file busy", c.name) << QString(c.name) << int(Change::Busy);
    }
  }
  void commandStopsWhenTheFileChanged() {
    QFETCH(QString, command);
    QFETCH(int, change);
    const DialogCommand& c = commandNamed(command);
    EditorFixture f;
    // The file the command is for, and the one that may take its place.
    QVERIFY(tess::testing::writeSprFile(f.path("other.spr"), tess::testing::makeTestSprites(7),
                                        0x439D5A33u, false));
    QVERIFY(f.openTestFile(12));
    selectRows(f, 1, 3);
    rightClickRow(f, 2);
    QCOMPARE(f.main->itemIndex, 2);

    // Every dialog would be answered: a picture (a one-tile sheet, too) for the open dialogs,
    // folders and names for the export ones, all in a folder of their own so that any export
    // would show. The number of columns is the one offered.
    QVERIFY(QDir(f.dir()).mkdir("out"));
    const QString out = f.path("out");
    tess::TBitmap32 picture;
    picture.SetSizeAndFill(32, 32, 0xFF204060u);
    tess::savePngFile(picture, f.path("picture.png").toStdString());
    f.chooser.openAnswers.push_back({{f.path("picture.png")}});
    f.chooser.saveAnswers.push_back({out + "/one.png"});
    f.chooser.folderAnswers.push_back(out);

    f.host.clearMessages();
    bool fired = false;
    bool changed = false;
    f.chooser.whileOpen = [&](const ScriptedChooser::Call& call) {
      if (fired || call.kind != c.changeDuring) return;
      fired = true;
      switch (static_cast<Change>(change)) {
        case Change::Closed:
          f.core.spriteFile.clear();
          f.core.spriteFile.loaded = false;
          break;
        case Change::Replaced:
          changed = f.openFile(f.path("other.spr"));
          return;
        case Change::Busy:
          f.core.spriteFile.isLoading = true;
          break;
      }
      changed = true;
    };
    (f.main.get()->*c.command)();
    f.chooser.whileOpen = nullptr;
    const bool wasBusy = f.core.spriteFile.isLoading;
    f.core.spriteFile.isLoading = false;

    QVERIFY(changed);  // the dialog was shown, and the file changed under it
    QVERIFY(f.chooser.calls.size() <= std::size_t(c.dialogs));
    QCOMPARE(wasBusy, static_cast<Change>(change) == Change::Busy);
    // The command stopped without a word: nothing went wrong, there was just nothing left to do.
    QCOMPARE(f.host.messages.size(), std::size_t(0));

    // Nothing of the command reached the file that is there now, or the disk.
    QCOMPARE(pngFilesIn(out), QStringList());
    QVERIFY(!f.main->history().canUndo());
    switch (static_cast<Change>(change)) {
      case Change::Closed:
        QVERIFY(f.core.spriteFile.Sprites.empty());
        QVERIFY(!f.core.spriteFile.loaded);
        break;
      case Change::Replaced:
        QCOMPARE(f.core.spriteFile.Sprites.size(), std::size_t(7));
        QVERIFY(stateOf(f.core.spriteFile) == stateOnDisk(f, "other.spr"));
        QVERIFY(!f.core.unsavedChanges);
        break;
      case Change::Busy:
        QVERIFY(stateOf(f.core.spriteFile) == stateOnDisk(f, "test.spr"));
        QVERIFY(!f.core.unsavedChanges);
        break;
    }
    QCOMPARE(f.main->spriteListModel->rowCount(),
             static_cast<int>(f.core.spriteFile.Sprites.size()));
  }
};

TESS_UI_TEST_MAIN(WhileDialogOpenTest)
#include "test_while_dialog_open.moc"

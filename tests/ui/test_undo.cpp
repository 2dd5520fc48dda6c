// Undo and redo of the editing commands through the real main window, the bound of the history,
// and what keeps the user's work: the questions before edits are thrown away or another file is
// replaced, and an open that fails.

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QUndoStack>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "UiTestSupport.h"
#include "bitmap/TBitmap32.h"
#include "core/spriteDocument.h"
#include "image/PNG.h"
#include "sprite/TSpriteFile.h"
#include "ui/EditCommands.h"
#include "ui/EditHistory.h"
#include "ui/SpriteListModel.h"
#include "ui/TfrmFileDialog.h"

using tess::PackColor32;
using tess::TBitmap32;
using tess::TColor32;
using tess::TEditHistory;
using tess::TfrmMain;
using tess::TMsgIcon;
using tess::TSprite;
using tess::testing::EditorFixture;

namespace {

const std::string kCloseQuestion = "Are you sure you want close without saving?";
const std::string kReplaceQuestion = "The file already exists. Replace it?";

// Everything an edit may change and an undo must put back.
struct SpriteState {
  bool empty;
  bool hasImage;
  std::vector<TColor32> pixels;
  bool operator==(const SpriteState&) const = default;
};

struct EditorState {
  std::vector<SpriteState> sprites;  // in ID order; IDs are checked to follow the order
  int rows = 0;
  std::vector<int> selected;
  bool unsaved = false;
  QString title;
  bool operator==(const EditorState&) const = default;
};

EditorState stateOf(const EditorFixture& f) {
  EditorState state;
  const auto& sprites = f.core.spriteFile.Sprites;
  for (std::size_t k = 0; k < sprites.size(); ++k) {
    const TSprite& sprite = *sprites[k];
    if (sprite.ID() != static_cast<std::int32_t>(k + 1)) throw std::logic_error("IDs out of order");
    if (f.main->SpritesIndex.at(k) != &sprite) throw std::logic_error("rows out of step");
    SpriteState s{sprite.isDUmmy, sprite.bitmap != nullptr, {}};
    if (sprite.bitmap) {
      s.pixels.assign(sprite.bitmap->FBits(), sprite.bitmap->FBits() + sprite.bitmap->pixelCount());
    }
    state.sprites.push_back(std::move(s));
  }
  state.rows = f.main->spriteListModel->rowCount();
  state.selected = f.main->getSelectedItems();
  state.unsaved = f.core.unsavedChanges;
  state.title = f.main->windowTitle();
  return state;
}

void selectRows(EditorFixture& f, std::initializer_list<int> rows) {
  QItemSelection selection;
  for (int row : rows) {
    const QModelIndex index = f.main->spriteListModel->index(row);
    selection.select(index, index);
  }
  f.main->SpriteListBox->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void rightClickRow(EditorFixture& f, int row) {
  QListView& list = *f.main->SpriteListBox;
  const QModelIndex index = f.main->spriteListModel->index(row);
  list.scrollTo(index);
  f.main->SpriteListBoxMouseDown(Qt::RightButton, list.visualRect(index).center());
}

// A 32x32 picture of one colour with a transparent and a half-transparent pixel.
QString writePicture(const EditorFixture& f, const QString& name, TColor32 colour) {
  TBitmap32 picture;
  picture.SetSizeAndFill(32, 32, colour);
  picture.FBits()[0] = 0x00FFFFFFu;
  picture.FBits()[1] = 0x80102030u;
  const QString path = f.path(name);
  tess::savePngFile(picture, path.toStdString());
  return path;
}

// The keys as the user presses them, into the focused list.
void pressUndo(EditorFixture& f) {
  QTest::keyClick(f.main->SpriteListBox, Qt::Key_Z, Qt::ControlModifier);
}
void pressRedo(EditorFixture& f) {
  QTest::keyClick(f.main->SpriteListBox, Qt::Key_Y, Qt::ControlModifier);
}
void pressShiftRedo(EditorFixture& f) {
  QTest::keyClick(f.main->SpriteListBox, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
}

using Action = std::function<void(EditorFixture&)>;

// A step that only reports the bytes it claims to keep.
class WeightedStep : public tess::TEditCommand {
 public:
  WeightedStep(tess::TSpriteDocument& document, std::size_t bytes, int& undone)
      : TEditCommand(document, QStringLiteral("Weighted"), {}), FBytes(bytes), FUndone(undone) {}
  std::size_t heldBytes() const noexcept override { return FBytes; }
  void release() noexcept override { FBytes = 0; }

 protected:
  void undoEdit() override { ++FUndone; }
  void redoEdit() override {}

 private:
  std::size_t FBytes;
  int& FUndone;
};

// A sprite's pixels; none for a sprite without an image.
std::vector<TColor32> pixelsOf(const tess::TSprite* sprite) {
  if (!sprite || !sprite->bitmap) return {};
  return {sprite->bitmap->FBits(), sprite->bitmap->FBits() + sprite->bitmap->pixelCount()};
}

// A listener that fails as the list would when it cannot take the rows in.
class FailingView {
 public:
  void spritesAppended(std::int32_t, std::int32_t) { throw std::bad_alloc(); }
};

}  // namespace

class UndoTest : public QObject {
  Q_OBJECT

 private slots:
  void eachCommandIsOneStep_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("stepName");
    QTest::newRow("Add") << "Add"
                         << "Add 2 sprites";
    QTest::newRow("Add, context menu") << "Add1"
                                       << "Add 2 sprites";
    QTest::newRow("Replace") << "Replace"
                             << "Replace 3 sprites";
    QTest::newRow("Replace, context menu") << "Substituir"
                                           << "Replace 1 sprite";
    QTest::newRow("Clone") << "Clone"
                           << "Clone 3 sprites";
    QTest::newRow("Clone, context menu") << "Clone2"
                                         << "Clone 1 sprite";
    QTest::newRow("Clear") << "Clear"
                           << "Clear 3 sprites";
    QTest::newRow("Clear, context menu") << "Clear2"
                                         << "Clear 1 sprite";
  }
  // Undo puts back exactly what the command changed: pixels, empty flags, hidden images, the
  // number of sprites and their IDs, the rows, the selection and the title's mark; redo
  // brings the command's result back. Every key for them works.
  void eachCommandIsOneStep() {
    QFETCH(QString, command);
    QFETCH(QString, stepName);
    EditorFixture f;
    QVERIFY(f.openTestFile(10));  // IDs 5 and 10 are empty
    // Sprite 4 becomes a cleared sprite with a hidden image; then the file counts as saved.
    selectRows(f, {3});
    f.main->Clear1Click();
    f.main->history().reset();
    f.main->history().markSaved();
    f.core.setUnsaved(false);
    const QString a = writePicture(f, "a.png", 0xFF112233u);
    const QString b = writePicture(f, "b.png", 0xFF445566u);
    const QString c = writePicture(f, "c.png", 0xFF778899u);

    // What the test selects first, then the command itself: the selection a command starts
    // from is what its undo must give back.
    struct Steps {
      Action prepare;
      Action run;
    };
    const std::map<QString, Steps> actions = {
        {"Add",
         {[](EditorFixture& e) { selectRows(e, {1}); },
          [&](EditorFixture& e) {
            e.chooser.openAnswers.push_back({{a, b}});
            e.main->Add2Click();
          }}},
        {"Add1",
         {[](EditorFixture&) {},
          [&](EditorFixture& e) {
            e.chooser.openAnswers.push_back({{b, a}});
            e.main->Add1Click();
          }}},
        {"Replace",
         {[](EditorFixture& e) {
            selectRows(e, {0, 3, 4});  // an image, a cleared sprite and an empty one
          },
          [&](EditorFixture& e) {
            e.chooser.openAnswers.push_back({{a, b, c}});
            e.main->Replace1Click();
          }}},
        {"Substituir",
         {[](EditorFixture& e) {
            selectRows(e, {8});
            rightClickRow(e, 6);
          },
          [&](EditorFixture& e) {
            e.chooser.openAnswers.push_back({{c}});
            e.main->Substituir1Click();
          }}},
        {"Clone",
         {[](EditorFixture& e) {
            selectRows(e, {0, 3, 4});
          },
          [](EditorFixture& e) {
            QTest::keyClick(e.main->SpriteListBox, Qt::Key_C, Qt::ControlModifier);
          }}},
        {"Clone2",
         {[](EditorFixture& e) {
            selectRows(e, {2});
            rightClickRow(e, 1);
          },
          [](EditorFixture& e) { e.main->Clone2Click(); }}},
        {"Clear",
         {[](EditorFixture& e) {
            selectRows(e, {1, 3, 4});
          },
          [](EditorFixture& e) {
            QTest::keyClick(e.main->SpriteListBox, Qt::Key_D, Qt::ControlModifier);
          }}},
        {"Clear2",
         {[](EditorFixture& e) {
            selectRows(e, {0});
            rightClickRow(e, 7);
          },
          [](EditorFixture& e) { e.main->Clear2Click(); }}},
    };

    f.main->SpriteListBox->setFocus();
    actions.at(command).prepare(f);
    const EditorState before = stateOf(f);
    QVERIFY(!f.main->Undo1->isEnabled());
    actions.at(command).run(f);
    QVERIFY(f.host.messages.empty());
    const EditorState after = stateOf(f);
    QVERIFY(after.unsaved);
    QVERIFY(after.title.contains(QStringLiteral(" - Not saved!")));
    QCOMPARE(f.main->Undo1->text(), QStringLiteral("Undo ") + stepName);
    QVERIFY(f.main->Undo1->isEnabled());
    QVERIFY(!f.main->Redo1->isEnabled());

    pressUndo(f);
    // Everything the command changed comes back, the selection it changed included.
    QVERIFY(stateOf(f) == before);
    QVERIFY(!f.core.unsavedChanges);
    QVERIFY(!f.main->windowTitle().contains(QStringLiteral(" - Not saved!")));
    QVERIFY(!f.main->Undo1->isEnabled());  // one command, one step
    QCOMPARE(f.main->Redo1->text(), QStringLiteral("Redo ") + stepName);

    pressRedo(f);
    QVERIFY(stateOf(f) == after);
    pressUndo(f);
    QCOMPARE(stateOf(f).selected, before.selected);
    pressShiftRedo(f);
    QVERIFY(stateOf(f) == after);
    QVERIFY(f.host.messages.empty());
  }

  // The selection a command changes comes back with undo: Add and Clone select their rows in
  // addition to what was selected.
  void undoRestoresTheSelection() {
    EditorFixture f;
    QVERIFY(f.openTestFile(10));
    selectRows(f, {1, 6});
    f.main->Clone1Click();
    QCOMPARE(f.main->getSelectedItems(), (std::vector<int>{1, 6, 10, 11}));
    f.main->Undo1Click();
    QCOMPARE(f.main->getSelectedItems(), (std::vector<int>{1, 6}));
    QCOMPARE(f.core.spriteFile.Sprites.size(), std::size_t{10});
    f.main->Redo1Click();
    QCOMPARE(f.main->getSelectedItems(), (std::vector<int>{1, 6, 10, 11}));
  }

  // A Clone copies a sprite by the draw mode its image has at that moment (a painted row is
  // blended over transparent white); redo makes the same copies, and undo of a Replace gives the
  // old image back with the mode it had.
  void drawModeIsPartOfWhatComesBack() {
    EditorFixture f;
    QVERIFY(f.openTestFile(4));
    TSprite& source = *f.core.spriteFile.Sprites[0];
    source.bitmap->FBits()[5] = 0x80102030u;
    source.bitmap->DrawMode = tess::dmBlend;
    selectRows(f, {0});
    f.main->Clone1Click();
    const std::vector<TColor32> copied(f.core.spriteFile.Sprites[4]->bitmap->FBits(),
                                       f.core.spriteFile.Sprites[4]->bitmap->FBits() + 1024);
    // 0x80102030 over transparent white, as Draw blends it.
    QCOMPARE(copied[5], TColor32{0x40889098u});
    f.main->Undo1Click();
    source.bitmap->DrawMode = tess::dmOpaque;  // as if painted differently since
    f.main->Redo1Click();
    source.bitmap->DrawMode = tess::dmBlend;
    const TSprite& again = *f.core.spriteFile.Sprites[4];
    QCOMPARE(std::vector<TColor32>(again.bitmap->FBits(), again.bitmap->FBits() + 1024), copied);

    const QString a = writePicture(f, "a.png", 0xFF112233u);
    selectRows(f, {1});
    const TBitmap32* const old = f.core.spriteFile.Sprites[1]->bitmap.get();
    f.core.spriteFile.Sprites[1]->bitmap->DrawMode = tess::dmBlend;
    f.chooser.openAnswers.push_back({{a}});
    f.main->Replace1Click();
    QVERIFY(f.core.spriteFile.Sprites[1]->bitmap.get() != old);
    QCOMPARE(f.core.spriteFile.Sprites[1]->bitmap->DrawMode, tess::dmBlend);
    f.main->Undo1Click();
    QCOMPARE(f.core.spriteFile.Sprites[1]->bitmap.get(), old);
    QCOMPARE(f.core.spriteFile.Sprites[1]->bitmap->DrawMode, tess::dmBlend);
  }

  // The mark follows the history: back at the state last saved it goes, away from it it comes
  // back, and a save makes the present state the saved one.
  void unsavedMarkFollowsTheHistory() {
    EditorFixture f;
    QVERIFY(f.openTestFile(6));
    const QString clean = f.main->windowTitle();
    selectRows(f, {0});
    f.main->Clear1Click();
    f.main->Clear1Click();
    QVERIFY(f.core.unsavedChanges);
    f.main->Undo1Click();
    QVERIFY(f.core.unsavedChanges);
    f.main->Undo1Click();
    QVERIFY(!f.core.unsavedChanges);
    QCOMPARE(f.main->windowTitle(), clean);
    f.main->Redo1Click();
    QVERIFY(f.core.unsavedChanges);
    QVERIFY(f.main->windowTitle().contains(QStringLiteral(" - Not saved!")));

    // Save through the save window: this state is now the clean one.
    const QString saved = f.path("saved.spr");
    f.main->Save1Click();
    f.main->dialog->edtSpr->setText(saved);
    f.main->dialog->cmbVersion->setCurrentIndex(0);
    QTest::mouseClick(f.main->dialog->btnExecute, Qt::LeftButton);
    QVERIFY(!f.core.unsavedChanges);
    f.main->Undo1Click();
    QVERIFY(f.core.unsavedChanges);
    QCOMPARE(f.main->windowTitle(),
             QStringLiteral("Tessaline (7.6) - Not saved! - file: ") + saved);
    f.main->Redo1Click();
    QVERIFY(!f.core.unsavedChanges);
    QCOMPARE(f.main->windowTitle(), QStringLiteral("Tessaline (7.6) - file: ") + saved);
  }

  // New and Open start a new history.
  void newAndOpenForgetTheHistory() {
    EditorFixture f;
    QVERIFY(f.openTestFile(6));
    selectRows(f, {0});
    f.main->Clear1Click();
    QVERIFY(f.main->Undo1->isEnabled());
    QVERIFY(f.openTestFile(3, 0, "other.spr"));
    QVERIFY(!f.main->Undo1->isEnabled());
    QVERIFY(!f.main->Redo1->isEnabled());
    f.main->Clone1Click();
    f.newFile();
    QVERIFY(!f.main->Undo1->isEnabled());
    QCOMPARE(f.main->Undo1->text(), QStringLiteral("Undo"));
  }

  // Undo and Redo wait like every other command while a load runs, from the menu and the keys.
  void refusedWhileBusy() {
    EditorFixture f;
    QVERIFY(f.openTestFile(6));
    selectRows(f, {0});
    f.main->Clear1Click();
    f.main->Clear1Click();
    f.main->Undo1Click();
    f.host.clearMessages();
    const EditorState before = stateOf(f);
    f.core.spriteFile.isLoading = true;  // as in the middle of a load
    f.main->Undo1->trigger();
    f.main->Redo1->trigger();
    pressUndo(f);
    pressRedo(f);
    f.core.spriteFile.isLoading = false;
    QCOMPARE(f.host.count("Its loading now"), 4);
    QCOMPARE(f.host.last()->caption, std::string("Status"));
    QCOMPARE(f.host.last()->icon, TMsgIcon::None);
    QVERIFY(stateOf(f) == before);
  }

  // Undo and Redo during a real save are refused, and the save writes the sprites as they were.
  void refusedDuringASave() {
    EditorFixture f;
    QVERIFY(f.openTestFile(300));
    selectRows(f, {0});
    f.main->Clear1Click();
    const bool wasEmpty = f.core.spriteFile.Sprites[0]->isDUmmy;
    int refused = 0;
    struct Listener {
      EditorFixture* f;
      int* refused;
      bool pressed = false;
      void onSprite(std::int32_t id, std::int32_t) {
        if (pressed || id < 100) return;
        pressed = true;
        const int before = f->host.count("Its loading now");
        f->main->Undo1Click();
        f->main->Redo1Click();
        *refused = f->host.count("Its loading now") - before;
      }
    } listener{&f, &refused};
    f.core.spriteFile.onLoadSprite.push_back(tess::TonLoadSprite(&listener, &Listener::onSprite));
    QVERIFY(f.core.saveFile(f.path("out.spr").toStdString(), f.core.versions.at(0)));
    tess::removeListener(f.core.spriteFile.onLoadSprite,
                         tess::TonLoadSprite(&listener, &Listener::onSprite));
    QCOMPARE(refused, 2);
    QCOMPARE(f.core.spriteFile.Sprites[0]->isDUmmy, wasEmpty);
    QVERIFY(f.main->Undo1->isEnabled());
  }

  // The history keeps at least the last 100 steps, and lets the oldest ones go once what its
  // steps keep passes 512 MiB; undo stops where it let go.
  void historyIsBounded() {
    EditorFixture f;
    QVERIFY(f.openTestFile(2));
    TEditHistory& history = f.main->history();
    int undone = 0;
    constexpr std::size_t kMiB = std::size_t{1} << 20;
    // Light steps: all kept, whatever their number.
    for (int i = 0; i < 150; ++i) history.push(new WeightedStep(f.core.document, kMiB, undone));
    QCOMPARE(history.undoableSteps(), 150);
    // Heavy ones: the oldest go until 512 MiB, but never the last 100.
    for (int i = 0; i < 150; ++i) {
      history.push(new WeightedStep(f.core.document, 4 * kMiB, undone));
    }
    QVERIFY(history.heldBytes() <= TEditHistory::kKeptBytes);
    QVERIFY(history.undoableSteps() >= TEditHistory::kKeptSteps);
    QCOMPARE(history.undoableSteps(), static_cast<int>(TEditHistory::kKeptBytes / (4 * kMiB)));
    for (int i = 0; i < 150; ++i) {
      history.push(new WeightedStep(f.core.document, 64 * kMiB, undone));
    }
    QCOMPARE(history.undoableSteps(), TEditHistory::kKeptSteps);
    const int steps = history.undoableSteps();
    for (int i = 0; i < steps + 5; ++i) f.main->Undo1Click();
    QCOMPARE(undone, steps);
    QVERIFY(!f.main->Undo1->isEnabled());
  }

  // Clearing and cloning 100,000 sprites keep no images in the history.
  void bigStepsKeepNoImages() {
    EditorFixture f;
    QVERIFY(f.openTestFile(100000, 1));
    f.main->SpriteListBox->selectAll();
    f.main->Clear1Click();
    QVERIFY(f.main->history().heldBytes() <= 100000 * sizeof(tess::TFlagChange));
    f.main->Undo1Click();
    f.main->Clone1Click();
    QCOMPARE(f.core.spriteFile.Sprites.size(), std::size_t{200000});
    QVERIFY(f.main->history().heldBytes() <= 2 * 100000 * 16);
    // Undone, the step keeps the very copies it took back, for a redo without copying again:
    // no image more than the file held a moment before.
    const std::size_t copies = 80000 * 32 * 32 * sizeof(TColor32);  // every fifth is empty
    f.main->Undo1Click();
    QCOMPARE(f.core.spriteFile.Sprites.size(), std::size_t{100000});
    QCOMPARE(f.main->spriteListModel->rowCount(), 100000);
    QVERIFY(f.main->history().heldBytes() <= copies + 2 * 100000 * 16);
    // The next step ends any redo, and with it what the undone step kept.
    selectRows(f, {0});
    f.main->Clear1Click();
    QVERIFY(f.main->history().heldBytes() <= 2 * 100000 * 16 + 16);
  }

  // What an undone Clone keeps to redo fast goes first when the history is over its bound:
  // every step stays undoable, and the redo copies the images again.
  void undoneCloneLetsItsCopiesGoFirst() {
    EditorFixture f;
    QVERIFY(f.openTestFile(40000, 1));
    TEditHistory& history = f.main->history();
    int undone = 0;
    constexpr std::size_t kMiB = std::size_t{1} << 20;
    for (int i = 0; i < 110; ++i) history.push(new WeightedStep(f.core.document, 4 * kMiB, undone));
    const std::size_t weighted = 110 * 4 * kMiB;
    f.main->SpriteListBox->selectAll();
    f.main->Clone1Click();
    const auto cloned = pixelsOf(f.core.spriteFile.Sprites[40000].get());
    f.main->Undo1Click();
    // 32000 copies of 4 KiB and the weighted steps pass 512 MiB.
    QVERIFY(history.heldBytes() <= weighted + 40000 * 16);
    QCOMPARE(history.undoableSteps(), 110);
    f.main->Redo1Click();
    QCOMPARE(f.core.spriteFile.Sprites.size(), std::size_t{80000});
    QCOMPARE(pixelsOf(f.core.spriteFile.Sprites[40000].get()), cloned);
    QCOMPARE(pixelsOf(f.core.spriteFile.Sprites[79999].get()),
             pixelsOf(f.core.spriteFile.Sprites[39999].get()));
    QCOMPARE(undone, 0);
  }

  // When the rows cannot take the new sprites in, Add and Clone take them back out: sprites,
  // rows and index stay in step, nothing is added to the history, and the title keeps its state.
  void failedAppendIsRolledBack_data() {
    QTest::addColumn<bool>("clone");
    QTest::newRow("Add") << false;
    QTest::newRow("Clone") << true;
  }
  void failedAppendIsRolledBack() {
    QFETCH(bool, clone);
    EditorFixture f;
    QVERIFY(f.openTestFile(5));
    selectRows(f, {0, 2});
    const EditorState before = stateOf(f);
    FailingView failing;
    f.core.document.onSpritesAppended.push_back(
        tess::TonSpritesChanged(&failing, &FailingView::spritesAppended));
    if (clone) {
      f.main->Clone1Click();
    } else {
      f.chooser.openAnswers.push_back({{writePicture(f, "a.png", 0xFF010203u)}});
      f.main->Add2Click();
    }
    tess::removeListener(f.core.document.onSpritesAppended,
                         tess::TonSpritesChanged(&failing, &FailingView::spritesAppended));
    if (clone) {
      QVERIFY(f.host.messages.empty());  // Clone fails without a word
    } else {
      QCOMPARE(f.host.lastText(), std::string("Cannot add the sprite!"));
    }
    QVERIFY(stateOf(f) == before);
    QVERIFY(!f.main->Undo1->isEnabled());
  }

  // New and Open with edits ask first; any answer but Yes shows the save window and keeps
  // everything. The question's default button is No.
  void openWithChangesAsksFirst_data() {
    QTest::addColumn<bool>("yes");
    QTest::newRow("Yes") << true;
    QTest::newRow("No") << false;
  }
  void openWithChangesAsksFirst() {
    QFETCH(bool, yes);
    EditorFixture f;
    QVERIFY(f.openTestFile(6));
    QVERIFY(f.openTestFile(3, 0, "other.spr"));
    QVERIFY(f.openTestFile(6));
    selectRows(f, {0});
    f.main->Clear1Click();
    const EditorState edited = stateOf(f);
    f.main->Open1Click();
    f.main->dialog->edtSpr->setText(f.path("other.spr"));
    f.main->dialog->cmbVersion->setCurrentIndex(0);
    f.host.clearMessages();
    f.host.answers = {yes};
    QTest::mouseClick(f.main->dialog->btnExecute, Qt::LeftButton);
    QVERIFY(!f.host.messages.empty());
    QCOMPARE(f.host.messages[0].text, kCloseQuestion);
    QCOMPARE(f.host.messages[0].caption, std::string("Files"));
    QCOMPARE(f.host.messages[0].icon, TMsgIcon::Warning);
    QVERIFY(f.host.messages[0].question);
    if (yes) {
      QCOMPARE(f.core.spriteFile.Sprites.size(), std::size_t{3});
      QVERIFY(!f.core.unsavedChanges);
      QVERIFY(!f.main->Undo1->isEnabled());
    } else {
      QCOMPARE(f.host.messages.size(), std::size_t{1});
      QVERIFY(stateOf(f) == edited);
      QVERIFY(f.main->dialog->isSaving);
      QVERIFY(f.main->Undo1->isEnabled());
    }
  }

  // Saving onto another file that exists asks before anything is written; saving onto the file
  // being edited does not.
  void overwritingSaveAsks_data() {
    QTest::addColumn<bool>("yes");
    QTest::newRow("Yes") << true;
    QTest::newRow("No") << false;
  }
  void overwritingSaveAsks() {
    QFETCH(bool, yes);
    EditorFixture f;
    QVERIFY(f.openTestFile(6));
    const QString other = f.path("other.spr");
    {
      QFile file(other);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write("not a sprite file");
    }
    selectRows(f, {0});
    f.main->Clear1Click();
    f.main->Save1Click();
    f.main->dialog->edtSpr->setText(other);
    f.main->dialog->cmbVersion->setCurrentIndex(0);
    f.host.clearMessages();
    f.host.answers = {yes};
    QTest::mouseClick(f.main->dialog->btnExecute, Qt::LeftButton);
    QCOMPARE(f.host.messages.size(), std::size_t{1});
    QCOMPARE(f.host.messages[0].text, kReplaceQuestion);
    QCOMPARE(f.host.messages[0].caption, std::string("Files"));
    QCOMPARE(f.host.messages[0].icon, TMsgIcon::Warning);
    QFile file(other);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    if (yes) {
      QVERIFY(bytes != QByteArray("not a sprite file"));
      QCOMPARE(QString::fromStdString(f.core.currentFileName), other);
      QVERIFY(!f.core.unsavedChanges);
    } else {
      QCOMPARE(bytes, QByteArray("not a sprite file"));
      QVERIFY(f.core.unsavedChanges);
      QCOMPARE(QString::fromStdString(f.core.currentFileName), f.path("test.spr"));
    }

    // The file being edited is saved over without a question.
    f.host.clearMessages();
    f.main->dialog->edtSpr->setText(QString::fromStdString(f.core.currentFileName));
    f.main->dialog->cmbVersion->setCurrentIndex(0);
    QTest::mouseClick(f.main->dialog->btnExecute, Qt::LeftButton);
    QVERIFY(f.host.messages.empty());
    QVERIFY(!f.core.unsavedChanges);
  }

  // The real question box has No as its default button, so Enter keeps the user's work.
  void questionDefaultsToNo() {
    tess::QtHost host;
    QString defaultButton;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
      QTest::keyClick(box, Qt::Key_Return);
    });
    const bool answer = host.askYesNo(kCloseQuestion, "Files", TMsgIcon::Warning);
    QVERIFY(!answer);
    QVERIFY(defaultButton.contains(QStringLiteral("No")));
  }

  // A failed open leaves the file being edited as it was: sprites, rows, edits, title, version,
  // path and history.
  void failedOpenKeepsTheEditedFile_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("truncated file") << "truncated";
    QTest::newRow("wrong version") << "wrongVersion";
    QTest::newRow("no sprites") << "zeroCount";
    QTest::newRow("missing file") << "missing";
  }
  void failedOpenKeepsTheEditedFile() {
    QFETCH(QString, kind);
    EditorFixture f;
    QVERIFY(f.openTestFile(8));
    selectRows(f, {1});
    f.main->Clear1Click();
    const EditorState edited = stateOf(f);
    const std::string version = f.core.currentVersion->name;
    const std::string path = f.core.currentFileName;

    // A file of the other version (32-bit counts); opened as 7.6 its table is misread.
    const QString bad = f.path("bad.spr");
    QVERIFY(tess::testing::writeSprFile(bad, tess::testing::makeTestSprites(20), 0x12345678, true));
    if (kind == "truncated") {
      QFile file(bad);
      QVERIFY(file.resize(file.size() / 2));
    } else if (kind == "zeroCount") {
      QFile file(bad);
      QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
      file.write(QByteArray("\x78\x56\x34\x12\x00\x00", 6));
    } else if (kind == "missing") {
      QFile::remove(bad);
    }
    f.main->Open1Click();
    f.main->dialog->edtSpr->setText(bad);
    // "7.6", 16-bit counts; for the truncated file "10.98", its own width.
    f.main->dialog->cmbVersion->setCurrentIndex(kind == "truncated" ? 2 : 1);
    f.host.answers = {true};  // yes, discard the edits
    QTest::mouseClick(f.main->dialog->btnExecute, Qt::LeftButton);
    QVERIFY(f.host.count("Cannot load Sprite file!") +
                f.host.count("The Sprite file doesnt exists!") ==
            1);
    QVERIFY(stateOf(f) == edited);
    QCOMPARE(f.core.currentVersion->name, version);
    QCOMPARE(f.core.currentFileName, path);
    QVERIFY(f.core.spriteFile.loaded);
    QVERIFY(f.main->Undo1->isEnabled());
    f.main->Undo1Click();
    QVERIFY(!f.core.spriteFile.Sprites[1]->isDUmmy);
  }

  // `tessaline FILE` opens FILE as the open window does with "Auto detect"; a file that cannot
  // be opened gets the window's messages and leaves the editor without a file.
  void commandLineFile() {
    EditorFixture f;
    QVERIFY(tess::testing::writeSprFile(f.path("cli.spr"), tess::testing::makeTestSprites(7),
                                        f.core.versions.at(1).spriteSignature, true));
    f.main->openFromCommandLine(f.path("cli.spr"));
    QCOMPARE(f.core.spriteFile.Sprites.size(), std::size_t{7});
    QCOMPARE(f.main->spriteListModel->rowCount(), 7);
    QCOMPARE(f.main->windowTitle(),
             QStringLiteral("Tessaline (10.98) - file: ") + f.path("cli.spr"));
    QVERIFY(f.host.messages.empty());

    // A name relative to the folder the editor started in is that folder's file, and the title
    // and the save window name it in full, so the file can be saved again.
    const QString startedIn = QDir::currentPath();
    EditorFixture r;
    QVERIFY(QFile::copy(f.path("cli.spr"), r.path("cli.spr")));
    QVERIFY(QDir::setCurrent(r.dir()));
    r.main->openFromCommandLine(QStringLiteral("cli.spr"));
    QVERIFY(QDir::setCurrent(startedIn));
    QCOMPARE(r.core.spriteFile.Sprites.size(), std::size_t{7});
    QCOMPARE(r.main->windowTitle(),
             QStringLiteral("Tessaline (10.98) - file: ") + r.path("cli.spr"));
    r.main->SpriteListBox->selectionModel()->select(r.main->spriteListModel->index(0),
                                                    QItemSelectionModel::ClearAndSelect);
    r.main->Clear1Click();
    QVERIFY(r.core.unsavedChanges);
    r.main->Save1Click();
    QCOMPARE(r.main->dialog->edtSpr->text(), r.path("cli.spr"));
    r.main->dialog->cmbVersion->setCurrentIndex(r.main->dialog->cmbVersion->findText("10.98"));
    QTest::mouseClick(r.main->dialog->btnExecute, Qt::LeftButton);
    QVERIFY2(r.host.messages.empty(), r.host.lastText().c_str());
    QVERIFY(!r.core.unsavedChanges);

    EditorFixture g;
    g.main->openFromCommandLine(g.path("nowhere.spr"));
    QCOMPARE(g.host.lastText(), std::string("The Sprite file doesnt exists!"));
    QVERIFY(!g.core.spriteFile.loaded);
    QCOMPARE(g.main->windowTitle(), QStringLiteral("Tessaline"));
  }
};

TESS_UI_TEST_MAIN(UndoTest)
#include "test_undo.moc"

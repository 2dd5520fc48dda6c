// The main window as the user meets it: its layout, menus, shortcut keys, child windows,
// closing and start-up.

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QStyle>
#include <QTimer>

#include "UiTestSupport.h"
#include "ui/EditorStartup.h"
#include "ui/SpriteListModel.h"
#include "ui/TfrmAbout.h"
#include "ui/TfrmFileDialog.h"
#include "ui/TfrmFileProperties.h"
#include "ui/TfrmNewFile.h"

using tess::TMsgIcon;
using tess::testing::EditorFixture;

namespace {

const std::string kNoFile = "No file open!";
const std::string kCloseQuestion = "Are you sure you want close without saving?";

// Counts the key presses, other than of the modifier keys themselves, that reach a widget.
class KeyCounter : public QObject {
 public:
  explicit KeyCounter(QWidget* widget) { widget->installEventFilter(this); }
  int presses = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    switch (static_cast<QKeyEvent*>(event)->key()) {
      case Qt::Key_Control:
      case Qt::Key_Shift:
      case Qt::Key_Alt:
      case Qt::Key_Meta:
        break;
      default:
        ++presses;
    }
    return false;
  }
};

// The next widget after `from` that the Tab key stops at.
QWidget* nextTabStop(QWidget* from) {
  QWidget* next = from->nextInFocusChain();
  while (next != from && !(next->focusPolicy() & Qt::TabFocus)) next = next->nextInFocusChain();
  return next;
}

// Deletes the child windows whose deletion is pending.
void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

QMdiSubWindow* frameOf(QWidget* child) {
  return child ? qobject_cast<QMdiSubWindow*>(child->parentWidget()) : nullptr;
}

// An object whose event handler fails, to reach the application's general error report.
class Failing : public QObject {
 protected:
  bool event(QEvent*) override { throw std::runtime_error("handler failed"); }
};

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void startsWithTitleAndLayout() {
    EditorFixture f;
    QVERIFY(f.exposed);
    tess::TfrmMain& w = *f.main;
    QCOMPARE(w.windowTitle(), QString("Tessaline"));
    QVERIFY(f.host.messages.empty());
    QCOMPARE(w.centralWidget()->size(), QSize(662, 487));
    // Opens at that size and can grow from it (see test_views for the layout as it grows).
    QVERIFY(w.minimumSize() != w.maximumSize());
    QVERIFY(w.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(w.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    QCOMPARE(w.pos(), QPoint(293, 154));
    QCOMPARE(w.font().pixelSize(), 11);

    QCOMPARE(w.lbl_search->geometry(), QRect(479, 8, 66, 13));
    QCOMPARE(w.lbl_search->text(), QString("Search by ID:"));
    QCOMPARE(w.SpriteListBox->geometry(), QRect(479, 35, 175, 444));
    QCOMPARE(w.SpriteListBox->toolTip(), QString("Right click to show the menu"));
    QCOMPARE(w.SpriteListBox->selectionMode(), QAbstractItemView::ExtendedSelection);
    QVERIFY(w.SpriteListBox->uniformItemSizes());
    QCOMPARE(w.edt_search->geometry(), QRect(479, 8, 130, 21));
    QCOMPARE(w.edt_search->text(), QString("0"));
    QCOMPARE(w.btn_search->geometry(), QRect(615, 8, 39, 21));
    QCOMPARE(w.btn_search->text(), QString("Search"));
    QCOMPARE(w.background->geometry(), QRect(0, 0, 662, 487));
    QCOMPARE(w.childArea->geometry(), QRect(0, 0, 662, 487));

    // One blank row, no index entry, itemIndex 0.
    QCOMPARE(w.spriteListModel->rowCount(), 1);
    QVERIFY(w.SpritesIndex.empty());
    QCOMPARE(w.itemIndex, 0);
    QCOMPARE(w.SpriteListBox->sizeHintForRow(0), 32);

    // Tab order: list, search field, button.
    QCOMPARE(nextTabStop(w.SpriteListBox), static_cast<QWidget*>(w.edt_search));
    QCOMPARE(nextTabStop(w.edt_search), static_cast<QWidget*>(w.btn_search));
  }

  void searchFieldTakesDigitsOnly() {
    EditorFixture f;
    f.main->edt_search->clear();
    f.main->edt_search->setFocus();
    QTest::keyClicks(f.main->edt_search, "1a2-3 b");
    QCOMPARE(f.main->edt_search->text(), QString("123"));
  }

  void stackingKeepsControlsAboveChildWindows() {
    EditorFixture f;
    QWidget* client = f.main->centralWidget();
    const QObjectList& order = client->children();
    const auto at = [&](QObject* o) { return order.indexOf(o); };
    QVERIFY(at(f.main->lbl_search) < at(f.main->background));
    QVERIFY(at(f.main->background) < at(f.main->childArea));
    QVERIFY(at(f.main->childArea) < at(f.main->SpriteListBox));
    QVERIFY(at(f.main->SpriteListBox) < at(f.main->edt_search));
    QVERIFY(at(f.main->edt_search) < at(f.main->btn_search));

    // A child window dragged over the list stays below it.
    f.main->About1Click();
    QMdiSubWindow* frame = frameOf(f.main->aboutDialog);
    QVERIFY(frame);
    frame->move(440, 20);
    const QPoint inList = f.main->SpriteListBox->geometry().topLeft() + QPoint(20, 20);
    QWidget* hit = client->childAt(inList);
    QVERIFY(hit == f.main->SpriteListBox || f.main->SpriteListBox->isAncestorOf(hit));
    const QPoint inEdit = f.main->edt_search->geometry().center();
    QCOMPARE(client->childAt(inEdit), static_cast<QWidget*>(f.main->edt_search));
  }

  void menusHaveCaptionsShortcutsAndPictures() {
    EditorFixture f;
    tess::TfrmMain& w = *f.main;
    struct Item {
      QAction* action;
      const char* caption;
      const char* shortcut;
      bool picture;
    };
    const Item items[] = {
        {w.New1, "New", "Ctrl+N", true},
        {w.Open1, "Open", "Ctrl+O", true},
        {w.Save1, "Save", "Ctrl+S", true},
        {w.Add2, "Add", "Ctrl+A", false},
        {w.Replace1, "Replace", "Ctrl+R", false},
        {w.Export1, "Export", "Ctrl+E", false},
        {w.Clone1, "Clone", "Ctrl+C", false},
        {w.Clear1, "Clear", "Ctrl+D", false},
        {w.Properties1, "Properties", "Ctrl+P", true},
        {w.exit1, "exit", "", false},
        {w.About1, "About", "", false},
        {w.Add1, "Add", "", false},
        {w.Substituir1, "Replace", "", false},
        {w.Exportar1, "Export", "", false},
        {w.Clone2, "Clone", "", false},
        {w.Clear2, "Clear", "", false},
    };
    for (const Item& item : items) {
      QVERIFY(item.action);
      QCOMPARE(item.action->text(), QString(item.caption));
      QCOMPARE(item.action->shortcut(), QKeySequence(QString(item.shortcut)));
      QCOMPARE(!item.action->icon().isNull(), item.picture);
    }
    QCOMPARE(w.File1->title(), QString("File"));
    QCOMPARE(w.SelectedItems1->title(), QString("Selected Items"));
    QCOMPARE(w.Help1->title(), QString("Help"));
    QCOMPARE(w.File1->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, w.File1), 32);
    QVERIFY(w.File1->actionGeometry(w.New1).height() >= 32);
    QVERIFY(w.File1->actionGeometry(w.Properties1).height() >= 32);
    QVERIFY(w.File1->actions().contains(w.SelectedItems1->menuAction()));
    QCOMPARE(w.PopupMenu1->actions().size(), 5);
  }

  // Each Ctrl key runs its command once, wherever the focus is, and the focused control does
  // not see it; the same letters without Ctrl go to the control.
  void shortcutKeys_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("messages");  // "No file open!" boxes expected
    QTest::addColumn<int>("reached");   // presses the focused field sees
    QTest::newRow("Ctrl+S") << int(Qt::Key_S) << int(Qt::ControlModifier) << 1 << 0;
    QTest::newRow("Ctrl+Shift+S") << int(Qt::Key_S) << int(Qt::ControlModifier | Qt::ShiftModifier)
                                  << 1 << 0;
    QTest::newRow("Ctrl+Alt+S") << int(Qt::Key_S) << int(Qt::ControlModifier | Qt::AltModifier) << 1
                                << 0;
    QTest::newRow("Ctrl+P") << int(Qt::Key_P) << int(Qt::ControlModifier) << 1 << 0;
    QTest::newRow("S") << int(Qt::Key_S) << int(Qt::NoModifier) << 0 << 1;
    QTest::newRow("Shift+S") << int(Qt::Key_S) << int(Qt::ShiftModifier) << 0 << 1;
    QTest::newRow("P") << int(Qt::Key_P) << int(Qt::NoModifier) << 0 << 1;
    QTest::newRow("Ctrl+X") << int(Qt::Key_X) << int(Qt::ControlModifier) << 0 << 1;
    QTest::newRow("7") << int(Qt::Key_7) << int(Qt::NoModifier) << 0 << 1;
  }

  void shortcutKeys() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, messages);
    QFETCH(int, reached);
    EditorFixture f;
    f.main->activateWindow();
    f.main->edt_search->setFocus();
    KeyCounter counter(f.main->edt_search);
    QTest::keyClick(f.main->edt_search, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(f.host.count(kNoFile), messages);
    QCOMPARE(counter.presses, reached);
    if (messages > 0) {
      QCOMPARE(f.host.last()->caption, std::string("Error!"));
      QCOMPARE(f.host.last()->icon, TMsgIcon::Error);
    }
  }

  void shortcutReachesCommandsFromEveryWidget() {
    EditorFixture f;
    f.main->New1Click();
    QVERIFY(f.main->newDialog);
    QComboBox* inChild = f.main->newDialog->cmbVersion;
    QWidget* targets[] = {f.main->SpriteListBox, f.main->edt_search, f.main->btn_search,
                          f.main.get(), inChild};
    int expected = 0;
    for (QWidget* target : targets) {
      QTest::keyClick(target, Qt::Key_S, Qt::ControlModifier);
      QCOMPARE(f.host.count(kNoFile), ++expected);
    }
  }

  // Ctrl+C in a text field is the Clone command, not the field's copy.
  void ctrlCInTextFieldIsNotCopy() {
    EditorFixture f;
    QApplication::clipboard()->setText("before");
    f.main->edt_search->setText("12345");
    f.main->edt_search->selectAll();
    KeyCounter counter(f.main->edt_search);
    QTest::keyClick(f.main->edt_search, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(counter.presses, 0);
    QCOMPARE(QApplication::clipboard()->text(), QString("before"));
    QCOMPARE(f.host.count(kNoFile), 1);  // the Clone command, once

    // With a file open it clones the selected row.
    QVERIFY(f.openTestFile(3));
    f.main->SpriteListBox->selectionModel()->select(f.main->spriteListModel->index(1, 0),
                                                    QItemSelectionModel::Select);
    f.main->edt_search->setFocus();
    QTest::keyClick(f.main->edt_search, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(f.main->spriteListModel->rowCount(), 4);
    QCOMPARE(f.core.spriteFile.Sprites.size(), std::size_t(4));
    QCOMPARE(counter.presses, 0);
  }

  void menuItemsRunTheirCommandOnce() {
    EditorFixture f;
    f.main->Save1->trigger();
    QCOMPARE(f.host.count(kNoFile), 1);
    f.main->Properties1->trigger();
    QCOMPARE(f.host.count(kNoFile), 2);
    f.main->New1->trigger();
    QVERIFY(f.main->newDialog);
    QCOMPARE(f.main->childArea->subWindowList().size(), 1);
  }

  void escapeClosesEditorOnceAndGoesOn() {
    EditorFixture f;
    f.main->edt_search->setFocus();
    KeyCounter counter(f.main->edt_search);
    QTest::keyClick(f.main->edt_search, Qt::Key_Escape);
    QCOMPARE(f.host.terminations, 1);
    QCOMPARE(counter.presses, 1);  // left to the control
    QVERIFY(f.host.messages.empty());
  }

  // An open menu takes its keys itself: Esc closes it, not the editor.
  void keysInAnOpenMenuBelongToTheMenu() {
    EditorFixture f;
    f.main->PopupMenu1->popup(f.main->SpriteListBox->mapToGlobal(QPoint(20, 20)));
    QVERIFY(QTest::qWaitForWindowExposed(f.main->PopupMenu1));
    QCOMPARE(QApplication::activePopupWidget(), static_cast<QWidget*>(f.main->PopupMenu1));
    QTest::keyClick(f.main->PopupMenu1, Qt::Key_S, Qt::ControlModifier);
    QTest::keyClick(f.main->PopupMenu1, Qt::Key_Escape);
    QCOMPARE(f.host.terminations, 0);
    QVERIFY(f.host.messages.empty());
    QVERIFY(!f.main->PopupMenu1->isVisible());
  }

  void escapeWithUnsavedChangesAsksOnce() {
    EditorFixture f;
    QVERIFY(f.openTestFile(5));
    f.core.setModified();
    f.host.answers = {false};
    QTest::keyClick(f.main->SpriteListBox, Qt::Key_Escape);
    QCOMPARE(f.host.count(kCloseQuestion), 1);
    QCOMPARE(f.host.terminations, 0);
    QVERIFY(f.main->dialog);  // the Save command showed the save window
  }

  void ctrlNAndCtrlOShowOneWindowEach() {
    EditorFixture f;
    QTest::keyClick(f.main->SpriteListBox, Qt::Key_N, Qt::ControlModifier);
    QVERIFY(f.main->newDialog);
    QCOMPARE(frameOf(f.main->newDialog)->pos(), QPoint(100, 100));
    QTest::keyClick(f.main->SpriteListBox, Qt::Key_N, Qt::ControlModifier);
    flushDeletes();
    QCOMPARE(f.main->childArea->subWindowList().size(), 1);

    // Open closes the new-file window and shows the open/save window at (20, 20).
    QTest::keyClick(f.main->SpriteListBox, Qt::Key_O, Qt::ControlModifier);
    flushDeletes();
    QVERIFY(!f.main->newDialog);
    QVERIFY(f.main->dialog);
    QCOMPARE(frameOf(f.main->dialog)->pos(), QPoint(20, 20));
    QCOMPARE(f.main->childArea->subWindowList().size(), 1);

    // New closes the open/save window.
    f.main->New1Click();
    flushDeletes();
    QVERIFY(!f.main->dialog);
    QVERIFY(f.main->newDialog);
    QCOMPARE(f.main->childArea->subWindowList().size(), 1);
  }

  void saveWithFileShowsSaveWindow() {
    EditorFixture f;
    QVERIFY(f.openTestFile(3));
    f.main->Save1Click();
    QVERIFY(f.host.messages.empty());
    QVERIFY(f.main->dialog);
    QCOMPARE(frameOf(f.main->dialog)->pos(), QPoint(20, 20));
    QVERIFY(frameOf(f.main->dialog)->isVisible());
  }

  void propertiesCentredAndRefreshed() {
    EditorFixture f;
    QVERIFY(f.openTestFile(3));
    f.main->Properties1Click();
    QVERIFY(f.main->propertiesDialog);
    QMdiSubWindow* frame = frameOf(f.main->propertiesDialog);
    QVERIFY(frame);
    const QPoint centre = frame->geometry().center();
    QVERIFY(qAbs(centre.x() - 662 / 2) <= 1);
    QVERIFY(qAbs(centre.y() - 487 / 2) <= 1);
    QPointer<tess::TfrmFileProperties> first = f.main->propertiesDialog;
    f.main->Properties1Click();
    QCOMPARE(f.main->propertiesDialog, first);
  }

  void aboutTwiceIsTheSameWindow() {
    EditorFixture f;
    f.main->About1Click();
    QPointer<tess::TfrmAbout> first = f.main->aboutDialog;
    QVERIFY(first);
    QVERIFY(frameOf(first)->isVisible());
    f.main->About1Click();
    QCOMPARE(f.main->aboutDialog, first);
    QCOMPARE(f.main->childArea->subWindowList().size(), 1);
  }

  void childWindowClosesWithItsFrame() {
    EditorFixture f;
    f.main->About1Click();
    QPointer<QMdiSubWindow> frame = frameOf(f.main->aboutDialog);
    QVERIFY(f.main->aboutDialog->closeWindow());
    flushDeletes();
    QVERIFY(!f.main->aboutDialog);
    QVERIFY(!frame);
    // The next About makes a fresh window.
    f.main->About1Click();
    QVERIFY(f.main->aboutDialog);
  }

  void closeWithoutChangesEnds() {
    EditorFixture f;
    QVERIFY(f.main->close());
    QCOMPARE(f.host.terminations, 1);
    QVERIFY(f.host.messages.empty());
  }

  void closeWithChangesAnsweredNo() {
    EditorFixture f;
    QVERIFY(f.openTestFile(4));
    f.core.setModified();
    f.host.answers = {false};
    QVERIFY(!f.main->close());
    QVERIFY(f.main->isVisible());
    QCOMPARE(f.host.terminations, 0);
    QCOMPARE(f.host.messages.size(), std::size_t(1));
    const tess::testing::ShownMessage& question = f.host.messages.front();
    QCOMPARE(question.text, kCloseQuestion);
    QCOMPARE(question.caption, std::string("Files"));
    QCOMPARE(question.icon, TMsgIcon::Warning);
    QVERIFY(question.question);
    QVERIFY(f.main->dialog);  // Save1Click ran
  }

  void closeWithChangesAnsweredNoWithoutFile() {
    EditorFixture f;
    f.core.unsavedChanges = true;
    f.host.answers = {false};
    QVERIFY(!f.main->close());
    QCOMPARE(f.host.count(kNoFile), 1);
    QCOMPARE(f.host.terminations, 0);
  }

  void closeWithChangesAnsweredYes() {
    EditorFixture f;
    QVERIFY(f.openTestFile(4));
    f.core.setModified();
    f.host.answers = {true};
    QVERIFY(f.main->close());
    QCOMPARE(f.host.count(kCloseQuestion), 1);
    QCOMPARE(f.host.terminations, 1);
    QVERIFY(!f.main->dialog);
  }

  void exitMenuGoesThroughCloseEditor() {
    EditorFixture f;
    f.core.unsavedChanges = true;
    f.host.answers = {false};
    f.main->exit1->trigger();
    QCOMPARE(f.host.count(kCloseQuestion), 1);
    QCOMPARE(f.host.terminations, 0);
    f.host.answers = {true};
    f.main->Exit1Click();
    QCOMPARE(f.host.terminations, 1);
  }

  void startupWithoutConfigEnds() {
    EditorFixture::Options options;
    options.writeConfig = false;
    options.show = false;
    EditorFixture f(options);
    QCOMPARE(f.host.messages.size(), std::size_t(1));
    QCOMPARE(f.host.messages[0].text,
             std::string("Error on loading versions, correct your config.ini please."));
    QCOMPARE(f.host.messages[0].caption, std::string("Error!"));
    QCOMPARE(f.host.messages[0].icon, TMsgIcon::Error);
    QVERIFY(f.host.terminationRequested());
    QCOMPARE(f.host.terminations, 1);
  }

  void runEditorWithoutConfigFailsWithoutWindow() {
    QTemporaryDir empty;
    tess::testing::TestHost host;
    tess::testing::ScriptedChooser chooser;
    bool shown = false;
    host.onMessage = [&](const tess::testing::ShownMessage&) {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (qobject_cast<tess::TfrmMain*>(w) && w->isVisible()) shown = true;
      }
    };
    const int status = tess::runEditor(host, chooser, empty.path());
    QCOMPARE(status, tess::QtHost::startupFailureExitCode);
    QVERIFY(status != 0);
    QCOMPARE(host.count("Error on loading versions, correct your config.ini please."), 1);
    QVERIFY(!shown);
  }

  void runEditorShowsTheWindowAndEndsWithZero() {
    QTemporaryDir dir;
    tess::testing::writeConfigIni(dir.path(), tess::testing::defaultTestVersions());
    tess::testing::TestHost host;
    tess::testing::ScriptedChooser chooser;
    QString title;
    bool visible = false;
    QTimer::singleShot(0, [&] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* main = qobject_cast<tess::TfrmMain*>(w)) {
          title = main->windowTitle();
          visible = main->isVisible();
        }
      }
      QCoreApplication::exit(0);
    });
    QCOMPARE(tess::runEditor(host, chooser, dir.path()), 0);
    QCOMPARE(title, QString("Tessaline"));
    QVERIFY(visible);
    QVERIFY(host.messages.empty());
  }

  void uncaughtErrorReachesGeneralReport() {
    EditorFixture f;
    Failing failing;
    QEvent event(QEvent::User);
    QCoreApplication::sendEvent(&failing, &event);
    QCOMPARE(f.host.messages.size(), std::size_t(1));
    QCOMPARE(f.host.messages[0].text, std::string("handler failed"));
    QCOMPARE(f.host.messages[0].caption, std::string("Error!"));
    QCOMPARE(f.host.messages[0].icon, TMsgIcon::Error);
  }

  void pendingEventsRunAfterTheTimeSlice() {
    tess::testing::TestHost host;
    std::int64_t now = 1000;
    host.setClockForTests([&now] { return now; });
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    now += 20;  // longer than the slice, so the next call must process
    host.processPendingEvents();
    QVERIFY(ran);
  }

  // The writer calls for every run pair: within a slice the calls must not reach the event loop,
  // and the first call after it must.
  void pendingEventsWaitForTheNextSlice() {
    tess::testing::TestHost host;
    std::int64_t now = 1000;
    host.setClockForTests([&now] { return now; });
    now += 20;
    host.processPendingEvents();  // starts a new slice
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    for (int call = 0; call < 1000; ++call) {
      host.processPendingEvents();
      if (call % 100 == 0) now += 1;  // ten milliseconds in all: still within the slice
    }
    QVERIFY(!ran);
    now += 20;
    host.processPendingEvents();
    QVERIFY(ran);
  }

  // A caller that asks millions of times a second makes the host look at the clock less often,
  // but never so rarely that a slower caller afterwards waits more than a few hundred calls.
  void pendingEventsAfterAFastCallerStillCome() {
    tess::testing::TestHost host;
    std::int64_t now = 1000;
    host.setClockForTests([&now] { return now; });
    // Forty milliseconds of a caller that asks a hundred thousand times a millisecond.
    for (int call = 0; call < 4'000'000; ++call) {
      host.processPendingEvents();
      if (call % 100'000 == 0) now += 1;
    }
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    now += 20;
    int calls = 0;
    while (!ran && calls < 10000) {
      host.processPendingEvents();
      ++calls;
    }
    QVERIFY(ran);
    QVERIFY2(calls <= 256, qPrintable(QString::number(calls)));
    QVERIFY2(calls > 1, "the fast caller should have spaced the looks at the clock");
  }

  void titleFollowsTheCore() {
    EditorFixture f;
    QVERIFY(f.openTestFile(2));
    f.core.setModified();
    const QString expected = QString("Tessaline (7.6) - Not saved! - file: ") + f.path("test.spr");
    QCOMPARE(f.main->windowTitle(), expected);
  }
};

TESS_UI_TEST_MAIN(MainWindowTest)
#include "test_mainwindow.moc"

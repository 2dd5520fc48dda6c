#pragma once

// Shared support for the GUI tests: a host that records message boxes and answers questions
// from a script, a file chooser that answers from a script, writers for config.ini and SPR
// files, and a fixture that builds the whole editor (core, host, chooser, main window) around
// them in a temporary directory.
//
// A test program uses it like this:
//
//   class MainWindowTest : public QObject {
//     Q_OBJECT
//    private slots:
//     void saveWithoutFile() {
//       tess::testing::EditorFixture f;                 // editor started, no file open
//       f.main->Save1Click();
//       QCOMPARE(f.host.lastText(), std::string("No file open!"));
//     }
//     void cloneOnLoadedFile() {
//       tess::testing::EditorFixture f;
//       QVERIFY(f.openTestFile(10));                     // 10 sprites, rows built
//       ...
//     }
//   };
//   TESS_UI_TEST_MAIN(MainWindowTest)
//   #include "test_mainwindow.moc"
//
// TESS_UI_TEST_MAIN runs the tests inside the program's own TApplication, so errors that escape
// a handler reach the general error report (and so the fixture's TestHost) as in the program.

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bitmap/TColor32.h"
#include "core/editorCore.h"
#include "sprite/TSprite.h"
#include "ui/FileChooser.h"
#include "ui/QtHost.h"
#include "ui/TApplication.h"
#include "ui/TfrmMain.h"

namespace tess::testing {

// One message box or question the program showed.
struct ShownMessage {
  std::string text;
  std::string caption;
  TMsgIcon icon = TMsgIcon::None;
  bool question = false;
};

// The editor's real host with the modal boxes replaced: every box is recorded and returns at
// once, questions take their answer from `answers` (then `defaultAnswer`), and ending the
// program is only counted. Titles, the Save command and event processing are the real ones.
class TestHost : public QtHost {
 public:
  std::vector<ShownMessage> messages;
  std::deque<bool> answers;  // Yes = true, consumed in order
  bool defaultAnswer = true;
  int terminations = 0;
  // Runs while a box is "open", after it was recorded; e.g. to look at the state at that moment.
  std::function<void(const ShownMessage&)> onMessage;

  // The text of the last box, or "" when none was shown.
  std::string lastText() const;
  const ShownMessage* last() const;
  // How many boxes showed exactly `text`.
  int count(const std::string& text) const;
  void clearMessages() { messages.clear(); }

 protected:
  void presentMessage(const std::string& text, const std::string& caption, TMsgIcon icon) override;
  bool presentQuestion(const std::string& text, const std::string& caption, TMsgIcon icon) override;
  void endEventLoop() override { ++terminations; }
};

// A file chooser that records how each dialog was set up and answers from queues. An empty
// queue answers "cancelled". Like the real dialogs, an answer writes the chosen name back into
// the setup (the first file for openFiles) and, when the answer gives one, the filter index.
class ScriptedChooser : public IFileChooser {
 public:
  enum class Kind { Open, Save, Folder, Number };
  struct Call {
    Kind kind;
    TFileDialogSetup setup;  // as the program handed it over, before the answer; for Number
                             // only the title and the owner
    QString prompt;          // Folder and Number only
  };
  struct OpenAnswer {
    QStringList files;    // empty: cancelled
    int filterIndex = 0;  // 0: left as it was
  };
  struct SaveAnswer {
    QString file;  // empty: cancelled
    int filterIndex = 0;
  };

  std::vector<Call> calls;
  // Runs while a dialog is "open", after its call was recorded and before it answers: what the
  // user or the program might do meanwhile, since a real modal dialog runs an event loop.
  std::function<void(const Call&)> whileOpen;
  std::deque<OpenAnswer> openAnswers;
  std::deque<SaveAnswer> saveAnswers;
  std::deque<QString> folderAnswers;  // empty string: cancelled
  // Answers of the number dialog (nullopt: cancelled); with none left it takes the value offered.
  std::deque<std::optional<int>> numberAnswers;

  QStringList openFiles(TFileDialogSetup& setup) override;
  QString saveFile(TFileDialogSetup& setup) override;
  QString folder(const QString& prompt, QWidget* owner) override;
  // Always the value offered, as a chooser without such a dialog answers.
  std::optional<int> number(const QString& title, const QString& label, int value, int minimum,
                            int maximum, QWidget* owner) override;
};

// A version of the test catalog.
struct TestVersion {
  std::string name;
  std::uint32_t signature;
  bool sprite32;
  bool alpha = false;
};

// Two versions: "7.6" with 16-bit counts, then "10.98" with 32-bit counts.
std::vector<TestVersion> defaultTestVersions();
// Writes `dir`/config.ini for `versions`, in order. Returns the file's path.
QString writeConfigIni(const QString& dir, const std::vector<TestVersion>& versions);

// The colour the generated test files give sprite `id`: opaque, different for neighbours.
TColor32 testSpriteColour(std::int32_t id);
// A sprite with ID `id` and a 32x32 bitmap filled with `fill`.
std::unique_ptr<TSprite> makeFilledSprite(std::int32_t id, TColor32 fill);
// An empty sprite (no image data) with ID `id`.
std::unique_ptr<TSprite> makeEmptySprite(std::int32_t id);
// `count` sprites with IDs 1..count: every fifth one (5, 10, ...) is empty, the others are
// filled with testSpriteColour(ID).
std::vector<std::unique_ptr<TSprite>> makeTestSprites(int count);
// Writes `sprites` as an SPR file with the program's own writer. True on success.
bool writeSprFile(const QString& path, std::vector<std::unique_ptr<TSprite>> sprites,
                  std::uint32_t signature, bool sprite32);

// The whole editor, started from a temporary directory that holds config.ini: what main()
// builds, with the test host and the scripted chooser in place of the real ones. The main
// window is created (its creation handler reads the temporary config.ini) and shown.
class EditorFixture {
 public:
  struct Options {
    std::vector<TestVersion> versions = defaultTestVersions();
    bool writeConfig = true;  // false: start without config.ini (start-up failure)
    bool show = true;         // show the main window and wait until it is exposed
  };

  EditorFixture();
  explicit EditorFixture(const Options& options);
  ~EditorFixture();
  EditorFixture(const EditorFixture&) = delete;
  EditorFixture& operator=(const EditorFixture&) = delete;

  // The temporary directory (the editor's appPath), and a path inside it.
  QString dir() const { return tempDir.path(); }
  QString path(const QString& name) const { return tempDir.filePath(name); }

  // Opens `file` in catalog version `versionIndex` the way the open dialog does: openFile,
  // then loadSprites and the title. False when the open failed (nothing else is done then).
  bool openFile(const QString& file, int versionIndex = 0);
  // Writes makeTestSprites(count) to `name` in the temporary directory with the signature and
  // count width of version `versionIndex`, then opens it as openFile does.
  bool openTestFile(int count, int versionIndex = 0, const QString& name = "test.spr");
  // Starts a new, empty file the way the new-file window does: newFile, loadSprites, title.
  void newFile(int versionIndex = 0);

  QTemporaryDir tempDir;
  TestHost host;
  ScriptedChooser chooser;
  TEditorCore core;
  std::unique_ptr<TfrmMain> main;
  bool exposed = false;  // the main window was shown and is on screen
};

// Runs the test object `TestObject` inside a TApplication, headless unless a platform is set.
int runUiTests(QObject& tests, int argc, char** argv);

}  // namespace tess::testing

#define TESS_UI_TEST_MAIN(TestObject)                                         \
  int main(int argc, char** argv) {                                           \
    qputenv("QT_QPA_PLATFORM", qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") \
                                   ? QByteArray("offscreen")                  \
                                   : qgetenv("QT_QPA_PLATFORM"));             \
    tess::TApplication app(argc, argv);                                       \
    TestObject tests;                                                         \
    return tess::testing::runUiTests(tests, argc, argv);                      \
  }

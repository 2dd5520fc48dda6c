#include "UiTestSupport.h"

#include <QFile>
#include <QTextStream>
#include <utility>

#include "bitmap/TBitmap32.h"
#include "sprite/TSpriteFile.h"

namespace tess::testing {

std::string TestHost::lastText() const {
  return messages.empty() ? std::string() : messages.back().text;
}

const ShownMessage* TestHost::last() const { return messages.empty() ? nullptr : &messages.back(); }

int TestHost::count(const std::string& text) const {
  int n = 0;
  for (const ShownMessage& m : messages) {
    if (m.text == text) ++n;
  }
  return n;
}

void TestHost::presentMessage(const std::string& text, const std::string& caption, TMsgIcon icon) {
  messages.push_back({text, caption, icon, false});
  if (onMessage) onMessage(messages.back());
}

bool TestHost::presentQuestion(const std::string& text, const std::string& caption, TMsgIcon icon) {
  messages.push_back({text, caption, icon, true});
  const ShownMessage shown = messages.back();
  if (onMessage) onMessage(shown);
  if (answers.empty()) return defaultAnswer;
  const bool answer = answers.front();
  answers.pop_front();
  return answer;
}

QStringList ScriptedChooser::openFiles(TFileDialogSetup& setup) {
  calls.push_back({Kind::Open, setup, QString()});
  if (whileOpen) whileOpen(calls.back());
  if (openAnswers.empty()) return {};
  OpenAnswer answer = std::move(openAnswers.front());
  openAnswers.pop_front();
  if (!answer.files.isEmpty()) setup.fileName = answer.files.first();
  if (answer.filterIndex > 0) setup.filterIndex = answer.filterIndex;
  return answer.files;
}

QString ScriptedChooser::saveFile(TFileDialogSetup& setup) {
  calls.push_back({Kind::Save, setup, QString()});
  if (whileOpen) whileOpen(calls.back());
  if (saveAnswers.empty()) return {};
  SaveAnswer answer = std::move(saveAnswers.front());
  saveAnswers.pop_front();
  if (!answer.file.isEmpty()) setup.fileName = answer.file;
  if (answer.filterIndex > 0) setup.filterIndex = answer.filterIndex;
  return answer.file;
}

QString ScriptedChooser::folder(const QString& prompt, QWidget* owner) {
  TFileDialogSetup setup;
  setup.owner = owner;
  calls.push_back({Kind::Folder, setup, prompt});
  if (whileOpen) whileOpen(calls.back());
  if (folderAnswers.empty()) return {};
  QString answer = std::move(folderAnswers.front());
  folderAnswers.pop_front();
  return answer;
}

std::optional<int> ScriptedChooser::number(const QString& title, const QString& label, int value,
                                           int minimum, int maximum, QWidget* owner) {
  TFileDialogSetup setup;
  setup.title = title;
  setup.owner = owner;
  calls.push_back({Kind::Number, setup, label});
  if (whileOpen) whileOpen(calls.back());
  if (numberAnswers.empty())
    return IFileChooser::number(title, label, value, minimum, maximum, owner);
  const std::optional<int> answer = numberAnswers.front();
  numberAnswers.pop_front();
  return answer;
}

std::vector<TestVersion> defaultTestVersions() {
  return {{"7.6", 0x439D5A33u, false}, {"10.98", 0x57BBD603u, true}};
}

QString writeConfigIni(const QString& dir, const std::vector<TestVersion>& versions) {
  const QString path = dir + "/config.ini";
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) return path;
  QTextStream out(&file);
  for (const TestVersion& v : versions) {
    out << '[' << QString::fromStdString(v.name) << "]\n";
    out << "SPRSignature=" << QString::number(v.signature, 16).toUpper() << '\n';
    out << "sprite32=" << (v.sprite32 ? 1 : 0) << '\n';
    if (v.alpha) out << "alpha=1\n";
    out << '\n';
  }
  return path;
}

TColor32 testSpriteColour(std::int32_t id) {
  const auto r = static_cast<std::uint8_t>(id * 37);
  const auto g = static_cast<std::uint8_t>(id * 91 + 17);
  const auto b = static_cast<std::uint8_t>(id * 53 + 101);
  return PackColor32(r, g, b, 0xFF);
}

std::unique_ptr<TSprite> makeFilledSprite(std::int32_t id, TColor32 fill) {
  auto sprite = std::make_unique<TSprite>();
  sprite->setID(id);
  sprite->isDUmmy = false;
  sprite->bitmap = std::make_unique<TBitmap32>();
  sprite->bitmap->SetSize(32, 32);
  TColor32* bits = sprite->bitmap->FBits();
  for (int i = 0; i < 32 * 32; ++i) bits[i] = fill;
  return sprite;
}

std::unique_ptr<TSprite> makeEmptySprite(std::int32_t id) {
  auto sprite = std::make_unique<TSprite>();
  sprite->setID(id);
  sprite->isDUmmy = true;
  return sprite;
}

std::vector<std::unique_ptr<TSprite>> makeTestSprites(int count) {
  std::vector<std::unique_ptr<TSprite>> sprites;
  sprites.reserve(static_cast<std::size_t>(count));
  for (int id = 1; id <= count; ++id) {
    sprites.push_back(id % 5 == 0 ? makeEmptySprite(id)
                                  : makeFilledSprite(id, testSpriteColour(id)));
  }
  return sprites;
}

namespace {

// The writer reports progress and messages to a host; a test file needs none of that.
class SilentHost : public IEditorHost {
 public:
  void showMessage(const std::string&, const std::string&, TMsgIcon) override {}
  bool askYesNo(const std::string&, const std::string&, TMsgIcon) override { return false; }
  void setMainTitle(const std::string&) override {}
  void processPendingEvents() override {}
  void runSaveCommand() override {}
  void requestTermination() override {}
};

}  // namespace

bool writeSprFile(const QString& path, std::vector<std::unique_ptr<TSprite>> sprites,
                  std::uint32_t signature, bool sprite32) {
  SilentHost host;
  TSpriteFile file(host);
  file.Sprites = std::move(sprites);
  file.loaded = true;
  return file.save(path.toStdString(), static_cast<std::int32_t>(signature), sprite32);
}

EditorFixture::EditorFixture() : EditorFixture(Options{}) {}

EditorFixture::EditorFixture(const Options& options) : core(host) {
  if (options.writeConfig) writeConfigIni(dir(), options.versions);
  if (auto* app = TApplication::current()) app->setErrorHost(&host);
  main = std::make_unique<TfrmMain>(core, host, chooser, nullptr, dir());
  if (options.show) {
    main->show();
    exposed = QTest::qWaitForWindowExposed(main.get());
  }
}

EditorFixture::~EditorFixture() {
  main.reset();
  if (auto* app = TApplication::current(); app && app->errorHost() == &host) {
    app->setErrorHost(nullptr);
  }
}

bool EditorFixture::openFile(const QString& file, int versionIndex) {
  const TVersionInfo& version = core.versions.at(static_cast<std::size_t>(versionIndex));
  if (!core.openFile(file.toStdString(), version)) return false;
  main->loadSprites();
  host.setMainTitle(formatTitle(version.name, false, file.toStdString()));
  return true;
}

bool EditorFixture::openTestFile(int count, int versionIndex, const QString& name) {
  const TVersionInfo& version = core.versions.at(static_cast<std::size_t>(versionIndex));
  const QString file = path(name);
  if (!writeSprFile(file, makeTestSprites(count),
                    static_cast<std::uint32_t>(version.spriteSignature), version.sprite32)) {
    return false;
  }
  return openFile(file, versionIndex);
}

void EditorFixture::newFile(int versionIndex) {
  const TVersionInfo& version = core.versions.at(static_cast<std::size_t>(versionIndex));
  if (!core.newFile(version)) QTest::qFail("newFile refused", __FILE__, __LINE__);
  main->loadSprites();
  host.setMainTitle(formatTitle(version.name, false, std::string()));
}

int runUiTests(QObject& tests, int argc, char** argv) { return QTest::qExec(&tests, argc, argv); }

}  // namespace tess::testing

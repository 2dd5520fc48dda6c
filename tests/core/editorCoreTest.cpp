#include "core/editorCore.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "bitmap/TBitmap32.h"
#include "support/FakeHost.h"
#include "support/TempDir.h"

namespace tess {
namespace {

using testing::FakeHost;
using testing::readBytes;
using testing::TempDir;

constexpr const char* kStartupError = "Error on loading versions, correct your config.ini please.";
constexpr const char* kLimitError = "This format dont support above 65500 sprites!";
constexpr const char* kCloseQuestion = "Are you sure you want close without saving?";

constexpr std::uint32_t kSig16 = 0x439852BE;
constexpr std::uint32_t kSig32 = 0x57BBD603;
constexpr const char* kConfig =
    "; test catalog\n"
    "[7.60-7.72]\nSPRSignature=439852BE\nsprite32=0\n"
    "[10.98]\nSPRSignature=57BBD603\nsprite32=1\n";

std::string writeText(const TempDir& dir, const std::string& name, const std::string& text) {
  const std::string path = dir.file(name);
  testing::writeBytes(path, {text.begin(), text.end()});
  return path;
}

std::string folderOf(const TempDir& dir) { return dir.path().string() + "/"; }

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b.at(at) | (b.at(at + 1) << 8) | (b.at(at + 2) << 16) |
         (static_cast<std::uint32_t>(b.at(at + 3)) << 24);
}

std::uint32_t le16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b.at(at) | (b.at(at + 1) << 8);
}

void addEmptySprites(TSpriteFile& file, std::size_t n) {
  file.Sprites.reserve(file.Sprites.size() + n);
  for (std::size_t i = 0; i < n; ++i) {
    auto sprite = std::make_unique<TSprite>();
    sprite->setID(static_cast<std::int32_t>(file.Sprites.size() + 1));
    file.Sprites.push_back(std::move(sprite));
  }
}

// A sprite with three opaque pixels, the rest transparent.
void addPictureSprite(TSpriteFile& file) {
  auto sprite = std::make_unique<TSprite>();
  sprite->bitmap = std::make_unique<TBitmap32>();
  sprite->bitmap->SetSize(32, 32);
  clearTransparent(*sprite->bitmap);
  sprite->bitmap->FBits()[1] = 0xFF102030u;
  sprite->bitmap->FBits()[2] = 0xFF405060u;
  sprite->bitmap->FBits()[1023] = 0xFFABCDEFu;
  sprite->isDUmmy = false;
  sprite->setID(static_cast<std::int32_t>(file.Sprites.size() + 1));
  file.Sprites.push_back(std::move(sprite));
}

class EditorCore : public ::testing::Test {
 protected:
  void SetUp() override {
    writeText(dir, "config.ini", kConfig);
    ASSERT_TRUE(core.initEditor(dir.path().string()));
    ASSERT_EQ(core.versions.size(), 2u);
  }

  const TVersionInfo& v16() const { return core.versions[0]; }
  const TVersionInfo& v32() const { return core.versions[1]; }

  // A saved file of a picture and two empty sprites in `version`, then opened; returns its path.
  std::string openSample(const TVersionInfo& version, const std::string& name = "sample.spr") {
    EXPECT_TRUE(core.newFile(version));
    addPictureSprite(core.spriteFile);
    addEmptySprites(core.spriteFile, 2);
    const std::string path = dir.file(name);
    EXPECT_TRUE(core.saveFile(path, version));
    EXPECT_TRUE(core.openFile(path, version));
    return path;
  }

  void expectClean(const TVersionInfo& version, const std::string& path) {
    EXPECT_TRUE(core.spriteFile.loaded);
    EXPECT_EQ(core.currentVersion, &version);
    EXPECT_EQ(core.currentFileName, path);
    EXPECT_FALSE(core.unsavedChanges);
    EXPECT_EQ(core.title(), "Tessaline (" + version.name + ") - file: " + path);
  }

  TempDir dir;
  FakeHost host;
  TEditorCore core{host};
};

TEST(Title, Format) {
  EXPECT_STREQ(appTitle, "Tessaline");
  EXPECT_EQ(formatTitle("7.6", true, "D:\\sprites\\Tibia.spr"),
            "Tessaline (7.6) - Not saved! - file: D:\\sprites\\Tibia.spr");
  EXPECT_EQ(formatTitle("7.6", false, "/a/b.spr"), "Tessaline (7.6) - file: /a/b.spr");
  EXPECT_EQ(formatTitle("10.98", false, ""), "Tessaline (10.98) - file: ");
  EXPECT_EQ(formatTitle("10.98", true, ""), "Tessaline (10.98) - Not saved! - file: ");
}

TEST_F(EditorCore, StartsWithNoFile) {
  EXPECT_EQ(core.appPath, folderOf(dir));
  EXPECT_EQ(core.versions[0].name, "7.60-7.72");
  EXPECT_EQ(static_cast<std::uint32_t>(v16().spriteSignature), kSig16);
  EXPECT_FALSE(v16().sprite32);
  EXPECT_TRUE(v32().sprite32);
  EXPECT_FALSE(core.spriteFile.loaded);
  EXPECT_TRUE(core.spriteFile.Sprites.empty());
  EXPECT_EQ(core.currentVersion, nullptr);
  EXPECT_TRUE(core.currentFileName.empty());
  EXPECT_FALSE(core.unsavedChanges);
  EXPECT_EQ(core.title(), "Tessaline");
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(host.terminations, 0);
  EXPECT_TRUE(core.catalogError().empty());
}

TEST_F(EditorCore, InitEditorAcceptsTrailingSlashAndResetsState) {
  openSample(v16());
  core.setModified();
  ASSERT_TRUE(core.initEditor(folderOf(dir)));
  EXPECT_EQ(core.appPath, folderOf(dir));
  EXPECT_FALSE(core.spriteFile.loaded);
  EXPECT_TRUE(core.spriteFile.Sprites.empty());
  EXPECT_EQ(core.currentVersion, nullptr);
  EXPECT_TRUE(core.currentFileName.empty());
  EXPECT_FALSE(core.unsavedChanges);
  EXPECT_EQ(core.title(), "Tessaline");
}

struct BadStart {
  const char* label;
  const char* config;  // nullptr: no config.ini at all
};

void PrintTo(const BadStart& c, std::ostream* out) { *out << c.label; }

class StartupFailure : public ::testing::TestWithParam<BadStart> {};

TEST_P(StartupFailure, ShowsTheMessageAndEndsTheProgram) {
  const TempDir dir;
  if (GetParam().config) writeText(dir, "config.ini", GetParam().config);
  FakeHost host;
  TEditorCore core(host);
  EXPECT_FALSE(core.initEditor(dir.path().string()));
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, kStartupError);
  EXPECT_EQ(host.messages[0].caption, "Error!");
  EXPECT_EQ(host.messages[0].icon, TMsgIcon::Error);
  EXPECT_FALSE(host.messages[0].question);
  EXPECT_EQ(host.terminations, 1);
  EXPECT_FALSE(core.catalogError().empty());
}

INSTANTIATE_TEST_SUITE_P(Catalogs, StartupFailure,
                         ::testing::Values(BadStart{"NoConfig", nullptr},
                                           BadStart{"OnlyComments", "; none\n\n"},
                                           BadStart{"ZeroSignature", "[a]\nSPRSignature=0\n"},
                                           BadStart{"SectionWithoutSignature",
                                                    "[a]\nSPRSignature=1\n[b]\nsprite32=1\n"}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(EditorCore, NewFile) {
  EXPECT_TRUE(core.newFile(v32()));
  EXPECT_TRUE(core.spriteFile.loaded);
  EXPECT_TRUE(core.spriteFile.Sprites.empty());
  expectClean(v32(), "");
  EXPECT_EQ(core.title(), "Tessaline (10.98) - file: ");
}

TEST_F(EditorCore, EditAfterNewFile) {
  ASSERT_TRUE(core.newFile(v16()));
  addEmptySprites(core.spriteFile, 1);
  core.setModified();
  EXPECT_TRUE(core.unsavedChanges);
  EXPECT_EQ(host.lastTitle(), "Tessaline (7.60-7.72) - Not saved! - file: ");
  EXPECT_EQ(core.title(), host.lastTitle());
}

TEST_F(EditorCore, NewFileFromEditedStateIsClean) {
  openSample(v16());
  core.setModified();
  EXPECT_TRUE(core.newFile(v32()));
  EXPECT_TRUE(core.spriteFile.Sprites.empty());
  expectClean(v32(), "");
}

TEST_F(EditorCore, SaveThenOpen) {
  ASSERT_TRUE(core.newFile(v16()));
  addPictureSprite(core.spriteFile);
  addEmptySprites(core.spriteFile, 2);
  core.setModified();
  const std::string path = dir.file("out.spr");
  ASSERT_TRUE(core.saveFile(path, v16()));
  expectClean(v16(), path);
  EXPECT_EQ(core.spriteFile.Sprites.size(), 3u);

  const auto bytes = readBytes(path);
  EXPECT_EQ(le32(bytes, 0), kSig16);
  EXPECT_EQ(le16(bytes, 4), 3u);
  EXPECT_EQ(le32(bytes, 6), 6u + 3 * 4);  // the picture's record follows the table
  EXPECT_EQ(le32(bytes, 10), 0u);

  core.setModified();
  ASSERT_TRUE(core.openFile(path, v16()));
  expectClean(v16(), path);
  ASSERT_EQ(core.spriteFile.Sprites.size(), 3u);
  const TSprite& picture = *core.spriteFile.Sprites[0];
  ASSERT_FALSE(picture.isDUmmy);
  EXPECT_EQ(picture.bitmap->FBits()[1], 0xFF102030u);
  EXPECT_EQ(picture.bitmap->FBits()[1023], 0xFFABCDEFu);
  EXPECT_TRUE(core.spriteFile.Sprites[1]->isDUmmy);
}

TEST_F(EditorCore, ReopenWithItsOwnPathAndVersion) {
  const std::string path = openSample(v32());
  // The caller hands in the core's own fields.
  ASSERT_TRUE(core.openFile(core.currentFileName, *core.currentVersion));
  expectClean(v32(), path);
}

TEST_F(EditorCore, FailedOpenAfterEdits) {
  const std::string path = openSample(v16());
  core.setModified();
  const std::string editedTitle = core.title();
  EXPECT_EQ(editedTitle, "Tessaline (7.60-7.72) - Not saved! - file: " + path);
  const std::size_t spritesBefore = core.spriteFile.Sprites.size();

  EXPECT_FALSE(core.openFile(dir.file("missing.spr"), v32()));
  EXPECT_TRUE(core.unsavedChanges);
  EXPECT_EQ(core.currentVersion, &v16());
  EXPECT_EQ(core.currentFileName, path);
  EXPECT_EQ(core.title(), editedTitle);
  // The file that was open stays open, with all its sprites.
  EXPECT_TRUE(core.spriteFile.loaded);
  EXPECT_EQ(core.spriteFile.Sprites.size(), spritesBefore);

  // The flag is unchanged, so closing still asks; No runs the Save command instead.
  host.answerYes = false;
  host.messages.clear();
  EXPECT_FALSE(core.closeEditor());
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, kCloseQuestion);
  EXPECT_EQ(host.saveCommands, 1);
  EXPECT_EQ(host.terminations, 0);
}

TEST_F(EditorCore, FailedOpenOfACorruptFileKeepsState) {
  const std::string path = openSample(v16());
  const std::string corrupt =
      writeText(dir, "corrupt.spr", std::string("\x01\x02\x03\x04\x00\x00", 6));
  EXPECT_FALSE(core.openFile(corrupt, v16()));
  EXPECT_EQ(core.currentFileName, path);
  EXPECT_EQ(core.currentVersion, &v16());
  EXPECT_FALSE(core.unsavedChanges);
  EXPECT_TRUE(core.spriteFile.loaded);
}

struct CloseCase {
  const char* label;
  bool edited;
  bool answerYes;
  bool ends;
};

void PrintTo(const CloseCase& c, std::ostream* out) { *out << c.label; }

class CloseEditor : public EditorCore, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(CloseEditor, AsksOnlyWithUnsavedChanges) {
  const CloseCase& c = GetParam();
  openSample(v16());
  if (c.edited) core.setModified();
  host.answerYes = c.answerYes;
  host.messages.clear();
  EXPECT_EQ(core.closeEditor(), c.ends);
  if (c.edited) {
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_TRUE(host.messages[0].question);
    EXPECT_EQ(host.messages[0].text, kCloseQuestion);
    EXPECT_EQ(host.messages[0].caption, "Files");
    EXPECT_EQ(host.messages[0].icon, TMsgIcon::Warning);
  } else {
    EXPECT_TRUE(host.messages.empty());
  }
  EXPECT_EQ(host.terminations, c.ends ? 1 : 0);
  EXPECT_EQ(host.saveCommands, c.ends ? 0 : 1);
  EXPECT_EQ(core.unsavedChanges, c.edited);  // closing never saves or clears the flag
}

INSTANTIATE_TEST_SUITE_P(Answers, CloseEditor,
                         ::testing::Values(CloseCase{"Clean", false, false, true},
                                           CloseCase{"EditedYes", true, true, true},
                                           CloseCase{"EditedNo", true, false, false}),
                         [](const auto& info) { return std::string(info.param.label); });

// Tries to close the editor from inside a running save, as the close box could while the save
// lets the event loop run.
struct Closer {
  TEditorCore* core = nullptr;
  int refused = 0;
  void onProgress(std::int32_t, std::int32_t) { refused += core->closeEditor() ? 0 : 1; }
};

// Ending, or running the Save command, in the middle of a load or a save is refused: nothing is
// asked, nothing saved, nothing ended.
TEST_F(EditorCore, CloseIsRefusedWhileALoadOrSaveRuns) {
  for (const bool edited : {false, true}) {
    SCOPED_TRACE(edited ? "edited" : "clean");
    openSample(v16());
    if (edited) core.setModified();
    host.messages.clear();
    core.spriteFile.isLoading = true;
    const bool closed = core.closeEditor();
    core.spriteFile.isLoading = false;
    EXPECT_FALSE(closed);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Its loading now");
    EXPECT_EQ(host.messages[0].caption, "Status");
    EXPECT_EQ(host.messages[0].icon, TMsgIcon::None);
    EXPECT_FALSE(host.messages[0].question);
    EXPECT_EQ(core.unsavedChanges, edited);
  }

  // From inside a save, as the close box or Esc would while the save lets events through.
  openSample(v16());
  core.setModified();
  host.messages.clear();
  Closer closer{&core};
  const TonLoadSprite listener(&closer, &Closer::onProgress);
  core.spriteFile.onLoadSprite.push_back(listener);
  const std::string target = dir.file("target.spr");
  EXPECT_TRUE(core.saveFile(target, v16()));
  removeListener(core.spriteFile.onLoadSprite, listener);
  EXPECT_EQ(closer.refused, 3);  // once per sprite
  EXPECT_EQ(host.messages.size(), 3u);
  for (const auto& message : host.messages) EXPECT_EQ(message.text, "Its loading now");
  EXPECT_EQ(host.terminations, 0);
  EXPECT_EQ(host.saveCommands, 0);
  expectClean(v16(), target);
}

TEST_F(EditorCore, CloseWithNoFileEndsWithoutQuestion) {
  EXPECT_TRUE(core.closeEditor());
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(host.terminations, 1);
}

TEST_F(EditorCore, SixteenBitSaveTakesExactly65500Sprites) {
  ASSERT_TRUE(core.newFile(v16()));
  addEmptySprites(core.spriteFile, 65500);
  const std::string path = dir.file("full.spr");
  ASSERT_TRUE(core.saveFile(path, v16()));
  EXPECT_TRUE(host.messages.empty());
  const auto bytes = readBytes(path);
  EXPECT_EQ(bytes.size(), 6u + 4u * 65500u);
  EXPECT_EQ(le16(bytes, 4), 65500u);
  expectClean(v16(), path);
}

TEST_F(EditorCore, SixteenBitSaveRefuses65501SpritesAndWritesNothing) {
  const std::string path = openSample(v16());
  const auto before = readBytes(path);
  addEmptySprites(core.spriteFile, 65501 - core.spriteFile.Sprites.size());
  core.setModified();
  host.messages.clear();

  const std::string fresh = dir.file("fresh.spr");
  EXPECT_FALSE(core.saveFile(fresh, v16()));
  EXPECT_FALSE(std::filesystem::exists(fresh));
  EXPECT_FALSE(core.saveFile(path, v16()));
  EXPECT_EQ(readBytes(path), before);

  ASSERT_EQ(host.messages.size(), 2u);
  for (const auto& message : host.messages) {
    EXPECT_EQ(message.text, kLimitError);
    EXPECT_EQ(message.caption, "Error!");
    EXPECT_EQ(message.icon, TMsgIcon::Error);
  }
  EXPECT_TRUE(core.unsavedChanges);
  EXPECT_EQ(core.currentFileName, path);
  EXPECT_EQ(core.currentVersion, &v16());
  EXPECT_EQ(core.spriteFile.Sprites.size(), 65501u);
}

TEST_F(EditorCore, ThirtyTwoBitVersionSavesAbove65500AndConvertsBack) {
  ASSERT_TRUE(core.newFile(v32()));
  addEmptySprites(core.spriteFile, 65501);
  const std::string big = dir.file("big.spr");
  ASSERT_TRUE(core.saveFile(big, v32()));
  auto bytes = readBytes(big);
  EXPECT_EQ(bytes.size(), 8u + 4u * 65501u);
  EXPECT_EQ(le32(bytes, 0), kSig32);
  EXPECT_EQ(le32(bytes, 4), 65501u);

  // Opened in a 32-bit version, it cannot go back to 16 bits while it is this large.
  ASSERT_TRUE(core.openFile(big, v32()));
  ASSERT_EQ(core.spriteFile.Sprites.size(), 65501u);
  EXPECT_FALSE(core.saveFile(dir.file("small.spr"), v16()));
  EXPECT_FALSE(std::filesystem::exists(dir.file("small.spr")));
  expectClean(v32(), big);
}

TEST_F(EditorCore, SavingInAnotherVersionConverts) {
  const std::string original = openSample(v16());
  const std::string converted = dir.file("converted.spr");
  ASSERT_TRUE(core.saveFile(converted, v32()));
  expectClean(v32(), converted);

  const auto from = readBytes(original);
  const auto to = readBytes(converted);
  EXPECT_EQ(le32(from, 0), kSig16);
  EXPECT_EQ(le32(to, 0), kSig32);
  EXPECT_EQ(le16(from, 4), 3u);
  EXPECT_EQ(le32(to, 4), 3u);
  EXPECT_EQ(to.size(), from.size() + 2);  // two more count bytes, same records
  EXPECT_EQ(le32(to, 8), 8u + 3 * 4);
  EXPECT_TRUE(std::equal(from.begin() + 18, from.end(), to.begin() + 20));

  // And back again, from the converted file.
  ASSERT_TRUE(core.openFile(converted, v32()));
  const std::string back = dir.file("back.spr");
  ASSERT_TRUE(core.saveFile(back, v16()));
  EXPECT_EQ(readBytes(back), from);
  expectClean(v16(), back);
}

TEST_F(EditorCore, FailedSaveChangesNothing) {
  const std::string path = openSample(v16());
  core.setModified();
  EXPECT_FALSE(core.saveFile(dir.file("no/such/folder/x.spr"), v32()));
  EXPECT_TRUE(core.unsavedChanges);
  EXPECT_EQ(core.currentFileName, path);
  EXPECT_EQ(core.currentVersion, &v16());
}

TEST_F(EditorCore, SavingAnEmptyNewFileFailsAndChangesNothing) {
  ASSERT_TRUE(core.newFile(v16()));
  core.setModified();
  const std::string path = dir.file("empty.spr");
  EXPECT_FALSE(core.saveFile(path, v32()));
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_TRUE(core.unsavedChanges);
  EXPECT_EQ(core.currentVersion, &v16());
  EXPECT_TRUE(core.currentFileName.empty());
}

TEST_F(EditorCore, EditBeforeAnyFileGetsAPlainTitle) {
  core.setModified();
  EXPECT_TRUE(core.unsavedChanges);
  EXPECT_EQ(host.lastTitle(), "Tessaline - Not saved!");
  host.answerYes = false;
  EXPECT_FALSE(core.closeEditor());
  EXPECT_EQ(host.saveCommands, 1);
}

TEST_F(EditorCore, RefusesNewOpenAndSaveWhileALoadRuns) {
  const std::string path = openSample(v16());
  core.setModified();
  core.spriteFile.isLoading = true;
  EXPECT_FALSE(core.newFile(v32()));
  EXPECT_FALSE(core.openFile(path, v32()));
  EXPECT_FALSE(core.saveFile(dir.file("during.spr"), v32()));
  core.spriteFile.isLoading = false;

  EXPECT_EQ(core.spriteFile.Sprites.size(), 3u);
  EXPECT_TRUE(core.spriteFile.loaded);
  EXPECT_FALSE(std::filesystem::exists(dir.file("during.spr")));
  EXPECT_TRUE(core.unsavedChanges);
  EXPECT_EQ(core.currentVersion, &v16());
  EXPECT_EQ(core.currentFileName, path);
}

// A progress listener that tries to start other file operations from inside a running save, as a
// window command could while the save lets the event loop run.
struct Intruder {
  TEditorCore* core = nullptr;
  std::string other;
  int refused = 0;
  int accepted = 0;
  void onProgress(std::int32_t, std::int32_t) {
    const TVersionInfo& version = core->versions[1];
    for (const bool result : {core->newFile(version), core->openFile(other, version),
                              core->saveFile(other + ".2", version)}) {
      ++(result ? accepted : refused);
    }
  }
};

TEST_F(EditorCore, RefusesNewOpenAndSaveFromInsideASave) {
  const std::string path = openSample(v16());
  Intruder intruder{&core, path};
  const TonLoadSprite listener(&intruder, &Intruder::onProgress);
  core.spriteFile.onLoadSprite.push_back(listener);
  const std::string target = dir.file("target.spr");
  EXPECT_TRUE(core.saveFile(target, v16()));
  removeListener(core.spriteFile.onLoadSprite, listener);

  EXPECT_EQ(intruder.accepted, 0);
  EXPECT_EQ(intruder.refused, 3 * 3);
  EXPECT_EQ(core.spriteFile.Sprites.size(), 3u);
  EXPECT_FALSE(std::filesystem::exists(path + ".2"));
  expectClean(v16(), target);
}

TEST_F(EditorCore, VersionFromOutsideTheCatalogIsKept) {
  {
    const TVersionInfo temporary{0x12345678, "custom", true};
    ASSERT_TRUE(core.newFile(temporary));
  }
  ASSERT_NE(core.currentVersion, nullptr);
  EXPECT_EQ(core.currentVersion->name, "custom");
  EXPECT_EQ(core.title(), "Tessaline (custom) - file: ");
  // Handing the kept copy back in works too.
  EXPECT_TRUE(core.newFile(*core.currentVersion));
  EXPECT_EQ(core.currentVersion->name, "custom");

  const TVersionInfo copy = v32();
  ASSERT_TRUE(core.newFile(copy));
  EXPECT_EQ(core.currentVersion, &v32());
}

TEST_F(EditorCore, ReloadingTheCatalogKeepsTheCurrentVersionValid) {
  openSample(v32());
  ASSERT_TRUE(core.loadVersions());
  ASSERT_NE(core.currentVersion, nullptr);
  EXPECT_EQ(core.currentVersion, &v32());

  writeText(dir, "config.ini", "[other]\nSPRSignature=1\n");
  ASSERT_TRUE(core.loadVersions());
  ASSERT_NE(core.currentVersion, nullptr);
  EXPECT_EQ(core.currentVersion->name, "10.98");

  std::filesystem::remove(dir.file("config.ini"));
  EXPECT_FALSE(core.loadVersions());
  EXPECT_EQ(core.versions.size(), 1u);  // the catalog held before stays
  EXPECT_EQ(core.currentVersion->name, "10.98");
}

TEST(ExecutableDirectory, HoldsTheRunningProgram) {
  const std::string dir = executableDirectory();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), '/');
  // Where the build put this program.
  EXPECT_TRUE(std::filesystem::equivalent(dir, TESS_CORE_TESTS_DIR));
}

TEST(ExecutableDirectory, FallsBackToTheCurrentDirectory) {
  const TempDir dir;
  const std::string here = std::filesystem::current_path().string() + "/";
  // No such link; a plain file, not a link; a link to a bare name without a directory.
  const std::string bare = dir.file("bare");
  std::filesystem::create_symlink("program", bare);
  for (const std::string& link : {dir.file("missing"), writeText(dir, "plain", "x"), bare}) {
    SCOPED_TRACE(link);
    EXPECT_EQ(executableDirectory(link), here);
  }
  const std::string linked = dir.file("linked");
  std::filesystem::create_symlink("/usr/bin/program", linked);
  EXPECT_EQ(executableDirectory(linked), "/usr/bin/");
}

}  // namespace
}  // namespace tess

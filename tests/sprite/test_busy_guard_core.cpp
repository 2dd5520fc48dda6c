// Commands that would change the sprite list are refused while a load or a save runs, however
// they arrive: through the event processing inside the encoder, or through a progress listener.
// A save so interrupted writes exactly the sprites it started with. A command that ignored the
// guard and changed the list anyway would make the save fail and keep the old file.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "SaveFixture.h"
#include "SpriteFixtures.h"
#include "core/editorCore.h"
#include "sprite/TSpriteFile.h"
#include "support/FakeHost.h"
#include "support/TempDir.h"

namespace tess {
namespace {

using testing::FakeHost;
using testing::readBytes;
using testing::TempDir;

// The editor's own operations that would replace, empty or rewrite the sprite list, tried in
// the middle of a run; each result is the editor's answer, counted here.
struct EditorCommands {
  TEditorCore& core;
  std::string other;  // a file that could be opened or saved to
  int refused = 0;
  int ran = 0;

  void count(bool result) { ++(result ? ran : refused); }
  void all() {
    const TVersionInfo version{static_cast<std::int32_t>(testing::kNewSignature), "new", true};
    count(core.newFile(version));
    count(core.openFile(other, version));
    count(core.saveFile(other, version));
    count(core.closeEditor());
  }
};
constexpr int kCommands = 4;

struct ListenerHook {
  std::function<void()> action;
  void onProgress(std::int32_t, std::int32_t) { action(); }
};

class BusyGuard : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::fillNewSprites(file, 300, 11);
    // The same sprites, saved with nothing in the way.
    FakeHost quiet;
    TSpriteFile twin(quiet);
    testing::fillNewSprites(twin, 300, 11);
    ASSERT_TRUE(twin.save(dir.file("undisturbed.spr"), testing::kNewSignature, true));
    undisturbed = readBytes(dir.file("undisturbed.spr"));
  }

  TempDir dir;
  FakeHost host;
  TEditorCore core{host};
  TSpriteFile& file = core.spriteFile;
  std::vector<unsigned char> undisturbed;
};

TEST_F(BusyGuard, CommandsFromTheEventProcessingOfASaveAreRefused) {
  EditorCommands commands{core, dir.file("undisturbed.spr")};
  host.onPendingEvents = [&] { commands.all(); };
  file.loaded = true;
  ASSERT_TRUE(file.save(dir.file("saved.spr"), testing::kNewSignature, true));
  host.onPendingEvents = nullptr;

  EXPECT_GT(host.eventPumps, 0);
  EXPECT_EQ(commands.ran, 0);
  EXPECT_EQ(commands.refused, kCommands * host.eventPumps);
  EXPECT_EQ(host.terminations, 0);
  EXPECT_EQ(host.saveCommands, 0);
  EXPECT_EQ(readBytes(dir.file("saved.spr")), undisturbed);
  EXPECT_EQ(readBytes(dir.file("undisturbed.spr")), undisturbed);
  EXPECT_FALSE(file.isBusy());
  // Once the save is over the same operation runs again.
  const TVersionInfo version{static_cast<std::int32_t>(testing::kNewSignature), "new", true};
  EXPECT_TRUE(core.saveFile(dir.file("after.spr"), version));
  EXPECT_EQ(readBytes(dir.file("after.spr")), undisturbed);
}

TEST_F(BusyGuard, CommandsFromAProgressListenerOfASaveOrLoadAreRefused) {
  EditorCommands commands{core, dir.file("undisturbed.spr")};
  ListenerHook hook{[&] { commands.all(); }};
  file.onLoadSprite.push_back(TonLoadSprite(&hook, &ListenerHook::onProgress));

  file.loaded = true;
  ASSERT_TRUE(file.save(dir.file("saved.spr"), testing::kNewSignature, true));
  EXPECT_EQ(commands.refused, kCommands * 300);
  EXPECT_EQ(readBytes(dir.file("saved.spr")), undisturbed);

  ASSERT_TRUE(file.load(dir.file("saved.spr"), true));
  EXPECT_EQ(commands.refused, 2 * kCommands * 300);
  EXPECT_EQ(commands.ran, 0);
  EXPECT_EQ(host.terminations, 0);
  EXPECT_EQ(file.Sprites.size(), 300u);
  EXPECT_EQ(readBytes(dir.file("undisturbed.spr")), undisturbed);
}

// Defence in depth: a change to the list, or to a sprite in place, that slipped past the guard
// ends the save with false, and the file on disk stays what it was: never a mix of the sprites
// before and after the change.
TEST_F(BusyGuard, ASaveWhoseListChangesUnderItFailsAndKeepsTheOldFile) {
  const std::string target = dir.file("target.spr");
  testing::writeBytes(target, {'o', 'l', 'd'});
  const std::vector<std::pair<const char*, std::function<void()>>> intrusions = {
      {"append", [&] { testing::append(file, testing::makeEmptySprite()); }},
      {"remove the last", [&] { file.Sprites.pop_back(); }},
      {"clear", [&] { file.clear(); }},
      {"new", [&] { file.New(); }},
      // Changes in place, made through the editing operations: the list keeps its length.
      {"swap an image",
       [&] {
         (void)core.document.swapImage(
             1, {testing::makeBitmap([](int) { return 0xFF123456u; }), false});
       }},
      {"clear a sprite",
       [&] {
         (void)core.document.setEmptyFlags(std::vector<TFlagChange>{{2, true}});
       }},
  };
  for (const auto& [name, intrude] : intrusions) {
    SCOPED_TRACE(name);
    file.clear();
    testing::fillNewSprites(file, 300, 11);
    bool done = false;
    host.onPendingEvents = [&] {
      if (!done && host.eventPumps > 500) {
        done = true;
        intrude();
      }
    };
    EXPECT_FALSE(file.save(target, testing::kNewSignature, true));
    host.onPendingEvents = nullptr;
    EXPECT_TRUE(done);
    EXPECT_EQ(readBytes(target), (std::vector<unsigned char>{'o', 'l', 'd'}));
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"target.spr", "undisturbed.spr"}));
    EXPECT_FALSE(file.isBusy());
  }
}

}  // namespace
}  // namespace tess

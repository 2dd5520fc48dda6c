#include "sprite/TSpriteFile.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "SprBytes.h"
#include "SpriteFixtures.h"
#include "support/FakeHost.h"
#include "support/TempDir.h"

namespace tess {
namespace {

using testing::append;
using testing::FakeHost;
using testing::makeEmptySprite;
using testing::makeSprite;
using testing::ProgressLog;
using testing::SprBytes;
using testing::TempDir;

TColor32 opaqueRed(int) { return 0xFFFF0000u; }

// Three sprites: opaque, empty, opaque; written as a 16-bit file.
std::string writeSmallFile(const TempDir& dir, const std::string& name = "small.spr") {
  FakeHost host;
  TSpriteFile file(host);
  append(file, makeSprite(opaqueRed));
  append(file, makeEmptySprite());
  append(file, makeSprite([](int i) { return i % 2 ? 0xFF00FF00u : 0u; }));
  const std::string path = dir.file(name);
  EXPECT_TRUE(file.save(path, 0x1234, false));
  return path;
}

TEST(TSpriteTest, ANewSpriteIsEmptyWithIdZeroAndNoBitmap) {
  const TSprite sprite;
  EXPECT_EQ(sprite.ID(), 0);
  EXPECT_TRUE(sprite.isDUmmy);
  EXPECT_EQ(sprite.bitmap, nullptr);
}

TEST(TSpriteFileTest, ANewSpriteFileIsClosedAndEmpty) {
  FakeHost host;
  const TSpriteFile file(host);
  EXPECT_FALSE(file.loaded);
  EXPECT_FALSE(file.isLoading);
  EXPECT_FALSE(file.isBusy());
  EXPECT_EQ(file.signature, 0);
  EXPECT_TRUE(file.Sprites.empty());
  EXPECT_TRUE(file.onLoadSprite.empty());
}

TEST(TSpriteFileTest, GetSpriteByIDReturnsNoneOutsideTheList) {
  FakeHost host;
  TSpriteFile file(host);
  EXPECT_EQ(file.GetSpriteByID(1), nullptr);
  for (int i = 0; i < 3; ++i) append(file, makeEmptySprite());
  EXPECT_EQ(file.GetSpriteByID(1), file.Sprites[0].get());
  EXPECT_EQ(file.GetSpriteByID(3), file.Sprites[2].get());
  for (const int id : {0, -1, 4, INT_MAX, INT_MIN})
    EXPECT_EQ(file.GetSpriteByID(id), nullptr) << id;
}

TEST(TSpriteFileTest, NewEmptiesTheListOpensTheFileAndKeepsTheSignature) {
  const TempDir dir;
  const std::string path = writeSmallFile(dir);
  FakeHost host;
  TSpriteFile file(host);
  EXPECT_TRUE(file.New());
  EXPECT_TRUE(file.loaded);
  EXPECT_EQ(file.signature, 0);

  ASSERT_TRUE(file.load(path, false));
  ASSERT_EQ(file.Sprites.size(), 3u);
  EXPECT_TRUE(file.New());
  EXPECT_TRUE(file.loaded);
  EXPECT_TRUE(file.Sprites.empty());
  EXPECT_EQ(file.signature, 0x1234);
}

TEST(TSpriteFileTest, ClearFreesTheSpritesAndKeepsFlagsAndSignature) {
  FakeHost host;
  TSpriteFile file(host);
  file.clear();
  EXPECT_TRUE(file.Sprites.empty());
  file.loaded = true;
  file.signature = 77;
  append(file, makeSprite(opaqueRed));
  file.clear();
  EXPECT_TRUE(file.Sprites.empty());
  EXPECT_TRUE(file.loaded);
  EXPECT_EQ(file.signature, 77);
}

struct ReleaseWatcher {
  TSpriteFile* file = nullptr;
  std::vector<TSprite*> held;
  std::vector<std::int32_t> idsSeen;
  std::vector<std::size_t> listSizes;
  void onRelease() {
    // The sprites must still be alive here: a view drops its references now.
    for (TSprite* sprite : held) idsSeen.push_back(sprite->ID());
    listSizes.push_back(file->Sprites.size());
    held.clear();
  }
};

TEST(TSpriteFileTest, ReleaseListenersRunBeforeTheSpritesAreFreed) {
  const TempDir dir;
  const std::string path = writeSmallFile(dir);
  FakeHost host;
  TSpriteFile file(host);
  ReleaseWatcher watcher{&file, {}, {}, {}};
  file.onRelease.emplace_back(&watcher, &ReleaseWatcher::onRelease);

  ASSERT_TRUE(file.load(path, false));
  EXPECT_EQ(watcher.listSizes.size(), 1u);  // the load released the (empty) old list
  for (const auto& sprite : file.Sprites) watcher.held.push_back(sprite.get());

  ASSERT_TRUE(file.load(path, false));
  EXPECT_EQ(watcher.idsSeen, (std::vector<std::int32_t>{1, 2, 3}));
  for (const auto& sprite : file.Sprites) watcher.held.push_back(sprite.get());

  file.New();
  EXPECT_EQ(watcher.idsSeen.size(), 6u);
  EXPECT_EQ(watcher.listSizes, (std::vector<std::size_t>{0, 0, 0}));
  removeListener(file.onRelease, TonRelease(&watcher, &ReleaseWatcher::onRelease));
  EXPECT_TRUE(file.onRelease.empty());
}

struct Receiver {
  void first(std::int32_t, std::int32_t) {}
  void second(std::int32_t, std::int32_t) {}
};
struct OtherReceiver {
  void first(std::int32_t, std::int32_t) {}
};

TEST(TMethodEventTest, EntriesAreEqualExactlyWhenObjectAndMethodAreTheSame) {
  Receiver a, b;
  OtherReceiver other;
  EXPECT_EQ(TonLoadSprite(&a, &Receiver::first), TonLoadSprite(&a, &Receiver::first));
  EXPECT_FALSE(TonLoadSprite(&a, &Receiver::first) == TonLoadSprite(&b, &Receiver::first));
  EXPECT_FALSE(TonLoadSprite(&a, &Receiver::first) == TonLoadSprite(&a, &Receiver::second));
  EXPECT_FALSE(TonLoadSprite(&a, &Receiver::first) ==
               TonLoadSprite(reinterpret_cast<OtherReceiver*>(&a), &OtherReceiver::first));
  EXPECT_FALSE(TonLoadSprite(&other, &OtherReceiver::first) == TonLoadSprite(&a, &Receiver::first));
}

TEST(TSpriteFileTest, AListenerAddedTwiceRunsTwiceAndRemovingItOnceLeavesOne) {
  const TempDir dir;
  const std::string path = writeSmallFile(dir);
  FakeHost host;
  TSpriteFile file(host);
  ProgressLog log;
  const TonLoadSprite handler(&log, &ProgressLog::onProgress);
  file.onLoadSprite.push_back(handler);
  file.onLoadSprite.push_back(handler);

  ASSERT_TRUE(file.load(path, false));
  using Calls = std::vector<std::pair<std::int32_t, std::int32_t>>;
  EXPECT_EQ(log.calls, (Calls{{1, 3}, {1, 3}, {2, 3}, {2, 3}, {3, 3}, {3, 3}}));

  removeListener(file.onLoadSprite, handler);
  ASSERT_EQ(file.onLoadSprite.size(), 1u);
  log.calls.clear();
  ASSERT_TRUE(file.save(dir.file("copy.spr"), 1, true));
  EXPECT_EQ(log.calls, (Calls{{1, 3}, {2, 3}, {3, 3}}));

  removeListener(file.onLoadSprite, handler);
  removeListener(file.onLoadSprite, handler);  // nothing left to remove
  EXPECT_TRUE(file.onLoadSprite.empty());
}

// A listener that takes itself off the list on its first call.
struct OneShot {
  TSpriteFile* file = nullptr;
  int calls = 0;
  void onProgress(std::int32_t, std::int32_t) {
    ++calls;
    removeListener(file->onLoadSprite, TonLoadSprite(this, &OneShot::onProgress));
  }
};

TEST(TSpriteFileTest, AListenerMayRemoveItselfWhileBeingCalled) {
  const TempDir dir;
  const std::string path = writeSmallFile(dir);
  FakeHost host;
  TSpriteFile file(host);
  OneShot once{&file, 0};
  ProgressLog log;
  file.onLoadSprite.emplace_back(&once, &OneShot::onProgress);
  file.onLoadSprite.emplace_back(&log, &ProgressLog::onProgress);
  ASSERT_TRUE(file.load(path, false));
  EXPECT_EQ(once.calls, 1);
  // The other listener hears every sprite, the one during which the first went among them.
  EXPECT_EQ(log.calls,
            (std::vector<std::pair<std::int32_t, std::int32_t>>{{1, 3}, {2, 3}, {3, 3}}));
}

// Whatever a listener or the host does in the middle of a load or save, nothing dangles and a
// list that was changed under the operation makes it fail rather than produce a wrong result.
struct Meddler {
  TSpriteFile* file = nullptr;
  int at = 1;
  void clearAt(std::int32_t id, std::int32_t) {
    if (id == at) file->clear();
  }
  void appendAt(std::int32_t id, std::int32_t) {
    if (id == at) append(*file, makeEmptySprite());
  }
};

// The open sprites stay in place during a load; a command that changes them meanwhile wins, and
// the load gives way without touching what the command left.
TEST(TSpriteFileTest, ALoadWhoseOpenListIsChangedByAListenerFails) {
  const TempDir dir;
  const std::string path = writeSmallFile(dir);
  using Method = void (Meddler::*)(std::int32_t, std::int32_t);
  for (const Method method : {&Meddler::clearAt, &Meddler::appendAt}) {
    FakeHost host;
    TSpriteFile file(host);
    ASSERT_TRUE(file.load(path, false));
    std::vector<const TSprite*> open;
    for (const auto& sprite : file.Sprites) open.push_back(sprite.get());
    Meddler meddler{&file, 2};
    file.onLoadSprite.emplace_back(&meddler, method);
    EXPECT_FALSE(file.load(path, false));
    EXPECT_FALSE(file.errorString().empty());
    EXPECT_TRUE(file.loaded);
    EXPECT_FALSE(file.isLoading);
    if (method == &Meddler::clearAt) {
      EXPECT_TRUE(file.Sprites.empty());
    } else {
      ASSERT_EQ(file.Sprites.size(), open.size() + 1);
      for (std::size_t i = 0; i < open.size(); ++i) EXPECT_EQ(file.Sprites[i].get(), open[i]);
    }
  }
}

// Until a load has read the whole file, the open sprites are the ones on view; only the swap
// releases them.
TEST(TSpriteFileTest, TheOpenSpritesStayUntilTheNewOnesAreAllRead) {
  const TempDir dir;
  const std::string path = writeSmallFile(dir);
  FakeHost host;
  TSpriteFile file(host);
  append(file, makeSprite(opaqueRed));
  file.loaded = true;
  const TSprite* const open = file.Sprites[0].get();
  ReleaseWatcher watcher{&file, {}, {}, {}};
  file.onRelease.emplace_back(&watcher, &ReleaseWatcher::onRelease);
  struct Probe {
    TSpriteFile* file;
    const TSprite* open;
    int sawOpen = 0;
    void onProgress(std::int32_t, std::int32_t) {
      sawOpen += file->Sprites.size() == 1 && file->Sprites[0].get() == open && file->loaded;
    }
  } probe{&file, open};
  file.onLoadSprite.emplace_back(&probe, &Probe::onProgress);
  ASSERT_TRUE(file.load(path, false));
  EXPECT_EQ(probe.sawOpen, 3);
  EXPECT_EQ(watcher.listSizes, std::vector<std::size_t>{0});
  EXPECT_EQ(file.Sprites.size(), 3u);
  EXPECT_TRUE(file.errorString().empty());
}

// A listener that loads another file from inside a load: the inner load replaces the open
// sprites, so the outer one gives way, and the busy state lasts until the outer one ends.
TEST(TSpriteFileTest, ALoadStartedFromInsideAnotherKeepsTheOuterOneLoading) {
  const TempDir dir;
  const std::string path = writeSmallFile(dir);
  FakeHost host;
  TSpriteFile file(host);
  struct Nester {
    TSpriteFile* file;
    std::string path;
    bool nested = false;
    bool stillLoading = false;
    bool innerLoaded = false;
    void onProgress(std::int32_t, std::int32_t) {
      if (nested) return;
      nested = true;
      innerLoaded = file->load(path, false);
      stillLoading = file->isLoading;
    }
  } nester{&file, path};
  file.onLoadSprite.emplace_back(&nester, &Nester::onProgress);
  EXPECT_FALSE(file.load(path, false));
  EXPECT_TRUE(nester.innerLoaded);
  EXPECT_TRUE(nester.stillLoading);
  EXPECT_FALSE(file.isLoading);
  EXPECT_TRUE(file.loaded);
  EXPECT_EQ(file.Sprites.size(), 3u);
}

TEST(TSpriteFileTest, ASaveWhoseListIsChangedMidWayFailsAndWritesNothing) {
  const TempDir dir;
  const std::string path = writeSmallFile(dir);
  const auto before = testing::readBytes(path);
  for (int action = 0; action < 4; ++action) {
    SCOPED_TRACE(action);
    FakeHost host;
    TSpriteFile file(host);
    ASSERT_TRUE(file.load(path, false));
    int pumps = 0;
    host.onPendingEvents = [&] {
      if (++pumps != 1) return;
      switch (action) {
        case 0:
          file.clear();
          break;
        case 1:
          file.New();
          break;
        case 2:
          append(file, makeEmptySprite());
          break;
        case 3:
          (void)file.load(path, false);
          break;
      }
    };
    EXPECT_FALSE(file.save(path, 99, false));
    EXPECT_FALSE(file.isBusy());
    EXPECT_EQ(testing::readBytes(path), before);
  }
}

TEST(TSpriteFileTest, TheImageBeingSavedMayBeReplacedWhileEventsRun) {
  const TempDir dir;
  FakeHost host;
  TSpriteFile file(host);
  append(file, makeSprite([](int i) { return i % 3 ? 0xFF0000FFu : 0u; }));
  host.onPendingEvents = [&] { file.Sprites[0]->bitmap = testing::makeBitmap(opaqueRed); };
  EXPECT_TRUE(file.save(dir.file("out.spr"), 5, false));
  host.onPendingEvents = nullptr;
  // The file holds the image the save began with, whole: a third of it transparent, which
  // reads back as transparent white, the rest blue.
  TSpriteFile saved(host);
  ASSERT_TRUE(saved.load(dir.file("out.spr"), false));
  ASSERT_EQ(saved.Sprites.size(), 1u);
  std::vector<TColor32> expected(32 * 32);
  for (int i = 0; i < 32 * 32; ++i) expected[i] = i % 3 ? 0xFF0000FFu : 0x00FFFFFFu;
  EXPECT_EQ(testing::pixelsOf(*saved.Sprites[0]), expected);
}

TEST(TSpriteFileTest, BusyForTheWholeLoadAndSaveAndNotAfter) {
  const TempDir dir;
  const std::string path = writeSmallFile(dir);
  FakeHost host;
  TSpriteFile file(host);
  std::vector<bool> busyDuringLoad;
  struct Probe {
    TSpriteFile* file;
    std::vector<bool>* seen;
    void onProgress(std::int32_t, std::int32_t) {
      seen->push_back(file->isLoading && file->isBusy() && !file->isSaving());
    }
  } probe{&file, &busyDuringLoad};
  file.onLoadSprite.emplace_back(&probe, &Probe::onProgress);
  ASSERT_TRUE(file.load(path, false));
  EXPECT_EQ(busyDuringLoad, std::vector<bool>(3, true));
  EXPECT_FALSE(file.isBusy());
  file.onLoadSprite.clear();

  std::vector<bool> busyDuringSave;
  host.onPendingEvents = [&] { busyDuringSave.push_back(file.isSaving() && file.isBusy()); };
  ASSERT_TRUE(file.save(dir.file("a.spr"), 1, false));
  EXPECT_FALSE(busyDuringSave.empty());
  EXPECT_EQ(busyDuringSave, std::vector<bool>(busyDuringSave.size(), true));
  EXPECT_FALSE(file.isBusy());

  // A failed save resets it too, and a save started from inside another keeps the outer busy.
  EXPECT_FALSE(file.save(dir.file("missing/b.spr"), 1, false));
  EXPECT_FALSE(file.isBusy());
  bool outerStillBusy = false;
  bool nested = false;
  host.onPendingEvents = [&] {
    if (nested) return;
    nested = true;
    (void)file.save(dir.file("inner.spr"), 2, false);
    outerStillBusy = file.isSaving();
  };
  ASSERT_TRUE(file.save(dir.file("outer.spr"), 1, false));
  EXPECT_TRUE(outerStillBusy);
  EXPECT_FALSE(file.isBusy());
}

TEST(TSpriteFileTest, SaveChangesNoFieldOfTheModel) {
  const TempDir dir;
  const std::string path = writeSmallFile(dir);
  FakeHost host;
  TSpriteFile file(host);
  ASSERT_TRUE(file.load(path, false));
  std::vector<const TSprite*> before;
  for (const auto& s : file.Sprites) before.push_back(s.get());
  ASSERT_TRUE(file.save(dir.file("x.spr"), 0x7777, true));
  EXPECT_EQ(file.signature, 0x1234);
  EXPECT_TRUE(file.loaded);
  ASSERT_EQ(file.Sprites.size(), before.size());
  for (std::size_t i = 0; i < before.size(); ++i) EXPECT_EQ(file.Sprites[i].get(), before[i]);
  EXPECT_TRUE(host.messages.empty());
}

}  // namespace
}  // namespace tess

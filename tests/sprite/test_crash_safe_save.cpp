// A save killed at any moment leaves the target either the old file or the new one, byte for
// byte; what a killed save leaves beside it never gets in the way of the next save; and a save
// that hits the file size limit fails and leaves the old file as it was.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "SaveFixture.h"
#include "fileio/AtomicFile.h"
#include "sprite/TSpriteFile.h"
#include "support/FakeHost.h"
#include "support/TempDir.h"

namespace tess {
namespace {

using Clock = std::chrono::steady_clock;
using testing::ChildProcess;
using testing::TempDir;

// The whole file in one read; the kill test reads megabytes after every kill.
std::vector<unsigned char> readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) throw std::runtime_error("cannot open " + path);
  std::vector<unsigned char> bytes(static_cast<std::size_t>(in.tellg()));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!in) throw std::runtime_error("cannot read " + path);
  return bytes;
}

constexpr std::int32_t kNewCount = 20000;
constexpr std::uint32_t kNewSeed = 7;
constexpr int kWantedKills = 200;
constexpr auto kKillBudget = std::chrono::seconds(20);
// Enough kills to say something: on a slow, loaded machine or under the sanitizers the test
// goes on past its budget until it has them, up to a hard stop.
constexpr int kFewestKills = 20;
constexpr auto kKillHardStop = std::chrono::seconds(90);

// The file size limit needs no more than a file of a few hundred kilobytes.
constexpr std::int32_t kLimitedCount = 4000;

std::vector<std::string> saveArguments(const std::string& target, std::int32_t count) {
  return {TESS_HARDENING_CHILD, "save", target, std::to_string(count), std::to_string(kNewSeed)};
}

// The old file: different in signature, count width, count and every sprite, and large enough
// that saving it also clears away what a killed save left.
void fillOldSprites(TSpriteFile& file) { testing::fillNewSprites(file, 3000, 99); }

std::vector<std::string> temporariesIn(const testing::MemoryTempDir& dir,
                                       const std::string& target) {
  std::vector<std::string> found;
  for (const std::string& name : dir.entries()) {
    if (name != target) found.push_back(name);
  }
  return found;
}

struct SaveTiming {
  std::chrono::microseconds encoding{};
  std::chrono::microseconds writing{};
};

// One whole save by a child of its own: how long its two phases take.
SaveTiming saveOnceCompletely(const std::string& target, std::int32_t count) {
  ChildProcess child(saveArguments(target, count));
  EXPECT_EQ(child.readByte(60000), 'R');
  const auto started = Clock::now();
  EXPECT_EQ(child.readByte(60000), 'E');
  const auto encoded = Clock::now();
  const int status = child.wait();
  const auto finished = Clock::now();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  return {std::chrono::duration_cast<std::chrono::microseconds>(encoded - started),
          std::chrono::duration_cast<std::chrono::microseconds>(finished - encoded)};
}

// Drives the zygote: one save per call, killed at the chosen moment or left to finish.
class Saver {
 public:
  explicit Saver(const std::string& target)
      : FZygote({TESS_HARDENING_CHILD, "zygote", target, std::to_string(kNewCount),
                 std::to_string(kNewSeed)}) {}

  enum class KillAt { Never, DuringEncoding, AfterEncoding };

  // Returns the zygote's report: 'K' killed, 'S' saved, 'F' failed; '\0' when it went quiet.
  char save(KillAt when, std::chrono::microseconds delay, SaveTiming* timing = nullptr) {
    FZygote.writeByte('G');
    if (FZygote.readByte(60000) != 'R') return '\0';
    const std::string pidBytes = FZygote.readBytes(sizeof(pid_t), 60000);
    if (pidBytes.size() != sizeof(pid_t)) return '\0';
    pid_t saver = 0;
    std::memcpy(&saver, pidBytes.data(), sizeof saver);
    const auto started = Clock::now();

    char report = FZygote.readByte(when == KillAt::DuringEncoding ? 0 : 60000);
    const auto encoded = Clock::now();
    if (when != KillAt::Never) {
      std::this_thread::sleep_for(delay);
      ::kill(saver, SIGKILL);
    }
    // Skip the encoding mark when it came after the kill's decision or was not awaited.
    while (report == '\0' || report == 'E') report = FZygote.readByte(60000);
    if (timing != nullptr) {
      const auto finished = Clock::now();
      timing->encoding = std::chrono::duration_cast<std::chrono::microseconds>(encoded - started);
      timing->writing = std::chrono::duration_cast<std::chrono::microseconds>(finished - encoded);
    }
    return report;
  }

 private:
  ChildProcess FZygote;
};

TEST(CrashSafeSave, AKilledSaveLeavesTheOldFileOrTheNewOneAndNothingInTheWay) {
  const testing::MemoryTempDir dir;
  const std::string target = "target.spr";
  const std::string targetPath = dir.file(target);
  Saver saver(targetPath);

  // Three whole saves first: the new file, and the slowest time of each phase.
  SaveTiming timing;
  for (int i = 0; i < 3; ++i) {
    SaveTiming once;
    ASSERT_EQ(saver.save(Saver::KillAt::Never, {}, &once), 'S');
    timing.encoding = std::max(timing.encoding, once.encoding);
    timing.writing = std::max(timing.writing, once.writing);
  }
  const auto newBytes = readBytes(targetPath);
  ASSERT_GT(newBytes.size(), 2u * 1024 * 1024) << "the new file should take a while to write";

  testing::FakeHost host;
  TSpriteFile oldFile(host);
  fillOldSprites(oldFile);
  ASSERT_TRUE(oldFile.save(targetPath, testing::kOldSignature, false));
  const auto oldBytes = readBytes(targetPath);
  ASSERT_NE(oldBytes, newBytes);
  ASSERT_GE(oldBytes.size(), kSweepFromBytes);

  std::mt19937 random(20240611);
  int kills = 0;
  int keptOld = 0;
  int becameNew = 0;
  int finishedFirst = 0;
  int leftTemporary = 0;
  const auto begun = Clock::now();
  const auto goOn = [&] {
    const auto spent = Clock::now() - begun;
    return kills < kWantedKills && spent < kKillHardStop &&
           (spent < kKillBudget || kills < kFewestKills);
  };
  while (goOn()) {
    // A quarter of the kills fall anywhere in the encoding; the rest in the write, flush and
    // rename that follow it, and a little beyond, where the file on disk changes.
    const bool early = random() % 4 == 0;
    const auto span = early ? timing.encoding : timing.writing * 13 / 10;
    const auto delay = std::chrono::microseconds(
        std::uniform_int_distribution<std::int64_t>(0, span.count())(random));
    const char report =
        saver.save(early ? Saver::KillAt::DuringEncoding : Saver::KillAt::AfterEncoding, delay);
    ASSERT_TRUE(report == 'K' || report == 'S') << "the zygote reported '" << report << "'";
    if (report == 'K') {
      ++kills;
    } else {
      ++finishedFirst;
    }

    const auto onDisk = readBytes(targetPath);
    if (onDisk == oldBytes) {
      ++keptOld;
    } else {
      ASSERT_EQ(onDisk, newBytes) << "after kill " << kills << " the file is neither old nor new";
      ++becameNew;
    }
    const auto left = temporariesIn(dir, target);
    if (!left.empty()) ++leftTemporary;
    // At most the temporary of this very kill: the save before it swept the earlier ones.
    ASSERT_LE(left.size(), 1u);

    // The next save succeeds, puts the old file back, and clears away what the kill left.
    ASSERT_TRUE(oldFile.save(targetPath, testing::kOldSignature, false));
    ASSERT_EQ(readBytes(targetPath), oldBytes);
    ASSERT_EQ(dir.entries(), std::vector<std::string>{target});
  }

  std::cout << "[ kill test ] " << kills << " kills: old file kept " << keptOld
            << ", new file complete " << becameNew << "; saves that finished before their kill "
            << finishedFirst << "; kills that left a temporary file " << leftTemporary
            << " (each swept by the next save); encoding " << timing.encoding.count() / 1000
            << " ms, writing " << timing.writing.count() / 1000 << " ms, new file "
            << newBytes.size() << " bytes\n";
  RecordProperty("kills", kills);
  RecordProperty("old", keptOld);
  RecordProperty("new", becameNew);
  EXPECT_GE(kills, kFewestKills);

  // And a save that is left alone over the old file still writes the new file exactly.
  ASSERT_EQ(saver.save(Saver::KillAt::Never, {}), 'S');
  EXPECT_EQ(readBytes(targetPath), newBytes);
  EXPECT_EQ(dir.entries(), std::vector<std::string>{target});
}

// What the sweep may and may not remove: only unlocked temporaries of the same target.
TEST(CrashSafeSave, TheNextSaveRemovesOnlyTheTemporariesOfDeadSavesOfItsTarget) {
  const TempDir dir;
  const std::string target = dir.file("target.spr");
  const std::vector<std::string> stale = {".target.spr.tess-abc123", ".target.spr.tess-zz9900"};
  const std::vector<std::string> keep = {
      ".target.spr.tess-abc12",   // too short to be ours
      ".target.spr.tess-ABC123",  // not our letters
      ".other.spr.tess-abc123",   // another target's
      "target.spr.tess-abc123",   // not hidden
      ".target.spr.tess-live00",  // a save that is still running: locked
  };
  for (const auto& name : stale) testing::writeBytes(dir.file(name), {1, 2, 3});
  for (const auto& name : keep) testing::writeBytes(dir.file(name), {4, 5, 6});
  const int live = ::open(dir.file(".target.spr.tess-live00").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(live, 0);
  ASSERT_EQ(::flock(live, LOCK_EX | LOCK_NB), 0);

  testing::FakeHost host;
  TSpriteFile file(host);
  testing::fillNewSprites(file, 2000, 3);
  ASSERT_TRUE(file.save(target, testing::kNewSignature, true));
  ::close(live);

  std::vector<std::string> expected = keep;
  expected.push_back("target.spr");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(dir.entries(), expected);
}

// A save that runs into the file size limit: with SIGXFSZ ignored, and at its default, which
// would end the process if the writer did not hold it off.
TEST(CrashSafeSave, ASaveThatHitsTheFileSizeLimitFailsAndKeepsTheOldFile) {
  const TempDir dir;
  const std::string reference = dir.file("reference.spr");
  saveOnceCompletely(reference, kLimitedCount);
  const auto newSize = readBytes(reference).size();
  std::filesystem::remove(reference);

  testing::FakeHost host;
  TSpriteFile oldFile(host);
  fillOldSprites(oldFile);
  const std::string target = dir.file("target.spr");
  ASSERT_TRUE(oldFile.save(target, testing::kOldSignature, false));
  const auto oldBytes = readBytes(target);

  for (const std::uint64_t limit :
       {std::uint64_t{4096}, std::uint64_t{newSize / 2}, std::uint64_t{newSize - 1}}) {
    for (const char* disposition : {"ignore", "default"}) {
      SCOPED_TRACE(std::to_string(limit) + " bytes, SIGXFSZ " + disposition);
      ChildProcess child({TESS_HARDENING_CHILD, "limited", target, std::to_string(kLimitedCount),
                          std::to_string(kNewSeed), std::to_string(limit), disposition});
      const int status = child.wait();
      ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
      EXPECT_EQ(WEXITSTATUS(status), 0) << "2: the save claimed success; 4: SIGXFSZ pending";
      EXPECT_EQ(readBytes(target), oldBytes);
      EXPECT_EQ(dir.entries(), std::vector<std::string>{"target.spr"});
    }
  }
}

}  // namespace
}  // namespace tess

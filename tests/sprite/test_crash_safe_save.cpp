// A save killed at any moment leaves the target either the old file or the new one, byte for
// byte; what a killed save leaves beside it never gets in the way of the next save; and a save
// that hits the file size limit fails and leaves the old file as it was.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
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
// Each round aims one kill at one of the kill points in turn.
constexpr int kKillRounds = 50;

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

// Where in a save a kill is aimed. The saver is stopped at that point, so the kill lands
// exactly there however fast or slow the machine is.
enum class KillPoint {
  Encoding,         // halfway through the encoding of the sprites
  Writing,          // once the temporary file holds at least a chosen number of bytes
  BeforeReplacing,  // with the temporary file whole, just before it replaces the target
  Replaced,         // once the new file has taken the target's place
  AfterTheSave,     // once the save has returned success
};
constexpr int kKillPoints = 5;

// The inode of `path`, or 0 when it does not exist.
ino_t inodeOf(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

// The size of the temporary file beside `target` in `dir`, or -1 when there is none.
std::intmax_t temporarySize(const testing::MemoryTempDir& dir, const std::string& target) {
  for (const std::string& name : temporariesIn(dir, target)) {
    std::error_code error;
    const auto size = std::filesystem::file_size(dir.file(name), error);
    if (!error) return static_cast<std::intmax_t>(size);
  }
  return -1;
}

// Waits until `pid` has stopped; false when it ended instead or does not stop.
bool waitUntilStopped(pid_t pid) {
  const std::string statPath = "/proc/" + std::to_string(pid) + "/stat";
  const auto giveUp = Clock::now() + std::chrono::seconds(60);
  while (Clock::now() < giveUp) {
    std::ifstream stat(statPath);
    std::string line;
    if (!std::getline(stat, line)) return false;
    const auto close = line.rfind(')');
    if (close == std::string::npos || close + 2 >= line.size()) return false;
    const char state = line[close + 2];
    if (state == 'T' || state == 't') return true;
    if (state == 'Z' || state == 'X') return false;
    std::this_thread::sleep_for(std::chrono::microseconds(20));
  }
  return false;
}

// Drives the zygote: one save per call, left to finish or stopped at a kill point and killed.
class Saver {
 public:
  Saver(const std::string& target, const testing::MemoryTempDir& dir, const std::string& name)
      : FZygote({TESS_HARDENING_CHILD, "zygote", target, std::to_string(kNewCount),
                 std::to_string(kNewSeed)}),
        FTarget(target),
        FDir(dir),
        FName(name) {}

  // A save left alone: the zygote's report, 'S' when it saved.
  char saveWhole() {
    FZygote.writeByte('G');
    if (FZygote.readByte(60000) != 'R' ||
        FZygote.readBytes(sizeof(pid_t), 60000).size() != sizeof(pid_t)) {
      return '\0';
    }
    char report = FZygote.readByte(60000);
    while (report == 'E') report = FZygote.readByte(60000);
    return report;
  }

  // A save stopped at `point` (for Writing: once the temporary holds `bytes`) and killed there.
  // Returns the zygote's report, 'K' when the kill ended it, and tells whether the temporary
  // file was there when the saver stopped.
  char killAt(KillPoint point, std::intmax_t bytes, bool& temporaryAtStop) {
    const ino_t before = inodeOf(FTarget);
    FZygote.writeByte(point == KillPoint::AfterTheSave      ? 'H'
                      : point == KillPoint::BeforeReplacing ? 'W'
                      : point == KillPoint::Encoding        ? 'M'
                                                            : 'G');
    if (FZygote.readByte(60000) != 'R') return '\0';
    const std::string pidBytes = FZygote.readBytes(sizeof(pid_t), 60000);
    if (pidBytes.size() != sizeof(pid_t)) return '\0';
    pid_t saver = 0;
    std::memcpy(&saver, pidBytes.data(), sizeof saver);

    char report = '\0';
    if (point == KillPoint::Encoding || point == KillPoint::AfterTheSave ||
        point == KillPoint::BeforeReplacing) {
      // The saver's own mark (after 'E' for the last two); it stops itself right after it.
      const char mark = point == KillPoint::Encoding       ? 'M'
                        : point == KillPoint::AfterTheSave ? 'D'
                                                           : 'W';
      report = FZygote.readByte(60000);
      if (report == 'E') report = FZygote.readByte(60000);
      if (report != mark || !waitUntilStopped(saver)) return report;
    } else {
      if (FZygote.readByte(60000) != 'E') return '\0';
      const auto giveUp = Clock::now() + std::chrono::seconds(60);
      while (Clock::now() < giveUp) {
        if (inodeOf(FTarget) != before) break;
        if (point == KillPoint::Writing && temporarySize(FDir, FName) >= bytes) break;
        std::this_thread::yield();
      }
      ::kill(saver, SIGSTOP);
      // A saver that finished before the stop is reported as saved, not killed.
      if (!waitUntilStopped(saver)) return readReport();
    }
    temporaryAtStop = temporarySize(FDir, FName) >= 0;
    ::kill(saver, SIGKILL);
    return readReport();
  }

 private:
  // The zygote's report on the saver, past the marks that came before it.
  char readReport() {
    char report = FZygote.readByte(60000);
    while (report == 'E' || report == 'D' || report == 'W' || report == 'M') {
      report = FZygote.readByte(60000);
    }
    return report;
  }

  ChildProcess FZygote;
  std::string FTarget;
  const testing::MemoryTempDir& FDir;
  std::string FName;
};

TEST(CrashSafeSave, AKilledSaveLeavesTheOldFileOrTheNewOneAndNothingInTheWay) {
  const testing::MemoryTempDir dir;
  const std::string target = "target.spr";
  const std::string targetPath = dir.file(target);
  Saver saver(targetPath, dir, target);

  ASSERT_EQ(saver.saveWhole(), 'S');
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
  for (int round = 0; round < kKillRounds; ++round) {
    const auto point = static_cast<KillPoint>(round % kKillPoints);
    const auto bytes = std::uniform_int_distribution<std::intmax_t>(
        0, static_cast<std::intmax_t>(newBytes.size()))(random);
    SCOPED_TRACE(::testing::Message() << "round " << round << ", kill point "
                                      << static_cast<int>(point) << ", " << bytes << " bytes");
    bool temporaryAtStop = false;
    const char report = saver.killAt(point, bytes, temporaryAtStop);
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
      ASSERT_EQ(onDisk, newBytes) << "the file is neither old nor new";
      ++becameNew;
    }
    // Until the new file has taken its place the target is the old file, and once the save has
    // returned it is the new one.
    if (report == 'K') {
      if (point == KillPoint::Encoding || point == KillPoint::BeforeReplacing || temporaryAtStop) {
        EXPECT_TRUE(onDisk == oldBytes) << "the target changed before the new file was whole";
      }
      if (point == KillPoint::Replaced || point == KillPoint::AfterTheSave) {
        EXPECT_TRUE(onDisk == newBytes) << "the new file did not stay in place";
      }
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
            << " (each swept by the next save); new file " << newBytes.size() << " bytes\n";
  RecordProperty("kills", kills);
  RecordProperty("old", keptOld);
  RecordProperty("new", becameNew);
  // The kills before and inside the write left the old file, those after it the new one, and
  // those just before the replacing left a whole temporary behind, swept by the next save.
  EXPECT_GE(keptOld, kKillRounds / kKillPoints * 2);
  EXPECT_GE(becameNew, kKillRounds / kKillPoints);
  EXPECT_GE(leftTemporary, kKillRounds / kKillPoints);

  // And a save that is left alone over the old file still writes the new file exactly.
  ASSERT_EQ(saver.saveWhole(), 'S');
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

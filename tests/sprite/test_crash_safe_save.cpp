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
#include <iterator>
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

// Where in a save a kill is aimed. The saver stops itself there, says so, and is killed while
// it is stopped, so the kill lands exactly there however fast or slow the machine is.
struct KillPoint {
  // What the temporary file must hold when the saver stops there.
  enum class Temporary { Anything, PartOfTheNewFile, TheWholeNewFile };

  const char* name;
  char command;  // what the zygote is told for such a save
  char mark;     // what the saver says once it has stopped there
  bool newFile;  // whether the target must be the new file after the kill
  Temporary temporary;
};
constexpr char kStopInsideTheWrite = 'B';
const KillPoint kKillPoints[] = {
    {"halfway through the encoding", 'M', 'M', false, KillPoint::Temporary::Anything},
    {"inside the write of the temporary file", kStopInsideTheWrite, 'I', false,
     KillPoint::Temporary::PartOfTheNewFile},
    {"with the temporary file whole, just before it replaces the target", 'W', 'W', false,
     KillPoint::Temporary::TheWholeNewFile},
    {"just after the new file took the target's place", 'P', 'P', true,
     KillPoint::Temporary::Anything},
    {"once the save has returned success", 'H', 'D', true, KillPoint::Temporary::Anything},
};
constexpr int kKillPointCount = static_cast<int>(std::size(kKillPoints));

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

// How a save aimed at a kill point went.
struct KilledSave {
  std::string said;                   // what the saver said up to its stop, after its process id
  bool stopped = false;               // it stopped at the point, after the mark of that point
  std::intmax_t temporaryBytes = -1;  // what its temporary file held then; -1: there was none
  char report = '\0';                 // the zygote's report: 'K' when the kill ended the saver
};

// Drives the zygote: one save per call, left to finish or stopped at a kill point and killed.
class Saver {
 public:
  Saver(const std::string& target, const testing::MemoryTempDir& dir, const std::string& name)
      : FZygote({TESS_HARDENING_CHILD, "zygote", target, std::to_string(kNewCount),
                 std::to_string(kNewSeed)}),
        FDir(dir),
        FName(name) {}

  // A save left alone: the zygote's report, 'S' when it saved.
  char saveWhole() {
    FZygote.writeByte('G');
    if (!startedSaver()) return '\0';
    char report = FZygote.readByte(60000);
    while (report == 'E') report = FZygote.readByte(60000);
    return report;
  }

  // A save stopped at `point` and killed there; `bytes` is what the temporary file is to hold
  // when the stop is inside the write.
  KilledSave killAt(const KillPoint& point, std::intmax_t bytes) {
    KilledSave result;
    FZygote.writeByte(point.command);
    if (point.command == kStopInsideTheWrite) {
      for (const char digit : std::to_string(bytes)) FZygote.writeByte(digit);
      FZygote.writeByte('\n');
    }
    const pid_t saver = startedSaver();
    if (saver == 0) return result;
    // The encoding ends with 'E', before the mark of any later point.
    do {
      result.said += FZygote.readByte(60000);
    } while (result.said.back() == 'E');
    if (result.said.back() != point.mark) {
      result.report = result.said.back();
      return result;
    }
    result.stopped = waitUntilStopped(saver);
    if (result.stopped) result.temporaryBytes = temporarySize(FDir, FName);
    ::kill(saver, SIGKILL);
    result.report = FZygote.readByte(60000);
    return result;
  }

 private:
  // Reads the new saver's 'R' and process id; 0 when they do not come.
  pid_t startedSaver() {
    if (FZygote.readByte(60000) != 'R') return 0;
    const std::string pidBytes = FZygote.readBytes(sizeof(pid_t), 60000);
    if (pidBytes.size() != sizeof(pid_t)) return 0;
    pid_t saver = 0;
    std::memcpy(&saver, pidBytes.data(), sizeof saver);
    return saver;
  }

  ChildProcess FZygote;
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
  int leftTemporary = 0;
  int expectedOld = 0;
  int insideTheWrite = 0;
  for (int round = 0; round < kKillRounds; ++round) {
    const KillPoint& point = kKillPoints[round % kKillPointCount];
    // Anything from nothing to all but the last byte of the new file.
    const auto bytes = std::uniform_int_distribution<std::intmax_t>(
        0, static_cast<std::intmax_t>(newBytes.size()) - 1)(random);
    SCOPED_TRACE(::testing::Message() << "round " << round << ", killed " << point.name << " ("
                                      << bytes << " bytes into the write)");
    const KilledSave killed = saver.killAt(point, bytes);
    ASSERT_TRUE(killed.stopped) << "the saver said \"" << killed.said << "\" and then '"
                                << killed.report << "'";
    ASSERT_EQ(killed.report, 'K') << "the saver was not ended by the kill";
    ++kills;

    const auto onDisk = readBytes(targetPath);
    ASSERT_TRUE(onDisk == oldBytes || onDisk == newBytes) << "the file is neither old nor new";
    if (onDisk == oldBytes) ++keptOld;
    if (onDisk == newBytes) ++becameNew;
    if (!point.newFile) ++expectedOld;
    // Until the new file has taken its place the target is the old file, and from then on it is
    // the new one.
    EXPECT_TRUE(onDisk == (point.newFile ? newBytes : oldBytes))
        << "the target is the " << (point.newFile ? "old" : "new") << " file";

    const auto left = temporariesIn(dir, target);
    // At most the temporary of this very kill: the save before it swept the earlier ones.
    ASSERT_LE(left.size(), 1u);
    if (!left.empty()) ++leftTemporary;
    if (point.temporary != KillPoint::Temporary::Anything) {
      // The kill landed where it was aimed: the temporary file held part of the new file, or
      // all of it, and that is what it was left with.
      const bool part = point.temporary == KillPoint::Temporary::PartOfTheNewFile;
      const auto held = part ? static_cast<std::size_t>(bytes) : newBytes.size();
      EXPECT_EQ(killed.temporaryBytes, static_cast<std::intmax_t>(held));
      ASSERT_EQ(left.size(), 1u) << "the killed save left no temporary file";
      const auto temporary = readBytes(dir.file(left.front()));
      EXPECT_TRUE(temporary.size() == held &&
                  std::equal(temporary.begin(), temporary.end(), newBytes.begin()))
          << "the temporary file holds " << temporary.size() << " bytes, not the first " << held
          << " of the new file";
      if (part) ++insideTheWrite;
    }

    // The next save succeeds, puts the old file back, and clears away what the kill left.
    ASSERT_TRUE(oldFile.save(targetPath, testing::kOldSignature, false));
    ASSERT_EQ(readBytes(targetPath), oldBytes);
    ASSERT_EQ(dir.entries(), std::vector<std::string>{target});
  }

  std::cout << "[ kill test ] " << kills << " kills: old file kept " << keptOld
            << ", new file complete " << becameNew << "; kills that left a temporary file "
            << leftTemporary << " (each swept by the next save), " << insideTheWrite
            << " of them inside the write; new file " << newBytes.size() << " bytes\n";
  RecordProperty("kills", kills);
  RecordProperty("old", keptOld);
  RecordProperty("new", becameNew);
  // Every save was killed where it was aimed: some kills left the old file, some the new one,
  // and those inside the write and just before the replacing left a temporary file behind, swept
  // by the next save.
  EXPECT_EQ(kills, kKillRounds);
  EXPECT_EQ(keptOld, expectedOld);
  EXPECT_EQ(becameNew, kKillRounds - expectedOld);
  EXPECT_GT(keptOld, 0);
  EXPECT_GT(becameNew, 0);
  EXPECT_GE(insideTheWrite, kKillRounds / kKillPointCount);
  EXPECT_GE(leftTemporary, 2 * (kKillRounds / kKillPointCount));

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

#include "fileio/AtomicFile.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/TempDir.h"
#include "support/Unprivileged.h"

namespace tess {
namespace {

using testing::readBytes;
using testing::TempDir;
using testing::writeBytes;

const std::vector<unsigned char> kOld = {'o', 'l', 'd', ' ', 'f', 'i', 'l', 'e'};

std::vector<unsigned char> pattern(std::size_t size) {
  std::vector<unsigned char> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(i * 7 + 3);
  return bytes;
}

mode_t modeOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0);
  return info.st_mode & 07777;
}

// Both ways of writing: flushed to the disk (saves) and not (exports, which take another route
// to the same atomic result).
class AtomicFileTest : public ::testing::TestWithParam<bool> {
 protected:
  static bool durable() { return GetParam(); }
};

TEST_P(AtomicFileTest, CreatesANewFileWithTheUmaskPermissions) {
  const TempDir dir;
  const std::string target = dir.file("new.spr");
  const auto data = pattern(10000);
  writeFileAtomically(target, data.data(), data.size(), durable());
  EXPECT_EQ(readBytes(target), data);
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"new.spr"});
  const mode_t mask = ::umask(0);
  ::umask(mask);
  EXPECT_EQ(modeOf(target), 0666 & ~mask);
}

TEST_P(AtomicFileTest, ReplacesAnExistingFileAndKeepsItsPermissions) {
  const TempDir dir;
  const std::string target = dir.file("old.spr");
  writeBytes(target, kOld);
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  const auto data = pattern(3);
  writeFileAtomically(target, data.data(), data.size(), durable());
  EXPECT_EQ(readBytes(target), data);
  EXPECT_EQ(modeOf(target), 0640u);
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"old.spr"});
}

TEST_P(AtomicFileTest, WritesAnEmptyFile) {
  const TempDir dir;
  const std::string target = dir.file("empty");
  writeBytes(target, kOld);
  writeFileAtomically(target, nullptr, 0, durable());
  EXPECT_TRUE(readBytes(target).empty());
}

TEST_P(AtomicFileTest, ANameWithoutFolderLandsInTheWorkingFolder) {
  const TempDir dir;
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  const auto data = pattern(5);
  EXPECT_NO_THROW(writeFileAtomically("plain.spr", data.data(), data.size(), durable()));
  std::filesystem::current_path(previous);
  EXPECT_EQ(readBytes(dir.file("plain.spr")), data);
}

TEST_P(AtomicFileTest, SavingThroughASymbolicLinkReplacesTheFileItPointsTo) {
  const TempDir dir;
  const std::string real = dir.file("real.spr");
  const std::string link = dir.file("link.spr");
  writeBytes(real, kOld);
  std::filesystem::create_symlink(real, link);
  const auto data = pattern(64);
  writeFileAtomically(link, data.data(), data.size(), durable());
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(readBytes(real), data);
}

TEST_P(AtomicFileTest, FailuresThrowAndLeaveNothingBehind) {
  const TempDir dir;
  std::filesystem::create_directory(dir.path() / "folder");
  writeBytes(dir.file("folder/keep"), kOld);
  const auto data = pattern(100);
  const std::string cases[] = {
      dir.file("missing/target.spr"),  // the folder does not exist
      dir.file("folder"),              // the target is a folder
      dir.file("folder/"),             // a name that ends in a separator
      "",                              // no name at all
      "/dev/null",                     // not a regular file
  };
  for (const std::string& target : cases) {
    SCOPED_TRACE(target);
    EXPECT_THROW(writeFileAtomically(target, data.data(), data.size(), durable()),
                 std::runtime_error);
  }
  EXPECT_EQ(readBytes(dir.file("folder/keep")), kOld);
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"folder"});
  EXPECT_EQ(std::vector<std::string>{"keep"}, TempDir::entriesOf(dir.path() / "folder"));
}

// A write cut short by the file size limit: the process lives on, the write reports an error,
// the old file is byte for byte what it was and no temporary file is left. The limit is set in
// a child process so that it cannot disturb the test runner.
TEST_P(AtomicFileTest, AWriteThatHitsTheFileSizeLimitFailsWithoutHarm) {
  const TempDir dir;
  const std::string target = dir.file("limited.spr");
  writeBytes(target, kOld);
  const auto data = pattern(256 * 1024);

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const rlimit limit{4096, 4096};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(3);
    int status = 1;
    try {
      writeFileAtomically(target, data.data(), data.size(), durable());
    } catch (const std::runtime_error&) {
      status = 0;
    }
    // The signal that the kernel raised must not be waiting to end the process either.
    sigset_t pending;
    sigemptyset(&pending);
    sigpending(&pending);
    if (sigismember(&pending, SIGXFSZ) == 1) status = 2;
    ::_exit(status);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "the child was ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(readBytes(target), kOld);
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"limited.spr"});
}

// Replacing works by a rename, which a file's own permissions do not stop; the write permission
// is checked all the same, as writing the file in place would.
TEST_P(AtomicFileTest, AFileTheUserMayNotWriteIsLeftAlone) {
  const TempDir dir;
  std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
  const std::string target = dir.file("protected.spr");
  writeBytes(target, kOld);
  ASSERT_EQ(::chmod(target.c_str(), 0444), 0);
  const auto data = pattern(100);
  const bool flush = durable();
  const int result = testing::runUnprivileged([&] {
    try {
      writeFileAtomically(target, data.data(), data.size(), flush);
    } catch (const std::runtime_error&) {
      return 0;
    }
    return 1;
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(readBytes(target), kOld);
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"protected.spr"});
}

// Files written without flushes are exports: many new files in a row. A writer killed at any
// moment leaves only whole files under their final names, and nothing else.
TEST(AtomicFileExportTest, AKilledWriterLeavesOnlyWholeFiles) {
  const TempDir dir;
  const auto data = pattern(4 * 1024 * 1024);
  std::mt19937 random(20261210);
  for (int round = 0; round < 12; ++round) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (int n = 0;; ++n) {
        const std::string target = dir.file(std::to_string(round) + "-" + std::to_string(n));
        writeFileAtomically(target, data.data(), data.size(), /*durable=*/false);
      }
    }
    ::usleep(static_cast<useconds_t>(random() % 20000));
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
  }
  for (const std::string& entry : dir.entries()) {
    SCOPED_TRACE(entry);
    EXPECT_NE(entry[0], '.');
    EXPECT_EQ(readBytes(dir.file(entry)), data);
  }
}

INSTANTIATE_TEST_SUITE_P(Flushes, AtomicFileTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Durable" : "NotDurable"; });

}  // namespace
}  // namespace tess

#include "fileio/AtomicFile.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
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

// A link whose file does not exist yet: the file is made where the link points and the link
// stays a link, as saving through a link to an existing file does.
TEST_P(AtomicFileTest, SavingThroughADanglingLinkMakesTheFileItPointsTo) {
  const TempDir dir;
  std::filesystem::create_directory(dir.path() / "real");
  const std::string absolute = dir.file("absolute.spr");
  const std::string relative = dir.file("relative.spr");
  const std::string chained = dir.file("chained.spr");
  std::filesystem::create_symlink(dir.file("real/a.spr"), absolute);
  std::filesystem::create_symlink("real/b.spr", relative);
  std::filesystem::create_symlink("relative.spr", chained);
  const auto data = pattern(64);
  writeFileAtomically(absolute, data.data(), data.size(), durable());
  writeFileAtomically(chained, data.data(), data.size(), durable());
  EXPECT_TRUE(std::filesystem::is_symlink(absolute));
  EXPECT_TRUE(std::filesystem::is_symlink(relative));
  EXPECT_TRUE(std::filesystem::is_symlink(chained));
  EXPECT_EQ(readBytes(dir.file("real/a.spr")), data);
  EXPECT_EQ(readBytes(dir.file("real/b.spr")), data);
  EXPECT_EQ((std::vector<std::string>{"a.spr", "b.spr"}), TempDir::entriesOf(dir.path() / "real"));
  EXPECT_EQ((std::vector<std::string>{"absolute.spr", "chained.spr", "real", "relative.spr"}),
            dir.entries());

  // A link into a folder that does not exist fails and leaves the link as it was.
  const std::string nowhere = dir.file("nowhere.spr");
  std::filesystem::create_symlink(dir.file("missing/c.spr"), nowhere);
  EXPECT_THROW(writeFileAtomically(nowhere, data.data(), data.size(), durable()),
               std::runtime_error);
  EXPECT_TRUE(std::filesystem::is_symlink(nowhere));
}

// A folder the user may not write holds no temporary file, so a file in it cannot be replaced
// whole; it is refused with the reason, and stays as it was, even though the file itself may
// be written.
TEST_P(AtomicFileTest, AWritableFileInAReadOnlyFolderIsLeftAlone) {
  const TempDir dir;
  const std::filesystem::path folder = dir.path() / "locked";
  std::filesystem::create_directory(folder);
  const std::string target = (folder / "open.spr").string();
  writeBytes(target, kOld);
  ASSERT_EQ(::chmod(target.c_str(), 0666), 0);
  ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
  std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
  const auto data = pattern(100);
  const bool flush = durable();
  const int result = testing::runUnprivileged([&] {
    try {
      writeFileAtomically(target, data.data(), data.size(), flush);
    } catch (const std::runtime_error& error) {
      return std::string(error.what()).find("Permission denied") != std::string::npos ? 0 : 2;
    }
    return 1;
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(readBytes(target), kOld);
  EXPECT_EQ(std::vector<std::string>{"open.spr"}, TempDir::entriesOf(folder));
  ::chmod(folder.c_str(), 0755);
}

// A caller that blocks SIGXFSZ itself keeps its mask, and the signal the kernel raised stays
// pending for it to handle; the write fails as it does for anyone else.
TEST_P(AtomicFileTest, ACallerThatBlocksTheFileSizeSignalKeepsItBlockedAndPending) {
  const TempDir dir;
  const std::string target = dir.file("limited.spr");
  writeBytes(target, kOld);
  const auto data = pattern(256 * 1024);

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    sigset_t onlyXfsz;
    sigemptyset(&onlyXfsz);
    sigaddset(&onlyXfsz, SIGXFSZ);
    if (::pthread_sigmask(SIG_BLOCK, &onlyXfsz, nullptr) != 0) ::_exit(3);
    const rlimit limit{4096, 4096};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(3);
    int status = 1;
    try {
      writeFileAtomically(target, data.data(), data.size(), durable());
    } catch (const std::runtime_error&) {
      status = 0;
    }
    sigset_t mask;
    ::pthread_sigmask(SIG_BLOCK, nullptr, &mask);
    if (sigismember(&mask, SIGXFSZ) != 1) status = 4;
    sigset_t pending;
    sigemptyset(&pending);
    sigpending(&pending);
    if (sigismember(&pending, SIGXFSZ) != 1) status = 5;
    ::_exit(status);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "the child was ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(readBytes(target), kOld);
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"limited.spr"});
}

// Stand-ins for a file system where an unnamed file cannot be linked into place.
int cannotLink(int, const std::string&) noexcept {
  errno = ENOENT;
  return -1;
}
int targetTakenThenCannotLink(int, const std::string& path) noexcept {
  // Temporary names begin with a dot; the target's does not.
  const bool temporary = path.compare(path.find_last_of('/') + 1, 1, ".") == 0;
  errno = temporary ? ENOENT : EEXIST;
  return -1;
}

// When the unnamed file cannot be linked, whether at once or after the target was found taken,
// the named route writes the file all the same: whole, with the old file's permissions, and
// nothing left beside it.
TEST(AtomicFileExportTest, FallsBackToANamedTemporaryWhenTheLinkFails) {
  for (const auto link : {&cannotLink, &targetTakenThenCannotLink}) {
    for (const bool existing : {false, true}) {
      SCOPED_TRACE(::testing::Message() << (link == &cannotLink ? "cannot link" : "taken, then not")
                                        << (existing ? ", replacing" : ", new"));
      const TempDir dir;
      const std::string target = dir.file("export.png");
      if (existing) {
        writeBytes(target, kOld);
        ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
      }
      const auto data = pattern(5000);
      detail::writeFileAtomically(target, data.data(), data.size(), /*durable=*/false, link);
      EXPECT_EQ(readBytes(target), data);
      if (existing) {
        EXPECT_EQ(modeOf(target), 0640u);
      }
      EXPECT_EQ(dir.entries(), std::vector<std::string>{"export.png"});
    }
  }
}

// The descriptor on which a writer killed by the test tells that it is inside the write.
constexpr int kInsideTheWriteFd = 200;

// Stands in for the step that names the written file: says so, then waits to be killed.
int waitToBeKilled(int, const std::string&) noexcept {
  const char inside = 'w';
  if (::write(kInsideTheWriteFd, &inside, 1) != 1) ::_exit(5);
  for (;;) ::pause();
}

// Files written without flushes are exports: many new files in a row. A writer killed in the
// middle of one, when all its bytes are written but it has no name yet, leaves the files it
// finished, whole under their final names, and nothing else.
TEST(AtomicFileExportTest, AKilledWriterLeavesOnlyWholeFiles) {
  const TempDir dir;
  const auto data = pattern(256 * 1024);
  std::vector<std::string> finished;
  for (int round = 0; round < 6; ++round) {
    const int wholeFiles = round % 3;
    const auto name = [&](int n) { return std::to_string(round) + "-" + std::to_string(n); };
    int ends[2] = {-1, -1};
    ASSERT_EQ(::pipe(ends), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::close(ends[0]);
      if (::dup2(ends[1], kInsideTheWriteFd) < 0) ::_exit(4);
      for (int n = 0; n < wholeFiles; ++n) {
        writeFileAtomically(dir.file(name(n)), data.data(), data.size(), /*durable=*/false);
      }
      detail::writeFileAtomically(dir.file(name(wholeFiles)), data.data(), data.size(),
                                  /*durable=*/false, &waitToBeKilled);
      ::_exit(6);
    }
    ::close(ends[1]);
    char inside = 0;
    const ssize_t got = ::read(ends[0], &inside, 1);
    ::close(ends[0]);
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_EQ(got, 1) << "the writer ended before the last write, status " << status;
    // The kill, not the writer, ended it: the last write was cut off.
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGKILL);
    for (int n = 0; n < wholeFiles; ++n) finished.push_back(name(n));
  }
  std::sort(finished.begin(), finished.end());
  EXPECT_EQ(dir.entries(), finished);
  for (const std::string& entry : dir.entries()) {
    SCOPED_TRACE(entry);
    EXPECT_EQ(readBytes(dir.file(entry)), data);
  }
}

INSTANTIATE_TEST_SUITE_P(Flushes, AtomicFileTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Durable" : "NotDurable"; });

}  // namespace
}  // namespace tess

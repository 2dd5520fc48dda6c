// The process that the crash-safety and memory tests start, kill and measure, so that a kill,
// a resource limit or a memory peak never touches the test runner itself.
//
//   save <target> <count> <seed>
//       Builds <count> sprites from <seed>, writes 'R' to stdout when the save starts and 'E'
//       when the last sprite is encoded (only the file write is left), saves with a 32-bit
//       count. Exit 0 when the save succeeded, 1 when it returned false.
//   zygote <target> <count> <seed>
//       Builds the sprites once; then, for every byte read from stdin, forks a saver that writes
//       'R' and its process id (4 bytes, native order), 'E' when the last sprite is encoded,
//       and saves as above. The byte 'G' leaves the saver alone; each of the others has it write
//       a mark and stop itself, to be killed there:
//         'M'        'M' once half the sprites are encoded;
//         'B<n>\n'   'I' inside the write of the temporary file, once it holds exactly <n>
//                    bytes (decimal, fewer than the whole file);
//         'W'        'W' when the whole, flushed temporary file is about to replace the target;
//         'P'        'P' as soon as it has replaced the target;
//         'H'        'D' once the save has returned success.
//       The zygote reaps each saver and writes 'K' when it was killed, 'S' when it saved and
//       'F' when the save failed. Ends at the end of its input. A fork costs far less than
//       building the sprites again, so the kill test can kill many saves.
//   limited <target> <count> <seed> <max file bytes> ignore|default
//       The same save under RLIMIT_FSIZE, with SIGXFSZ ignored or left at its default. Exit 0
//       when the save returned false as it must, 2 when it claimed success, 4 when a SIGXFSZ is
//       still pending afterwards.
//   measure spr16|spr32|png|bmp <file>
//       Loads the file and prints "<accepted 0|1> <resident KiB> <virtual KiB>": how far the
//       resident and the virtual peak of the process rose during the load.

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <string>

#include "SaveFixture.h"
#include "bitmap/TBitmap32.h"
#include "image/imageFile.h"
#include "sprite/TSpriteFile.h"
#include "support/FakeHost.h"

namespace {

using tess::testing::FakeHost;

// Set in a saver that is to stop just before, or just after, its temporary file replaces the
// target.
bool stopBeforeReplacing = false;
bool stopAfterReplacing = false;
// In a saver that is to stop inside the write of its temporary file: how many bytes that file
// holds when it stops; -1 otherwise.
long long stopInsideTheWriteAt = -1;

void say(char what) {
  // Unbuffered, so the parent sees it at once.
  if (::write(STDOUT_FILENO, &what, 1) != 1) std::_Exit(5);
}

struct EncodedSignal {
  bool stopHalfway = false;  // stop itself, with 'M', once half the sprites are encoded
  void onSprite(std::int32_t id, std::int32_t total) {
    if (stopHalfway && id == total / 2) {
      say('M');
      ::raise(SIGSTOP);
    }
    if (id == total) say('E');
  }
};

int save(const std::string& target, std::int32_t count, std::uint32_t seed) {
  FakeHost host;
  tess::TSpriteFile file(host);
  tess::testing::fillNewSprites(file, count, seed);
  EncodedSignal encoded;
  file.onLoadSprite.push_back(tess::TonLoadSprite(&encoded, &EncodedSignal::onSprite));
  say('R');
  return file.save(target, tess::testing::kNewSignature, true) ? 0 : 1;
}

// The decimal number up to a newline on stdin.
bool readCount(long long& count) {
  count = 0;
  char digit = 0;
  while (::read(STDIN_FILENO, &digit, 1) == 1) {
    if (digit == '\n') return true;
    if (digit < '0' || digit > '9') return false;
    count = count * 10 + (digit - '0');
  }
  return false;
}

int zygote(const std::string& target, std::int32_t count, std::uint32_t seed) {
  FakeHost host;
  tess::TSpriteFile file(host);
  tess::testing::fillNewSprites(file, count, seed);
  EncodedSignal encoded;
  file.onLoadSprite.push_back(tess::TonLoadSprite(&encoded, &EncodedSignal::onSprite));

  char command = 0;
  while (::read(STDIN_FILENO, &command, 1) == 1) {
    const bool holdAfterSave = command == 'H';
    long long insideTheWriteAt = -1;
    if (command == 'B' && !readCount(insideTheWriteAt)) return 3;
    const pid_t saver = ::fork();
    if (saver < 0) return 3;
    if (saver == 0) {
      // A saver never outlives the zygote, even when the test runner kills the zygote.
      ::prctl(PR_SET_PDEATHSIG, SIGKILL);
      stopBeforeReplacing = command == 'W';
      stopAfterReplacing = command == 'P';
      stopInsideTheWriteAt = insideTheWriteAt;
      encoded.stopHalfway = command == 'M';
      const pid_t self = ::getpid();
      say('R');
      if (::write(STDOUT_FILENO, &self, sizeof self) != sizeof self) std::_Exit(5);
      const bool saved = file.save(target, tess::testing::kNewSignature, true);
      if (saved && holdAfterSave) {
        say('D');
        ::raise(SIGSTOP);
      }
      // Straight out: the sprites need no freeing in a process that ends here.
      std::_Exit(saved ? 0 : 1);
    }
    int status = 0;
    while (::waitpid(saver, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFSIGNALED(status)) {
      say('K');
    } else {
      say(WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 'S' : 'F');
    }
  }
  return 0;
}

int limited(const std::string& target, std::int32_t count, std::uint32_t seed,
            std::uint64_t maxBytes, bool ignoreSignal) {
  FakeHost host;
  tess::TSpriteFile file(host);
  tess::testing::fillNewSprites(file, count, seed);
  const rlimit limit{maxBytes, maxBytes};
  if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 3;
  if (ignoreSignal) ::signal(SIGXFSZ, SIG_IGN);
  if (file.save(target, tess::testing::kNewSignature, true)) return 2;
  sigset_t pending;
  sigemptyset(&pending);
  sigpending(&pending);
  return sigismember(&pending, SIGXFSZ) == 1 ? 4 : 0;
}

// VmHWM (resident) or VmPeak (virtual) from /proc/self/status, in KiB.
long statusKiB(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field + ":", 0) == 0)
      return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
  }
  return -1;
}

bool load(const std::string& kind, const std::string& path) {
  if (kind == "spr16" || kind == "spr32") {
    FakeHost host;
    tess::TSpriteFile file(host);
    return file.load(path, kind == "spr32");
  }
  tess::TBitmap32 bitmap;
  try {
    return tess::loadImageFile(path, bitmap) && !bitmap.empty();
  } catch (const std::exception&) {
    return false;
  }
}

int measure(const std::string& kind, const std::string& path) {
  const long residentBefore = statusKiB("VmHWM");
  const long virtualBefore = statusKiB("VmPeak");
  const bool accepted = load(kind, path);
  const long residentAfter = statusKiB("VmHWM");
  const long virtualAfter = statusKiB("VmPeak");
  if (residentBefore < 0 || virtualBefore < 0) return 3;
  std::printf("%d %ld %ld\n", accepted ? 1 : 0, residentAfter - residentBefore,
              virtualAfter - virtualBefore);
  return 0;
}

}  // namespace

// The save writes its temporary file and then replaces its target with one rename. This
// program's own write and rename stand in front of the C library's, so that the kill test can
// stop a saver at the very moment it aims at: partway through the write of the temporary file,
// with that file whole but not yet in place, or just after it took the target's place.
extern "C" int rename(const char* from, const char* to) noexcept {
  if (stopBeforeReplacing) {
    say('W');
    ::raise(SIGSTOP);
  }
  const int result = ::renameat(AT_FDCWD, from, AT_FDCWD, to);
  if (stopAfterReplacing && result == 0) {
    say('P');
    ::raise(SIGSTOP);
  }
  return result;
}

namespace {

ssize_t writeThrough(int fd, const void* data, std::size_t size) noexcept {
  iovec whole{const_cast<void*>(data), size};
  return ::writev(fd, &whole, 1);
}

// Only a regular file is the save's: the marks go to a pipe.
bool isRegularFile(int fd) noexcept {
  struct stat info {};
  return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

// The first write to a regular file puts only the first stopInsideTheWriteAt bytes there and
// stops; had the saver gone on, the writer would have written the rest as it does after any
// short write.
extern "C" ssize_t write(int fd, const void* data, std::size_t size) {
  if (stopInsideTheWriteAt < 0 || size == 0 || !isRegularFile(fd)) {
    return writeThrough(fd, data, size);
  }
  const auto part =
      static_cast<std::size_t>(std::min(stopInsideTheWriteAt, static_cast<long long>(size)));
  stopInsideTheWriteAt = -1;
  std::size_t done = 0;
  while (done < part) {
    const ssize_t written = writeThrough(fd, static_cast<const char*>(data) + done, part - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) std::_Exit(6);
    done += static_cast<std::size_t>(written);
  }
  say('I');
  ::raise(SIGSTOP);
  return part > 0 ? static_cast<ssize_t>(part) : writeThrough(fd, data, size);
}

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "save" && argc == 5) {
    return save(argv[2], std::atoi(argv[3]), static_cast<std::uint32_t>(std::stoul(argv[4])));
  }
  if (mode == "zygote" && argc == 5) {
    return zygote(argv[2], std::atoi(argv[3]), static_cast<std::uint32_t>(std::stoul(argv[4])));
  }
  if (mode == "limited" && argc == 7) {
    return limited(argv[2], std::atoi(argv[3]), static_cast<std::uint32_t>(std::stoul(argv[4])),
                   std::stoull(argv[5]), std::string(argv[6]) == "ignore");
  }
  if (mode == "measure" && argc == 4) return measure(argv[2], argv[3]);
  std::fprintf(stderr, "usage: see the top of hardening_child.cpp\n");
  return 64;
}

#pragma once

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace tess::testing {

// Runs `body` in a child process that has no privileges, and returns its result, or -1 when the
// child did not end normally. Permission checks are what the test is after: a privileged user
// (the test runner is often root) would pass every one of them, so the child becomes the user
// "nobody" first. Folders the body touches must be open to everyone.
inline int runUnprivileged(const std::function<int()>& body) {
  const pid_t child = ::fork();
  if (child < 0) return -1;
  if (child == 0) {
    if (::geteuid() == 0) {
      constexpr uid_t kNobody = 65534;
      if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
        ::_exit(120);
      }
    }
    int result = 121;
    try {
      result = body();
    } catch (...) {
      result = 122;
    }
    ::_exit(result);
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace tess::testing

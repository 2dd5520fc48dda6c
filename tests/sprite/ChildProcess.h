#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <string>
#include <vector>

namespace tess::testing {

// A started program whose standard input and output are pipes. The destructor kills and reaps a
// child that is still running, so a failing test leaves no process behind.
class ChildProcess {
 public:
  explicit ChildProcess(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
      argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    int output[2];
    int input[2];
    if (::pipe2(output, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    if (::pipe2(input, O_CLOEXEC) != 0) {
      ::close(output[0]);
      ::close(output[1]);
      throw std::runtime_error("pipe failed");
    }
    FPid = ::fork();
    if (FPid == 0) {
      // Only async-signal-safe calls between fork and exec.
      ::dup2(output[1], STDOUT_FILENO);
      ::dup2(input[0], STDIN_FILENO);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(output[1]);
    ::close(input[0]);
    FOutput = output[0];
    FInput = input[1];
    if (FPid < 0) {
      FReaped = true;
      throw std::runtime_error("fork failed");
    }
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess() {
    if (!FReaped) {
      ::kill(FPid, SIGKILL);
      wait();
    }
    ::close(FOutput);
    if (FInput >= 0) ::close(FInput);
  }

  void writeByte(char byte) const {
    if (::write(FInput, &byte, 1) != 1) throw std::runtime_error("the child does not listen");
  }
  // The child sees the end of its input.
  void closeInput() {
    ::close(FInput);
    FInput = -1;
  }

  // The next `n` bytes of output, or fewer when it ends or `timeoutMs` passes without one.
  std::string readBytes(std::size_t n, int timeoutMs) {
    std::string bytes;
    while (bytes.size() < n) {
      const char byte = readByte(timeoutMs);
      if (byte == '\0' && !FLastReadOk) break;
      bytes += byte;
    }
    return bytes;
  }

  // The next byte of output; '\0' at its end or after `timeoutMs` without one.
  char readByte(int timeoutMs) {
    FLastReadOk = false;
    pollfd ready{FOutput, POLLIN, 0};
    if (::poll(&ready, 1, timeoutMs) <= 0) return '\0';
    char byte = '\0';
    FLastReadOk = ::read(FOutput, &byte, 1) == 1;
    return FLastReadOk ? byte : '\0';
  }

  // Everything the child writes until it closes its output.
  std::string readAll() {
    std::string text;
    char chunk[512];
    ssize_t got = 0;
    while ((got = ::read(FOutput, chunk, sizeof chunk)) > 0)
      text.append(chunk, static_cast<std::size_t>(got));
    return text;
  }

  void kill() const { ::kill(FPid, SIGKILL); }

  // The wait status; waits for the child to end.
  int wait() {
    if (!FReaped) {
      while (::waitpid(FPid, &FStatus, 0) < 0 && errno == EINTR) {
      }
      FReaped = true;
    }
    return FStatus;
  }

 private:
  pid_t FPid = -1;
  int FOutput = -1;
  int FInput = -1;
  int FStatus = 0;
  bool FLastReadOk = false;
  bool FReaped = false;
};

}  // namespace tess::testing

#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace tess::testing {

// What one run of the tool gave.
struct CliResult {
  int status = -1;  // the exit status, or -1 when the tool did not exit normally
  std::string out;
  std::string err;
};

// Runs the built tool with `arguments`, its standard input empty and its two output streams
// captured through files in `scratch` (a folder the test owns).
inline CliResult runTool(const std::string& tool, const std::vector<std::string>& arguments,
                         const std::string& scratch) {
  const std::string outPath = scratch + "/.stdout";
  const std::string errPath = scratch + "/.stderr";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::vector<std::string> words{tool};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, tool.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) throw std::runtime_error("cannot start " + tool);
  int wstatus = 0;
  while (waitpid(pid, &wstatus, 0) < 0) {
  }
  const auto slurp = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };
  CliResult result;
  result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  result.out = slurp(outPath);
  result.err = slurp(errPath);
  ::unlink(outPath.c_str());
  ::unlink(errPath.c_str());
  return result;
}

}  // namespace tess::testing

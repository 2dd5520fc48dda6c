#include <cstdio>
#include <string>
#include <vector>

#include "cli/Cli.h"

int main(int argc, char** argv) {
  const std::vector<std::string> words(argv + (argc > 0 ? 1 : 0), argv + argc);
  const int status = tess::cli::runCli(words, stdout, stderr);
  // A result that never reached its reader (a full disk, a closed pipe) is trouble too.
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) return 2;
  return status;
}

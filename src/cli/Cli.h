#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace tess::cli {

// The whole tool: `words` are the command-line words after the program name. Results go to
// `out`, errors to `err`; returns the exit status.
[[nodiscard]] int runCli(const std::vector<std::string>& words, std::FILE* out, std::FILE* err);

}  // namespace tess::cli

#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace tess::assets {

// Runs work(i, reason) for every i below `count` on up to `threads` threads (the calling one
// among them). Once a call fails or throws, no further indices are started, and the result is
// false with the reason of the first failure, by index. `work` must be safe to call from
// several threads at once for different indices.
[[nodiscard]] bool parallelFor(std::size_t count, unsigned threads,
                               const std::function<bool(std::size_t, std::string&)>& work,
                               std::string& reason);

}  // namespace tess::assets

#include "assets/parallelFor.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace tess::assets {

bool parallelFor(std::size_t count, unsigned threads,
                 const std::function<bool(std::size_t, std::string&)>& work, std::string& reason) {
  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  std::mutex guard;
  std::size_t failedAt = count;
  std::string failure;
  const auto fail = [&](std::size_t index, std::string why) {
    const std::lock_guard lock(guard);
    if (index < failedAt) {
      failedAt = index;
      failure = std::move(why);
    }
    failed = true;
  };
  const auto run = [&] {
    for (;;) {
      const std::size_t index = next++;
      if (index >= count || failed) return;
      std::string why;
      try {
        if (!work(index, why)) fail(index, why.empty() ? "failed" : std::move(why));
      } catch (const std::bad_alloc&) {
        fail(index, "out of memory");
      } catch (const std::exception& error) {
        fail(index, error.what());
      }
    }
  };
  const unsigned helpers =
      static_cast<unsigned>(std::min<std::size_t>(std::max(threads, 1u), count)) - (count ? 1 : 0);
  {
    std::vector<std::jthread> pool;
    for (unsigned i = 0; i < helpers; ++i) {
      try {
        pool.emplace_back(run);
      } catch (const std::system_error&) {
        break;  // fewer threads only take longer
      }
    }
    run();
  }
  if (!failed) return true;
  reason = failure;
  return false;
}

}  // namespace tess::assets

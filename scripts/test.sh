#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the optimised build, then the whole
# suite again under AddressSanitizer and UndefinedBehaviorSanitizer. GUI tests run headless.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen

for preset in default asan; do
  echo "== $preset build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  echo "== $preset tests"
  ctest --preset "$preset" --parallel 2
done

# Every fuzz target for a bounded time from its seed corpus, then every kept regression input.
echo "== fuzz"
./scripts/fuzz.sh

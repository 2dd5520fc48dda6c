#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the optimised build and its Debian
# package, then the whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
# GUI tests run headless.
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
  # The package is made from the optimised tree just built; a sanitized one is never shipped.
  if [ "$preset" = default ]; then
    echo "== package"
    ./tests/packaging/check_package.sh build/default
  fi
done

# Every fuzz target for a bounded time from its seed corpus, then every kept regression input.
echo "== fuzz"
./scripts/fuzz.sh

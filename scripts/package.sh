#!/usr/bin/env bash
# Builds the Debian package from a clean build folder (default build/package: optimised, without
# tests or benchmarks) and prints the path of the .deb.
#   TESS_PACKAGE_BUILD_DIR   the build folder, emptied first
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh >&2
build=${TESS_PACKAGE_BUILD_DIR:-build/package}

rm -rf "$build"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESS_WERROR=ON \
  -DTESS_BUILD_TESTS=OFF -DTESS_BUILD_BENCH=OFF >&2
cmake --build "$build" >&2
(cd "$build" && cpack -G DEB) >&2
realpath "$build"/tessaline_*.deb

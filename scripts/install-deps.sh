#!/usr/bin/env bash
# Installs every Debian 12 package that building, running and testing Tessaline needs.
# Safe to run again: packages already present are skipped. Works as root, or through sudo.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang clang-format libclang-rt-dev llvm
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev libgl-dev
  libpng-dev zlib1g-dev libinih-dev liblzma-dev nlohmann-json3-dev nettle-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth fonts-dejavu-core openbox wmctrl xdotool
  dpkg-dev file lintian desktop-file-utils appstream shared-mime-info x11-utils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: everything is present"
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"

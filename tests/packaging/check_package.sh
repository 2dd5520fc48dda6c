#!/usr/bin/env bash
# Checks the program as a user receives it, from an already built tree (default build/default):
# - `cmake --install` lays out lib/tessaline with the programs, config.ini and the README, and
#   relative links to the programs in bin/;
# - `cpack -G DEB` makes a package holding exactly the program's files, which lintian passes
#   without errors, and whose desktop entry, metainfo, MIME type and icons are valid;
# - unpacked anywhere with dpkg-deb -x, the programs start through the links in usr/bin:
#   tessaline-cli adds a sprite to a file and reads it back, and the editor (headless, on Xvfb)
#   opens that file given on its command line and shows it in its title.
#   check_package.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/../.."
source=$PWD
build=$(realpath "${1:-build/default}")
app_id=io.github.tessaline.Tessaline

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() {
  echo "check_package: $*" >&2
  exit 1
}

echo "-- cmake --install"
cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
for file in tessaline tessaline-cli config.ini README.md; do
  [ -f "$scratch/prefix/lib/tessaline/$file" ] || fail "install: lib/tessaline/$file is missing"
done
for program in tessaline tessaline-cli; do
  link=$(readlink "$scratch/prefix/bin/$program") || fail "install: bin/$program is not a link"
  [ "$link" = "../lib/tessaline/$program" ] || fail "install: bin/$program points to $link"
done
# The Debian documents belong to the package only.
[ ! -e "$scratch/prefix/share/doc" ] || fail "install: share/doc was installed"

echo "-- cpack -G DEB"
(cd "$build" && cpack -G DEB -B "$scratch/cpack") >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log"; fail "cpack failed"; }
debs=("$scratch"/cpack/tessaline_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single tessaline .deb"
deb=${debs[0]}
echo "${deb##*/}: $(dpkg-deb -f "$deb" Depends)"
[ "$(dpkg-deb -f "$deb" Section)" = graphics ] || fail "the package's section is not graphics"
dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6 || fail "no library dependencies from shlibdeps"

# Exactly the program's files: a test, benchmark or tool slipping into the install rules shows here.
expected=(
  ./usr/bin/tessaline ./usr/bin/tessaline-cli
  ./usr/lib/tessaline/README.md ./usr/lib/tessaline/config.ini
  ./usr/lib/tessaline/tessaline ./usr/lib/tessaline/tessaline-cli
  "./usr/share/applications/$app_id.desktop"
  ./usr/share/doc/tessaline/changelog.Debian.gz ./usr/share/doc/tessaline/copyright
  ./usr/share/man/man1/tessaline-cli.1.gz ./usr/share/man/man1/tessaline.1.gz
  "./usr/share/metainfo/$app_id.metainfo.xml"
  "./usr/share/mime/packages/$app_id.xml"
)
sizes=(16 22 24 32 48 64 128 256)
for size in "${sizes[@]}"; do
  expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png")
done
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort >"$scratch/contents"
printf '%s\n' "${expected[@]}" | sort >"$scratch/expected"
diff -u "$scratch/expected" "$scratch/contents" || fail "the package holds other files than expected"

echo "-- lintian"
status=0
lintian --fail-on error "$deb" >"$scratch/lintian.log" 2>&1 || status=$?
grep -v 'running with root privileges' "$scratch/lintian.log" || true
[ "$status" -eq 0 ] || fail "lintian reports errors (status $status)"

root=$scratch/root
dpkg-deb -x "$deb" "$root"
share=$root/usr/share

echo "-- desktop entry, metainfo, MIME type, icons"
desktop-file-validate "$share/applications/$app_id.desktop"
appstreamcli validate --no-net "$share/metainfo/$app_id.metainfo.xml"
# The file type must reach the MIME database under the name the desktop entry opens.
mime_type=$(sed -n 's/^MimeType=\([^;]*\);$/\1/p' "$share/applications/$app_id.desktop")
[ -n "$mime_type" ] || fail "the desktop entry names no single MIME type"
# (It warns that the unpacked folder is not among the system's data folders.)
update-mime-database "$share/mime" 2>/dev/null
grep -qx "50:$mime_type:\*\.spr" "$share/mime/globs2" || fail "*.spr is not $mime_type in the MIME database"
grep -qx "Icon=$app_id" "$share/applications/$app_id.desktop" || fail "the desktop entry's icon is not $app_id"
for size in "${sizes[@]}"; do
  icon=$share/icons/hicolor/${size}x${size}/apps/$app_id.png
  file -b "$icon" | grep -q "PNG image data, $size x $size, 8-bit/color RGBA" ||
    fail "icon ${size}x$size: $(file -b "$icon")"
done

echo "-- the unpacked programs, through usr/bin"
# From another folder, so config.ini can only be found beside the real executable.
cd "$scratch"
# The smallest valid file: the 10.98 signature, a 32-bit count of one sprite, which is empty.
printf '\x03\xd6\xbb\x57\x01\x00\x00\x00\x00\x00\x00\x00' >empty.spr
"$root/usr/bin/tessaline-cli" import empty.spr "$source/resources/images/icon-main.png" \
  --out sprites.spr
info=$("$root/usr/bin/tessaline-cli" info sprites.spr)
echo "$info"
grep -qx 'sprites: 2' <<<"$info" || fail "tessaline-cli info does not count the 2 sprites"
grep -qx 'version: 10.98' <<<"$info" || fail "tessaline-cli info does not name version 10.98"

# The desktop passes the file's full path; the editor names the version and the file in its title.
# Its window class must be the one the desktop entry declares, or a task bar on X11 cannot tie the
# window to the entry and its icon.
wm_class=$(sed -n 's/^StartupWMClass=//p' "$share/applications/$app_id.desktop")
title="Tessaline (10.98) - file: $scratch/sprites.spr"
mkdir -m 700 "$scratch/runtime"
window=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$scratch/runtime" \
  xvfb-run -a -s "-screen 0 1024x768x24" \
  "$source/tests/packaging/wait_for_title.sh" 30 "\"$title\"" "$root/usr/bin/tessaline" \
  "$scratch/sprites.spr") || fail "the editor did not show \"$title\""
echo "$window"
grep -qF "\"$wm_class\")" <<<"$window" || fail "the window's class is not \"$wm_class\""

echo "check_package: all checks passed"

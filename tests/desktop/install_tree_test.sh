#!/usr/bin/env bash
# `cmake --install` into a temporary prefix gives exactly the tree below, and the installed
# programs run from bin/ through their links: the converter finds its engine and lists the
# 152 profiles, the window starts, finds its engine and ends (offscreen, a bench run of an
# empty folder, with settings kept in the temporary folder).
#   install_tree_test.sh BUILD_DIR WITH_PNG_ICONS(ON|OFF)
set -euo pipefail
build=$1
with_pngs=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null

id=com.ostrel_software.MediaConverter
expected=(
  "bin/ostrel -> ../lib/ostrel/ostrel"
  "bin/ostrel-convert -> ../lib/ostrel/ostrel-convert"
  "lib/ostrel/LibAV/libostrel-engine.so"
  "lib/ostrel/help.html"
  "lib/ostrel/translations/ostrel_de.qm"
  "lib/ostrel/translations/ostrel_es.qm"
  "lib/ostrel/translations/ostrel_fr.qm"
  "lib/ostrel/ostrel"
  "lib/ostrel/ostrel-convert"
  "share/applications/$id.desktop"
  "share/doc/ostrel/README.md"
  "share/doc/ostrel/changelog.gz"
  "share/doc/ostrel/copyright"
  "share/icons/hicolor/scalable/apps/$id.svg"
  "share/man/man1/ostrel-convert.1.gz"
  "share/man/man1/ostrel.1.gz"
  "share/metainfo/$id.metainfo.xml"
)
if [ "$with_pngs" = ON ]; then
  for size in 16 32 48 64 128 256; do
    expected+=("share/icons/hicolor/${size}x${size}/apps/$id.png")
  done
fi

actual=$(cd "$prefix" && find . -type f -printf '%P\n' -o -type l -printf '%P -> %l\n' |
  LC_ALL=C sort)
wanted=$(printf '%s\n' "${expected[@]}" | LC_ALL=C sort)
if [ "$actual" != "$wanted" ]; then
  echo "installed tree differs (< installed, > expected):"
  diff <(echo "$actual") <(echo "$wanted") || true
  exit 1
fi

failures=0
check() {  # check WHAT COMMAND...
  local what=$1
  shift
  if ! "$@"; then
    echo "FAILED: $what"
    failures=$((failures + 1))
  fi
}

for program in lib/ostrel/ostrel lib/ostrel/ostrel-convert; do
  check "$program is executable" [ -x "$prefix/$program" ]
done
for page in ostrel ostrel-convert; do
  check "$page.1.gz is a gzip file" gzip -t "$prefix/share/man/man1/$page.1.gz"
done
if [ "$with_pngs" = ON ]; then
  for size in 16 32 48 64 128 256; do
    check "the $size px icon is $size x $size" \
      grep -q "PNG image data, $size x $size" \
      <(file "$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png")
  done
fi

profiles=$("$prefix/bin/ostrel-convert" --list-profiles | wc -l)
check "installed ostrel-convert lists 152 profiles (got $profiles)" [ "$profiles" -eq 152 ]

home=$(mktemp -d -p "$prefix")
chmod 700 "$home"
mkdir "$home/empty"
check "installed ostrel starts, binds its engine and ends" \
  env QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$home" XDG_RUNTIME_DIR="$home" \
  "$prefix/bin/ostrel" --bench-add "$home/empty" >/dev/null
check "installed ostrel --version" grep -q '^ostrel [0-9]' <("$prefix/bin/ostrel" --version)

exit $((failures > 0))

#!/usr/bin/env bash
# Builds the Debian package: a release build with Debian's hardening flags in build-deb/,
# then CPack's DEB generator (Depends from dpkg-shlibdeps), then lintian's verdict.
#   scripts/package.sh    -> build-deb/ostrel_<version>_<arch>.deb
set -euo pipefail
cd "$(dirname "$0")/.."

"scripts/install-deps.sh"

# Debian's compiler and linker flags with all hardening (fortify, stack protector, PIE,
# relro, bind now). CMake reads CFLAGS, CXXFLAGS and LDFLAGS from the environment when it
# first configures a folder.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
eval "$(dpkg-buildflags --export=sh)"
export CXXFLAGS="$CXXFLAGS $CPPFLAGS"
export CFLAGS="$CFLAGS $CPPFLAGS"

build=build-deb
rm -f "$build"/CMakeCache.txt "$build"/ostrel_*.deb
# Installing builds only what is installed, not the tests.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON
cmake --build "$build" -j "$(nproc)" --target ostrel ostrel-convert ostrel-engine ostrel_data
(cd "$build" && cpack -G DEB)

deb=$(ls "$build"/ostrel_*.deb)
echo
dpkg-deb --info "$deb"
echo "Size: $(du -h "$deb" | cut -f1) ($deb)"
echo
echo "lintian:"
# As root lintian warns that it should not run as root; that is not about the package.
status=0
report=$(lintian --fail-on error --display-info "$deb" 2>&1) || status=$?
grep -v "running with root privileges" <<<"$report" || echo "  no tags"
if [ "$status" -ne 0 ]; then
  echo "lintian found errors" >&2
  exit 1
fi
echo "$deb"

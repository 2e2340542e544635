#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
#   scripts/test.sh              normal build in build/
#   scripts/test.sh --sanitize   ASan+UBSan build in build-asan/, unit and engine tests
set -euo pipefail
cd "$(dirname "$0")/.."

"scripts/install-deps.sh"

build=build
cmake_args=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo)
ctest_args=(--output-on-failure)
if [ "${1:-}" = "--sanitize" ]; then
  build=build-asan
  cmake_args=(-G Ninja -DCMAKE_BUILD_TYPE=Debug -DOSTREL_SANITIZE=ON)
  ctest_args+=(-L "unit|engine")
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi

cmake -S . -B "$build" "${cmake_args[@]}"
cmake --build "$build" -j "$(nproc)"
cd "$build"
ctest "${ctest_args[@]}" -j "$(nproc)"

#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
#   scripts/test.sh              normal build in build/, every label (realmedia included)
#   scripts/test.sh --sanitize   ASan+UBSan build in build-asan/: unit, engine, player, window
#                                and screen-reader tests
#   scripts/test.sh --tsan       ThreadSanitizer build in build-tsan/, engine, player and CLI tests
set -euo pipefail
cd "$(dirname "$0")/.."

"scripts/install-deps.sh"

build=build
cmake_args=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo)
build_args=()
ctest_args=(--output-on-failure)
case "${1:-}" in
  --sanitize)
    build=build-asan
    cmake_args=(-G Ninja -DCMAKE_BUILD_TYPE=Debug -DOSTREL_SANITIZE=ON)
    ctest_args+=(-L "unit|engine|player|gui|access")
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp"
    ;;
  --tsan)
    # Only our code is instrumented; the suppressions cover reports inside FFmpeg's libraries.
    build=build-tsan
    tsan=-fsanitize=thread
    cmake_args+=("-DCMAKE_C_FLAGS=$tsan" "-DCMAKE_CXX_FLAGS=$tsan"
                 "-DCMAKE_EXE_LINKER_FLAGS=$tsan" "-DCMAKE_SHARED_LINKER_FLAGS=$tsan"
                 "-DCMAKE_MODULE_LINKER_FLAGS=$tsan")
    build_args=(--target ostrel_engine_tests ostrel_player_tests ostrel_cli_tests ostrel-convert
                ostrel-engine)
    ctest_args+=(-L "engine|player|cli")
    export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp"
    ;;
  "") ;;
  *)
    echo "usage: $0 [--sanitize | --tsan]" >&2
    exit 2
    ;;
esac

cmake -S . -B "$build" "${cmake_args[@]}"
cmake --build "$build" -j "$(nproc)" "${build_args[@]}"
cd "$build"
ctest "${ctest_args[@]}" -j "$(nproc)"

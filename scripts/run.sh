#!/usr/bin/env bash
# Installs what is missing, builds the converter and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

"scripts/install-deps.sh"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)"

if [ -x build/bin/ostrel ]; then
  exec build/bin/ostrel "$@"
elif [ -x build/bin/ostrel-convert ]; then
  echo "The window is not built yet; the headless converter is: build/bin/ostrel-convert"
  exec build/bin/ostrel-convert "$@"
else
  echo "Built the core library and its tests in build/. The converter window is not built yet."
fi

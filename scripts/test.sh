#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test suite.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KORVANE_BUILD_DIR:-$root/build}

bash "$root/scripts/install-deps.sh" test
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVANE_BUILD_TESTS=ON
cmake --build "$build" -j "$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --timeout 600

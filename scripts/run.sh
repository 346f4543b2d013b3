#!/usr/bin/env bash
# Installs what is missing, builds Korvane and starts KorvaneApp.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KORVANE_BUILD_DIR:-$root/build}

bash "$root/scripts/install-deps.sh" build
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKORVANE_BUILD_TESTS=OFF -DKORVANE_BUILD_BENCHMARKS=OFF
cmake --build "$build" -j "$(nproc)"

app="$build/bin/KorvaneApp"
if [ -x "$app" ]; then
    cd "$build/bin"
    exec "$app" "$@"
fi
echo "Built everything in $build. KorvaneApp itself is not part of this version yet."

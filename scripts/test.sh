#!/bin/sh
# Installs what is missing, builds everything with warnings as errors and runs every test.
set -eu
cd "$(dirname "$0")/.."
./scripts/setup.sh
BUILD="${BUILD_DIR:-build-ci}"
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVARA_WERROR=ON ${CMAKE_EXTRA:-}
cmake --build "$BUILD" -j "$(nproc)"
cd "$BUILD"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)" --timeout 600

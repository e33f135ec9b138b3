#!/bin/sh
# Installs what is missing, builds Kelvara and starts it.
set -eu
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
# Only the window and kelvara-check: the tests and benchmarks are built by the test command.
cmake --build build -j "$(nproc)" --target kelvara kelvara-check
exec build/app/kelvara "$@"

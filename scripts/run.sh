#!/bin/sh
# Installs what is missing, builds Kelvara and starts it.
set -eu
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)"
if [ -x build/app/kelvara ]; then
    exec build/app/kelvara "$@"
fi
echo "Built. The desktop window is not part of this build yet; the headless checker is build/cli/kelvara-check."

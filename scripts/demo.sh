#!/bin/sh
# Builds Kelvara and the demo site, serves the demo site on 127.0.0.1 (port 8077, or DEMO_PORT) and
# starts the window. Add the site 127.0.0.1:8077 with "添加", tick it and click "开始检测".
set -eu
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)" --target kelvara
cmake -S tools/demo-site -B build/demo-site -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/demo-site
build/demo-site/kelvara-demo-site --port "${DEMO_PORT:-8077}" &
SITE=$!
trap 'kill "$SITE" 2>/dev/null || true' EXIT INT TERM
build/app/kelvara

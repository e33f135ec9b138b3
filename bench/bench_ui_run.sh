#!/bin/sh
# Runs bench_ui_run against a synthetic site of PAGES pages (default 2000) under Xvfb when available.
#   bench/bench_ui_run.sh [PAGES] [LINKS]
set -eu
cd "$(dirname "$0")/.."
PAGES="${1:-2000}"; LINKS="${2:-20}"
BUILD="${BUILD_DIR:-build}"
PORT="${PORT:-18091}"
mkdir -p bench/out
cmake --build "$BUILD" --target bench_ui_run kelvara-sitegen >/dev/null
. bench/serve.sh
start_server bench/out/ui-server.log "$BUILD/bench/kelvara-sitegen" --pages "$PAGES" --links "$LINKS" --port "$PORT" \
    --truth bench/out/ui-truth.txt --max-seconds 1800
if command -v xvfb-run >/dev/null; then
    xvfb-run -a -s "-screen 0 1366x768x24" "$BUILD/bench/bench_ui_run" "127.0.0.1:$PORT" 5
else
    QT_QPA_PLATFORM=offscreen "$BUILD/bench/bench_ui_run" "127.0.0.1:$PORT" 5
fi

#!/bin/sh
# Checks a synthetic site with kelvara-check and compares the dead links found with the generated set.
#   bench/run-site.sh [PAGES] [LINKS] [LATENCY_MS] [extra kelvara-check options...]
# Prints the time and peak memory of the run (GNU time) and whether the dead links match exactly.
set -eu
cd "$(dirname "$0")/.."
PAGES="${1:-2000}"; LINKS="${2:-20}"; LATENCY="${3:-0}"
[ $# -ge 3 ] && shift 3 || shift $#
BUILD="${BUILD_DIR:-build}"
PORT="${PORT:-18090}"
OUT="bench/out"
mkdir -p "$OUT"
[ -n "${SKIP_BUILD:-}" ] || cmake --build "$BUILD" --target kelvara-check kelvara-sitegen >/dev/null

. bench/serve.sh
start_server "$OUT/server.log" "$BUILD/bench/kelvara-sitegen" --pages "$PAGES" --links "$LINKS" --latency "$LATENCY" \
    --port "$PORT" --truth "$OUT/truth.txt" --max-seconds 1800

set +e
/usr/bin/time -v "$BUILD/cli/kelvara-check" --depth 5 "$@" "http://127.0.0.1:$PORT/" >"$OUT/result.txt" 2>"$OUT/time.txt"
STATUS=$?
set -e
grep -E 'Elapsed|Maximum resident|User time|System time' "$OUT/time.txt"
tail -1 "$OUT/result.txt"
grep -Eo '^    http[^ ]+' "$OUT/result.txt" | sed 's/^ *//' | sort -u >"$OUT/found.txt"
if cmp -s "$OUT/found.txt" "$OUT/truth.txt"; then
    echo "dead links: exactly the generated set ($(wc -l <"$OUT/truth.txt"))"
else
    echo "dead links differ from the generated set:"; diff "$OUT/truth.txt" "$OUT/found.txt" | head -20
fi
echo "exit status $STATUS"

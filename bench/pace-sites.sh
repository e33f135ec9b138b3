#!/bin/sh
# Checks one of the local sites of kelvara-pacesites with kelvara-check and tells whether every verdict
# is true: links wrongly dead, links wrongly timed out (the one very slow page of "slow" is rightly
# timed out, and so are the links of the partner of "refuse", which refuses to be checked, and every link of
# "silent", whose hosts never answer), dead links missed, the wall time and the longest stretch in which
# the server was asked nothing (from the request log the site server writes). With
# LINKINATOR=path/to/linkinator the same site is then checked by linkinator as well, for its time.
#   bench/pace-sites.sh cms|pdf|slow|stall|date|refuse|silent [extra kelvara-check options...]
set -eu
cd "$(dirname "$0")/.."
SCENARIO="$1"; shift
BUILD="${BUILD_DIR:-build}"
PORT="${PORT:-18100}"
TIMEOUT="${TIMEOUT:-10}"
OUT="bench/out/pace-$SCENARIO"
mkdir -p "$OUT"
[ -n "${SKIP_BUILD:-}" ] || cmake --build "$BUILD" --target kelvara-check kelvara-pacesites >/dev/null

. bench/serve.sh
start_server "$OUT/server.log" "$BUILD/bench/kelvara-pacesites" "$SCENARIO" --port "$PORT" --truth "$OUT/truth.txt" \
    --log "$OUT/requests.txt" \
    --max-seconds 900

START=$(date +%s.%N)
set +e
"$BUILD/cli/kelvara-check" --depth 5 --timeout "$TIMEOUT" --format csv "$@" "http://127.0.0.1:$PORT/" \
    >"$OUT/result.csv" 2>/dev/null
set -e
END=$(date +%s.%N)

python3 - "$OUT/result.csv" "$OUT/truth.txt" "$SCENARIO" "$START" "$END" "$OUT/requests.txt" "$PORT" <<'EOF'
import csv, sys
rows = list(csv.DictReader(open(sys.argv[1], encoding="utf-8")))
truth = set(open(sys.argv[2]).read().split())
scenario, wall = sys.argv[3], float(sys.argv[5]) - float(sys.argv[4])
times = [int(line.split()[0]) for line in open(sys.argv[6]) if line.strip()]
quiet = max((b - a for a, b in zip(times, times[1:])), default=0) / 1000
first = {}
for r in rows:
    first.setdefault(r["url"], r)
dead = {u for u, r in first.items() if r["class"] == "dead"}
timeouts = {u for u, r in first.items() if r["class"] == "timeout"}
expected_timeouts = {u for u in first if (scenario == "slow" and u.endswith("/slow.html"))
                     or (scenario == "refuse" and "//127.0.0.2:" in u)
                 or (scenario == "silent" and u.split("/")[2] != f"127.0.0.1:{sys.argv[7]}")}
unprobed = [u for u, r in first.items() if r["class"] == "unprobed"]
print(f"| {scenario} | links {len(first)} | false dead {len(dead - truth)} | "
      f"false timeouts {len(timeouts - expected_timeouts)} | missed dead {len(truth - dead)} | "
      f"timed out as expected {len(timeouts & expected_timeouts)}/{len(expected_timeouts)} | "
      f"unprobed {len(unprobed)} | wall {wall:.1f} s | longest quiet {quiet:.1f} s |")
EOF

if [ -n "${LINKINATOR:-}" ]; then
    START=$(date +%s.%N)
    "$LINKINATOR" "http://127.0.0.1:$PORT/" --recurse --timeout $((TIMEOUT * 1000)) --format json \
        >"$OUT/linkinator.json" 2>/dev/null || true
    END=$(date +%s.%N)
    echo "| $SCENARIO | linkinator | wall $(echo "$END - $START" | bc) s |"
fi

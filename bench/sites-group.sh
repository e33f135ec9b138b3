#!/bin/sh
# Checks SITES synthetic sites in one kelvara-check --sites run and each on its own, and compares.
#   bench/sites-group.sh [SITES] [PAGES] [LINKS] [LATENCY_MS] [PARALLEL]
# Every site is checked alone with the share of PARALLEL that it gets in the group (PARALLEL / SITES),
# then all together with --sites-parallel SITES --parallel PARALLEL. Prints the slowest single check,
# the group's wall time and their ratio, and whether every site's dead links are those of its own check.
set -eu
cd "$(dirname "$0")/.."
SITES="${1:-20}"; PAGES="${2:-150}"; LINKS="${3:-15}"; LATENCY="${4:-40}"; PARALLEL="${5:-120}"
BUILD="${BUILD_DIR:-build}"
OUT="bench/out/sites"
BASE_PORT="${BASE_PORT:-18500}"
rm -rf "$OUT"
mkdir -p "$OUT"
[ -n "${SKIP_BUILD:-}" ] || cmake --build "$BUILD" --target kelvara-check kelvara-sitegen >/dev/null
CHECK="$BUILD/cli/kelvara-check"
SHARE=$((PARALLEL / SITES))
[ "$SHARE" -ge 1 ] || SHARE=1

PIDS=""
trap 'kill $PIDS 2>/dev/null || true' EXIT INT TERM
: >"$OUT/sites.txt"
for i in $(seq "$SITES"); do
    port=$((BASE_PORT + i))
    "$BUILD/bench/kelvara-sitegen" --pages "$PAGES" --links "$LINKS" --latency "$LATENCY" --seed "$i" --port "$port" \
        --truth "$OUT/truth-$i.txt" --max-seconds 900 >"$OUT/server-$i.log" 2>&1 &
    PIDS="$PIDS $!"
    echo "http://127.0.0.1:$port/" >>"$OUT/sites.txt"
done
for i in $(seq "$SITES"); do
    for _ in $(seq 50); do grep -q serving "$OUT/server-$i.log" 2>/dev/null && break; sleep 0.1; done
done

now() { date +%s.%N; }
dead_of() { grep -Eo '^    http[^ ]+' | sed 's/^ *//' | sort -u; }

slowest=0
i=0
while read -r site; do
    i=$((i + 1))
    start=$(now)
    "$CHECK" --no-history --depth 5 --parallel "$SHARE" "$site" 2>/dev/null | dead_of >"$OUT/single-$i.txt" || true
    took=$(echo "$(now) - $start" | bc)
    slowest=$(echo "if ($took > $slowest) $took else $slowest" | bc)
done <"$OUT/sites.txt"

start=$(now)
"$CHECK" --no-history --depth 5 --format json --sites "$OUT/sites.txt" --sites-parallel "$SITES" \
    --parallel "$PARALLEL" >"$OUT/group.jsonl" 2>"$OUT/group.err" || true
group=$(echo "$(now) - $start" | bc)

same=0
i=0
while read -r site; do
    i=$((i + 1))
    python3 -c '
import json, sys
for line in open(sys.argv[1]):
    doc = json.loads(line)
    if doc.get("settings", {}).get("site") == sys.argv[2]:
        print("\n".join(sorted({l["url"] for l in doc["links"] if l["class"] == "dead"})))
' "$OUT/group.jsonl" "$site" | sed '/^$/d' >"$OUT/group-$i.txt"
    # The single check's text lists dead links under their pages; the home page's own are not indented.
    if cmp -s "$OUT/group-$i.txt" "$OUT/single-$i.txt"; then same=$((same + 1)); else echo "site $i differs"; fi
done <"$OUT/sites.txt"

echo "sites: $SITES, pages each: $PAGES, latency: ${LATENCY} ms, parallel: $PARALLEL (each site $SHARE)"
echo "slowest single check: ${slowest} s; group: ${group} s; ratio: $(echo "scale=2; $group / $slowest" | bc)"
echo "sites whose dead links match their own check: $same of $SITES"

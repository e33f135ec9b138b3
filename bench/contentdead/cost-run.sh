#!/bin/sh
# Checks the site of cost.py at depths 1 and 5 and prints the requests each host saw: a page asked for
# more than once, and the addresses the site does not have (made-up ones and ten removed pages).
#   bench/contentdead/cost-run.sh [path/to/kelvara-check [more options]]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
check=${1:-$here/../../build/cli/kelvara-check}
[ $# -gt 0 ] && shift
port=${PORT:-18500}
for depth in 1 5; do
    work=$(mktemp -d)
    python3 "$here/cost.py" "$port" > "$work/site.log" 2>&1 &
    site=$!
    for _ in $(seq 50); do grep -q serving "$work/site.log" 2>/dev/null && break; sleep 0.1; done
    "$check" --format json --depth $depth --no-history "$@" "127.0.0.1:$port" > "$work/result.json" 2>/dev/null || true
    dead=$(python3 -c "import json,sys; print(sum(1 for l in json.load(open(sys.argv[1]))['links'] if l['statusText'].startswith('内容死链')))" "$work/result.json" 2>/dev/null || echo '?')
    echo "depth $depth: content dead $dead; $(python3 -c "import urllib.request; print(urllib.request.urlopen('http://127.0.0.1:$port/stats').read().decode())")"
    kill $site 2>/dev/null; wait $site 2>/dev/null || true
    rm -rf "$work"
done

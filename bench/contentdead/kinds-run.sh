#!/bin/sh
# Checks every site of kinds.py with kelvara-check at depths 1 and 2 and prints, per kind and in all,
# the good pages called dead and the missing pages in disguise found:
#   bench/contentdead/kinds-run.sh [path/to/kelvara-check [more options]]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
check=${1:-$here/../../build/cli/kelvara-check}
[ $# -gt 0 ] && shift
port=${PORT:-18400}
work=$(mktemp -d)
python3 "$here/kinds.py" "$port" "$work/truth.json" > "$work/site.log" 2>&1 &
site=$!
trap 'kill $site 2>/dev/null; rm -rf "$work"' EXIT
trap 'exit 1' INT TERM HUP PIPE
for _ in $(seq 50); do grep -q serving "$work/site.log" 2>/dev/null && break; sleep 0.1; done
count=$(python3 -c "import json,sys; print(len(json.load(open(sys.argv[1]))))" "$work/truth.json")
for depth in 1 2; do
    i=0
    while [ $i -lt "$count" ]; do
        "$check" --format json --depth $depth --no-history "$@" "127.0.0.1:$((port + i))" \
            > "$work/d$depth-$i.json" 2>/dev/null || true
        i=$((i + 1))
    done
done
python3 "$here/evaluate-kinds.py" "$work" "$port"

#!/bin/sh
# Serves each documentation folder found on this machine with ten pages removed, once answering missing
# addresses with a 200 "页面不存在" page and once with a redirect home, checks it at depth 5 and prints the
# good pages called dead and the missing ones found:
#   bench/contentdead/docs-run.sh [path/to/kelvara-check [more options]]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
check=$(realpath "${1:-$here/../../build/cli/kelvara-check}")
[ $# -gt 0 ] && shift
port=${PORT:-18700}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
for docs in /usr/share/doc/libxslt1-dev/html /usr/share/doc/nodejs/api /usr/share/doc/valgrind/html; do
    [ -f "$docs/index.html" ] || continue
    for mode in page home; do
        port=$((port + 1))
        python3 "$here/docs.py" serve "$docs" "$port" "$mode" > "site-$port.log" 2>&1 &
        site=$!
        for _ in $(seq 50); do grep -q serving "site-$port.log" 2>/dev/null && break; sleep 0.1; done
        "$check" --format json --depth 5 --no-history "$@" "127.0.0.1:$port" > "result-$port.json" 2>/dev/null || true
        printf '%s (%s): ' "$docs" "$mode"
        python3 "$here/docs.py" score "$docs" "$port" "result-$port.json" || true
        kill $site 2>/dev/null; wait $site 2>/dev/null || true
    done
done

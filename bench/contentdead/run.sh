#!/bin/sh
# Serves the site of missing pages in disguise (site.py) and checks it with kelvara-check:
#   bench/contentdead/run.sh [path/to/kelvara-check [more options]]
# Prints how many of the seven were found as content dead links, how many valid look-alikes were
# flagged, whether the real 404s stay dead, and the requests each host saw.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
check=${1:-$here/../../build/cli/kelvara-check}
[ $# -gt 0 ] && shift # the rest goes to kelvara-check
port=${PORT:-18300}
work=$(mktemp -d)
python3 "$here/site.py" "$port" "$work/truth.json" > "$work/site.log" 2>&1 &
site=$!
trap 'kill $site 2>/dev/null; rm -rf "$work"' EXIT
trap 'exit 1' INT TERM HUP PIPE
for _ in $(seq 50); do grep -q serving "$work/site.log" 2>/dev/null && break; sleep 0.1; done
"$check" --format json --depth 2 "$@" "127.0.0.1:$port" > "$work/result.json" 2> "$work/progress.log" || true
python3 "$here/evaluate.py" "$work/truth.json" "$work/result.json" && status=0 || status=1
echo "requests per port: $(python3 -c "import urllib.request; print(urllib.request.urlopen('http://127.0.0.1:$port/stats').read().decode())")"
exit $status

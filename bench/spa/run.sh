#!/bin/sh
# Checks the Vue Router site of tests/data/spa with ITEMS news pages (default 200, so that some 220 pages
# are drawn) and prints wall time, pages drawn a second, the peak memory of kelvara-check and its
# renderer together (proportional set sizes, sampled every 0.1 s) and the dead links found, which must
# be the site's four missing routes and its one real 404.
#   bench/spa/run.sh [ITEMS]     MODE=hash for hash routes, PORT=8078, KELVARA_CHECK=build/cli/kelvara-check
set -eu
HERE=$(cd "$(dirname "$0")" && pwd)
ITEMS=${1:-200}
PORT=${PORT:-8078}
MODE=${MODE:-history}
CHECK=${KELVARA_CHECK:-$HERE/../../build/cli/kelvara-check}
OUT=$(mktemp -d)
. "$HERE/../serve.sh"
start_server "$OUT/server.log" python3 "$HERE/site.py" --port "$PORT" --mode "$MODE" --items "$ITEMS"

start=$(date +%s.%N)
"$CHECK" --no-history --depth 5 --format json "127.0.0.1:$PORT" >"$OUT/result.json" 2>/dev/null &
CHECKER=$!
python3 - "$CHECKER" >"$OUT/peak" <<'PY'
import os, sys, time
root = int(sys.argv[1])
def tree():
    parent = {}
    for p in os.listdir('/proc'):
        if p.isdigit():
            try:
                with open('/proc/%s/stat' % p) as f:
                    parent[int(p)] = int(f.read().rsplit(')', 1)[1].split()[1])
            except OSError:
                pass
    found, todo = {root}, [root]
    while todo:
        p = todo.pop()
        for c, pp in parent.items():
            if pp == p and c not in found:
                found.add(c); todo.append(c)
    return found
def pss(pid):
    try:
        with open('/proc/%d/smaps_rollup' % pid) as f:
            for line in f:
                if line.startswith('Pss:'):
                    return int(line.split()[1]) * 1024
    except OSError:
        pass
    return 0
peak = 0
while os.path.exists('/proc/%d' % root):
    peak = max(peak, sum(pss(p) for p in tree()))
    time.sleep(0.1)
print(peak)
PY
wait "$CHECKER" || true
end=$(date +%s.%N)
python3 - "$OUT/result.json" "$start" "$end" "$(cat "$OUT/peak")" <<'PY'
import json, sys
doc = json.load(open(sys.argv[1]))
wall = float(sys.argv[3]) - float(sys.argv[2])
s = doc['summary']
dead = sorted(l['url'] for l in doc['links'] if l['class'] == 'dead')
print('links %d, rendered %d, dead %d, wall %.1f s, %.1f pages/s, peak memory %.0f MB'
      % (s['links'], s['rendered'], s['dead'], wall, s['rendered'] / wall, int(sys.argv[4]) / 2**20))
for url in dead:
    print('  dead', url)
PY
rm -rf "$OUT"

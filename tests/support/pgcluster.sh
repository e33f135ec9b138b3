#!/bin/sh
# A throwaway PostgreSQL cluster for the tests: `pgcluster.sh start STATE` makes one in a temporary
# folder (as an unprivileged user: PostgreSQL refuses to run as root), listening on a free loopback port
# with its socket in that folder, and writes its postgresql:// address to STATE.url;
# `pgcluster.sh stop STATE` stops it and removes the folder. The machine's own service is never used.
set -eu
command="$1"
state="$2"
bin="$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)"
as=""
if [ "$(id -u)" -eq 0 ]; then
    as="runuser -u nobody --"
fi

case "$command" in
start)
    [ -x "$bin/initdb" ] || { echo "PostgreSQL is not installed (Debian package postgresql)" >&2; exit 1; }
    dir="$(mktemp -d /tmp/kelvara-pg.XXXXXX)"
    echo "$dir" > "$state.dir"
    [ -z "$as" ] || chown nobody "$dir"
    $as "$bin/initdb" -D "$dir/data" -U kelvara --auth=trust -E UTF8 --no-sync >"$dir/initdb.log" 2>&1 ||
        { cat "$dir/initdb.log" >&2; exit 1; }
    tries=0
    while [ $tries -lt 10 ]; do
        tries=$((tries + 1))
        port=$((20000 + $(od -An -N2 -tu2 /dev/urandom) % 40000))
        if $as "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 30 \
            -o "-c listen_addresses=127.0.0.1 -p $port -k $dir -c fsync=off -c max_connections=60" start >/dev/null; then
            echo "postgresql://kelvara@127.0.0.1:$port/postgres" > "$state.url"
            exit 0
        fi
    done
    cat "$dir/server.log" >&2
    exit 1
    ;;
stop)
    [ -f "$state.dir" ] || exit 0
    dir="$(cat "$state.dir")"
    $as "$bin/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
    rm -rf "$dir" "$state.dir" "$state.url"
    ;;
esac

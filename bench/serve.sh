# Sourced by the bench scripts: start_server LOG COMMAND... runs a local site server in the background,
# stops it when the script ends and waits until it says it is serving.
start_server() {
    log="$1"; shift
    "$@" >"$log" 2>&1 &
    SERVER=$!
    trap 'kill $SERVER 2>/dev/null || true' EXIT INT TERM
    for _ in $(seq 50); do
        grep -q serving "$log" 2>/dev/null && break
        sleep 0.1
    done
}

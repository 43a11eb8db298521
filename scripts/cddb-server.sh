# The loopback CDDB server the lookup tests talk to; sourced by scripts/test.sh.
#
# start_cddb_server DIR: starts it on 127.0.0.1 with a free port, its answers and logs in DIR,
# and exports TUNECREST_CDDB_PROXY (127.0.0.1:<port>, the proxy the tests set) and
# TUNECREST_CDDB_DIR (DIR). stop_cddb_server: stops it.

CDDB_SERVER_PID=

start_cddb_server() {
    local dir
    # Absolute: the tests run in folders of their own.
    dir=$(mkdir -p "$1" && cd "$1" && pwd)
    rm -f "$dir/port"
    python3 "$(dirname "${BASH_SOURCE[0]}")/../tests/fixtures/cddb_server.py" "$dir" \
        2>"$dir/server.log" &
    CDDB_SERVER_PID=$!
    local tries=0
    until [ -s "$dir/port" ]; do
        if ! kill -0 "$CDDB_SERVER_PID" 2>/dev/null || [ $((tries += 1)) -gt 100 ]; then
            echo "The loopback CDDB server did not start; see $dir/server.log" >&2
            stop_cddb_server
            return 1
        fi
        sleep 0.1
    done
    export TUNECREST_CDDB_PROXY="127.0.0.1:$(cat "$dir/port")"
    export TUNECREST_CDDB_DIR="$dir"
}

stop_cddb_server() {
    if [ -n "$CDDB_SERVER_PID" ]; then
        kill "$CDDB_SERVER_PID" 2>/dev/null || true
        wait "$CDDB_SERVER_PID" 2>/dev/null || true
        CDDB_SERVER_PID=
    fi
}

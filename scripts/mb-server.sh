# The loopback MusicBrainz and Cover Art Archive stand-in the lookup tests talk to; sourced by
# scripts/test.sh.
#
# start_mb_server DIR: starts it on 127.0.0.1 with a free port, its answers and logs in DIR,
# and exports TUNECREST_MB_SERVER (http://127.0.0.1:<port>, for the MusicBrainz server and
# coverserver settings) and TUNECREST_MB_DIR (DIR). stop_mb_server: stops it.

MB_SERVER_PID=

start_mb_server() {
    local dir=$1
    mkdir -p "$dir"
    rm -f "$dir/port"
    python3 "$(dirname "${BASH_SOURCE[0]}")/../tests/fixtures/mb_server.py" "$dir" \
        2>"$dir/server.log" &
    MB_SERVER_PID=$!
    local tries=0
    until [ -s "$dir/port" ]; do
        if ! kill -0 "$MB_SERVER_PID" 2>/dev/null || [ $((tries += 1)) -gt 100 ]; then
            echo "The loopback MusicBrainz server did not start; see $dir/server.log" >&2
            stop_mb_server
            return 1
        fi
        sleep 0.1
    done
    export TUNECREST_MB_SERVER="http://127.0.0.1:$(cat "$dir/port")"
    export TUNECREST_MB_DIR="$dir"
}

stop_mb_server() {
    if [ -n "$MB_SERVER_PID" ]; then
        kill "$MB_SERVER_PID" 2>/dev/null || true
        wait "$MB_SERVER_PID" 2>/dev/null || true
        MB_SERVER_PID=
    fi
}

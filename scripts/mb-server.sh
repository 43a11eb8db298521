# The loopback MusicBrainz and Cover Art Archive stand-in the lookup tests talk to; sourced by
# scripts/test.sh.
#
# start_mb_server DIR: starts it on 127.0.0.1 with a free port, its answers and logs in DIR,
# and exports TUNECREST_MB_SERVER (http://127.0.0.1:<port>, for the MusicBrainz server and
# coverserver settings) and TUNECREST_MB_DIR (DIR). stop_mb_server: stops it.

source "$(dirname "${BASH_SOURCE[0]}")/loopback-server.sh"
MB_SERVER_PID=

start_mb_server() {
    start_loopback_server MusicBrainz \
        "$(dirname "${BASH_SOURCE[0]}")/../tests/fixtures/mb_server.py" "$1" || return 1
    MB_SERVER_PID=$LOOPBACK_PID
    export TUNECREST_MB_SERVER="http://127.0.0.1:$(cat "$LOOPBACK_DIR/port")"
    export TUNECREST_MB_DIR="$LOOPBACK_DIR"
}

stop_mb_server() {
    stop_loopback_server "$MB_SERVER_PID"
    MB_SERVER_PID=
}

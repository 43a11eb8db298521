# The loopback CDDB server the lookup tests talk to; sourced by scripts/test.sh.
#
# start_cddb_server DIR: starts it on 127.0.0.1 with a free port, its answers and logs in DIR,
# and exports TUNECREST_CDDB_PROXY (127.0.0.1:<port>, the proxy the tests set) and
# TUNECREST_CDDB_DIR (DIR). stop_cddb_server: stops it.

source "$(dirname "${BASH_SOURCE[0]}")/loopback-server.sh"
CDDB_SERVER_PID=

start_cddb_server() {
    start_loopback_server CDDB \
        "$(dirname "${BASH_SOURCE[0]}")/../tests/fixtures/cddb_server.py" "$1" || return 1
    CDDB_SERVER_PID=$LOOPBACK_PID
    export TUNECREST_CDDB_PROXY="127.0.0.1:$(cat "$LOOPBACK_DIR/port")"
    export TUNECREST_CDDB_DIR="$LOOPBACK_DIR"
}

stop_cddb_server() {
    stop_loopback_server "$CDDB_SERVER_PID"
    CDDB_SERVER_PID=
}

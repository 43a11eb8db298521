# The loopback AccurateRip database stand-in the verification tests talk to; sourced by
# scripts/test.sh.
#
# start_ar_server DIR: starts it on 127.0.0.1 with a free port, its files and logs in DIR, and
# exports TUNECREST_AR_SERVER (http://127.0.0.1:<port>, for the AccurateRip server setting) and
# TUNECREST_AR_DIR (DIR). stop_ar_server: stops it.

source "$(dirname "${BASH_SOURCE[0]}")/loopback-server.sh"
AR_SERVER_PID=

start_ar_server() {
    start_loopback_server AccurateRip \
        "$(dirname "${BASH_SOURCE[0]}")/../tests/fixtures/ar_server.py" "$1" || return 1
    AR_SERVER_PID=$LOOPBACK_PID
    export TUNECREST_AR_SERVER="http://127.0.0.1:$(cat "$LOOPBACK_DIR/port")"
    export TUNECREST_AR_DIR="$LOOPBACK_DIR"
}

stop_ar_server() {
    stop_loopback_server "$AR_SERVER_PID"
    AR_SERVER_PID=
}

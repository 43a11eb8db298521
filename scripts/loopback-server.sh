# Starts and stops the tests' loopback stand-ins (tests/fixtures/*_server.py); sourced by the
# scripts of each server.
#
# start_loopback_server NAME SCRIPT DIR: runs SCRIPT with the folder DIR, where it keeps its
# answers and writes the port it bound on 127.0.0.1; waits for that port and prints it. The
# process id goes into LOOPBACK_PID, the folder (made absolute, as the tests run in folders of
# their own) into LOOPBACK_DIR.
# stop_loopback_server PID: stops the server of that process id, when there is one.

start_loopback_server() {
    local name=$1 script=$2
    LOOPBACK_DIR=$(mkdir -p "$3" && cd "$3" && pwd)
    rm -f "$LOOPBACK_DIR/port"
    python3 "$script" "$LOOPBACK_DIR" 2>"$LOOPBACK_DIR/server.log" &
    LOOPBACK_PID=$!
    local tries=0
    until [ -s "$LOOPBACK_DIR/port" ]; do
        if ! kill -0 "$LOOPBACK_PID" 2>/dev/null || [ $((tries += 1)) -gt 100 ]; then
            echo "The loopback $name server did not start; see $LOOPBACK_DIR/server.log" >&2
            stop_loopback_server "$LOOPBACK_PID"
            return 1
        fi
        sleep 0.1
    done
}

stop_loopback_server() {
    if [ -n "$1" ]; then
        kill "$1" 2>/dev/null || true
        wait "$1" 2>/dev/null || true
    fi
}

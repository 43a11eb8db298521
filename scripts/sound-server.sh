# Sourced by the test command: a private PulseAudio server for the playback tests.
#
#   start_sound_server DIR   starts it with its runtime folder DIR and exports PULSE_SERVER
#   stop_sound_server        stops it again (safe to call when none runs)
#
# The null sink is pinned to s16le, 44100 Hz, 2 channels, so a recording of its monitor can be
# compared sample for sample with what was played.

TUNECREST_SINK=tunecrest_null
SOUND_SERVER_PID=

start_sound_server() {
    local dir
    dir=$(mkdir -p "$1" && cd "$1" && pwd)
    rm -rf "$dir/runtime" "$dir/state"
    mkdir -p "$dir/runtime" "$dir/state"
    chmod 700 "$dir/runtime"
    local socket="$dir/runtime/native"
    cat > "$dir/server.pa" <<PA
load-module module-null-sink sink_name=$TUNECREST_SINK format=s16le rate=44100 channels=2
load-module module-native-protocol-unix socket=$socket auth-anonymous=1
set-default-sink $TUNECREST_SINK
set-sink-volume $TUNECREST_SINK 0x10000
PA
    # As root too: a per-user server (--system=no) whose runtime and state folders lie in the
    # build tree. Without the default modules (-n) nothing restores a stream's volume, so
    # streams play at 100 % into a sink at 100 %.
    PULSE_RUNTIME_PATH="$dir/runtime" PULSE_STATE_PATH="$dir/state" XDG_RUNTIME_DIR="$dir/runtime" \
        HOME="$dir/state" \
        pulseaudio --daemonize=no --system=no -n --exit-idle-time=-1 --disallow-exit \
        --disable-shm=yes --log-target=file:"$dir/server.log" -F "$dir/server.pa" &
    SOUND_SERVER_PID=$!
    export PULSE_SERVER="unix:$socket"
    export TUNECREST_TEST_SINK=$TUNECREST_SINK
    local tries
    for tries in $(seq 1 100); do
        if pactl info > /dev/null 2>&1; then
            return 0
        fi
        if ! kill -0 "$SOUND_SERVER_PID" 2> /dev/null; then
            break
        fi
        sleep 0.1
    done
    echo "The test sound server did not start; see $dir/server.log" >&2
    stop_sound_server
    return 1
}

stop_sound_server() {
    if [ -n "$SOUND_SERVER_PID" ]; then
        kill "$SOUND_SERVER_PID" 2> /dev/null || true
        wait "$SOUND_SERVER_PID" 2> /dev/null || true
        SOUND_SERVER_PID=
    fi
}

#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: on one build with the address and
# undefined-behaviour sanitizers (in build-sanitize), or on a plain build (in build) with
# SANITIZE=0.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
if [ "${SANITIZE:-1}" != 0 ]; then
    BUILD=${BUILD_DIR:-build-sanitize}
    SANITIZE_OPTION=ON
else
    BUILD=${BUILD_DIR:-build}
    SANITIZE_OPTION=OFF
fi
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTUNECREST_SANITIZE="$SANITIZE_OPTION"
cmake --build "$BUILD"

# The tests need a private sound server for playback, loopback CDDB and MusicBrainz servers for
# the lookups and an AccurateRip stand-in for the verification; all are stopped however the
# tests end.
source scripts/sound-server.sh
source scripts/cddb-server.sh
source scripts/mb-server.sh
source scripts/ar-server.sh
stop_services() {
    stop_ar_server
    stop_mb_server
    stop_cddb_server
    stop_sound_server
}
trap stop_services EXIT
start_sound_server "$BUILD/test-sound-server"
start_cddb_server "$BUILD/cddb-server"
start_mb_server "$BUILD/mb-server"
start_ar_server "$BUILD/ar-server"

ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir "$BUILD" --output-on-failure -j "$(nproc)" "$@"

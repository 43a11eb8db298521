#!/usr/bin/env bash
# Builds the ripper and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
BUILD=${BUILD_DIR:-build}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$BUILD" --target tunecrest tunecrest-rip sample_disc

# Without a CD drive the bundled sample disc stands in, as an image drive.
export TUNECREST_IMAGE_DRIVES="${TUNECREST_IMAGE_DRIVES:-$PWD/$BUILD/sample/TunecrestSampler.cue}"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec "$BUILD/src/tunecrest"
fi
# No display: rip the sample disc from the terminal into ./ripped.
exec "$BUILD/src/tunecrest-rip" --drive "$BUILD/sample/TunecrestSampler.cue" --output "$PWD/ripped" "$@"

#!/usr/bin/env bash
# Installs what is missing, builds, starts the services the tests need, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
BUILD=${BUILD_DIR:-build}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$BUILD"

source scripts/services.sh
start_services
trap stop_services EXIT

ctest --test-dir "$BUILD" --output-on-failure -j "$(nproc)" "$@"

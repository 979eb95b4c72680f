#!/usr/bin/env bash
# Runs bench-mqtt inside a private network namespace.
#   bench/mqtt/run.sh [BUILD_DIR] [bench-mqtt options: --seconds S --rounds N --outage-seconds T]
# BUILD_DIR defaults to $BUILD_DIR, else build/ at the top of the repository;
# it is configured there when it is not yet. --outage-seconds 600 gives the
# ten-minute outage (the default is 120 s).
set -euo pipefail
top="$(cd "$(dirname "$0")/../.." && pwd)"
cd "$top"
builddir="${BUILD_DIR:-build}"
if [ $# -gt 0 ] && [ "${1#--}" = "$1" ]; then builddir="$1"; shift; fi
if [ ! -f "$builddir/CMakeCache.txt" ]; then
  cmake -S . -B "$builddir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$builddir" -j2 --target bench-mqtt pressure-logger ethercat-sensor-sim >/dev/null
builddir="$(cd "$builddir" && pwd)"
exec scripts/netns-run -- "$builddir/bench/mqtt/bench-mqtt" "$@"

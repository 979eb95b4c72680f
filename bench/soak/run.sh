#!/usr/bin/env bash
# Builds and runs the soak benchmark inside a private network namespace.
#   bench/soak/run.sh [BUILD_DIR] [bench-soak options, e.g. --cycles 100 --ticks 10000]
# BUILD_DIR defaults to $BUILD_DIR, else build/ at the top of the repository;
# it is configured there when it is not yet.
set -euo pipefail
top="$(cd "$(dirname "$0")/../.." && pwd)"
cd "$top"
builddir="${BUILD_DIR:-build}"
if [ $# -gt 0 ] && [ "${1#--}" = "$1" ]; then builddir="$1"; shift; fi
if [ ! -f "$builddir/CMakeCache.txt" ]; then
  cmake -S . -B "$builddir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$builddir" -j2 --target bench-soak ethercat-sensor-sim >/dev/null
builddir="$(cd "$builddir" && pwd)"
exec scripts/netns-run -- "$builddir/bench/soak/bench-soak" "$@"

#!/usr/bin/env bash
# Runs the simulator benchmark inside a private network namespace.
#   bench/sim/run.sh [BUILD_DIR] [--frames N]
# BUILD_DIR defaults to build/ at the top of the repository; build the targets
# bench-sim, bare-reflector and ethercat-sensor-sim there first.
set -euo pipefail
top="$(cd "$(dirname "$0")/../.." && pwd)"
build="$top/build"
if [ $# -gt 0 ] && [ "${1#--}" = "$1" ]; then build="$1"; shift; fi
exe="$build/bench/sim/bench-sim"
if [ ! -x "$exe" ]; then
  echo "run.sh: $exe not found; build it: cmake --build $build --target bench-sim" >&2
  exit 2
fi
exec "$top/scripts/netns-run" -- "$exe" "$@"

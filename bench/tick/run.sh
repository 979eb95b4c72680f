#!/usr/bin/env bash
# Figures of the acquisition tick, each inside a private network namespace:
#   1. bench-tick: bus cost of one connected tick (ecat_check + ecat_read)
#      against a bare frame round trip over the same veth pair;
#   2. cpu_share.sh: CPU share of the running pressure-monitor under Xvfb,
#      not connected and connected.
# Usage: bench/tick/run.sh [BUILD_DIR] [--ticks N] [--seconds S]
# BUILD_DIR defaults to build/ at the top of the repository; build the targets
# bench-tick, pressure-monitor, ethercat-sensor-sim and bare-reflector there
# first (a build without sanitizers gives the meaningful figures).
set -euo pipefail
top="$(cd "$(dirname "$0")/../.." && pwd)"
build="$top/build"
if [ $# -gt 0 ] && [ "${1#--}" = "$1" ]; then build="$(cd "$1" && pwd)"; shift; fi
ticks=20000
seconds=20
while [ $# -gt 0 ]; do
  case "$1" in
    --ticks) ticks="$2"; shift 2 ;;
    --seconds) seconds="$2"; shift 2 ;;
    *) echo "usage: $0 [BUILD_DIR] [--ticks N] [--seconds S]" >&2; exit 2 ;;
  esac
done
for exe in bench/tick/bench-tick app/pressure-monitor sim/program/ethercat-sensor-sim; do
  if [ ! -x "$build/$exe" ]; then
    echo "run.sh: $build/$exe not found; build it first (cmake --build $build --target $(basename "$exe"))" >&2
    exit 2
  fi
done

"$top/scripts/netns-run" -- "$build/bench/tick/bench-tick" --ticks "$ticks"
echo
"$top/scripts/netns-run" -- xvfb-run -a "$top/bench/tick/cpu_share.sh" "$build" "$seconds"

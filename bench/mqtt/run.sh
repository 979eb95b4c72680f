#!/usr/bin/env bash
# Runs bench-mqtt inside a private network namespace (scripts/bench-all
# passes its build folder):
#   bench/mqtt/run.sh BUILD_DIR [SECONDS [ROUNDS [OUTAGE_SECONDS]]]
# OUTAGE_SECONDS 600 gives the ten-minute outage (the default is 120 s).
set -euo pipefail
top="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(cd "${1:?usage: $0 BUILD_DIR [SECONDS [ROUNDS [OUTAGE_SECONDS]]]}" && pwd)"
shift
cmake --build "$build" -j2 --target bench-mqtt pressure-logger ethercat-sensor-sim >/dev/null
exec "$top/scripts/netns-run" -- "$build/bench/mqtt/bench-mqtt" "$@"

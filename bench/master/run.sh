#!/usr/bin/env bash
# Builds and runs the master's benchmark inside a private network namespace.
#   bench/master/run.sh [BUILD_DIR] [ITERATIONS]
set -euo pipefail
cd "$(dirname "$0")/../.."
build="${1:-build}"
iterations="${2:-20000}"
cmake --build "$build" --target bench_master ethercat-sensor-sim -j2 >/dev/null
exec scripts/netns-run -- "$build/bench/master/bench_master" --iterations "$iterations"

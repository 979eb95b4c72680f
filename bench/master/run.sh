#!/usr/bin/env bash
# Builds and runs the master's benchmark inside a private network namespace.
#   bench/master/run.sh [BUILD_DIR] [ITERATIONS]
set -euo pipefail
cd "$(dirname "$0")/../.."
build="${1:-build}"
iterations="${2:-20000}"
cmake --build "$build" --target bench_master bench-master-reflector ethercat-sensor-sim -j2 >/dev/null
cmake --build "$build" --target bare-reflector -j2 >/dev/null 2>&1 || true
reflector="$build/bench/master/bench-master-reflector"
# The simulator's own bare reflector is the shared baseline when it is built.
for candidate in "$build/bench/sim/bare-reflector"; do
  if [ -x "$candidate" ]; then reflector="$candidate"; break; fi
done
sim="$(find "$build/sim/program" -maxdepth 1 -name ethercat-sensor-sim -type f -perm -u+x | head -n1)"
exec scripts/netns-run -- "$build/bench/master/bench_master" --sim "$(realpath "$sim")" \
  --reflector "$(realpath "$reflector")" --iterations "$iterations"

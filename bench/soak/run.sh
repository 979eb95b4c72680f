#!/usr/bin/env bash
# Builds and runs the soak benchmark inside a private network namespace.
#   bench/soak/run.sh [bench-soak options, e.g. --cycles 100 --ticks 10000]
# BUILD_DIR (default build) is the build folder to use.
set -euo pipefail
cd "$(dirname "$0")/../.."
builddir="${BUILD_DIR:-build}"
if [ ! -f "$builddir/CMakeCache.txt" ]; then
  cmake -S . -B "$builddir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$builddir" -j2 --target bench-soak ethercat-sensor-sim >/dev/null
exe=$(find "$builddir" -type f -name bench-soak -perm -u+x | head -n 1)
sim=$(find "$builddir" -type f -name ethercat-sensor-sim -perm -u+x | head -n 1)
exec scripts/netns-run -- "$PWD/$exe" --sim "$PWD/$sim" "$@"

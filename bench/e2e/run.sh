#!/usr/bin/env bash
# Runs the end-to-end fault scenarios (each in its own private network
# namespace) and prints the figures they measure as BENCH lines, the median
# over the runs where a scenario is repeated:
#   - first invalid reading from the sensor to "Reconnected" on the window
#   - end of a 3 s silence to the first valid record
#   - records lost beyond the readings each fault made unavailable (goal 0)
#   - disk full: space back to the next record
#
# Usage: bench/e2e/run.sh [BUILD_DIR] [REPEATS]
# The build directory must have been configured already (default: build).
set -euo pipefail
cd "$(dirname "$0")/../.."
builddir=${1:-build}
repeats=${2:-3}

cmake --build "$builddir" -j2 --target tst_e2e_faults tst_e2e_diskfull ethercat-sensor-sim >/dev/null
faults="$builddir/tests/e2e/tst_e2e_faults"
diskfull="$builddir/tests/e2e/tst_e2e_diskfull"
export QT_QPA_PLATFORM=offscreen

out=$(mktemp)
trap 'rm -f "$out" "$out.one"' EXIT
run() {
  # A failing scenario is shown whole; the others by their display-tick summary.
  if ! scripts/netns-run "$@" >"$out.one" 2>&1; then
    echo "scenario failed: $*" >&2
    cat "$out.one" >&2
  fi
  grep 'display ticks' "$out.one" >&2 || true
  grep '^BENCH	' "$out.one" >>"$out" || true
}

for ((i = 1; i <= repeats; i++)); do
  run "$faults" invalidReadings
  run "$faults" silence
done
run "$faults" dropsForAMinute
run "$faults" corruptAndTruncatedForAMinute
run "$diskfull"

# One line per figure: the median of its values (the lower middle one for an
# even count), with the unit, baseline and goal of its first line.
awk -F'\t' '
  { if (!($3 in n)) { order[++k] = $3; first[$3] = $0 } v[$3, ++n[$3]] = $4 }
  END {
    for (i = 1; i <= k; i++) {
      f = order[i]; m = n[f]
      for (a = 1; a <= m; a++) for (b = a + 1; b <= m; b++) if (v[f, b] + 0 < v[f, a] + 0) { t = v[f, a]; v[f, a] = v[f, b]; v[f, b] = t }
      split(first[f], c, "\t")
      printf "BENCH\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n", c[2], f, v[f, int((m + 1) / 2)], c[5], c[6], c[7], c[8]
    }
  }' "$out"

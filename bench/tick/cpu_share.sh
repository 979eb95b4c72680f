#!/usr/bin/env bash
# CPU share of the running pressure-monitor, not connected and connected to
# the simulated sensor. Runs inside scripts/netns-run and under xvfb-run
# (run.sh does both): the program is driven as an operator would, with
# keyboard input through xdotool (Tab to Connect, Space to press it).
# Usage: cpu_share.sh BUILD_DIR [SECONDS]
set -euo pipefail
build="$1"
seconds="${2:-20}"
: "${ECAT_MASTER_IF:?run inside scripts/netns-run}" "${ECAT_SIM_IF:?run inside scripts/netns-run}"
: "${DISPLAY:?run under xvfb-run}"
command -v xdotool >/dev/null || { echo "cpu_share: xdotool is missing (scripts/install-deps)" >&2; exit 2; }

work="$(mktemp -d /tmp/cpu-share.XXXXXX)"
control="$work/sim.sock"
"$build/sim/program/ethercat-sensor-sim" --iface "$ECAT_SIM_IF" --no-stdin --control "$control" \
  --pressure 1013.25 >"$work/sim.out" &
for _ in $(seq 100); do grep -q '^ready$' "$work/sim.out" 2>/dev/null && break; sleep 0.1; done
grep -q '^ready$' "$work/sim.out" || { echo "cpu_share: the simulator did not start" >&2; exit 1; }

sim_frames() {  # frames the simulator has answered so far
  python3 - "$control" <<'PY'
import socket, sys, re
s = socket.socket(socket.AF_UNIX); s.connect(sys.argv[1]); s.sendall(b"stats\n")
data = b""
while not data.endswith(b"\n"):
    chunk = s.recv(4096)
    if not chunk: break
    data += chunk
m = re.search(rb"answered[= ](\d+)", data)
print(m.group(1).decode() if m else "?")
PY
}

cd "$work"
"$build/app/pressure-monitor" 2>"$work/app.err" &
app=$!
wid="$(xdotool search --sync --onlyvisible --name '^MainWindow$' | head -n1)"
sleep 2  # let start-up settle before measuring

hz="$(getconf CLK_TCK)"
cpu_ticks() { awk '{print $14 + $15}' "/proc/$app/stat"; }
measure() {  # prints a BENCH line: the CPU share of one core over $seconds, in percent
  local what=$1 goal=$2 t0 t1 w0 w1
  t0="$(cpu_ticks)"; w0="$(date +%s.%N)"
  sleep "$seconds"
  t1="$(cpu_ticks)"; w1="$(date +%s.%N)"
  awk -v a="$t0" -v b="$t1" -v hz="$hz" -v s="$w0" -v e="$w1" -v what="$what" -v goal="$goal" \
    'BEGIN { printf "BENCH\ttick\tCPU share of one core, %s\t%.2f\t%%\t-\t-\t%s\n", what, 100 * (b - a) / hz / (e - s), goal }'
}
echo "cpu_share: pressure-monitor (pid $app) under Xvfb; utime+stime from /proc/$app/stat over ${seconds} s each"
measure "not connected" "< 0.5%"

xdotool windowfocus --sync "$wid"
xdotool key --window "$wid" Tab space
before="$(sim_frames)"
sleep 3  # the connect brings the bus up (OP within about a second)
after="$(sim_frames)"
echo "connect: the simulator had answered $before frames just after Connect was pressed, $after three seconds later"
measure "connected" "< 3%"
echo "connected: the simulator has answered $(sim_frames) frames in all"

xdotool key --window "$wid" Tab Tab Tab Tab space 2>/dev/null || true  # Exit (may be ignored)
kill "$app" 2>/dev/null || true
wait "$app" 2>/dev/null || true

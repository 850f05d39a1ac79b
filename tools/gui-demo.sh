#!/usr/bin/env bash
# The desktop application against the instrument simulator on this machine: writes a
# sample update file, starts the simulator on 127.0.0.1 and opens zorflash. In the
# window: Browse... to the sample file, Settings: IP address 127.0.0.1 and the port
# printed below (8023 unless it was taken), OK, then Start.
set -euo pipefail
BUILD_DIR=${1:-build}
SIM="$BUILD_DIR/sim/zorflash-sim"
APP="$BUILD_DIR/app/zorflash"
PORT=${GUI_DEMO_PORT:-8023}
work="$BUILD_DIR/gui-demo"
mkdir -p "$work"
rm -f "$work/port"
sim_pid=""
cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "gui-demo: no display; run it on a desktop (or under xvfb-run to try it blind)." >&2
    exit 1
fi

"$SIM" make-sample --model RT71 --kind MAIN --records 2000 "$work/sample1.R71" >/dev/null

start_sim() {
    "$SIM" serve --tcp "127.0.0.1:$1" --port-file "$work/port" --out "$work/images" >"$work/sim.log" 2>&1 &
    sim_pid=$!
    for _ in $(seq 100); do [ -s "$work/port" ] && return 0; kill -0 "$sim_pid" 2>/dev/null || return 1; sleep 0.05; done
    return 1
}
# The port the settings dialog already shows; any free one if another program holds it.
if ! start_sim "$PORT"; then
    kill "$sim_pid" 2>/dev/null || true
    start_sim 0 || { echo "the simulator did not start:"; cat "$work/sim.log"; exit 1; }
fi
port=$(cat "$work/port")

cat <<TEXT
== The simulator listens on 127.0.0.1, port $port (its log: $work/sim.log)
== Sample update file: $work/sample1.R71
   In Zorflash: Browse... to the sample file; Settings: IP address 127.0.0.1,
   port $port, OK; then Start. Never leave the default 192.168.0.1 in place.
TEXT
"$APP" "${@:2}" || true
echo "== What the simulator received:"
grep '^update ' "$work/sim.log" || echo "(no update)"

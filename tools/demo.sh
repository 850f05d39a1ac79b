#!/usr/bin/env bash
# The main job, end to end on this machine: start the instrument simulator on 127.0.0.1,
# write a sample update file (a SUB ROM over two volumes), flash it with zorflash-cli,
# show the simulator's verdict and check the image it received, stop the simulator; then
# the same file to four simulated instruments in one command.
set -euo pipefail
BUILD_DIR=${1:-build}
SIM="$BUILD_DIR/sim/zorflash-sim"
CLI="$BUILD_DIR/cli/zorflash-cli"
work=$(mktemp -d)
sim_pid=""
cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

echo "== Writing a sample update file: RT71 SUB ROM, 2 x 3000 records over two volumes"
"$SIM" make-sample --model RT71 --kind SUB --records 3000 --volumes 2 --split-at 4500 "$work/demo1.R71"

echo "== Starting the instrument simulator on 127.0.0.1"
"$SIM" serve --tcp 127.0.0.1:0 --port-file "$work/port" --max-updates 1 --out "$work/images" >"$work/sim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.05; done
[ -s "$work/port" ] || { echo "the simulator did not start:"; cat "$work/sim.log"; exit 1; }
port=$(cat "$work/port")

echo "== zorflash-cli inspect"
"$CLI" inspect --model RT71 "$work/demo1.R71"

echo "== zorflash-cli flash --tcp 127.0.0.1:$port"
status=0
"$CLI" flash --model RT71 --file "$work/demo1.R71" --tcp "127.0.0.1:$port" || status=$?

for _ in $(seq 100); do kill -0 "$sim_pid" 2>/dev/null || break; sleep 0.05; done
echo "== The simulator's verdict"
grep '^update ' "$work/sim.log" || cat "$work/sim.log"
"$SIM" verify "$work"/images/update-0001.img "$work/demo1.R71"
sim_pid=""
[ "$status" -eq 0 ] || exit "$status"

echo
echo "== A fleet: four simulated instruments on 127.0.0.1-127.0.0.4, the third refusing the header"
"$SIM" serve --tcp 127.0.0.1-127.0.0.4:0 --port-file "$work/fleet-port" --max-updates 4 --fault 2:header:wrong \
    >"$work/fleet.log" 2>&1 &
sim_pid=$!
for _ in $(seq 100); do [ -s "$work/fleet-port" ] && break; sleep 0.05; done
[ -s "$work/fleet-port" ] || { echo "the simulator did not start:"; cat "$work/fleet.log"; exit 1; }
port=$(cat "$work/fleet-port")
echo "== zorflash-cli flash --tcp 127.0.0.1:$port ... --tcp 127.0.0.4:$port (one command)"
fleet=0
"$CLI" flash --model RT71 --file "$work/demo1.R71" --tcp "127.0.0.1:$port" --tcp "127.0.0.2:$port" \
    --tcp "127.0.0.3:$port" --tcp "127.0.0.4:$port" || fleet=$?
for _ in $(seq 100); do kill -0 "$sim_pid" 2>/dev/null || break; sleep 0.05; done
sim_pid=""
echo "== The simulator's verdicts"
grep '^update ' "$work/fleet.log" || cat "$work/fleet.log"
# Three completed and one refused: the command must say so with exit code 1.
[ "$fleet" -eq 1 ] || { echo "expected exit code 1 from the fleet, got $fleet"; exit 1; }
echo "== exit code 1, as one instrument failed"

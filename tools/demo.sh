#!/usr/bin/env bash
# The main job: start the instrument simulator on 127.0.0.1, write a sample update file,
# flash it with zorflash-cli, show the simulator's verdict, stop the simulator.
set -euo pipefail
BUILD_DIR=${1:-build}
echo "demo: the simulator and the flash command are being built; nothing to run yet."

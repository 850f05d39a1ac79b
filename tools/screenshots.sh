#!/bin/sh
# The pictures of docs/screenshots, taken under Xvfb in both languages. The update picture
# is a real update of a SUB sample file to the simulator on 127.0.0.1, its acknowledgements
# slowed so that the window is caught in the middle of the first section.
set -eu
BUILD=${1:-build}
OUT=docs/screenshots
WORK=$(mktemp -d)
trap 'kill "$SIM" 2>/dev/null || true; rm -rf "$WORK"' EXIT
"$BUILD/sim/zorflash-sim" make-sample --model RT71 --kind SUB --records 3000 "$WORK/sample1.R71" >/dev/null
"$BUILD/sim/zorflash-sim" serve --tcp 127.0.0.1:0 --port-file "$WORK/port" --ack-delay-ms 20 >/dev/null &
SIM=$!
for i in $(seq 50); do [ -s "$WORK/port" ] && break; sleep 0.1; done
PORT=$(cat "$WORK/port")
for lang in en ja; do
    xvfb-run -a "$BUILD/app/zorflash" --lang $lang --screenshot-main "$OUT/main-$lang.png" \
        --screenshot-settings "$OUT/settings-$lang.png" --screenshot-about "$OUT/about-$lang.png"
    xvfb-run -a "$BUILD/app/zorflash" --lang $lang --screenshot-update "$OUT/update-$lang.png" \
        --update-file "$WORK/sample1.R71" --update-port "$PORT"
done

#!/usr/bin/env bash
# Builds the player and vistel-pack, makes the bundled demo show and plays it:
# on the X display when $DISPLAY is set (full screen; a key or a mouse move
# ends it), else headless on the virtual clock, where one PNG frame of the
# screen every half second and the trace go to demo-frames/ (DEMO_FRAMES
# overrides the folder). DEMO_HEADLESS=1 plays headless on a display too.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
cmake --preset release >/dev/null
cmake --build --preset release -j "$jobs" --target vistel-player vistel-pack
apps=build/release/apps
frames=${DEMO_FRAMES:-demo-frames}
"$apps/pack/vistel-pack" demo -o build/release/demo.scr --player "$apps/player/vistel-player"

if [ -n "${DISPLAY:-}" ] && [ "${DEMO_HEADLESS:-0}" != 1 ]; then
  echo "playing the demo show on $DISPLAY: press a key or move the mouse to end it"
  exec "$apps/player/vistel-player" --package build/release/demo.scr /s
fi

rm -rf "$frames"
mkdir -p "$frames"
snapshots=()
for ((ms = 500; ms <= 45000; ms += 500)); do
  snapshots+=(--snapshot "$(printf '%d.%03d' $((ms / 1000)) $((ms % 1000))):$frames/$(printf 'frame-%05d.png' "$ms")")
done
"$apps/player/vistel-player" --headless --package build/release/demo.scr --run-for 45 \
  --trace "$frames/trace.jsonl" "${snapshots[@]}" /s
echo "played the demo show: $(ls "$frames"/*.png | wc -l) frames and the trace in $frames/"

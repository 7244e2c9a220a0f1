#!/usr/bin/env bash
# Peak memory of the headless player on hostile captions of a few KB.
#
#   bench/caption_rss.sh [BUILD_DIR]   (default: build/ci; or set
#                                       VISTEL_PLAYER, VISTEL_PACK)
#
# Builds two packages and plays each for 20 s of virtual time on an 800 x 600
# screen under /usr/bin/time -v, with a snapshot in every screen (the headless
# host composes, and so renders the caption, only for snapshots):
#   styles: eight screens, every printable Windows-1252 letter at 2160 points,
#           Arial and Times New Roman, regular, bold, italic, bold italic;
#   long:   one screen, a mebibyte of "W" at 2160 points.
# Prints each one's peak resident set size and the caption rectangle of its
# trace. Goal: under 256 MB each (the player at rest takes about 50 MB); the
# script exits 1 above it.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(realpath -m "${1:-$root/build/ci}")  # the runs happen in a scratch folder
player=${VISTEL_PLAYER:-$build/apps/player/vistel-player}
pack=${VISTEL_PACK:-$build/apps/pack/vistel-pack}
goal_kb=$((256 * 1024))
[[ -x $player && -x $pack && -x /usr/bin/time ]] || {
  echo "needs vistel-player and vistel-pack in $build, and /usr/bin/time" >&2
  exit 2
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$work" <<'EOF'
import json, sys
work = sys.argv[1]
letters = "".join(map(chr, range(0x21, 0x7F))) + "".join(map(chr, range(0xA1, 0xFF))) + "€‚ƒ"
screens = [{"BackgroundColor": "#000040", "DisplaySeconds": 2, "CaptionText": letters,
            "CaptionFontName": face, "CaptionFontSize": 2160, "CaptionBold": bold,
            "CaptionItalic": italic, "CaptionPlacement": 0}
           for face in ("Arial", "Times New Roman") for bold in (0, 1) for italic in (0, 1)]
json.dump({"screens": screens}, open(f"{work}/styles.json", "w"))
json.dump({"screens": [{"BackgroundColor": "#000040", "CaptionText": "W" * (1 << 20),
                        "CaptionFontSize": 2160, "CaptionPlacement": 0}]},
          open(f"{work}/long.json", "w"))
EOF

status=0
for show in styles long; do
  "$pack" build "$work/$show.json" -o "$work/$show.scr" --player "$player" >/dev/null
  snapshots=()
  for t in 1 3 5 7 9 11 13 15; do snapshots+=(--snapshot "$t:$work/$show-$t.png"); done
  /usr/bin/time -v "$player" --headless --package "$work/$show.scr" --run-for 20 \
    --trace "$work/$show.trace" "${snapshots[@]}" /s 2>"$work/$show.time" >/dev/null
  kb=$(awk -F': ' '/Maximum resident/ {print $2}' "$work/$show.time")
  caption=$(grep -m1 '"ev":"caption"' "$work/$show.trace")
  echo "$show: peak RSS $((kb / 1024)) MB; $caption"
  ((kb <= goal_kb)) || status=1
done
exit $status

#!/usr/bin/env bash
# Peak memory and time of the headless player on packages whose media are
# hostile: a few kilobytes each that must not cost gigabytes, read a file
# outside the package, or keep the show from moving on.
#
#   bench/hostile_media.sh [BUILD_DIR]   (default: build/ci; or set
#                                         VISTEL_PLAYER, VISTEL_PACK)
#
# Packages (each plays 30 s of virtual time, a snapshot every 5 s so that
# every screen is composed):
#   huge-clip     a video screen whose medium is a 16000 x 16000 PNG
#   huge-image    an image screen with the same PNG
#   ztxt, iccp    an image screen whose PNG carries a 1 MB compressed text or
#                 colour-profile chunk that inflates to 1 GiB
#   hls-image     an image medium that is an HLS playlist naming a local file
#   hls-video     the same as a video medium
#   concat        a concat script naming a local file, as a video medium
#   midi          a music track whose MIDI tempo and length overflow
#                 (end - start) * rate
# Prints peak RSS, exit code, the screens reached, and whether the outside
# file was read (its access time must not move). Memory, not time, so not a
# ctest test.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(realpath -m "${1:-$root/build/ci}")  # the runs happen in a scratch folder
player=${VISTEL_PLAYER:-$build/apps/player/vistel-player}
pack=${VISTEL_PACK:-$build/apps/pack/vistel-pack}
[[ -x $player && -x $pack && -x /usr/bin/time ]] || {
  echo "needs vistel-player and vistel-pack in $build, and /usr/bin/time" >&2
  exit 2
}
work=$(mktemp -d /tmp/vistel-hostile-media.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"

python3 - "$work" <<'EOF2'
import json, struct, sys, zlib
work = sys.argv[1]

def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

def png(width, height, extra=b"", rows=None):
    head = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    if rows is None:
        # Rows of zeros compress to almost nothing: a few KB for 768 MB of pixels.
        comp = zlib.compressobj(9)
        row = b"\0" * (1 + 3 * width)
        data = b"".join(comp.compress(row) for _ in range(height)) + comp.flush()
    else:
        data = zlib.compress(rows)
    return head + extra + chunk(b"IDAT", data) + chunk(b"IEND", b"")

def bomb():
    comp = zlib.compressobj(9)
    block = b"\0" * (1 << 20)
    return b"".join(comp.compress(block) for _ in range(1024)) + comp.flush()

small_rows = b"".join(b"\0" + b"\x80" * 48 for _ in range(16))
open(f"{work}/huge.png", "wb").write(png(16000, 16000))
zbomb = bomb()
open(f"{work}/ztxt.png", "wb").write(png(16, 16, chunk(b"zTXt", b"Comment\0\0" + zbomb), small_rows))
open(f"{work}/iccp.png", "wb").write(png(16, 16, chunk(b"iCCP", b"icc\0\0" + zbomb), small_rows))
open(f"{work}/outside.png", "wb").write(png(16, 16, b"", small_rows))
open(f"{work}/hls.png", "w").write(
    "#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:10,\n" + f"file:{work}/outside.png\n#EXT-X-ENDLIST\n")
open(f"{work}/hls.mpg", "w").write(
    "#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:10,\n" + f"file:{work}/outside.png\n#EXT-X-ENDLIST\n")
open(f"{work}/concat.mpg", "w").write(f"ffconcat version 1.0\nfile '{work}/outside.png'\n")

# A type 0 MIDI file: a tempo of 0xFFFFFF us per quarter, 1 tick per quarter,
# and one note whose end lies at the greatest delta a file can hold.
def vlq(n):
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.append(0x80 | (n & 0x7F))
        n >>= 7
    return bytes(reversed(out))
track = (b"\0\xff\x51\x03\xff\xff\xff" + b"\0\x90\x3c\x40" + vlq(0x0FFFFFFF) + b"\x80\x3c\x40"
         + vlq(0x0FFFFFFF) + b"\xff\x2f\0")
open(f"{work}/overflow.mid", "wb").write(
    b"MThd" + struct.pack(">IHHH", 6, 0, 1, 1) + b"MTrk" + struct.pack(">I", len(track)) + track)

def show(name, screens, tracks=()):
    json.dump({"screens": screens, "tracks": [{"file": t} for t in tracks]},
              open(f"{work}/{name}.json", "w"))

base = {"BackgroundColor": "#000040", "DisplaySeconds": 4}
show("huge-clip", [dict(base, video="huge.png"), dict(base, CaptionText="after")])
show("huge-image", [dict(base, image="huge.png"), dict(base, CaptionText="after")])
show("ztxt", [dict(base, image="ztxt.png"), dict(base, CaptionText="after")])
show("iccp", [dict(base, image="iccp.png"), dict(base, CaptionText="after")])
show("hls-image", [dict(base, image="hls.png"), dict(base, CaptionText="after")])
show("hls-video", [dict(base, video="hls.mpg"), dict(base, CaptionText="after")])
show("concat", [dict(base, video="concat.mpg"), dict(base, CaptionText="after")])
show("midi", [dict(base, CaptionText="music")], ["overflow.mid"])
EOF2

printf '%-12s %9s %6s %8s %7s  %s\n' package "peak RSS" exit screens outside "first line of stderr"
for name in huge-clip huge-image ztxt iccp hls-image hls-video concat midi; do
  "$pack" build "$name.json" -o "$name.scr" --player "$player" >/dev/null
  touch -a -d '2000-01-01' outside.png
  before=$(stat -c %X outside.png)
  mkdir -p "tmp-$name"
  rc=0
  /usr/bin/time -v -o time.txt timeout 120 "$player" --headless --package "$name.scr" --run-for 30 \
    --temp "tmp-$name" --system "tmp-$name" --trace "$name.trace" \
    --snapshot 2:"$name-1.png" --snapshot 7:"$name-2.png" >out.txt 2>err.txt || rc=$?
  kb=$(awk -F': ' '/Maximum resident set size/ {print $2}' time.txt)
  screens=$(grep -c '"ev":"screen"' "$name.trace" || true)
  outside=no
  [[ $(stat -c %X outside.png) == "$before" ]] || outside=READ
  printf '%-12s %7.1f MB %6s %8s %7s  %s\n' "$name" "$(awk -v k="$kb" 'BEGIN {print k / 1024}')" \
    "$rc" "$screens" "$outside" "$(head -n 1 err.txt | cut -c 1-80)"
done

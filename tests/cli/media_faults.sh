#!/usr/bin/env bash
# Media the player cannot decode and values outside their ranges, in a package
# laid out by hand as an old authoring tool would have written it: check
# reports the media as problems and the values as warnings, and the player
# says which screen's medium it could not show (trace and stderr).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib/checks.bash"

: "${VISTEL_PACK:?the path of vistel-pack}"
: "${VISTEL_PLAYER:?the path of vistel-player}"
: "${VISTEL_SCRATCH:?a scratch folder}"
work="$VISTEL_SCRATCH/media_faults"
rm -rf "$work"
mkdir -p "$work/temp"
cd "$work"

python3 - <<'PY'
import random, struct, zlib
rng = random.Random(14)
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
def png(w, h):
    rows = b"".join(b"\0" + bytes(3 * w) for _ in range(h))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))
media = {
    "heic": b"\0\0\0\x18ftypheic\0\0\0\0mif1heic" + bytes(rng.randrange(256) for _ in range(400)),
    "mpg": bytes(rng.randrange(256) for _ in range(6000)),
    "png": png(32, 24),
    "mp3": bytes(rng.randrange(256) for _ in range(3000)),
}
data = bytearray(b"MZ" + bytes(998))
at = {}
for name, body in media.items():
    at[name] = (len(data) + 1, len(body))
    data += body
S = b"\xff"
def line(*fields):
    return S.join(f if isinstance(f, bytes) else str(f).encode() for f in fields)
def image(medium, placement=0, sizing=0, seconds=1):
    length, position = (at[medium][1], at[medium][0]) if medium else (0, 0)
    return line(b"[SCREEN-IMAGE]", 0, length, position, placement, 1000, 1, 100, 2, 2, 1000, 0,
                b"False", 16777215, 0, 0, sizing, 255, 16711680, 255, 16711680, 20, 10, 255,
                1000, 0, seconds, b"", 16)
def video(medium, size=3):
    return line(b"[SCREEN-VIDEO]", 2, 2, at[medium][1], at[medium][0], 0, size, b"C:\\clip.mpg")
background = line(b"[SCREEN-BACKGROUND]", 0, 0, 0, 0, b"")
caption = line(b"[SCREEN-CAPTION]", 16777215, 0, b"", 0, 0, 0, b"Arial", 12, 2, 2, 4)
lines = [line(b"[GLOBAL]", b"Me", b"Faults", b"", b"False", b"False", b"True"),
         line(b"[AUDIO-FILE]", at["mp3"][1], at["mp3"][0], b"song.mp3", 0)]
lines += [line(b"[SCREEN-GLOBAL]", 0), background, image("heic"), line(b"[SCREEN-VIDEO]", 0, 0, 0, 0, 0, 3, b""), caption]
lines += [line(b"[SCREEN-GLOBAL]", 1), background, image(None), video("mpg", size=12), caption]
lines += [line(b"[SCREEN-GLOBAL]", 0), background, image("png", placement=12, sizing=9, seconds=-3), line(b"[SCREEN-VIDEO]", 0, 0, 0, 0, 0, 3, b""), caption]
offset = len(data)
data += b"\r\n".join(lines) + b"\r\n" + b"%020d" % offset
open("faults.scr", "wb").write(data)
PY

# --- check: problems for the media, warnings for the values --------------------
expect 1 "$VISTEL_PACK" check faults.scr
contains err.txt "screen 0 image (ImagePosition"
contains err.txt "is a HEIC picture, not a picture the player reads"
contains err.txt "screen 1 video (VideoPosition"
contains err.txt "not a clip the player plays"
contains err.txt "track 0 audio (TrackPosition"
contains err.txt "warning: screen 1: VideoSize 12 is outside the range 0 to 7"
contains err.txt "warning: screen 2: ImagePlacement 12 is outside the range 0 to 9"
contains err.txt "warning: screen 2: ImageSizing 9 is outside the range 0 to 4"
contains err.txt "warning: screen 2: DisplaySeconds -3 is outside the range 0 to"
contains err.txt "faults.scr: 3 problems"
# The layout alone is sound.
expect 0 "$VISTEL_PACK" check faults.scr --layout-only
contains out.txt "sound"

# --- the player: a trace event and a line for each medium it cannot use ---------
expect 0 "$VISTEL_PLAYER" --headless --package faults.scr --run-for 4 --trace trace.jsonl \
  --temp "$work/temp" /s
python3 - <<'PY' || fail "expected media events for screens 0 and 1 and track 0"
import json
events = [json.loads(l) for l in open("trace.jsonl")]
media = [e for e in events if e["ev"] == "media"]
kinds = {(e.get("screen", e.get("track")), e["kind"]) for e in media}
assert {(0, "image"), (1, "video"), (0, "audio")} <= kinds, media
assert all(e["reason"] for e in media), media
# Each image screen's event comes right after its screen starts.
first = next(i for i, e in enumerate(events) if e["ev"] == "screen" and e["index"] == 0)
assert any(e["ev"] == "media" and e.get("screen") == 0 for e in events[first:first + 4]), events[first:first + 4]
PY
contains err.txt "vistel-player: screen 0 image $work/temp/img: not shown: "
contains err.txt "vistel-player: screen 1 video $work/temp/vid: not shown: "
contains err.txt "vistel-player: track 0 audio $work/temp/audio.mp3: not played: "

# --- build: the same values are errors; --permissive writes them ----------------
printf '\x7fELF DUMMY PLAYER' >player.bin
python3 - <<'PY'
import struct, zlib
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
def png(name, w, h):
    rows = b"".join(b"\0" + bytes(3 * w) for _ in range(h))
    open(name, "wb").write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
                           + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))
png("ok.png", 16, 8)
png("wide.png", 1024, 700)
PY
cat >range.json <<'JSON'
{"screens": [{"image": "ok.png", "ImageSizing": 9, "CrossFadeParam": -5, "EffectCode": -100}]}
JSON
expect 1 "$VISTEL_PACK" build range.json -o range.scr --player player.bin
contains err.txt "range.json: screens[0].ImageSizing: 9 is outside the range 0 to 4; the player shows the picture as sizing 0"
contains err.txt "range.json: screens[0].CrossFadeParam: -5 is outside the range 1 to 32767"
[[ ! -e range.scr ]] || fail "expected no package after range errors"
expect 0 "$VISTEL_PACK" build range.json -o range.scr --player player.bin --permissive
contains err.txt "range.json: warning: screens[0].ImageSizing: 9"
# A picture larger than the screen at its own size: a warning only.
cat >wide.json <<'JSON'
{"screens": [{"image": "wide.png"}, {"image": "wide.png", "ImageSizing": 3}]}
JSON
expect 0 "$VISTEL_PACK" build wide.json -o wide.scr --player player.bin
contains err.txt "wide.json: warning: screens[0].image 'wide.png' is 1024x700 pixels; at ImageSizing 0"
grep -qF "screens[1]" err.txt && fail "expected no warning at ImageSizing 3: $(cat err.txt)"
expect 1 "$VISTEL_PACK" build range.json -o nowhere/range.scr --player player.bin
contains err.txt "nowhere/range.scr: cannot write it: the folder 'nowhere' does not exist"

if ((failures > 0)); then
  echo "$failures failures" >&2
  exit 1
fi
echo "media faults: all checks passed"

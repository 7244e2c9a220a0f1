#!/usr/bin/env bash
# vistel-pack demo end to end: the package is sound, its show uses what the
# demo is for, its media are the files they claim to be, two runs give the
# same bytes, and the command refuses to overwrite its own inputs.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib/checks.bash"

: "${VISTEL_PACK:?the path of vistel-pack}"
: "${VISTEL_SCRATCH:?a scratch folder}"
work="$VISTEL_SCRATCH/demo"
rm -rf "$work"
mkdir -p "$work/tmp"
cd "$work"

printf '\x7fELF DUMMY PLAYER \x00\x01\x02' >player.bin
chmod +x player.bin

# --- build, keeping the media --------------------------------------------------
expect 0 "$VISTEL_PACK" demo -o demo.scr --player player.bin --media-dir media
contains out.txt "10 screens, 2 tracks, 9 media files"
[[ $(wc -l <out.txt) == 1 ]] || fail "expected a one-line summary, got: $(cat out.txt)"
[[ -x demo.scr ]] || fail "expected the package to be executable like its player"
cmp -s -n 16 player.bin demo.scr || fail "expected the package to start with the player"

expect 0 "$VISTEL_PACK" check demo.scr
expect 0 "$VISTEL_PACK" inspect demo.scr --json
cp out.txt inspect.json

# --- the show ----------------------------------------------------------------------
python3 - "$work" <<'EOF' || fail "the demo show does not use what it should"
import json, os, sys
work = sys.argv[1]
d = json.load(open(os.path.join(work, "inspect.json")))
problems = []
def need(what, ok):
    if not ok:
        problems.append(what)
def same(what, got, want):
    need(f"{what}: expected {want!r}, got {got!r}", got == want)

same("PublisherName", d["PublisherName"], "Vistel project")
same("SaverTitle", d["SaverTitle"], "Vistel Demo")
need("WebsiteText is a web address", d["WebsiteText"].startswith("https://"))
same("RandomScreenOrder", d["RandomScreenOrder"], False)
same("RandomEffects", d["RandomEffects"], False)
same("RepeatAudio", d["RepeatAudio"], True)
same("tracks", [t["TrackFileName"] for t in d["AudioTracks"]], ["tune.wav", "tune.mid"])

s = d["Screens"]
same("screens", len(s), 10)
videos = [x for x in s if x["ScreenKind"] == 1]
same("video screens", len(videos), 1)
need("the video screen has its clip", all(v["VideoLength"] > 0 for v in videos))
need("VideoSize 3 or 7", all(v["VideoSize"] in (3, 7) for v in videos))
images = [x for x in s if x["ScreenKind"] == 0]
need("every image screen has a picture", all(x["ImageLength"] > 0 for x in images))
same("sizing modes", sorted({x["ImageSizing"] for x in images}), [0, 1, 2, 3, 4])
placements = {x["ImagePlacement"] for x in images}
need(f"several image placements, 9 among them: {placements}", len(placements) >= 4 and 9 in placements)
need("placement 9 with divisors", any(x["ImagePlacement"] == 9 and x["ImageXDivisor"] != 2 for x in images))
need("zoom with a scale", any(x["ImageSizing"] == 4 and x["ImageScale"] != 100 for x in images))
same("background kinds", sorted({x["BackgroundKind"] for x in s}), [0, 1])
codes = [x["EffectCode"] for x in s]
need("a plain repaint", 1000 in codes)
fades = [x for x in s if x["EffectCode"] == -100]
need("a cross-fade on an image screen", any(x["ScreenKind"] == 0 and 0 < x["CrossFadeParam"] <= 128 for x in fades))
groups = [(2000, 554), (4000, 29), (5000, 263), (6000, 525), (7000, 263), (8000, 259), (15000, 35), (16000, 35)]
for base, span in groups:
    need(f"a paint effect of {base}-{base + span}", any(base <= c <= base + span for c in codes))
captions = [x for x in s if x["CaptionText"]]
need("most screens have a caption", len(captions) >= 8)
same("caption fonts", sorted({x["CaptionFontName"] for x in captions}), ["Arial", "Times New Roman"])
same("caption appearances", sorted({x["CaptionAppearance"] for x in captions}), [0, 1])
need("a two-line caption", any("\r\n" in x["CaptionText"] for x in captions))
need("bold and italic captions", any(x["CaptionBold"] for x in captions) and any(x["CaptionItalic"] for x in captions))
need("several caption placements", len({x["CaptionPlacement"] for x in captions}) >= 4)
shown = sum(x["DisplaySeconds"] for x in images) + 4 * len(videos)
need(f"about 40 s of show, got {shown}", 30 <= shown <= 50)
need("3 to 5 s a screen", all(3 <= x["DisplaySeconds"] <= 5 for x in images))
for p in problems:
    print(p, file=sys.stderr)
sys.exit(1 if problems else 0)
EOF

# --- the media: stored as written, and of the formats and sizes they claim -----
python3 - "$work" <<'EOF' || fail "the demo's media are not what they claim"
import json, os, struct, sys, zlib
work = sys.argv[1]
d = json.load(open(os.path.join(work, "inspect.json")))
pkg = open(os.path.join(work, "demo.scr"), "rb").read()
media = {name: open(os.path.join(work, "media", name), "rb").read()
         for name in os.listdir(os.path.join(work, "media")) if name != "show.json"}
problems = []
def need(what, ok):
    if not ok:
        problems.append(what)

def at(position, length):
    return pkg[position - 1:position - 1 + length]
stored = set()
for i, x in enumerate(d["Screens"]):
    for kind in ("Background", "Image", "Video"):
        if x[kind + "Length"] > 0:
            stored.add(at(x[kind + "Position"], x[kind + "Length"]))
for t in d["AudioTracks"]:
    stored.add(at(t["TrackPosition"], t["TrackLength"]))
need(f"every medium stored once as written ({len(stored)} stored, {len(media)} files)",
     stored == set(media.values()))

def jpeg_size(b):
    i = 2
    while i + 9 < len(b):
        if b[i] != 0xFF:
            return None
        marker, length = b[i + 1], struct.unpack(">H", b[i + 2:i + 4])[0]
        if 0xC0 <= marker <= 0xC3:
            h, w = struct.unpack(">HH", b[i + 5:i + 9])
            return w, h
        i += 2 + length
    return None

def png(b):
    w, h, depth, colour = struct.unpack(">IIBB", b[16:26])
    data, i = b"", 8
    while i < len(b):
        n, kind = struct.unpack(">I4s", b[i:i + 8])
        if kind == b"IDAT":
            data += b[i + 8:i + 8 + n]
        i += 12 + n
    rows = zlib.decompress(data)
    return w, h, colour, len(rows)

for name in ("landscape.jpg", "backdrop.jpg", "small-scene.jpg"):
    need(f"{name} is a JPEG", media[name][:2] == b"\xff\xd8")
need("large JPEGs", jpeg_size(media["landscape.jpg"]) == (1600, 1200) and jpeg_size(media["backdrop.jpg"]) == (1600, 1200))
need("a small JPEG", jpeg_size(media["small-scene.jpg"]) == (320, 240))
need("checker.png is an RGB PNG of 320x240", media["checker.png"][:8] == b"\x89PNG\r\n\x1a\n" and png(media["checker.png"])[:3] == (320, 240, 2))
w, h, colour, size = png(media["badge.png"])
need(f"badge.png has alpha: {(w, h, colour)}", (w, h, colour) == (360, 360, 6) and size == h * (1 + 4 * w))
b = media["shapes.bmp"]
need("shapes.bmp is a BMP of 320x240", b[:2] == b"BM" and struct.unpack("<ii", b[18:26]) in ((320, 240), (320, -240)))

clip = media["clip.mpg"]
need("clip.mpg is an MPEG program stream", clip[:4] == b"\x00\x00\x01\xba")
seq = clip.find(b"\x00\x00\x01\xb3")
need("the clip has an MPEG-1 sequence header", seq >= 0)
if seq >= 0:
    s = clip[seq + 4:seq + 8]
    need("320x240 at 25 frames a second", ((s[0] << 4 | s[1] >> 4), ((s[1] & 15) << 8 | s[2]), s[3] & 15) == (320, 240, 3))
need("100 pictures: four seconds", clip.count(b"\x00\x00\x01\x00") == 100)
need("the clip has an MPEG audio stream", b"\x00\x00\x01\xc0" in clip)

wav = media["tune.wav"]
need("tune.wav is a WAV file", wav[:4] == b"RIFF" and wav[8:12] == b"WAVE")
i, fmt, data = 12, None, None
while i + 8 <= len(wav):
    kind, n = struct.unpack("<4sI", wav[i:i + 8])
    if kind == b"fmt ":
        fmt = struct.unpack("<HHI", wav[i + 8:i + 16])
    elif kind == b"data":
        data = n
    i += 8 + n + (n & 1)
need(f"PCM WAV: {fmt}", fmt is not None and fmt[0] == 1)
if fmt and data:
    seconds = data / (fmt[2] * fmt[1] * 2)
    need(f"a tune of a few seconds, got {seconds}", 4 <= seconds <= 12)

mid = media["tune.mid"]
need("tune.mid is a format 0 MIDI file", mid[:4] == b"MThd" and struct.unpack(">HHH", mid[8:14]) == (0, 1, 480))
track, ticks, notes, i, tempo = mid[22:], 0, 0, 0, 500000
def vlq():
    global i
    v = 0
    while True:
        c = track[i]; i += 1
        v = v << 7 | (c & 127)
        if c < 128:
            return v
status = 0
while i < len(track):
    ticks += vlq()
    if track[i] & 0x80:
        status = track[i]; i += 1
    if status == 0xFF:
        kind = track[i]; i += 1
        n = vlq()
        if kind == 0x51:
            tempo = int.from_bytes(track[i:i + 3], "big")
        i += n
        if kind == 0x2F:
            break
    elif status >> 4 in (0xC, 0xD):
        i += 1
    else:
        if status >> 4 == 9 and track[i + 1] > 0:
            notes += 1
        i += 2
need(f"the MIDI tune has notes: {notes}", notes >= 16)
seconds = ticks / 480 * tempo / 1e6
need(f"the MIDI tune lasts a few seconds, got {seconds}", 4 <= seconds <= 12)
need("the MIDI file ends where its track says", i == len(track))
for p in problems:
    print(p, file=sys.stderr)
sys.exit(1 if problems else 0)
EOF

# --- the show over the kept media builds the very same package ---------------------
[[ -s media/show.json ]] || fail "expected the show description beside the kept media"
expect 0 "$VISTEL_PACK" build media/show.json -o rebuilt.scr --player player.bin
cmp -s demo.scr rebuilt.scr || fail "expected media/show.json to build the demo's bytes"
contains media/show.json '"image": "landscape.jpg"'

# --- the same bytes again, without leaving the media behind ------------------------
TMPDIR="$work/tmp" expect 0 "$VISTEL_PACK" demo -o again.scr --player player.bin
cmp -s demo.scr again.scr || fail "expected two runs to give the same bytes"
[[ -z $(ls -A tmp) ]] || fail "expected no media left in the temporary folder: $(ls -A tmp)"
# (and that folder is the one TMPDIR names)
TMPDIR="$work/no-such-folder" expect 1 "$VISTEL_PACK" demo -o never.scr --player player.bin
contains err.txt "temporary folder"
[[ ! -e never.scr ]] || fail "expected no package without a temporary folder"

# --- its own inputs are never overwritten ------------------------------------------
before=$(cksum <media/clip.mpg)
expect 1 "$VISTEL_PACK" demo -o media/clip.mpg --player player.bin --media-dir media
contains err.txt "choose another output"
[[ $(cksum <media/clip.mpg) == "$before" ]] || fail "expected the clip to be left alone"
before=$(cksum <media/show.json)
expect 1 "$VISTEL_PACK" demo -o media/show.json --player player.bin --media-dir media
contains err.txt "choose another output"
[[ $(cksum <media/show.json) == "$before" ]] || fail "expected the description to be left alone"
expect 1 "$VISTEL_PACK" demo -o player.bin --player player.bin
contains err.txt "is the player"
cmp -s -n 16 player.bin demo.scr || fail "expected the player to be left alone"
expect 1 "$VISTEL_PACK" demo -o x.scr --player no-such-player.bin
contains err.txt "no such player file"
expect 1 "$VISTEL_PACK" demo -o x.scr --player player.bin --media-dir player.bin/media
contains err.txt "cannot create the media folder"
[[ ! -e x.scr ]] || fail "expected no package when the media cannot be written"

# --- links planted in --media-dir are replaced, never written through -------------
mkdir -p linked-media elsewhere
printf 'precious' >elsewhere/live
ln -s "$work/elsewhere/live" linked-media/landscape.jpg
for name in clip.mpg tune.wav tune.mid badge.png show.json; do
  ln -s "$work/elsewhere/$name" "linked-media/$name"
done
expect 0 "$VISTEL_PACK" demo -o linked.scr --player player.bin --media-dir linked-media
[[ $(cat elsewhere/live) == precious ]] || fail "demo wrote through the live link"
for name in landscape.jpg clip.mpg tune.wav tune.mid badge.png show.json; do
  [[ ! -L linked-media/$name && -s linked-media/$name ]] || fail "expected linked-media/$name replaced"
  [[ $name == landscape.jpg || ! -e elsewhere/$name ]] || fail "demo wrote through linked-media/$name"
done

# --- played through by the player, when there is one -----------------------------
# A small screen keeps the effects cheap; the virtual clock runs the whole show
# (about 42 s) and the start of the next round in a few seconds.
if [[ -n ${VISTEL_PLAYER:-} && -x $VISTEL_PLAYER ]]; then
  expect 0 "$VISTEL_PACK" demo -o played.scr --player "$VISTEL_PLAYER"
  mkdir -p play-temp play-system
  expect 0 "$VISTEL_PLAYER" --package played.scr --headless --run-for 45 --screen 320x240 \
    --trace play.jsonl --temp play-temp --system play-system /s
  python3 - "$work/play.jsonl" <<'EOF2' || fail "the player does not play the demo through"
import json, sys
events = [json.loads(line) for line in open(sys.argv[1])]
problems = []
def need(what, ok):
    if not ok:
        problems.append(what)
kinds = lambda name: [e for e in events if e["ev"] == name]
need(f"no message box: {kinds('msgbox')}", not kinds("msgbox"))
screens = [e["index"] for e in kinds("screen")]
need(f"every screen in order, then the first again: {screens}", screens == list(range(10)) + [0])
need("one cross-fade of 24 steps", [e["steps"] for e in kinds("crossfade")] == [24])
states = [e["state"] for e in kinds("video")]
need(f"the clip plays to its end: {states}", all(s in states for s in ("opened", "playing", "ended")))
ended = [e["t"] for e in kinds("video") if e["state"] == "ended"]
played = [e["t"] for e in kinds("video") if e["state"] == "playing"]
need("the clip lasts about 4 s", ended and played and 3500 <= ended[0] - played[0] <= 4500)
opened = [e["command"] for e in kinds("mci") if e["command"].startswith("open ")]
need(f"both tracks played, in turn: {opened}", len(opened) >= 4 and "audio.wav" in opened[0]
     and "audio.mid" in opened[1] and "audio.wav" in opened[2])
need("a normal end", [e["code"] for e in kinds("exit")] == [0])
for p in problems:
    print(p, file=sys.stderr)
sys.exit(1 if problems else 0)
EOF2
fi

# --- usage -----------------------------------------------------------------------
expect 0 "$VISTEL_PACK" demo --help
contains out.txt "Usage: vistel-pack demo"
contains out.txt "--media-dir"
expect 0 "$VISTEL_PACK" --help
contains out.txt "demo"
expect 2 "$VISTEL_PACK" demo --player player.bin
contains err.txt "missing -o"
expect 2 "$VISTEL_PACK" demo show.json -o x.scr --player player.bin
contains err.txt "unexpected argument 'show.json'"
expect 2 "$VISTEL_PACK" demo -o x.scr --player player.bin --media-dir
expect 2 "$VISTEL_PACK" demo -o x.scr --player player.bin --json
mkdir -p bin
cp "$VISTEL_PACK" bin/vistel-pack
expect 2 bin/vistel-pack demo -o x.scr
contains err.txt "--player"

if ((failures)); then
  echo "$failures failure(s)" >&2
  exit 1
fi
echo "demo.sh: all passed"

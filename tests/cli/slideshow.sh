#!/usr/bin/env bash
# vistel-pack slideshow end to end: a folder of photos (nested, with Exif
# orientations, a PNG, a BMP, a TIFF, a broken file, a hidden companion file
# and a link that loops back) becomes a sound package; each photo is stored
# upright and within --max, as it was where nothing had to change; the player
# plays the show and shows every turned photo upright.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib/checks.bash"

: "${VISTEL_PACK:?the path of vistel-pack}"
: "${VISTEL_SCRATCH:?a scratch folder}"
if [[ -z ${VISTEL_TEST_PICTURES:-} || ! -x $VISTEL_TEST_PICTURES ]]; then
  echo "slideshow.sh: skipped, no test_pictures (a build without FFmpeg)"
  exit 77
fi
pictures=$VISTEL_TEST_PICTURES
work="$VISTEL_SCRATCH/slideshow"
rm -rf "$work"
mkdir -p "$work"
cd "$work"

printf '\x7fELF DUMMY PLAYER \x00\x01\x02' >player.bin
chmod +x player.bin

# --- the folder --------------------------------------------------------------
mkdir -p photos/2019/summer photos/2020 music
"$pictures" make photos/img10.jpg 640x480 1 "2019:07:01 10:00:00"
"$pictures" make photos/img2.jpg 300x400 6 "2021:01:01 09:00:00"     # portrait, turned
"$pictures" make "photos/2019/summer/beach_day-one.jpg" 800x600 3 "2018:05:05 05:05:05"
"$pictures" make photos/2019/logo.png 200x100                          # kept as it is
"$pictures" make photos/2020/scan.tif 320x240                          # converted
"$pictures" make photos/2020/drawing.bmp 320x240                       # converted
"$pictures" make photos/2020/wide.jpg 1600x400                         # shrunk by --max
printf 'this is not a picture' >photos/2020/broken.jpg
printf 'not a picture either' >photos/2020/._img.jpg                   # hidden: passed over
printf 'notes' >photos/readme.txt
# A header that claims 50000x50000 pixels: refused before it is decoded.
python3 -c "import struct, sys, zlib; ihdr = struct.pack('>IIBBBBB', 50000, 50000, 8, 2, 0, 0, 0);
sys.stdout.buffer.write(b'\x89PNG\r\n\x1a\n' + struct.pack('>I', 13) + b'IHDR' + ihdr +
struct.pack('>I', zlib.crc32(b'IHDR' + ihdr)))" >photos/2020/huge.png
ln -s .. photos/2020/loop                                              # loops back
ln -s ../img10.jpg photos/2019/again.jpg                               # the same photo twice
for name in a9 a10 b; do                                  # a tenth of a second of silence each
  python3 -c "import sys, wave; w = wave.open(sys.argv[1], 'wb'); w.setnchannels(1)
w.setsampwidth(2); w.setframerate(8000); w.writeframes(bytes(1600)); w.close()" music/$name.wav
done
printf 'ID3 some mp3' >music/c.mp3                                      # no sound in it
: >music/empty.mid

# --- a package ---------------------------------------------------------------
expect 0 "$VISTEL_PACK" slideshow photos -o show.scr --player player.bin --max 1024x768 \
  --caption names --music music --seconds 5
contains err.txt "broken.jpg: skipped: not a JPEG, PNG, BMP, GIF or TIFF picture"
contains err.txt "empty.mid: skipped: the file is empty"
contains err.txt "c.mp3: skipped:"
contains err.txt "huge.png: skipped: PNG of 50000x50000, more than the player shows"
grep -qF "._img.jpg" err.txt && fail "expected the hidden ._img.jpg passed over: $(cat err.txt)"
contains err.txt "a link leads back to a folder already read"
grep -q $'\r' err.txt && fail "expected no progress bar when stderr is no terminal"
[[ $(wc -l <out.txt) == 1 ]] || fail "expected a one-line summary, got: $(cat out.txt)"
contains out.txt "7 screens, 3 tracks"
contains out.txt "7 photos (5 turned, shrunk or converted), 2 skipped"
expect 0 "$VISTEL_PACK" check show.scr
expect 0 "$VISTEL_PACK" inspect show.scr --json
cp out.txt inspect.json
expect 0 "$VISTEL_PACK" extract show.scr media

python3 - "$work" <<'EOF2' || fail "the slideshow's show is not what was asked"
import json, os, struct, sys
work = sys.argv[1]
d = json.load(open(os.path.join(work, "inspect.json")))
problems = []
def need(what, ok):
    if not ok:
        problems.append(what)
def same(what, got, want):
    need(f"{what}: expected {want!r}, got {got!r}", got == want)
s = d["Screens"]
same("captions in natural order of the paths",
     [x["CaptionText"] for x in s],
     ["logo", "beach day one", "drawing", "scan", "wide", "img2", "img10"])
same("sizing: fit, centred, on black", {(x["ImageSizing"], x["ImagePlacement"], x["BackgroundColor"], x["BackgroundKind"]) for x in s}, {(2, 0, 0, 0)})
same("cross-fades of 32 steps", {(x["EffectCode"], x["CrossFadeParam"]) for x in s}, {(-100, 32)})
same("5 seconds each", {x["DisplaySeconds"] for x in s}, {5})
same("captions at the bottom centre", {x["CaptionPlacement"] for x in s}, {4})
same("music in natural order", [t["TrackFileName"] for t in d["AudioTracks"]], ["a9.wav", "a10.wav", "b.wav"])
same("the folder's name as title", d["SaverTitle"], "photos")
same("repeated music", d["RepeatAudio"], True)

def jpeg_size(b):
    i = 2
    while i + 9 < len(b):
        marker, length = b[i + 1], struct.unpack(">H", b[i + 2:i + 4])[0]
        if 0xC0 <= marker <= 0xC3:
            h, w = struct.unpack(">HH", b[i + 5:i + 9])
            return w, h
        i += 2 + length
def medium(i):
    names = [n for n in os.listdir(os.path.join(work, "media")) if n.startswith(f"screen-{i:03d}-image")]
    return open(os.path.join(work, "media", names[0]), "rb").read() if names else b""
logo = medium(0)
same("the PNG stored byte for byte", logo, open(os.path.join(work, "photos/2019/logo.png"), "rb").read())
same("img10 stored byte for byte", medium(6), open(os.path.join(work, "photos/img10.jpg"), "rb").read())
for i, size in [(1, (800, 600)), (2, (320, 240)), (3, (320, 240)), (4, (1024, 256)), (5, (300, 400))]:
    b = medium(i)
    need(f"screen {i} is a JPEG", b[:2] == b"\xff\xd8")
    same(f"screen {i}'s size, upright and within 1024x768", jpeg_size(b), size)
    need(f"screen {i} carries no orientation to turn it twice", b"Exif" not in b[:64])
for p in problems:
    print(p, file=sys.stderr)
sys.exit(1 if problems else 0)
EOF2

# --- date order and shuffling ----------------------------------------------------
expect 0 "$VISTEL_PACK" slideshow photos -o dated.scr --player player.bin --order date \
  --caption names --effects none
expect 0 "$VISTEL_PACK" inspect dated.scr --json
python3 - <<'EOF2' || fail "--order date does not put the Exif dates first, oldest first"
import json
s = json.load(open("out.txt"))["Screens"]
captions = [x["CaptionText"] for x in s]
# Exif dates: beach 2018, img10 2019, img2 2021; the rest have none and go by
# their files' times, which are all later (they were written just now).
assert captions[:3] == ["beach day one", "img10", "img2"], captions
assert {x["EffectCode"] for x in s} == {1000}, "expected plain cuts"
EOF2
expect 0 "$VISTEL_PACK" slideshow photos -o a.scr --player player.bin --order shuffle --seed 7 --caption names
contains out.txt "shuffled with --seed 7"
"$VISTEL_PACK" inspect a.scr --json >a.json
"$VISTEL_PACK" slideshow photos -o b.scr --player player.bin --order shuffle --seed 7 --caption names >/dev/null 2>&1
cmp -s a.scr b.scr || fail "expected the same seed to give the same package"
expect 0 "$VISTEL_PACK" slideshow photos -o r.scr --player player.bin --effects random
"$VISTEL_PACK" inspect r.scr --json >r.json
python3 -c "import json; d=json.load(open('r.json')); assert d['RandomEffects'] is True" ||
  fail "expected --effects random to set RandomEffects"

# --- refusals -----------------------------------------------------------------
mkdir -p empty bad
printf 'junk' >bad/one.jpg
expect 1 "$VISTEL_PACK" slideshow empty -o x.scr --player player.bin
contains err.txt "no photos found"
expect 1 "$VISTEL_PACK" slideshow bad -o x.scr --player player.bin
contains err.txt "one.jpg: skipped"
contains err.txt "no package written"
[[ ! -e x.scr ]] || fail "expected no package without a usable photo"
expect 1 "$VISTEL_PACK" slideshow no-such-folder -o x.scr --player player.bin
contains err.txt "not a folder of photos"
expect 1 "$VISTEL_PACK" slideshow photos -o photos/img10.jpg --player player.bin
contains err.txt "choose another output"
cmp -s <("$pictures" size photos/img10.jpg) <(echo 640x480) || fail "expected the photo left alone"
for bad in "--max 10x10" "--max 20000x100" "--max big" "--seconds 0" "--seconds x" "--effects fade" \
  "--steps 200" "--order size" "--caption dates" "--seed 3"; do
  # shellcheck disable=SC2086
  expect 2 "$VISTEL_PACK" slideshow photos -o x.scr --player player.bin $bad
done
expect 2 "$VISTEL_PACK" slideshow photos -o x.scr --player player.bin --effects none --steps 8
contains err.txt "--steps goes with --effects crossfade"
expect 2 "$VISTEL_PACK" slideshow -o x.scr --player player.bin
contains err.txt "missing PHOTOS_DIR"
expect 0 "$VISTEL_PACK" slideshow --help
contains out.txt "Usage: vistel-pack slideshow"

# --- a link at the output is replaced, never written through --------------------
printf 'precious' >live
ln -s "$work/live" linked.scr
expect 0 "$VISTEL_PACK" slideshow photos/2019 -o linked.scr --player player.bin
[[ $(cat live) == precious ]] || fail "slideshow wrote through the link at the output"

# --- played: every photo upright -------------------------------------------------
if [[ -n ${VISTEL_PLAYER:-} && -x $VISTEL_PLAYER ]]; then
  expect 0 "$VISTEL_PACK" slideshow photos -o played.scr --player "$VISTEL_PLAYER" --music music
  mkdir -p play-temp play-system
  expect 0 "$VISTEL_PLAYER" --package played.scr --headless --run-for 70 --screen 320x240 \
    --trace play.jsonl --temp play-temp --system play-system /s
  python3 - <<'EOF2' || fail "the player does not play the slideshow through"
import json
events = [json.loads(line) for line in open("play.jsonl")]
kinds = lambda name: [e for e in events if e["ev"] == name]
assert not kinds("msgbox"), kinds("msgbox")
screens = [e["index"] for e in kinds("screen")]
assert screens[:8] == list(range(7)) + [0], screens
assert len(kinds("crossfade")) >= 7, kinds("crossfade")
EOF2
  # One photo a show, in every orientation a camera writes: the snapshot shows
  # the red corner top left, green top right, blue bottom left. A 300x400
  # photo on an 800x600 screen is 450x600, from x = 175.
  for orientation in 1 2 3 4 5 6 7 8; do
    rm -rf one && mkdir one
    "$pictures" make one/photo.jpg 300x400 "$orientation"
    expect 0 "$VISTEL_PACK" slideshow one -o one.scr --player "$VISTEL_PLAYER" --effects none
    expect 0 "$VISTEL_PLAYER" --package one.scr --headless --run-for 2 --snapshot 1:one.png \
      --temp play-temp --system play-system /s
    for probe in "200 30 red" "600 30 green" "200 570 blue" "400 300 grey" "100 300 black"; do
      read -r x y colour <<<"$probe"
      read -r r g b < <("$pictures" pixel one.png "$x" "$y")
      case $colour in
        red) ok=$((r > 200 && g < 60 && b < 60)) ;;
        green) ok=$((g > 200 && r < 60 && b < 60)) ;;
        blue) ok=$((b > 200 && r < 60 && g < 60)) ;;
        grey) ok=$((r > 100 && r < 156 && g > 100 && g < 156)) ;;
        black) ok=$((r < 10 && g < 10 && b < 10)) ;;
      esac
      ((ok)) || fail "orientation $orientation: expected $colour at ($x, $y), got $r $g $b"
    done
  done
fi

if ((failures)); then
  echo "$failures failure(s)" >&2
  exit 1
fi
echo "slideshow.sh: all passed"

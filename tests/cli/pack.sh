#!/usr/bin/env bash
# vistel-pack end to end: build a show from media made here, inspect it, check
# it and damaged copies of it, extract its media, and the command-line errors.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib/checks.bash"

: "${VISTEL_PACK:?the path of vistel-pack}"
: "${VISTEL_SCRATCH:?a scratch folder}"
work="$VISTEL_SCRATCH/pack"
rm -rf "$work"
mkdir -p "$work/show/media" "$work/show/music"
cd "$work"

# Media with recognisable, different bytes, most behind the signature of a
# kind: extract names them by it, whatever their source names say.
python3 - <<'EOF'
def make(path, size, seed, signature=b""):
    with open(path, "wb") as f:
        f.write(signature + bytes((i * seed + seed) % 256 for i in range(size - len(signature))))
make("show/media/bg.jpg", 3000, 3, b"\xff\xd8\xff\xe0")
make("show/media/one.png", 1500, 5, b"GIF89a")
make("show/media/clip.mpg", 5000, 7, b"\0\0\1\xba")
make("show/music/song.mp3", 2200, 11, b"\xff\xfd\x80\x04")  # MPEG-1 layer II
make("show/music/other.wav", 900, 13)  # of no known kind
EOF
printf '\x7fELF DUMMY PLAYER \x00\x01\x02' >player.bin
chmod +x player.bin

cat >show/SHOW.json <<'EOF'
{
  // One of each: picture background with image, video, caption and cross-fade.
  "PublisherName": "Café Vistel",
  "SaverTitle": "CLI Show",
  "WebsiteText": "www.example.com",
  "RepeatAudio": true,
  "tracks": [
    {"file": "music/song.mp3"},
    {"file": "music/other.wav", "TrackExtra": 4}
  ],
  "screens": [
    {"background": "media/bg.jpg", "image": "media/one.png", "ImageXDivisor": 2.000164,
     "ImagePlacement": 9, "DisplaySeconds": 3},
    {"background": "media/bg.jpg", "video": "media/clip.mpg", "VideoYDivisor": -86.17347,
     "VideoSize": 7},
    {"CaptionText": "line one\nline two", "EffectCode": -100, "CrossFadeParam": 20,
     "BackgroundColor": "#336699"}
  ]
}
EOF

# --- build -------------------------------------------------------------------
expect 0 "$VISTEL_PACK" build show/SHOW.json -o show.scr --player player.bin --permissive
contains out.txt "3 screens, 2 tracks, 5 media files"
[[ -x show.scr ]] || fail "expected the package to be executable like its player"
cmp -s -n 16 player.bin show.scr || fail "expected the package to start with the player"

# --- inspect -----------------------------------------------------------------
expect 0 "$VISTEL_PACK" inspect show.scr --json
cp out.txt inspect.json
contains inspect.json '"ImageXDivisor": 2.000164'
contains inspect.json '"VideoYDivisor": -86.17347'
python3 - "$work" <<'EOF' || fail "inspect --json does not describe the show"
import json, os, sys
work = sys.argv[1]
d = json.load(open(os.path.join(work, "inspect.json")))
pkg = open(os.path.join(work, "show.scr"), "rb").read()
def medium(name):
    return open(os.path.join(work, "show", name), "rb").read()
def at(position, length):
    return pkg[position - 1:position - 1 + length]
problems = []
def same(what, got, want):
    if got != want:
        problems.append(f"{what}: expected {want!r}, got {got!r}")
same("keys", list(d)[:2], ["PackageFileName", "ConfigOffset"])
same("PackageFileName", d["PackageFileName"], os.path.join(work, "show.scr"))
same("ConfigOffset", pkg[-20:], b"%020d" % d["ConfigOffset"])
same("PublisherName", d["PublisherName"], "Café Vistel")
same("RepeatAudio", d["RepeatAudio"], True)
same("RandomEffects", d["RandomEffects"], False)
t = d["AudioTracks"]
same("track keys", list(t[0]), ["TrackFileName", "TrackExtra", "TrackPosition", "TrackLength"])
same("track names", [x["TrackFileName"] for x in t], ["song.mp3", "other.wav"])
same("TrackExtra", t[1]["TrackExtra"], 4)
same("track 0 bytes", at(t[0]["TrackPosition"], t[0]["TrackLength"]), medium("music/song.mp3"))
same("track 1 bytes", at(t[1]["TrackPosition"], t[1]["TrackLength"]), medium("music/other.wav"))
s = d["Screens"]
same("screens", len(s), 3)
same("screen fields", len(s[0]), 49)
same("BackgroundKind", [x["BackgroundKind"] for x in s], [1, 1, 0])
same("ScreenKind", [x["ScreenKind"] for x in s], [0, 1, 0])
same("shared background", s[0]["BackgroundPosition"], s[1]["BackgroundPosition"])
same("background bytes", at(s[0]["BackgroundPosition"], s[0]["BackgroundLength"]), medium("media/bg.jpg"))
same("image bytes", at(s[0]["ImagePosition"], s[0]["ImageLength"]), medium("media/one.png"))
same("video bytes", at(s[1]["VideoPosition"], s[1]["VideoLength"]), medium("media/clip.mpg"))
same("DisplaySeconds", [x["DisplaySeconds"] for x in s], [3, 5, 5])
same("ImageOptionFlag", s[0]["ImageOptionFlag"], False)
same("CaptionText", s[2]["CaptionText"], "line one\r\nline two")
same("EffectCode", s[2]["EffectCode"], -100)
same("BackgroundColor", s[2]["BackgroundColor"], 0x996633)
same("no image", s[2]["ImageLength"], 0)
for p in problems:
    print(p, file=sys.stderr)
sys.exit(1 if problems else 0)
EOF
expect 0 "$VISTEL_PACK" inspect show.scr
contains out.txt "Screens: 3"
contains out.txt '"line one\r\nline two"'

# --- check -------------------------------------------------------------------
expect 0 "$VISTEL_PACK" check show.scr --layout-only
contains out.txt "sound"

# damage NAME PYTHON: a copy of show.scr whose configuration lines (a list of
# lists of byte-string fields, `lines`) or whole bytes (`data`) the code edits.
damage() {
  python3 - "$1" "$2" <<'EOF'
import sys
name, code = sys.argv[1], sys.argv[2]
data = open("show.scr", "rb").read()
offset = int(data[-20:])
text = data[offset:-20]
lines = [line.split(b"\xff") for line in text.split(b"\r\n")[:-1]]
exec(code)
text = b"".join(b"\xff".join(fields) + b"\r\n" for fields in lines)
if data == open("show.scr", "rb").read():
    data = data[:offset] + text + b"%020d" % offset
open(name, "wb").write(data)
EOF
}
invalid="Invalid screen saver file.  Please ensure this file is a *.scr file."

# Layout broken: the player's message and the specific problem, at once.
damage bad-trailer.scr 'data = data[:-20] + b"0000000000000000001x"'
expect 1 "$VISTEL_PACK" check bad-trailer.scr
contains err.txt "$invalid"
contains err.txt "not 20 decimal digits"
damage short.scr 'data = b"0123456789"'
expect 1 "$VISTEL_PACK" check short.scr
contains err.txt "shorter than the 20-byte trailer"
damage far-offset.scr 'data = data[:-20] + b"%020d" % (len(data) + 5)'
expect 1 "$VISTEL_PACK" check far-offset.scr
contains err.txt "past the trailer"
damage no-screens.scr 'lines[3:] = []'
expect 1 "$VISTEL_PACK" inspect no-screens.scr --json
contains err.txt "$invalid"
contains err.txt "no screen group"
[[ ! -s out.txt ]] || fail "expected no JSON for an invalid package"
expect 1 "$VISTEL_PACK" check missing.scr
contains err.txt "$invalid"

# Lines: [GLOBAL], two audio lines, then screen groups; [SCREEN-VIDEO] of
# screen 1 is line 3 + 5 + 3 = 11 (fields: 3 length, 4 position).
damage past-end.scr 'lines[11][3] = b"999999"'
expect 1 "$VISTEL_PACK" check past-end.scr
contains err.txt "screen 1 video (VideoPosition"
contains err.txt "run past the end of the file"
damage into-text.scr 'lines[11][3] = b"%d" % (offset - int(lines[11][4]) + 2)'
expect 1 "$VISTEL_PACK" check into-text.scr
contains err.txt "overlap the configuration text"
# [SCREEN-BACKGROUND] of screen 0 is line 4 (field 3: length).
damage no-background.scr 'lines[4][3] = b"0"'
expect 1 "$VISTEL_PACK" check no-background.scr
contains err.txt "screen 0 background"
contains err.txt "BackgroundKind is 1 but BackgroundLength is 0"
# [AUDIO-FILE] of track 1 is line 2 (field 2: position).
damage before-start.scr 'lines[2][2] = b"0"'
expect 1 "$VISTEL_PACK" check before-start.scr
contains err.txt "track 1 audio"
contains err.txt "before the file's first byte"
damage extra-line.scr 'lines.append([b""])'
expect 1 "$VISTEL_PACK" check extra-line.scr
contains err.txt "last screen group is incomplete"
# Without the final CR LF the player reads the text all the same: a warning.
damage unterminated.scr 'text = text[:-2]; data = data[:offset] + text + b"%020d" % offset'
expect 0 "$VISTEL_PACK" check unterminated.scr --layout-only
contains err.txt "warning: the configuration text does not end with CR LF"
contains out.txt "sound"

# --- extract -----------------------------------------------------------------
expect 0 "$VISTEL_PACK" extract show.scr media-out
for pair in screen-000-background.jpg:media/bg.jpg screen-000-image.gif:media/one.png \
            screen-001-background.jpg:media/bg.jpg screen-001-video.mpg:media/clip.mpg \
            track-00-audio.mp2:music/song.mp3 track-01-audio.wav:music/other.wav; do
  cmp -s "media-out/${pair%%:*}" "show/${pair#*:}" || fail "extracted ${pair%%:*} differs"
done
python3 - <<'EOF' || fail "manifest.json does not list the media"
import json, sys
m = json.load(open("media-out/manifest.json"))["media"]
names = [e["name"] for e in m]
want = ["screen-000-background.jpg", "screen-000-image.gif", "screen-001-background.jpg",
        "screen-001-video.mpg", "track-00-audio.mp2", "track-01-audio.wav"]
ok = names == want and all(e["complete"] and e["written"] == e["length"] > 0 for e in m)
if not ok:
    print(m, file=sys.stderr)
sys.exit(0 if ok else 1)
EOF
# Links planted in the folder at the names extract writes (dangling, and one
# live): each is replaced by its file; what they point at stays as it was.
mkdir -p linked-out elsewhere
printf 'precious' >elsewhere/live
for name in screen-000-image.gif track-00-audio.mp2 manifest.json; do
  ln -s "$work/elsewhere/$name" "linked-out/$name"
done
ln -s "$work/elsewhere/live" linked-out/screen-001-video.mpg
expect 0 "$VISTEL_PACK" extract show.scr linked-out
for name in screen-000-image.gif track-00-audio.mp2 manifest.json; do
  [[ ! -e elsewhere/$name ]] || fail "extract wrote through the link linked-out/$name"
  [[ -f linked-out/$name && ! -L linked-out/$name ]] || fail "expected linked-out/$name replaced"
done
[[ $(cat elsewhere/live) == precious ]] || fail "extract wrote through the live link"
cmp -s linked-out/screen-001-video.mpg show/media/clip.mpg || fail "expected the video in place of the link"
expect 1 "$VISTEL_PACK" extract past-end.scr past-end-out
contains err.txt "screen 1 video"
python3 -c '
import json, sys
m = {e["name"]: e for e in json.load(open("past-end-out/manifest.json"))["media"]}
v = m["screen-001-video.mpg"]
sys.exit(0 if not v["complete"] and v["written"] < v["length"] else 1)' ||
  fail "expected the manifest to mark the cut video incomplete"

# --- build problems ----------------------------------------------------------
cat >show/typo.json <<'EOF'
{"screens": [{"image": "media/one.png", "DisplaySecond": 4}]}
EOF
expect 1 "$VISTEL_PACK" build show/typo.json -o typo.scr --player player.bin
contains err.txt 'screens[0]: unknown key "DisplaySecond" (did you mean "DisplaySeconds"?)'
cat >show/missing.json <<'EOF'
{"screens": [{"image": "media/nope.png"}]}
EOF
expect 1 "$VISTEL_PACK" build show/missing.json -o missing.scr --player player.bin
contains err.txt "screens[0].image"
[[ ! -e missing.scr && ! -e missing.scr.part ]] || fail "expected no package after a failed build"
expect 1 "$VISTEL_PACK" build show/SHOW.json -o show/media/bg.jpg --player player.bin
contains err.txt "choose another output"

# --- players that are no executable of a known kind ---------------------------
# Refused with their path and what they are not, before anything is written.
mkdir -p player-folder
printf 'just a text\n' >player.txt
printf 'MZ' >mz-only.bin
for bad in show/media/bg.jpg:"JPEG picture" player.txt:text player-folder:"is a folder" \
           no-such-player.bin:"no such player file" mz-only.bin:"starts with MZ"; do
  for command in build demo repack; do
    case $command in
      build) args=(build show/SHOW.json) ;;
      demo) args=(demo --media-dir bad-media) ;;
      repack) args=(repack show.scr) ;;
    esac
    expect 1 "$VISTEL_PACK" "${args[@]}" -o bad.scr --player "${bad%%:*}"
    contains err.txt "${bad%%:*}: "
    contains err.txt "${bad#*:}"
    contains err.txt "not an ELF or PE executable"
    [[ ! -e bad.scr && ! -e bad-media ]] || fail "$command wrote output with the player ${bad%%:*}"
  done
done

# --- the default player: next to vistel-pack, in the build tree, on PATH ------
mkdir -p bin nopath onpath tree/apps/pack tree/apps/player
cp "$VISTEL_PACK" bin/vistel-pack
cp "$VISTEL_PACK" tree/apps/pack/vistel-pack
expect 2 env PATH="$work/nopath" "$work/bin/vistel-pack" build show/SHOW.json -o default.scr
contains err.txt "--player"
contains err.txt "$work/bin/vistel-player"
contains err.txt "$work/nopath/vistel-player"
printf '\x7fELF PLAYER ON PATH' >onpath/vistel-player
expect 0 env PATH="$work/nopath:$work/onpath" "$work/bin/vistel-pack" build show/SHOW.json -o default.scr --permissive
cmp -s -n 16 onpath/vistel-player default.scr || fail "expected the player found on PATH"
printf '\x7fELF NEXT-DOOR PLAYER' >bin/vistel-player
chmod +x bin/vistel-player
expect 0 env PATH="$work/onpath" bin/vistel-pack build show/SHOW.json -o default.scr --permissive
cmp -s -n 16 bin/vistel-player default.scr || fail "expected the player next to vistel-pack"
expect 2 env PATH="$work/nopath" tree/apps/pack/vistel-pack build show/SHOW.json -o tree.scr
contains err.txt "$work/tree/apps/player/vistel-player"
printf '\x7fELF BUILD-TREE PLAYER' >tree/apps/player/vistel-player
expect 0 env PATH="$work/onpath" tree/apps/pack/vistel-pack build show/SHOW.json -o tree.scr --permissive
cmp -s -n 16 tree/apps/player/vistel-player tree.scr || fail "expected the player of the build tree"
# A default that is no executable is refused like a --player.
printf 'not a program' >bin/vistel-player
expect 1 env PATH="$work/nopath" bin/vistel-pack build show/SHOW.json -o notprog.scr
contains err.txt "$work/bin/vistel-player: "
[[ ! -e notprog.scr ]] || fail "expected no package behind a default that is no program"

# --- usage -------------------------------------------------------------------
expect 2 "$VISTEL_PACK"
expect 2 "$VISTEL_PACK" frobnicate
contains err.txt "unknown command 'frobnicate'"
expect 2 "$VISTEL_PACK" build show/SHOW.json --player player.bin
contains err.txt "missing -o"
expect 2 "$VISTEL_PACK" build -o x.scr
expect 2 "$VISTEL_PACK" inspect
expect 2 "$VISTEL_PACK" inspect show.scr --xml
contains err.txt "unknown option --xml"
expect 2 "$VISTEL_PACK" check a.scr b.scr
expect 2 "$VISTEL_PACK" extract show.scr
expect 2 "$VISTEL_PACK" build show/SHOW.json -o
expect 0 "$VISTEL_PACK" --help
contains out.txt "extract"
expect 0 "$VISTEL_PACK" help build
contains out.txt "Usage: vistel-pack build"
expect 0 "$VISTEL_PACK" check --help
contains out.txt "Usage: vistel-pack check"

if ((failures)); then
  echo "$failures failure(s)" >&2
  exit 1
fi
echo "pack.sh: all passed"

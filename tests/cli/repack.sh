#!/usr/bin/env bash
# vistel-pack repack end to end: a package laid out like the original's (an
# old player of odd size, a zero byte, media, zero fill, a configuration text
# written by hand with its quirks) moved behind players of other sizes keeps
# its records, its media bytes and the rest of its text, and plays the same
# show; damaged packages are refused and nothing is written through a link.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib/checks.bash"

: "${VISTEL_PACK:?the path of vistel-pack}"
: "${VISTEL_SCRATCH:?a scratch folder}"
tools=$(realpath "$(dirname "$0")/../tools")
work="$VISTEL_SCRATCH/repack"
rm -rf "$work"
mkdir -p "$work"
cd "$work"

# Real media (the show is played below), made by the demo command.
printf '\x7fELF DUMMY PLAYER' >dummy.bin
expect 0 "$VISTEL_PACK" demo -o unused.scr --player dummy.bin --media-dir media
rm -f unused.scr

# old.scr as the original authoring tool lays a package out: the player (here
# 70001 bytes that start like a Windows program), one zero byte, the media,
# zero fill, then the text. Positions are written in several forms (plain,
# zero-padded, with blanks, with a plus sign); one image is named by two
# screens, a video screen still names an image it never shows, an image
# screen names a video far outside the file, and a line of words follows the
# last group (the player ignores it).
python3 "$tools/make_old_package.py"

# The text of a package split into lines of fields, and the position fields
# of its media (line, field); shared by the checks below.
cat >pkg.py <<'EOF'
def parts(path):
    data = open(path, "rb").read()
    offset = int(data[-20:])
    lines = [l.split(b"\xff") for l in data[offset:-20].split(b"\r\n")]
    return data, offset, lines

# (line, field) of each medium's position and length: tracks, then 5-line groups.
def range_fields(lines):
    out, i = [], 1
    while lines[i][0] == b"[AUDIO-FILE]":
        out.append((f"track {i - 1}", (i, 2), (i, 1)))
        i += 1
    s = 0
    while i < len(lines) - 1:
        out += [(f"screen {s} background", (i + 1, 4), (i + 1, 3)),
                (f"screen {s} image", (i + 2, 3), (i + 2, 2)),
                (f"screen {s} video", (i + 3, 4), (i + 3, 3))]
        i, s = i + 5, s + 1
    return out

def number(lines, at):
    line, field = at
    return int(lines[line][field]) if line < len(lines) and field < len(lines[line]) else 0
EOF

# --- repacked behind players of other sizes ----------------------------------
printf '\x7fELF TINY PLAYER' >tiny.bin
python3 -c 'open("big.bin", "wb").write(b"\x7fELF" + b"BIG" * 333333)'   # 1000003 bytes
chmod +x tiny.bin
players=(tiny.bin big.bin)
if [[ -n ${VISTEL_PLAYER:-} && -x $VISTEL_PLAYER ]]; then players+=("$VISTEL_PLAYER"); fi
expect 0 "$VISTEL_PACK" inspect old.scr --json
cp out.txt old.json
for player in "${players[@]}"; do
  name=$(basename "$player")
  new="new-$name.scr"
  expect 0 "$VISTEL_PACK" repack old.scr -o "$new" --player "$player"
  contains out.txt "3 screens, 2 tracks"
  contains err.txt "screen 2 video (VideoPosition 5, VideoLength 99999999) is never played"
  cmp -s -n "$(stat -c %s "$player")" "$player" "$new" || fail "$new does not start with $player"
  [[ ! -x $player || -x $new ]] || fail "expected $new executable like its player"
  expect 0 "$VISTEL_PACK" inspect "$new" --json
  cp out.txt "$new.json"
  python3 - "$new" "$player" <<'EOF' || fail "$new does not hold the show of old.scr"
import json, os, sys
sys.path.insert(0, ".")
from pkg import parts, range_fields, number
new, player = sys.argv[1], sys.argv[2]
problems = []
def same(what, got, want):
    if got != want:
        problems.append(f"{what}: expected {want!r}, got {got!r}")

# inspect: the same records apart from the file, the offset and the positions.
def show(path):
    d = json.load(open(path))
    for key in ("PackageFileName", "ConfigOffset"):
        d.pop(key)
    for record in d["AudioTracks"] + d["Screens"]:
        for key in [k for k in record if k.endswith("Position")]:
            record.pop(key)
    return d
same("inspect", show(new + ".json"), show("old.json"))

old_data, old_offset, old_lines = parts("old.scr")
new_data, new_offset, new_lines = parts(new)
player_bytes = os.path.getsize(player)
positions = {}
for what, pos, length in range_fields(old_lines):
    positions[pos] = what
    p, n = number(old_lines, pos), number(old_lines, length)
    q = number(new_lines, pos)
    if n == 0 or p - 1 + n > old_offset:
        same(f"{what}: position kept", new_lines[pos[0]][pos[1]], old_lines[pos[0]][pos[1]])
        continue
    same(f"{what} bytes", new_data[q - 1:q - 1 + n], old_data[p - 1:p - 1 + n])
    # The field keeps its form: blanks, sign, zero padding.
    o, w = old_lines[pos[0]][pos[1]], new_lines[pos[0]][pos[1]]
    lead, body = o[:len(o) - len(o.lstrip())], o.strip()
    trail = o[len(o.rstrip()):]
    sign = b"+" if body.startswith(b"+") else b""
    digits = body[len(sign):]
    width = len(digits) if digits.startswith(b"0") and len(digits) > 1 else 0
    same(f"{what} position form", w, lead + sign + b"%0*d" % (width, q) + trail)

# Every other byte of the text is kept.
same("line count", len(new_lines), len(old_lines))
for i, (a, b) in enumerate(zip(old_lines, new_lines)):
    same(f"line {i} field count", len(b), len(a))
    for f, (x, y) in enumerate(zip(a, b)):
        if (i, f) not in positions:
            same(f"line {i} field {f}", y, x)

# The new player, then the media once each (the image is named three times),
# then the text: nothing of the old player, the zero byte or the zero fill.
media = sum(os.path.getsize("media/" + n) for n in
            ("small-scene.jpg", "checker.png", "clip.mpg", "tune.wav", "tune.mid"))
same("configuration offset", new_offset, player_bytes + media)
same("trailer", new_data[-20:], b"%020d" % new_offset)
for p in problems:
    print(p, file=sys.stderr)
sys.exit(1 if problems else 0)
EOF
done

# --- the same show, played ----------------------------------------------------
# trace PACKAGE OUT [--package]: plays 14 s of show headless; the temporary
# folder is the same for every run so that the traces can be compared.
if [[ -n ${VISTEL_PLAYER:-} && -x $VISTEL_PLAYER ]]; then
  play() {
    local program=$1 out=$2
    shift 2
    rm -rf play-temp play-system
    mkdir -p play-temp play-system
    expect 0 "$program" "$@" --headless --run-for 14 --screen 320x240 --seed 5 \
      --trace "$out" --temp "$work/play-temp" --system "$work/play-system" /s
  }
  play "$VISTEL_PLAYER" old.jsonl --package old.scr
  play "$VISTEL_PLAYER" tiny.jsonl --package new-tiny.bin.scr
  # The package with the real player in front runs by itself: it finds its
  # show in its own file.
  native="new-$(basename "$VISTEL_PLAYER").scr"
  play "./$native" native.jsonl
  python3 - old.jsonl tiny.jsonl native.jsonl <<'EOF' || fail "the repacked packages play another show"
import json, sys
def events(path):
    out = []
    for line in open(path):
        e = json.loads(line)
        e.pop("path", None)       # the package's own name
        e.pop("position", None)   # where a medium lies in the package
        out.append(e)
    return out
old = events(sys.argv[1])
kinds = {e["ev"] for e in old}
problems = []
for need in ("screen", "extract", "video", "crossfade", "mci"):
    if need not in kinds:
        problems.append(f"the old show has no {need} event: the test does not show much")
if any(e["ev"] == "msgbox" for e in old):
    problems.append("the old show shows a message box")
for path in sys.argv[2:]:
    new = events(path)
    if new != old:
        diff = next((i for i, (a, b) in enumerate(zip(old, new)) if a != b), min(len(old), len(new)))
        problems.append(f"{path} differs from event {diff}: {new[diff:diff + 2]} instead of "
                        f"{old[diff:diff + 2]} ({len(new)} events, {len(old)} before)")
for p in problems:
    print(p, file=sys.stderr)
sys.exit(1 if problems else 0)
EOF
fi

# --- damaged packages are refused, and nothing is left behind ---------------
# damage NAME PYTHON: a copy of old.scr whose configuration lines (`lines`, a
# list of lists of byte-string fields) or whole bytes (`data`) the code edits.
damage() {
  python3 - "$1" "$2" <<'EOF'
import sys
name, code = sys.argv[1], sys.argv[2]
data = open("old.scr", "rb").read()
offset = int(data[-20:])
lines = [line.split(b"\xff") for line in data[offset:-20].split(b"\r\n")]
original = data
exec(code)
if data == original:
    data = data[:offset] + b"\r\n".join(b"\xff".join(f) for f in lines) + b"%020d" % offset
open(name, "wb").write(data)
EOF
}
invalid="Invalid screen saver file.  Please ensure this file is a *.scr file."
# Lines: [GLOBAL], two audio lines, then groups of five: screen 1's video is
# line 3 + 5 + 3 = 11 (field 3 length, 4 position); screen 0's image line 5.
while IFS='|' read -r name edit message; do
  damage "$name.scr" "$edit"
  expect 1 "$VISTEL_PACK" repack "$name.scr" -o "$name-new.scr" --player tiny.bin
  contains err.txt "$message"
  [[ -z $(compgen -G "$name-new.scr*") ]] || fail "expected nothing written for $name.scr"
done <<'EOF'
past-end|lines[11][3] = b"99999999"|screen 1 video (VideoPosition
huge|lines[11][3] = b"2147483647"|run past the end of the file
into-text|lines[11][3] = b"%d" % (offset - int(lines[11][4]) + 2)|overlap the configuration text
negative|lines[5][2] = b"-5"|ImageLength -5 is negative
before-start|lines[1][2] = b"0"|track 0 audio (TrackPosition 0
trailer-outside|data = data[:-20] + b"%020d" % (len(data) + 1)|past the trailer
trailer-not-digits|data = data[:-20] + b"0000000000000000001x"|not 20 decimal digits
no-screens|lines[3:] = [[b""]]|no screen group
not-a-package|data = b"MZ" + bytes(100)|not 20 decimal digits
EOF
contains err.txt "$invalid"

# --- the output is never an input, and never written through a link ----------
before=$(cksum <old.scr)
expect 1 "$VISTEL_PACK" repack old.scr -o old.scr --player tiny.bin
contains err.txt "choose another output"
ln -s old.scr alias.scr
expect 1 "$VISTEL_PACK" repack old.scr -o alias.scr --player tiny.bin
contains err.txt "is the package being repacked"
[[ $(cksum <old.scr) == "$before" ]] || fail "expected old.scr left alone"
expect 1 "$VISTEL_PACK" repack old.scr -o tiny.bin --player tiny.bin
contains err.txt "is the player"
ln -s "$work/elsewhere/target" dangling.scr
expect 0 "$VISTEL_PACK" repack old.scr -o dangling.scr --player tiny.bin
[[ -f dangling.scr && ! -L dangling.scr && ! -e elsewhere/target ]] ||
  fail "expected the link replaced by the package, not written through"
expect 1 "$VISTEL_PACK" repack old.scr -o x.scr --player no-such-player.bin
contains err.txt "no-such-player.bin"
[[ ! -e x.scr ]] || fail "expected no package without a player"

# --- usage --------------------------------------------------------------------
expect 0 "$VISTEL_PACK" repack --help
contains out.txt "Usage: vistel-pack repack OLD.scr -o NEW.scr [--player PATH]"
expect 0 "$VISTEL_PACK" --help
contains out.txt "repack"
expect 2 "$VISTEL_PACK" repack old.scr --player tiny.bin
contains err.txt "missing -o"
expect 2 "$VISTEL_PACK" repack -o x.scr --player tiny.bin
contains err.txt "missing OLD.scr"
expect 2 "$VISTEL_PACK" repack old.scr other.scr -o x.scr --player tiny.bin
mkdir -p bin
cp "$VISTEL_PACK" bin/vistel-pack
expect 2 bin/vistel-pack repack old.scr -o x.scr
contains err.txt "--player"

if ((failures)); then
  echo "$failures failure(s)" >&2
  exit 1
fi
echo "repack.sh: all passed"

#!/usr/bin/env bash
# vistel-pack sheet and effects end to end: a contact sheet of a small show
# made here, whose cells must be the player's own snapshots at the times the
# sheet names (scaled down), differ from one another, name the screen the
# show never reaches, and come out the same on a second run; the effect list
# and its sheet; the command-line errors.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib/checks.bash"

: "${VISTEL_PACK:?the path of vistel-pack}"
: "${VISTEL_SCRATCH:?a scratch folder}"
if [[ -z "${VISTEL_PLAYER:-}" ]]; then
  echo "SKIP: no vistel-player to run" >&2
  exit 77
fi
work="$VISTEL_SCRATCH/sheet"
rm -rf "$work"
mkdir -p "$work/show" "$work/tmp"
cd "$work"
# The sheet's temporary package and snapshots go here, and must be gone after.
export TMPDIR="$work/tmp"

# Three pictures of different patterns, as 24-bit BMP files.
python3 - <<'EOF'
import struct
def bmp(path, w, h, colour):
    row = (w * 3 + 3) & ~3
    data = bytearray()
    for y in range(h - 1, -1, -1):
        line = bytearray()
        for x in range(w):
            r, g, b = colour(x, y)
            line += bytes((b, g, r))
        data += line + bytes(row - len(line))
    head = b"BM" + struct.pack("<IHHI", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    open(path, "wb").write(head + info + data)
bmp("show/a.bmp", 240, 180, lambda x, y: (255 if (x // 30 + y // 30) % 2 else 20, 40, 200))
bmp("show/b.bmp", 300, 200, lambda x, y: (x * 255 // 299, y * 255 // 199, 90))
bmp("show/c.bmp", 200, 200, lambda x, y: (250, 250, 250) if (x - 100) ** 2 + (y - 100) ** 2 < 6400 else (0, 90, 0))
EOF
cat >show/SHOW.json <<'EOF'
{
  "screens": [
    {"image": "a.bmp", "BackgroundColor": "#204060", "DisplaySeconds": 2},
    {"image": "b.bmp", "DisplaySeconds": 1.5, "EffectCode": 2000, "EffectParam1": 0,
     "EffectParam2": 800, "CaptionText": "second"},
    {"BackgroundColor": "#806020", "EffectCode": -100, "CrossFadeParam": 10,
     "DisplaySeconds": 0},
    {"image": "c.bmp", "DisplaySeconds": 2}
  ]
}
EOF

# --- sheet -------------------------------------------------------------------
sheet() {
  "$VISTEL_PACK" sheet show/SHOW.json -o "$1" --player "$VISTEL_PLAYER" --screen 400x300 \
    --cell-width 100 --seed 3 --transitions --columns 4
}
expect 0 sheet sheet.png
cp out.txt legend.txt
contains legend.txt "screen 0: image, 2 s, plain repaint; transition: no transition to show"
contains legend.txt "screen 1: image, 1.5 s, effect 2000 wipe (E); transition at "
contains legend.txt "screen 2: background, until input, cross-fade 10 steps; transition at "
contains legend.txt "screen 3: image, 2 s, plain repaint; transition: not reached -> "
contains legend.txt "rest: not reached: the show stays on screen 2 (DisplaySeconds 0) -> "
[[ -z "$(ls -A tmp)" ]] || fail "expected the sheet's temporary files to be removed; left: $(ls -A tmp)"

expect 0 sheet again.png
cmp -s sheet.png again.png || fail "expected the same sheet from the same show and seed"

# The same show as a package, for the player's own snapshots.
expect 0 "$VISTEL_PACK" build show/SHOW.json -o show.scr --player "$VISTEL_PLAYER"

# Each pictured moment: a snapshot at that time, scaled down 4 times by box
# averages, against the sheet's cell (the sheet averages areas too: equal
# within rounding), and the cells against one another.
python3 - "$VISTEL_PLAYER" <<'EOF' || fail "the sheet's cells are not the player's snapshots"
import re, struct, subprocess, sys, zlib

def read_png(path):
    data = open(path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", path
    at, idat = 8, b""
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            w, h, depth, colour = struct.unpack(">IIBB", body[:10])
            assert depth == 8 and colour in (2, 6), (path, depth, colour)
            bpp = 3 if colour == 2 else 4
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    raw = zlib.decompress(idat)
    stride = w * bpp
    rows, prev = [], bytearray(stride)
    for y in range(h):
        f = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if f == 1: line[i] = (line[i] + a) & 255
            elif f == 2: line[i] = (line[i] + b) & 255
            elif f == 3: line[i] = (line[i] + (a + b) // 2) & 255
            elif f == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append([tuple(line[x * bpp:x * bpp + 3]) for x in range(w)])
        prev = line
    return w, h, rows

def crop(img, x, y, w, h):
    return [row[x:x + w] for row in img[2][y:y + h]]

def shrink(img, k):
    w, h, rows = img
    out = []
    for y in range(h // k):
        line = []
        for x in range(w // k):
            s = [0, 0, 0]
            for dy in range(k):
                for dx in range(k):
                    p = rows[y * k + dy][x * k + dx]
                    s = [s[0] + p[0], s[1] + p[1], s[2] + p[2]]
            line.append(tuple(round(v / (k * k)) for v in s))
        out.append(line)
    return out

def diff(a, b):
    total = count = 0
    for ra, rb in zip(a, b):
        for pa, pb in zip(ra, rb):
            total += sum(abs(u - v) for u, v in zip(pa, pb))
            count += 3
    return total / count

sheet = read_png("sheet.png")
wrote = open("legend.txt").read()
size = re.search(r"wrote sheet.png \((\d+)x(\d+)\)", wrote)
assert size and (int(size.group(1)), int(size.group(2))) == sheet[:2], ("sheet size", size, sheet[:2])
cells = {}
ok = True
for n, (kind, t, x, y, w, h) in enumerate(re.findall(
        r"(transition|rest) at ([\d.]+) s -> (\d+),(\d+) (\d+)x(\d+)", wrote)):
    x, y, w, h = int(x), int(y), int(w), int(h)
    assert (w, h) == (100, 75), (w, h)
    snap = f"snap-{n}.png"
    subprocess.run([sys.argv[1], "--headless", "--package", "show.scr", "--screen", "400x300",
                    "--seed", "3", "--run-for", str(float(t) + 0.001), "--snapshot", f"{t}:{snap}",
                    "--temp", "tmp", "/s"], check=True, stdout=subprocess.DEVNULL)
    cell = crop(sheet, x, y, w, h)
    d = diff(cell, shrink(read_png(snap), 4))
    print(f"{kind} at {t} s: mean difference {d:.2f} from the snapshot")
    if d > 2.0:
        print(f"FAIL: the cell of the {kind} at {t} s differs from the snapshot by {d:.2f}")
        ok = False
    cells[(kind, t)] = cell
# Five moments: the rests of screens 0, 1 and 2 and the transitions of 1 and 2.
if len(cells) != 5:
    print(f"FAIL: expected 5 pictured moments, got {sorted(cells)}")
    ok = False
keys = sorted(cells)
for i in range(len(keys)):
    for j in range(i + 1, len(keys)):
        d = diff(cells[keys[i]], cells[keys[j]])
        if d < 8:
            print(f"FAIL: cells {keys[i]} and {keys[j]} are alike (difference {d:.2f})")
            ok = False
sys.exit(0 if ok else 1)
EOF

# A package as input; a show that is no package nor description.
expect 0 "$VISTEL_PACK" sheet show.scr -o from-package.png --player "$VISTEL_PLAYER" --screen 400x300 \
  --cell-width 100 --seed 3
contains out.txt "screen 1: image, 1.5 s, effect 2000 wipe (E); rest at "
# A run cut short by --max-seconds names what it did not reach.
expect 0 "$VISTEL_PACK" sheet show.scr -o short.png --player "$VISTEL_PLAYER" --max-seconds 3
contains out.txt "screen 1: image, 1.5 s, effect 2000 wipe (E); rest at 2.900 s"
contains out.txt "screen 2: background, until input, cross-fade 10 steps; rest: not reached: beyond the first 3.000 s of show"
printf 'not a package' >junk.bin
expect 1 "$VISTEL_PACK" sheet junk.bin -o junk.png --player "$VISTEL_PLAYER"
[[ ! -e junk.png ]] || fail "expected no sheet of a file that is no package"

expect 2 "$VISTEL_PACK" sheet show.scr --player "$VISTEL_PLAYER"
contains err.txt "missing -o SHEET.png"
expect 2 "$VISTEL_PACK" sheet show.scr -o x.png --screen 8x8 --player "$VISTEL_PLAYER"
contains err.txt "--screen needs WxH"
expect 2 "$VISTEL_PACK" sheet show.scr -o x.png --columns 0 --player "$VISTEL_PLAYER"
expect 1 "$VISTEL_PACK" sheet show.scr -o show.scr --player "$VISTEL_PLAYER"
contains err.txt "is an input of the sheet"

# --- effects -----------------------------------------------------------------
expect 0 "$VISTEL_PACK" effects
families=$(grep -cE '^[a-z][a-z ]+ +[0-9]{4,5}-[0-9]{4,5}' out.txt || true)
[[ $families == 20 ]] || fail "expected 20 effect families listed, got $families"
contains out.txt "dissolve             2480-2554, 15018-15035"
contains out.txt "shapes: box out, box in, circle out, circle in, diamond out, diamond in"
expect 0 "$VISTEL_PACK" effects --sheet effects.png --size 160x120 --columns 5
contains out.txt "wrote effects.png ("
python3 - <<'EOF' || fail "the effects sheet is not the size it says"
import re, struct
w, h = struct.unpack(">II", open("effects.png", "rb").read()[16:24])
said = re.search(r"wrote effects.png \((\d+)x(\d+)\): 20 families", open("out.txt").read())
assert said and (int(said.group(1)), int(said.group(2))) == (w, h), (said, w, h)
assert w > 5 * 160 and h > 4 * 120, (w, h)
EOF
expect 2 "$VISTEL_PACK" effects --size 160x120
expect 2 "$VISTEL_PACK" effects --sheet e.png --size 10x10

# --- help --------------------------------------------------------------------
expect 0 "$VISTEL_PACK" --help
contains out.txt "sheet     draw a contact sheet"
contains out.txt "effects   list the paint effects"
expect 0 "$VISTEL_PACK" sheet --help
contains out.txt "Usage: vistel-pack sheet PACKAGE|SHOW.json -o SHEET.png"
expect 0 "$VISTEL_PACK" help effects
contains out.txt "Usage: vistel-pack effects"

if ((failures > 0)); then
  echo "$failures failure(s)" >&2
  exit 1
fi
echo "sheet: all checks passed"

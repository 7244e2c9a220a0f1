#!/usr/bin/env bash
# The example show of examples/cafe builds with the demo's media, passes
# check, and plays through: every screen in turn, the cross-fade, the clip and
# both tracks.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib/checks.bash"

: "${VISTEL_PACK:?the path of vistel-pack}"
: "${VISTEL_SCRATCH:?a scratch folder}"
here=$(cd "$(dirname "$0")" && pwd)
example=$here/../../examples/cafe
work="$VISTEL_SCRATCH/example_show"
rm -rf "$work"
mkdir -p "$work/cafe"
cd "$work"

# The real player when there is one, so that the package also plays.
player=${VISTEL_PLAYER:-}
if [[ -z $player || ! -x $player ]]; then
  printf '\x7fELF DUMMY PLAYER \x00\x01\x02' >player.bin
  player=$work/player.bin
fi

# As examples/cafe/README.md says: the demo's media beside the description.
cp "$example/show.json" cafe/
expect 0 "$VISTEL_PACK" demo -o demo.scr --player "$player" --media-dir cafe/media
expect 0 "$VISTEL_PACK" build cafe/show.json -o cafe.scr --player "$player"
grep -qF "6 screens, 2 tracks" out.txt || fail "expected 6 screens and 2 tracks: $(cat out.txt)"
expect 0 "$VISTEL_PACK" check cafe.scr
expect 0 "$VISTEL_PACK" inspect cafe.scr --json
python3 - <<'EOF2' || fail "the example does not show what it is for"
import json, sys
d = json.load(open("out.txt"))
s = d["Screens"]
problems = []
def need(what, ok):
    if not ok:
        problems.append(what)
need("accents kept (Windows-1252)", "Caf\u00e9 du Port" in d["PublisherName"])
need("several sizings", len({x["ImageSizing"] for x in s if x["ScreenKind"] == 0}) >= 4)
need("a cross-fade", any(x["EffectCode"] == -100 for x in s))
need("no random effects", d["RandomEffects"] is False)
need("a video screen", any(x["ScreenKind"] == 1 and x["VideoLength"] > 0 for x in s))
need("music", len(d["AudioTracks"]) == 2)
for p in problems:
    print(p, file=sys.stderr)
sys.exit(1 if problems else 0)
EOF2

if [[ $player != "$work/player.bin" ]]; then
  mkdir -p temp system
  expect 0 "$player" --package cafe.scr --headless --run-for 40 --screen 320x240 \
    --trace play.jsonl --temp temp --system system /s
  python3 - play.jsonl <<'EOF2' || fail "the example does not play through"
import json, sys
events = [json.loads(line) for line in open(sys.argv[1])]
kinds = lambda name: [e for e in events if e["ev"] == name]
problems = []
def need(what, ok):
    if not ok:
        problems.append(what)
need(f"no message box: {kinds('msgbox')}", not kinds("msgbox"))
screens = [e["index"] for e in kinds("screen")]
need(f"every screen in turn, then the first again: {screens}", screens[:7] == [0, 1, 2, 3, 4, 5, 0])
need("the cross-fade of 45 steps", [e["steps"] for e in kinds("crossfade")][:1] == [45])
effects = [e["code"] for e in kinds("effect")]
need(f"the paint effects: {effects}", all(c in effects for c in (5002, 6000, 4006, 7000)))
states = [e["state"] for e in kinds("video")]
need(f"the clip plays to its end: {states}", "playing" in states and "ended" in states)
opened = [e["command"] for e in kinds("mci") if e["command"].startswith("open ")]
need(f"both tracks: {opened}", len(opened) >= 2 and "audio.wav" in opened[0] and "audio.mid" in opened[1])
for p in problems:
    print(p, file=sys.stderr)
sys.exit(1 if problems else 0)
EOF2
fi

if ((failures)); then
  echo "$failures failure(s)" >&2
  exit 1
fi
echo "example show: ok"

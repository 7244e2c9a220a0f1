#!/usr/bin/env bash
# docs/show.schema.json is a valid JSON Schema, takes the example show, the
# demo's show and a show of every default, and refuses what vistel-pack
# refuses. (That it names exactly the reader's keys, with the reader's
# defaults, the package tests check.) Skipped without python3-jsonschema.
set -euo pipefail

: "${VISTEL_PACK:?the path of vistel-pack}"
: "${VISTEL_SCRATCH:?a scratch folder}"
root=$(cd "$(dirname "$0")/../.." && pwd)
work="$VISTEL_SCRATCH/show_schema"
rm -rf "$work"
mkdir -p "$work"
cd "$work"

if ! python3 -c 'import jsonschema' 2>/dev/null; then
  echo "skipped: python3-jsonschema is not installed (scripts/setup-debian.sh installs it)"
  exit 77
fi

printf '\x7fELF DUMMY PLAYER \x00\x01\x02' >player.bin
"$VISTEL_PACK" demo -o demo.scr --player player.bin --media-dir media >/dev/null

python3 - "$root/docs/show.schema.json" "$root/examples/cafe/show.json" media/show.json <<'EOF'
import json, sys
import jsonschema

schema = json.load(open(sys.argv[1]))
jsonschema.Draft202012Validator.check_schema(schema)
validator = jsonschema.Draft202012Validator(schema)
problems = []

def errors(doc):
    return [e.message for e in validator.iter_errors(doc)]

for path in sys.argv[2:]:
    found = errors(json.load(open(path)))
    if found:
        problems.append(f"{path}: {found}")

# Every default given explicitly is a valid show.
def spelt_out(properties):
    return {k: v["default"] for k, v in properties.items() if "default" in v}
show = spelt_out(schema["properties"])
show["screens"] = [spelt_out(schema["$defs"]["screen"]["properties"])]
show["tracks"] = [dict(spelt_out(schema["$defs"]["track"]["properties"]), file="a.wav")]
if errors(show):
    problems.append(f"the defaults: {errors(show)}")

# What vistel-pack refuses, the schema refuses too.
refused = {
    "no screens": {},
    "an empty show": {"screens": []},
    "an unknown key": {"screens": [{"EffectCod": 1000}]},
    "an unknown top-level key": {"$schema": "x", "screens": [{}]},
    "an unknown track key": {"tracks": [{"file": "a.wav", "Volume": 3}], "screens": [{}]},
    "an image and a video": {"screens": [{"image": "a.jpg", "video": "b.mpg"}]},
    "a position with its file": {"screens": [{"image": "a.jpg", "ImagePosition": 9}]},
    "a length with its file": {"tracks": [{"file": "a.wav", "TrackLength": 9}], "screens": [{}]},
    "an image screen kind with a video": {"screens": [{"video": "b.mpg", "ScreenKind": 0}]},
    "a plain background with a picture": {"screens": [{"background": "a.jpg", "BackgroundKind": 0}]},
    "a colour that is not #RRGGBB": {"screens": [{"BackgroundColor": "red"}]},
    "a fraction in an Integer field": {"screens": [{"ImageSizing": 1.5}]},
    "an Integer out of its range": {"screens": [{"EffectCode": 40000}]},
    "a line break in a title": {"SaverTitle": "a\nb", "screens": [{}]},
    "a lone CR in a caption": {"screens": [{"CaptionText": "a\rb"}]},
    "the byte 0xFF": {"screens": [{"CaptionText": "\u00ff"}]},
    "an empty media path": {"screens": [{"image": ""}]},
}
for what, doc in refused.items():
    if not errors(doc):
        problems.append(f"expected the schema to refuse {what}")
for p in problems:
    print(p, file=sys.stderr)
sys.exit(1 if problems else 0)
EOF
echo "show schema: ok"

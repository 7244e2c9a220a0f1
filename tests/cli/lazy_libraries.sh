#!/usr/bin/env bash
# FFmpeg and FluidSynth are opened when a medium first needs them, not by the
# program loader: neither program names their libraries as needed or exports
# their functions (the libraries' calls among themselves must reach their
# own), and a player whose copies of them cannot be loaded still shows what
# needs neither (a JPEG) and says, for each other medium, why not.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib/checks.bash"

: "${VISTEL_PACK:?the path of vistel-pack}"
: "${VISTEL_PLAYER:?the path of vistel-player}"
: "${VISTEL_SCRATCH:?a scratch folder}"
work="$VISTEL_SCRATCH/lazy_libraries"
rm -rf "$work"
mkdir -p "$work/temp" "$work/broken"
cd "$work"

lazy='lib(av(codec|format|util)|sw(scale|resample)|fluidsynth)\.so'
for program in "$VISTEL_PLAYER" "$VISTEL_PACK"; do
  needed=$(readelf -d "$program" | grep NEEDED | grep -E "$lazy" || true)
  [[ -z $needed ]] || fail "expected no NEEDED entry for FFmpeg or FluidSynth in $program: $needed"
  exported=$(readelf --dyn-syms -W "$program" |
    awk '$7 != "UND" && $8 ~ /^(av_|avcodec_|avformat_|avio_|sws_|swr_|fluid_|new_fluid_|delete_fluid_)/' |
    awk '{print $8}' | head -5)
  [[ -z $exported ]] || fail "expected $program to export no FFmpeg or FluidSynth name: $exported"
done

# A JPEG screen, a PNG screen and a MIDI track, from the demo's media.
expect 0 "$VISTEL_PACK" demo -o demo.scr --media-dir media --player "$VISTEL_PLAYER"
cat >media/lazy.json <<'JSON'
{"tracks": [{"file": "tune.mid"}],
 "screens": [{"image": "landscape.jpg", "DisplaySeconds": 1},
             {"image": "checker.png", "DisplaySeconds": 1}]}
JSON
expect 0 "$VISTEL_PACK" build media/lazy.json -o lazy.scr --player "$VISTEL_PLAYER"

# The libraries' sonames as the player opens them, shadowed by files that
# are no libraries.
sonames=$(grep -aoE 'lib(avutil|avcodec|avformat|swscale|swresample|fluidsynth)\.so\.[0-9]+' \
  "$VISTEL_PLAYER" | sort -u)
[[ $(wc -l <<<"$sonames") == 6 ]] || fail "expected six sonames in the player, found: $sonames"
for soname in $sonames; do : >"broken/$soname"; done

# media_events TRACE: "screen/track kind reason" for each medium not used.
media_events() {
  python3 - "$1" <<'PY'
import json, sys
for line in open(sys.argv[1]):
    e = json.loads(line)
    if e["ev"] == "media":
        where = f"screen {e['screen']}" if "screen" in e else f"track {e['track']}"
        print(where, e["kind"], e["reason"])
PY
}

# With the libraries there: every medium is used.
expect 0 "$VISTEL_PLAYER" --headless --package lazy.scr --run-for 3 --trace loaded.jsonl \
  --temp "$work/temp" /s
media_events loaded.jsonl >loaded.txt
[[ ! -s loaded.txt ]] || fail "expected every medium used with the libraries there: $(cat loaded.txt)"

# Without them: the JPEG is shown; the PNG is refused with the loader's
# reason, the MIDI track as the sound device refuses it.
expect 0 env LD_LIBRARY_PATH="$work/broken" "$VISTEL_PLAYER" --headless --package lazy.scr \
  --run-for 3 --trace broken.jsonl --temp "$work/temp" /s
media_events broken.jsonl >broken.txt
grep -q '^screen 0 ' broken.txt && fail "expected the JPEG shown without FFmpeg: $(cat broken.txt)"
grep -q '^screen 1 image .*cannot load FFmpeg (.*libavutil\.so\.[0-9]*: ' broken.txt ||
  fail "expected screen 1's PNG refused as FFmpeg cannot load: $(cat broken.txt)"
# The sound device answers as Windows' does without a synthesiser.
grep -q '^track 0 audio no MIDI synthesiser is installed' broken.txt ||
  fail "expected track 0's MIDI refused as FluidSynth cannot load: $(cat broken.txt)"
contains err.txt "cannot load FFmpeg ("

if ((failures > 0)); then
  echo "$failures failures" >&2
  exit 1
fi
echo "lazy libraries: all checks passed"

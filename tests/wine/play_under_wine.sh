#!/usr/bin/env bash
# The Windows player under Wine, beside the Linux player on the same show:
#
#   tests/wine/play_under_wine.sh LINUX_BUILD WINDOWS_BUILD
#
# 1. Headless: a show of pictures (JPEG, PNG with transparency, BMP) and
#    captions, every sizing mode, paint effects and a cross-fade, with music
#    (a WAV and a MIDI track, repeated), played by both players with the same
#    seed: the traces must tell the same show, event for event and
#    millisecond for millisecond, every MCI reply included. Two things may
#    differ and are set aside: where the media were extracted (each system's
#    folders, also in the MCI commands) and a caption's measured size (GDI's
#    fonts on Windows, FreeType's metric twins of them on Linux). The Linux package repacked
#    with the Windows player plays the same course too, and so does an old
#    package with a clip, whose picture (the player's own MPEG-1 decoder on
#    Windows, FFmpeg on Linux) must match within the decoders' rounding.
# 2. Desktop: /s in a real window on an Xvfb screen; a screenshot of the
#    screen must match the headless snapshot of the same moment within a
#    small tolerance (fonts differ a little; the picture must not).
#    The old package plays /s with its music through winmm and its clip to
#    its end.
#
# 3. /i: the uninstall entry in the system's registry (read back with
#    `wine reg query`: its four values) and the list file in the system folder.
#
# Exits 0 when all hold, 1 when one does not, 77 (skipped) without Wine;
# parts 2 and 3 are skipped without Xvfb and ImageMagick.
set -euo pipefail
linux=$(realpath "${1:?usage: play_under_wine.sh LINUX_BUILD WINDOWS_BUILD}")
windows=$(realpath "${2:?usage: play_under_wine.sh LINUX_BUILD WINDOWS_BUILD}")
tools=$(realpath "$(dirname "$0")/../tools")
pack=$linux/apps/pack/vistel-pack
linux_player=$linux/apps/player/vistel-player
windows_player=$windows/apps/player/vistel-player.exe
for program in "$pack" "$linux_player" "$windows_player"; do
  [[ -x $program || -f $program ]] || { echo "missing: $program" >&2; exit 2; }
done
wine=$(command -v /usr/lib/wine/wine64 || command -v wine64 || command -v wine || true)
[[ -n $wine ]] || { echo "SKIP: no Wine"; exit 77; }
export WINEPREFIX=$windows/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
scratch=$windows/wine-play
rm -rf "$scratch" && mkdir -p "$scratch" && cd "$scratch"
source "$tools/../wine/null_sound.bash"
cleanup() { wineserver -k 2>/dev/null || true; stop_null_sound; }
trap cleanup EXIT
start_null_sound "$windows/sound"
wineserver -p </dev/null >/dev/null 2>&1
"$wine" cmd /c exit </dev/null >/dev/null 2>&1 || true

"$pack" demo -o unused.scr --player "$linux_player" --media-dir media >/dev/null
cat >show.json <<'JSON'
{
  "SaverTitle": "Under Wine",
  "RepeatAudio": true,
  "tracks": [{"file": "media/tune.wav"}, {"file": "media/tune.mid"}],
  "screens": [
    {"BackgroundColor": "#203040", "image": "media/checker.png", "ImagePlacement": 0,
     "DisplaySeconds": 3, "EffectCode": 1000, "CaptionText": "Centred\nin two lines"},
    {"background": "media/backdrop.jpg", "image": "media/badge.png", "ImageSizing": 1,
     "DisplaySeconds": 3, "EffectCode": 6000, "CaptionText": "Over a picture"},
    {"background": "media/landscape.jpg", "image": "media/shapes.bmp", "ImageSizing": 2,
     "DisplaySeconds": 3, "EffectCode": -100, "CrossFadeParam": 20},
    {"BackgroundColor": "#000000", "image": "media/small-scene.jpg", "ImageSizing": 3,
     "DisplaySeconds": 3, "EffectCode": 4006, "CaptionText": "The end"}
  ]
}
JSON
"$pack" build show.json -o linux.scr --player "$linux_player" >/dev/null
"$pack" build show.json -o windows.scr --player "$windows_player" >/dev/null

status=0
echo "== headless: the same show on both players"
common=(--headless --run-for 14 --seed 7 --screen 640x480)
"$linux_player" "${common[@]}" --package linux.scr --trace linux.jsonl --temp lt --system ls /s
"$wine" "$windows_player" "${common[@]}" --package windows.scr --trace windows.jsonl \
  --temp wt --system ws /s >wine.out 2>&1 || { cat wine.out; exit 1; }
# The Linux package given the Windows player by repack plays the same show.
"$pack" repack linux.scr -o repacked.scr --player "$windows_player" >/dev/null
"$wine" "$windows_player" "${common[@]}" --package repacked.scr --trace repacked.jsonl \
  --temp rt --system rs /s >>wine.out 2>&1 || { cat wine.out; exit 1; }
# An old package (laid out as the original authoring tool wrote them, with
# a clip and two tracks), repacked for each player, plays the same course.
python3 "$tools/make_old_package.py"
"$pack" repack old.scr -o old-linux.scr --player "$linux_player" >/dev/null
"$pack" repack old.scr -o old-windows.scr --player "$windows_player" >/dev/null
# Its clip is decoded by FFmpeg on Linux and by the player's own decoders
# on Windows: a moment of the clip must look the same.
"$linux_player" "${common[@]}" --package old-linux.scr --trace old-linux.jsonl --temp olt \
  --system ols --snapshot 4.5:old-linux.png /s
"$wine" "$windows_player" "${common[@]}" --package old-windows.scr --trace old-windows.jsonl \
  --temp owt --system ows --snapshot 4.5:old-windows.png /s >>wine.out 2>&1 ||
  { cat wine.out; exit 1; }
cat >same_course.py <<'PY'
import json, re, sys
def course(path):
    events = []
    for line in open(path, encoding="utf-8"):
        event = json.loads(line)
        if event["ev"] in ("extract", "package"):
            continue  # each system's folders
        if event["ev"] == "mci":
            event["command"] = re.sub(r'[^ "]*[\\/]', '', event["command"])
        if event["ev"] == "snapshot":
            event.pop("path")  # each player's own file
        if event["ev"] == "caption":
            event = {k: v for k, v in event.items() if k not in ("left", "top", "width", "height")}
        events.append(json.dumps(event, sort_keys=True))
    return events
linux, windows = course(sys.argv[1]), course(sys.argv[2])
if linux == windows:
    print(f"same course as on Linux: {len(linux)} events ({sys.argv[2]})")
    sys.exit(0)
for i, (a, b) in enumerate(zip(linux, windows)):
    if a != b:
        print(f"FAIL: event {i} differs\n  linux:   {a}\n  windows: {b}")
        break
else:
    print(f"FAIL: {len(linux)} events on Linux, {len(windows)} under Wine")
sys.exit(1)
PY
python3 same_course.py linux.jsonl windows.jsonl || status=1
python3 same_course.py linux.jsonl repacked.jsonl || status=1
python3 same_course.py old-linux.jsonl old-windows.jsonl || status=1
if command -v compare >/dev/null; then
  difference=$(compare -metric RMSE old-linux.png old-windows.png null: 2>&1 |
    sed 's/.*(\(.*\))/\1/' || true)
  echo "the clip's picture against Linux's: RMSE $difference (of 1)"
  python3 -c "import sys; sys.exit(0 if float('$difference') < 0.02 else 1)" ||
    { echo "FAIL: the clip looks different on Windows"; status=1; }
fi

echo "== desktop: /s in a window on an Xvfb screen"
if ! command -v xvfb-run >/dev/null || ! command -v import >/dev/null; then
  echo "SKIP: no Xvfb or ImageMagick"
  exit $status
fi
"$linux_player" --headless --run-for 6 --seed 7 --screen 800x600 --snapshot 5:headless.png \
  --package linux.scr --temp lt --system ls /s
# Wine's desktop takes the screen it starts on: the server started without a
# display must go first, or the window gets a screen of Wine's default size.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
cat >desktop.sh <<SH
#!/usr/bin/env bash
export WINEPREFIX=$WINEPREFIX WINEDEBUG=-all
wineserver -p </dev/null >/dev/null 2>&1
"$wine" "$windows_player" --package windows.scr --run-for 8 --seed 7 --trace desktop.jsonl \
  --temp dt --system ds /s >desktop.out 2>&1 &
player=\$!
# The screenshot is taken 5 s into the show on the show's own clock: the
# trace's timer lines say when the show started.
for _ in \$(seq 100); do grep -q '"ev":"screen"' desktop.jsonl 2>/dev/null && break; sleep 0.1; done
sleep 5
import -window root desktop.png
wait \$player
SH
chmod +x desktop.sh
xvfb-run -a -s "-screen 0 800x600x24" ./desktop.sh
# compare exits 1 when the pictures differ at all; the figure is what counts.
difference=$(compare -metric RMSE headless.png desktop.png null: 2>&1 | sed 's/.*(\(.*\))/\1/' || true)
echo "screenshot against the headless snapshot: RMSE $difference (of 1)"
python3 -c "import sys; sys.exit(0 if float('$difference') < 0.06 else 1)" ||
  { echo "FAIL: the window shows something else than the headless snapshot"; status=1; }
grep -q '"reason":"run-for"' desktop.jsonl || { echo "FAIL: /s did not run to its end"; status=1; }

echo "== desktop: an old package, repacked, plays /s with its clip and its music through winmm"
cat >old-desktop.sh <<SH
#!/usr/bin/env bash
export WINEPREFIX=$WINEPREFIX WINEDEBUG=-all
wineserver -p </dev/null >/dev/null 2>&1
"$wine" "$windows_player" --package old-windows.scr --run-for 9 --seed 7 \
  --trace old-desktop.jsonl --temp odt --system ods /s >old-desktop.out 2>&1
SH
chmod +x old-desktop.sh
xvfb-run -a -s "-screen 0 800x600x24" ./old-desktop.sh
grep -q '"reason":"run-for"' old-desktop.jsonl ||
  { echo "FAIL: the old package's /s did not run to its end"; status=1; }
for state in playing ended; do
  grep -q "\"ev\":\"video\",\"state\":\"$state\"" old-desktop.jsonl ||
    { echo "FAIL: the old package's clip was never $state on the desktop"; status=1; }
done
if command -v pulseaudio >/dev/null; then
  python3 - old-desktop.jsonl <<'PY' || status=1
import json, sys
events = [json.loads(line) for line in open(sys.argv[1], encoding="utf-8")]
positions = [int(e["reply"] or 0) for e in events
             if e["ev"] == "mci" and e["command"].endswith(" position") and e["rc"] == 0]
if not positions or max(positions) < 1000:
    print(f"FAIL: the music did not move through winmm (positions {positions[:8]})")
    sys.exit(1)
print(f"music through winmm: {len(positions)} position queries, up to {max(positions)} ms")
PY
fi

echo "== /i: the uninstall entry in Wine's registry"
# A fresh server for a fresh display: the last one's desktop belonged to an
# X server that is gone.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
rm -f "$WINEPREFIX/drive_c/windows/system32/vistelss.lst"
cat >install.sh <<SH
#!/usr/bin/env bash
export WINEPREFIX=$WINEPREFIX WINEDEBUG=-all
wineserver -p </dev/null >/dev/null 2>&1
"$wine" reg delete 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\VISTEL-windows' /f \
  >/dev/null 2>&1
"$wine" "$windows_player" --package windows.scr /i >install.out 2>&1
"$wine" reg query 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\VISTEL-windows' \
  >entry.txt 2>&1
exit 0
SH
chmod +x install.sh
xvfb-run -a ./install.sh || echo "FAIL: xvfb-run could not run the installation"
{ tr -d '\r' <entry.txt | grep REG_SZ || true; } | sed 's/^ *//' | tee values.txt
if [[ ! -s values.txt ]]; then
  echo "FAIL: no uninstall entry; the player said:"
  cat install.out entry.txt 2>/dev/null || true
  status=1
fi
for value in DisplayName UninstallString DisplayIcon Publisher; do
  grep -q "^$value " values.txt || { echo "FAIL: /i wrote no $value"; status=1; }
done
grep -q "^DisplayName *REG_SZ *Screen Saver: windows (remove only)$" values.txt ||
  { echo "FAIL: the entry's name is not the show's"; status=1; }
[[ -f $WINEPREFIX/drive_c/windows/system32/vistelss.lst ]] ||
  { echo "FAIL: /i made no list file in the system folder"; status=1; }
exit $status

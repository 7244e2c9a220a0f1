#!/usr/bin/env bash
# The Windows player's full-screen show on two monitors, under Wine:
#
#   tests/wine/monitors_under_wine.sh LINUX_BUILD WINDOWS_BUILD
#
# A Wine virtual desktop is one monitor, so the monitors are X's: a Xephyr
# with two Xinerama heads (800x600 at 0,0 and 800x450 at 800,0) inside an
# Xvfb, and a Wine prefix of this check's own that lists monitors through
# Xinerama (UseXRandR=N: Xephyr's RandR shows one screen). Checked:
#   - mirror (--monitors mirror): the second monitor shows the show scaled
#     to 600x450, centred, black bars beside it;
#   - primary (the default): the second monitor is black; 20 pixels of
#     mouse travel on it keep the show, 60 more end it (close by the mouse).
# Exits 0 when all hold, 1 when one does not, 77 (skipped) without Wine,
# Xvfb, Xephyr or ImageMagick.
set -euo pipefail
linux=$(realpath "${1:?usage: monitors_under_wine.sh LINUX_BUILD WINDOWS_BUILD}")
windows=$(realpath "${2:?usage: monitors_under_wine.sh LINUX_BUILD WINDOWS_BUILD}")
export VISTEL_PLAYER=$linux/apps/player/vistel-player
export VISTEL_PACK=$linux/apps/pack/vistel-pack
windows_player=$windows/apps/player/vistel-player.exe
for program in "$VISTEL_PACK" "$VISTEL_PLAYER" "$windows_player"; do
  [[ -x $program || -f $program ]] || { echo "missing: $program" >&2; exit 2; }
done
# shellcheck source=../tools/x_session.bash
source "$(dirname "$0")/../tools/x_session.bash"
wine=$(command -v /usr/lib/wine/wine64 || command -v wine64 || command -v wine || true)
[[ -n $wine ]] || x_skip "no Wine"
x_require_tools Xvfb Xephyr xdotool xwininfo import convert compare identify python3

scratch=$windows/wine-monitors
rm -rf "$scratch" && mkdir -p "$scratch/media" "$scratch/wt" "$scratch/ws" "$scratch/shots"
cd "$scratch"
export X_LOG_DIR=$scratch
export WINEPREFIX=$scratch/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
trap 'wineserver -k 2>/dev/null || true; x_cleanup' EXIT

x_make_media media
cat >show.json <<'EOF'
{
  "SaverTitle": "Monitors under Wine",
  "screens": [
    {"BackgroundColor": "#203040", "image": "media/small-scene.jpg",
     "DisplaySeconds": 0, "EffectCode": 1000}
  ]
}
EOF
"$VISTEL_PACK" build show.json -o windows.scr --player "$windows_player" >/dev/null
"$VISTEL_PACK" build show.json -o linux.scr --player "$VISTEL_PLAYER" >/dev/null
"$VISTEL_PLAYER" --headless --package linux.scr --temp "$scratch/lt" --screen 800x600 \
  --snapshot 1:shots/headless.png --run-for 1.5 /s >headless.out 2>&1 ||
  fail "the headless run failed: $(cat headless.out)"

x_start_server 1700x700
fdfile=$(mktemp)
Xephyr -displayfd 3 +xinerama -screen 800x600 -screen 800x450 -nolisten tcp -br -noreset \
  3>"$fdfile" >xephyr.log 2>&1 &
x_track $!
for ((tries = 0; tries < 200; tries++)); do
  [[ -s $fdfile ]] && break
  sleep 0.05
done
number=$(tr -dc '0-9' <"$fdfile")
rm -f "$fdfile"
[[ -n $number ]] || { echo "FAIL: Xephyr did not start: $(cat xephyr.log)" >&2; exit 1; }
export DISPLAY=":$number"
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
wineserver -p </dev/null >/dev/null 2>&1
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v UseXRandR /d N /f >/dev/null 2>&1 ||
  fail "the prefix could not be told to list monitors through Xinerama"
# Wine's X11 driver reads it when it starts: a new server.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
wineserver -p </dev/null >/dev/null 2>&1
# The first window on a fresh Xephyr moves Xephyr's pointer (see
# tests/cli/desktop_monitors.sh); Wine's first window (from the prefix's
# start) has taken that move by now.

# play NAME [OPTION...]: /s until its screen is revealed; sets show_pid.
play() {
  local name=$1
  shift
  xdotool mousemove 1000 200
  "$wine" "$windows_player" --package windows.scr --run-for 20 --trace "$name.jsonl" \
    --temp wt --system ws "$@" /s >"$name.out" 2>&1 &
  show_pid=$!
  x_track "$show_pid"
  x_wait_trace "$name.jsonl" '{"ev":"reveal","index":0}' 30 || {
    fail "$name: the show never came up: $(cat "$name.out")"
    return 1
  }
  sleep 1.5
  x_screenshot root "shots/$name.png"
}

if play mirror --monitors mirror; then
  convert shots/mirror.png -crop 800x600+0+0 +repage shots/mirror-head1.png
  convert shots/mirror.png -crop 600x450+900+0 +repage shots/mirror-picture.png
  convert shots/headless.png -filter Triangle -resize '600x450!' shots/headless-scaled.png
  x_matches shots/mirror-head1.png shots/headless.png ||
    fail "mirror: the primary monitor does not show the headless picture"
  x_matches shots/mirror-picture.png shots/headless-scaled.png 0.03 ||
    fail "mirror: the second monitor does not show the show scaled to 600x450"
  for bar in 100x450+800+0 100x450+1500+0; do
    [[ $(convert shots/mirror.png -crop "$bar" +repage -format '%[max]' info:) == 0 ]] ||
      fail "mirror: the bar $bar beside the mirrored picture is not black"
  done
  x_end "$show_pid"
fi

if play primary; then
  [[ $(convert shots/primary.png -crop 800x450+800+0 +repage -format '%[max]' info:) == 0 ]] ||
    fail "primary: the second monitor is not black"
  xdotool mousemove 1020 200
  sleep 1.2
  x_alive "$show_pid" || fail "primary: 20 pixels of travel on the second monitor ended the show"
  xdotool mousemove 1080 200
  # The close is the show's; Wine then takes its time to end the process.
  x_wait_trace primary.jsonl '{"ev":"close","reason":"mouse","refused":false}' "$(x_limit 2)" ||
    fail "primary: 60 pixels of travel on the second monitor did not end the show"
  x_wait_gone "$show_pid" 15 || fail "primary: the process did not end after the close"
fi

x_finish monitors_under_wine.sh

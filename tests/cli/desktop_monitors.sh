#!/usr/bin/env bash
# The full-screen show on two monitors side by side (a Xephyr with two
# Xinerama heads, 800x600 at 0,0 and 800x450 at 800,0, inside a private
# Xvfb): by default the show plays on the primary monitor and the other is
# black; with the registry's setting "mirror" the other shows the same
# picture scaled to its own size, its shape kept (bars left and right on the
# wider monitor). Input on the other monitor's window counts as input on the
# show (mouse travel, a key press), closing that window closes the show, and
# every window goes with it.
set -euo pipefail

: "${VISTEL_PLAYER:?the path of vistel-player}"
: "${VISTEL_PACK:?the path of vistel-pack}"
: "${VISTEL_SCRATCH:?a scratch folder}"
# shellcheck source=../tools/x_session.bash
source "$(dirname "${BASH_SOURCE[0]}")/../tools/x_session.bash"
x_require_tools Xvfb Xephyr xdotool xwininfo import compare convert identify python3
x_require_desktop_player

work="$VISTEL_SCRATCH/desktop_monitors"
rm -rf "$work"
mkdir -p "$work/media" "$work/tmp" "$work/shots"
cd "$work"
export X_LOG_DIR="$work"

title="Vistel Screen Saver"
# The second head is 16:9 beside a 4:3 primary: its mirror is 600x450 at 100.
second_x=800 second_w=800 second_h=450
mirror_x=100 mirror_w=600

# One screen that stays for good once shown.
x_make_media media
cat >show.json <<'EOF'
{
  "SaverTitle": "Monitors test",
  "screens": [
    {"BackgroundColor": "#203040", "image": "media/small-scene.jpg",
     "DisplaySeconds": 0, "EffectCode": 1000,
     "CaptionText": "Two monitors", "CaptionFontSize": 20, "CaptionBackColor": "#FFF0C0"}
  ]
}
EOF
x_build_show show.json show.scr

"$VISTEL_PLAYER" --headless --package show.scr --temp "$work/tmp" --screen 800x600 \
  --snapshot 1.5:shots/headless.png --run-for 2 /s >headless.out 2>&1 ||
  fail "the headless run failed: $(cat headless.out)"

# Two heads: a Xephyr on the Xvfb (Xvfb's own Xinerama would put both heads
# at 0,0).
x_start_server 1700x700
fdfile=$(mktemp)
Xephyr -displayfd 3 +xinerama -screen 800x600 -screen "${second_w}x${second_h}" -nolisten tcp \
  -br -noreset 3>"$fdfile" >xephyr.log 2>&1 &
x_track $!
for ((tries = 0; tries < 200; tries++)); do
  [[ -s $fdfile ]] && break
  sleep 0.05
done
number=$(tr -dc '0-9' <"$fdfile")
rm -f "$fdfile"
[[ -n $number ]] || {
  echo "FAIL: Xephyr did not start: $(cat xephyr.log)" >&2
  exit 1
}
export DISPLAY=":$number"
echo "Xephyr on $DISPLAY"
# The first SDL window on a fresh Xephyr moves Xephyr's pointer to the
# right edge of its second screen (Xephyr's doing: a plain Xlib window does
# not, a second SDL client does not). A short about window takes that move
# before the pointer is placed for the tests.
"$VISTEL_PLAYER" --package show.scr --registry "$work/warm.reg" --run-for 0.5 /c \
  >warm.out 2>&1 || fail "the about window for the warm-up failed: $(cat warm.out)"

# start_show NAME [OPTION...]: /s with a trace in NAME.jsonl and the pointer
# resting on the second monitor; sets show_pid, show_window and
# second_window once both windows are up.
start_show() {
  local name=$1
  shift
  xdotool mousemove 1000 200
  "$VISTEL_PLAYER" --package show.scr --temp "$work/tmp" --registry "$work/$name.reg" \
    --trace "$name.jsonl" "$@" /s >"$name.out" 2>&1 &
  show_pid=$!
  x_track "$show_pid"
  if ! show_window=$(x_wait_window "$title" 15) ||
    ! second_window=$(x_wait_window "$title \\(monitor 2\\)" 5); then
    fail "$name: the show's two windows did not come up; output: $(cat "$name.out")"
    x_end "$show_pid"
    return 1
  fi
}

# expect_ended PID SECONDS WHAT: the process ends within SECONDS, exit code 0,
# and leaves no window behind.
expect_ended() {
  local limit
  limit=$(x_limit "$2")
  if ! x_wait_gone "$1" "$limit"; then
    fail "$3: the show still runs $limit s later"
    return 1
  fi
  local code=0
  wait "$1" || code=$?
  [[ $code == 0 ]] || fail "$3: the player exited with $code"
  local left
  left=$(xdotool search --onlyvisible --name "^${title}" 2>/dev/null | wc -l) || true
  [[ $left == 0 ]] || fail "$3: $left of the show's windows are still there"
}

# head_shot NAME: the screen once the show stands, as shots/NAME.png.
head_shot() {
  x_wait_trace "$1.jsonl" '{"ev":"reveal","index":0}' 15 ||
    fail "$1: the screen was never revealed: $(tail -n 3 "$1.jsonl")"
  sleep 0.5
  x_screenshot root "shots/$1.png"
}

crop() { convert "$1" -crop "$2" +repage "$3"; }
all_black() { [[ $(convert "$1" -alpha off -format '%[max]' info:) == 0 ]]; }

# The windows where they belong: the show on the primary monitor, the other
# window on the other monitor.
check_geometry() {
  local geometry
  geometry=$(x_geometry "$show_window")
  [[ $geometry == "0 0 800 600" ]] || fail "$1: the show window is at $geometry"
  geometry=$(x_geometry "$second_window")
  [[ $geometry == "$second_x 0 $second_w $second_h" ]] ||
    fail "$1: the second monitor's window is at $geometry"
}

# ---- Primary: the other monitor black; mouse travel on it -------------------
if start_show primary; then
  check_geometry primary
  head_shot primary
  crop shots/primary.png 800x600+0+0 shots/primary-head1.png
  crop shots/primary.png "${second_w}x${second_h}+${second_x}+0" shots/primary-head2.png
  x_matches shots/primary-head1.png shots/headless.png ||
    fail "primary: the primary monitor does not show the show as composed headless"
  all_black shots/primary-head2.png || fail "primary: the second monitor is not black"

  # 20 pixels on the second monitor stay within the travel limit; after the
  # travel sum has been cleared, 60 more at once end the show.
  xdotool mousemove 1020 200
  sleep 1
  x_alive "$show_pid" || fail "primary: 20 pixels of travel on the second monitor ended the show"
  xdotool mousemove 1080 200
  expect_ended "$show_pid" 1 "primary: 60 pixels of travel on the second monitor"
  x_trace_has primary.jsonl '{"ev":"close","reason":"mouse","refused":false}' ||
    fail "primary: no accepted close by the mouse: $(tail -n 3 primary.jsonl)"
fi

# ---- Mirror from the registry; a key press on the other monitor --------------
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Vistel\\Player]\r\n"Monitors"="mirror"\r\n\r\n' \
  >mirror.reg
if start_show mirror; then
  check_geometry mirror
  head_shot mirror
  crop shots/mirror.png 800x600+0+0 shots/mirror-head1.png
  crop shots/mirror.png "${mirror_w}x${second_h}+$((second_x + mirror_x))+0" \
    shots/mirror-picture.png
  crop shots/mirror.png "${mirror_x}x${second_h}+${second_x}+0" shots/mirror-bar-left.png
  crop shots/mirror.png "${mirror_x}x${second_h}+$((second_x + mirror_x + mirror_w))+0" \
    shots/mirror-bar-right.png
  convert shots/headless.png -filter Triangle -resize "${mirror_w}x${second_h}!" \
    shots/headless-scaled.png
  x_matches shots/mirror-head1.png shots/headless.png ||
    fail "mirror: the primary monitor does not show the show as composed headless"
  x_matches shots/mirror-picture.png shots/headless-scaled.png 0.03 ||
    fail "mirror: the second monitor does not show the show scaled to 600x450"
  all_black shots/mirror-bar-left.png && all_black shots/mirror-bar-right.png ||
    fail "mirror: the bars beside the mirrored picture are not black"

  # The pointer rests on the second monitor, whose window takes the key.
  xdotool key space
  expect_ended "$show_pid" 2 "mirror: a key press on the second monitor"
  x_trace_has mirror.jsonl '{"ev":"close","reason":"input","refused":false}' ||
    fail "mirror: no accepted close by input: $(tail -n 3 mirror.jsonl)"
fi

# ---- The option over the registry; closing the other monitor's window ----------
cp mirror.reg option.reg
if start_show option --monitors primary; then
  head_shot option
  crop shots/option.png "${second_w}x${second_h}+${second_x}+0" shots/option-head2.png
  all_black shots/option-head2.png ||
    fail "option: --monitors primary did not win over the registry's mirror"
  # What a window manager sends for a window's close box.
  python3 - "$second_window" <<'PY' || fail "option: the close request could not be sent"
import ctypes, ctypes.util, sys
x = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11"))
x.XOpenDisplay.restype = ctypes.c_void_p
x.XInternAtom.restype = ctypes.c_ulong
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                         ctypes.c_void_p]
x.XFlush.argtypes = [ctypes.c_void_p]
class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5), ("pad", ctypes.c_long * 24)]
display = x.XOpenDisplay(None)
if not display:
    sys.exit(1)
window = int(sys.argv[1])
event = ClientMessage()
event.type = 33  # ClientMessage
event.window = window
event.message_type = x.XInternAtom(display, b"WM_PROTOCOLS", 0)
event.format = 32
event.data[0] = x.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
event.data[1] = 0  # CurrentTime
sys.exit(0 if x.XSendEvent(display, window, 0, 0, ctypes.byref(event)) and x.XFlush(display) else 1)
PY
  expect_ended "$show_pid" 2 "option: the second monitor's window closed"
fi

x_finish desktop_monitors.sh

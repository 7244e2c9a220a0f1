#!/usr/bin/env bash
# /p ID on a real (virtual) X display, into a window of x_test_window as the
# Display Properties dialog's preview area: the show is drawn inside that
# window only, at its size, as the headless player composes it for a window
# of that size; input over it changes nothing; no music starts; when the
# window grows the show follows; when the window goes, the player ends.
set -euo pipefail

: "${VISTEL_PLAYER:?the path of vistel-player}"
: "${VISTEL_PACK:?the path of vistel-pack}"
: "${VISTEL_SCRATCH:?a scratch folder}"
# shellcheck source=../tools/x_session.bash
source "$(dirname "${BASH_SOURCE[0]}")/../tools/x_session.bash"
x_require_tools Xvfb xdotool xwininfo import compare convert identify python3
x_require_desktop_player
[[ -x ${VISTEL_X_TEST_WINDOW:-} ]] ||
  x_skip "x_test_window is not built (no X11 development files): VISTEL_X_TEST_WINDOW is unset"

work="$VISTEL_SCRATCH/desktop_preview"
rm -rf "$work"
mkdir -p "$work/media" "$work/tmp" "$work/shots"
cd "$work"
export X_LOG_DIR="$work"

# The preview area: 320x240 at 120, 90 on a 640x480 screen, growing to
# 400x300 after 15 s.
at_x=120 at_y=90
small=320x240 large=400x300
resize_after=15

# Two screens of 2 s each, both plain repaints: a picture of 320x240 on one
# colour (it fills the first size and leaves a border at the second), then
# another colour alone. The caption and the music are for
# the full-screen show only.
x_make_media media
cat >show.json <<'EOF'
{
  "SaverTitle": "Preview test",
  "tracks": [{"file": "media/tune.wav"}],
  "screens": [
    {"BackgroundColor": "#C04020", "image": "media/small-scene.jpg", "DisplaySeconds": 2,
     "EffectCode": 1000, "CaptionText": "Not in preview"},
    {"BackgroundColor": "#2080C0", "DisplaySeconds": 2, "EffectCode": 1000}
  ]
}
EOF
x_build_show show.json show.scr

# headless_shots SIZE: the headless player's preview in a window of that size
# at 1 s (first screen) and 3 s (second screen).
headless_shots() {
  "$VISTEL_PLAYER" --headless --package show.scr --temp "$work/tmp" --window "4660:$1" \
    --snapshot "1:shots/headless-$1-a.png" --snapshot "3:shots/headless-$1-b.png" \
    --run-for 3.5 /p 4660 >"headless-$1.out" 2>&1 ||
    fail "the headless preview at $1 failed: $(cat "headless-$1.out")"
}
headless_shots "$small"
headless_shots "$large"

# await_both_screens WINDOW SIZE SECONDS: screenshots of the window until each
# of the two screens has been seen as the headless player drew it at SIZE.
await_both_screens() {
  local window=$1 size=$2 deadline seen_a=0 seen_b=0 n=0 shot
  deadline=$(x_now_plus "$3")
  while ((!seen_a || !seen_b)) && [[ $(x_now) < "$deadline" ]]; do
    shot="shots/window-$size-$((n++)).png"
    x_screenshot "$window" "$shot" || continue
    if x_matches "$shot" "shots/headless-$size-a.png" 2>/dev/null; then
      seen_a=1
    elif x_matches "$shot" "shots/headless-$size-b.png" 2>/dev/null; then
      seen_b=1
    fi
    rm -f "${shot%.png}-diff.png"
    sleep 0.25
  done
  ((seen_a)) || fail "at $size the first screen never showed as the headless player draws it"
  ((seen_b)) || fail "at $size the second screen never showed as the headless player draws it"
  ((seen_a && seen_b))
}

# expect_only_inside SIZE: the screen outside the preview area is black.
expect_only_inside() {
  local w=${1%x*} h=${1#*x}
  x_screenshot root "shots/root-$1.png"
  x_outside_black "shots/root-$1.png" "$at_x" "$at_y" "$w" "$h" ||
    fail "with the preview area at $1 the show drew outside it (shots/root-$1.png)"
}

x_start_server 640x480
# The real player, with its settings file and temporary files kept here.
player=("$VISTEL_PLAYER" --package show.scr --temp "$work/tmp" --registry "$work/registry.reg")

"$VISTEL_X_TEST_WINDOW" "$small" --at "$at_x,$at_y" --resize-after "$resize_after" "$large" \
  >helper.out 2>helper.err &
helper_pid=$!
x_track "$helper_pid"
deadline=$(x_now_plus 10)
until [[ -s helper.out ]] || [[ $(x_now) > "$deadline" ]]; do sleep 0.05; done
window=$(head -n 1 helper.out)
[[ $window =~ ^[0-9]+$ ]] || {
  fail "x_test_window printed no window id: $(cat helper.out helper.err)"
  x_finish desktop_preview.sh
}
resize_at=$(x_now_plus "$resize_after")

"${player[@]}" --trace preview.jsonl /p "$window" \
  >preview.out 2>&1 &
player_pid=$!
x_track "$player_pid"

# ---- At the window's first size -----------------------------------------------
if await_both_screens "$window" "$small" 8; then
  expect_only_inside "$small"
fi

# Input over the preview is the dialog's, not the show's.
xdotool mousemove "$((at_x + 10))" "$((at_y + 10))"
sleep 0.2
xdotool mousemove "$((at_x + 200))" "$((at_y + 200))" click 1 key space
sleep 1.2
x_alive "$player_pid" || fail "mouse travel, a click or a key over the preview ended it"

# Everything so far must be done before the window grows.
[[ $(x_now) < "$resize_at" ]] ||
  fail "the checks at the first size took longer than the ${resize_after} s before the resize"

# ---- After the window grew ----------------------------------------------------
x_sleep_until "$resize_at"
deadline=$(x_now_plus 5)
until read -r -a geometry <<<"$(x_geometry "$window")" &&
  [[ ${geometry[2]}x${geometry[3]} == "$large" ]]; do
  [[ $(x_now) < "$deadline" ]] || break
  sleep 0.1
done
if await_both_screens "$window" "$large" 10; then
  expect_only_inside "$large"
fi

x_alive "$player_pid" || fail "the preview ended by itself: $(cat preview.out)"
if ! python3 - preview.jsonl <<'EOF'
import json, sys
for line in open(sys.argv[1]):
    event = json.loads(line) if line.strip() else {}
    if event.get("ev") == "mci" and event.get("command", "").split(" ")[0] in ("open", "play"):
        sys.exit(1)
EOF
then
  fail "the preview started music: $(grep '"mci"' preview.jsonl | head -n 3)"
fi

# ---- The window goes: nothing is left to draw in -------------------------------
x_end "$helper_pid"
x_wait_gone "$player_pid" "$(x_limit 2)" ||
  fail "the player still runs $(x_limit 2) s after its preview window was destroyed"

# ---- A preview id that names no window -----------------------------------------
# The handle message, then exit code 1. Should the message come as a dialog,
# Return closes it.
bad_preview="The selected screen saver could not determine the handle of the preview area"
bad_preview+=" of the Display Properties dialog."
"${player[@]}" --trace bad-id.jsonl /p 4660 \
  >bad-id.out 2>&1 &
bad_pid=$!
x_track "$bad_pid"
if ! x_wait_gone "$bad_pid" 5; then
  xdotool key Return
fi
if x_wait_gone "$bad_pid" 2; then
  code=0
  wait "$bad_pid" || code=$?
  [[ $code == 1 ]] || fail "/p with an id that names no window should exit 1, not $code"
  x_trace_has bad-id.jsonl "{\"ev\":\"msgbox\",\"text\":\"$bad_preview\"}" ||
    fail "/p with an id that names no window gave no handle message: $(cat bad-id.jsonl)"
else
  fail "/p with an id that names no window still runs after 7 s: $(cat bad-id.out)"
fi

x_finish desktop_preview.sh

#!/usr/bin/env bash
# The show in /s on a real (virtual) X display: what is on the screen at quiet
# moments is what the headless player composes at the same moments; the
# window covers the screen; a second /s finds the running show and leaves;
# mouse travel of at most 50 pixels keeps the show, more ends it within a
# second, and so does a key press.
set -euo pipefail

: "${VISTEL_PLAYER:?the path of vistel-player}"
: "${VISTEL_PACK:?the path of vistel-pack}"
: "${VISTEL_SCRATCH:?a scratch folder}"
# shellcheck source=../tools/x_session.bash
source "$(dirname "${BASH_SOURCE[0]}")/../tools/x_session.bash"
x_require_tools Xvfb xdotool xwininfo import compare convert identify python3
x_require_desktop_player

work="$VISTEL_SCRATCH/desktop_fullscreen"
rm -rf "$work"
mkdir -p "$work/media" "$work/tmp" "$work/shots"
cd "$work"
export X_LOG_DIR="$work"

width=640 height=480
title="Vistel Screen Saver"

# Two quiet stretches: the first screen stands still from its plain repaint
# to 3 s; the second (a cross-fade to a stretched backdrop, a picture and a
# caption) stays for ever once its fade is done.
x_make_media media
cat >show.json <<'EOF'
{
  "SaverTitle": "Desktop test",
  "screens": [
    {"BackgroundColor": "#203040", "image": "media/small-scene.jpg",
     "DisplaySeconds": 3, "EffectCode": 1000},
    {"background": "media/backdrop.jpg", "image": "media/badge.png", "DisplaySeconds": 0,
     "EffectCode": -100, "CrossFadeParam": 16,
     "CaptionText": "A quiet moment", "CaptionFontSize": 20, "CaptionBackColor": "#FFF0C0"}
  ]
}
EOF
x_build_show show.json show.scr

# What the headless player composes at those moments.
"$VISTEL_PLAYER" --headless --package show.scr --temp "$work/tmp" --screen "${width}x${height}" \
  --snapshot 1.5:shots/headless-1.5.png --snapshot 6:shots/headless-6.png --run-for 6.5 /s \
  >headless.out 2>&1 || fail "the headless run failed: $(cat headless.out)"

x_start_server "${width}x${height}"
# The real player, with its settings file and temporary files kept here.
player=("$VISTEL_PLAYER" --package show.scr --temp "$work/tmp" --registry "$work/registry.reg")

# start_show NAME: starts /s with a trace in NAME.jsonl; sets show_pid and,
# once its window is up, show_window and show_start (x_now at that moment).
# The pointer rests at 100, 100 when the show starts.
start_show() {
  xdotool mousemove 100 100
  "${player[@]}" --trace "$1.jsonl" /s \
    >"$1.out" 2>&1 &
  show_pid=$!
  x_track "$show_pid"
  if ! show_window=$(x_wait_window "$title" 15); then
    fail "$1: no window named '$title' within 15 s; output: $(cat "$1.out")"
    x_end "$show_pid"
    return 1
  fi
  show_start=$(x_now)
}

# expect_ended PID SECONDS WHAT: the process ends within SECONDS (counted from
# the call, made right after the input; longer in a sanitizer build), exit
# code 0.
expect_ended() {
  local from limit
  from=$(x_now)
  limit=$(x_limit "$2")
  if ! x_wait_gone "$1" "$limit"; then
    fail "$3: the show still runs $limit s later"
    return 1
  fi
  echo "$3: ended after $((10#$(x_now) - 10#$from)) ms"
  local code=0
  wait "$1" || code=$?
  [[ $code == 0 ]] || fail "$3: the player exited with $code"
}

# await_match TRACE INDEX SECONDS WANT: once the trace says that screen INDEX
# is revealed, screenshots of the screen for up to SECONDS until one matches
# the picture WANT. Anchored on the show's own account of its progress, the
# check stays exact on a slow machine too, where the start takes longer.
await_match() {
  local n=0 shot deadline
  x_wait_trace "$1" "{\"ev\":\"reveal\",\"index\":$2}" 30 || {
    echo "screen $2 was never revealed: $(tail -n 3 "$1")" >&2
    return 1
  }
  deadline=$(x_now_plus "$3")
  while :; do
    shot="shots/screen-$2-$((n++)).png"
    x_screenshot root "$shot"
    if x_matches "$shot" "$4" 2>/dev/null; then
      return 0
    fi
    if [[ $(x_now) > "$deadline" ]]; then
      x_matches "$shot" "$4" || true
      return 1
    fi
    rm -f "$shot" "${shot%.png}-diff.png"
    sleep 0.2
  done
}

# ---- The picture at quiet moments, the placement ---------------------------
if start_show screens; then
  read -r -a geometry <<<"$(x_geometry "$show_window")"
  [[ "${geometry[*]}" == "0 0 $width $height" ]] ||
    fail "the show window should cover the screen (0 0 $width $height), it is at ${geometry[*]}"

  # The first screen stands from its reveal to 3 s later, the second from
  # its fade on.
  await_match screens.jsonl 0 2.5 shots/headless-1.5.png ||
    fail "the first screen at rest never showed as in the headless snapshot at 1.5 s"
  await_match screens.jsonl 1 5 shots/headless-6.png ||
    fail "the second screen after its cross-fade never showed as in the headless snapshot at 6 s"

  # A second start finds the running show by its window title and leaves at
  # once, without a window of its own; the first one plays on.
  "${player[@]}" /s >second.out 2>&1 &
  second_pid=$!
  x_track "$second_pid"
  expect_ended "$second_pid" 5 "a second /s"
  count=$(xdotool search --onlyvisible --name "^${title}\$" | wc -l)
  [[ $count == 1 ]] || fail "expected one show window after the second start, found $count"
  x_alive "$show_pid" || fail "the running show ended when a second one was started"

  # Mouse travel, measured from where the pointer was when the window came up
  # (100, 100, placed before the start): 50 pixels (city-block) stay within
  # the limit; after a pause of more than 800 ms the sum starts again, so 50
  # more are still within it, and one more pixel at once ends the show.
  xdotool mousemove 125 125
  sleep 1.2
  x_alive "$show_pid" || fail "mouse travel of 50 pixels ended the show"
  xdotool mousemove 150 150
  sleep 0.3
  x_alive "$show_pid" || fail "50 pixels after a pause of 1.2 s ended the show"
  xdotool mousemove 151 150
  expect_ended "$show_pid" 1 "mouse travel of 51 pixels"
  x_trace_has screens.jsonl '{"ev":"close","reason":"mouse","refused":false}' ||
    fail "the trace of the mouse run has no accepted close by the mouse: $(tail -n 3 screens.jsonl)"
fi

# ---- A long move ---------------------------------------------------------------
if start_show travel; then
  x_sleep_until "$((10#$show_start + 1500))"
  x_alive "$show_pid" || fail "the show ended before the mouse moved: $(cat travel.out)"
  xdotool mousemove 110 110
  sleep 0.2
  xdotool mousemove 210 210
  expect_ended "$show_pid" 1 "mouse travel of 200 pixels"
fi

# ---- A key press -------------------------------------------------------------
# On the second screen, at rest for good: the travel timer armed at the
# window's load has run out, and no screen change comes (a cross-fade that
# starts within 800 ms of a key press clears the pending quit), so the key
# press alone has to bring the end.
if start_show key; then
  if x_wait_trace key.jsonl '{"ev":"reveal","index":1}' 15; then
    sleep 0.5
    x_alive "$show_pid" || fail "the show ended before the key press: $(cat key.out)"
    xdotool key space
    expect_ended "$show_pid" 1 "a key press"
    x_trace_has key.jsonl '{"ev":"close","reason":"input","refused":false}' ||
      fail "the trace of the key run has no accepted close by input: $(tail -n 3 key.jsonl)"
  else
    fail "the key run never reached its second screen: $(tail -n 3 key.jsonl)"
  fi
fi

x_finish desktop_fullscreen.sh

#!/usr/bin/env bash
# The player as the only hack of the real XScreenSaver daemon on a virtual X
# display: after "xscreensaver-command -activate" the screen shows the full
# show (as the headless player composes it, caption included) and its music
# starts; after "-deactivate" the hack has ended, cleanly, within a second.
# The daemon refuses to run hacks as root, so as root this runs it as the
# unprivileged user vistel-test (created when missing).
set -euo pipefail

: "${VISTEL_PLAYER:?the path of vistel-player}"
: "${VISTEL_PACK:?the path of vistel-pack}"
: "${VISTEL_SCRATCH:?a scratch folder}"
# shellcheck source=../tools/x_session.bash
source "$(dirname "${BASH_SOURCE[0]}")/../tools/x_session.bash"
x_require_tools Xvfb xscreensaver xscreensaver-command import compare convert identify python3
x_require_desktop_player

work="$VISTEL_SCRATCH/desktop_xscreensaver"
rm -rf "$work"
mkdir -p "$work/media" "$work/tmp" "$work/shots"
cd "$work"
export X_LOG_DIR="$work"
width=640 height=480

# ---- Who runs the daemon ----------------------------------------------------
if [[ $(id -u) == 0 ]]; then
  x_require_tools runuser useradd
  user=vistel-test
  if ! id "$user" >/dev/null 2>&1; then
    useradd --create-home --shell /bin/sh "$user" || x_skip "cannot create the user $user"
  fi
  as_user() { runuser -u "$user" -- "$@"; }
else
  user=$(id -un)
  as_user() { "$@"; }
fi

# The daemon's user needs a folder of its own for the player, the package,
# the settings file and the logs: the build tree may not be readable to it.
hack_dir=$(mktemp -d /tmp/vistel-xscreensaver.XXXXXX)
cleanup_hack_dir() { rm -rf "$hack_dir"; }
trap 'x_cleanup; cleanup_hack_dir' EXIT
chmod 755 "$hack_dir"
mkdir -p "$hack_dir/home" "$hack_dir/tmp"

# The show of the full-screen test with music: a still first screen, then a
# cross-fade to a picture with a caption that stays.
x_make_media media
cat >show.json <<'EOF'
{
  "SaverTitle": "Hack test",
  "tracks": [{"file": "media/tune.wav"}],
  "screens": [
    {"BackgroundColor": "#203040", "image": "media/small-scene.jpg",
     "DisplaySeconds": 3, "EffectCode": 1000},
    {"background": "media/backdrop.jpg", "image": "media/badge.png", "DisplaySeconds": 0,
     "EffectCode": -100, "CrossFadeParam": 16,
     "CaptionText": "Shown by the daemon", "CaptionFontSize": 20}
  ]
}
EOF
x_build_show show.json show.scr
"$VISTEL_PLAYER" --headless --package show.scr --temp "$work/tmp" --screen "${width}x${height}" \
  --snapshot 6:shots/headless-6.png --run-for 6.5 /s >headless.out 2>&1 ||
  fail "the headless run failed: $(cat headless.out)"

cp "$VISTEL_PLAYER" "$hack_dir/vistel-player"
cp show.scr "$hack_dir/show.scr"
trace="$hack_dir/tmp/trace.jsonl"
cat >"$hack_dir/home/.xscreensaver" <<EOF
timeout:	1:00:00
cycle:		0:00:00
lock:		False
fade:		False
unfade:		False
splash:		False
dpmsEnabled:	False
grabDesktopImages:	False
mode:		one
selected:	0
programs:	"Vistel" $hack_dir/vistel-player --package $hack_dir/show.scr --temp $hack_dir/tmp \\
		--registry $hack_dir/registry.reg --trace $trace \\n\\

EOF
chown -R "$user" "$hack_dir"

x_start_server "${width}x${height}"

# ---- The daemon -------------------------------------------------------------
as_user env HOME="$hack_dir/home" DISPLAY="$DISPLAY" \
  xscreensaver --no-splash --verbose --log "$hack_dir/xscreensaver.log" >daemon.out 2>&1 &
daemon_pid=$!
x_track "$daemon_pid"
command_as_user() { as_user env HOME="$hack_dir/home" DISPLAY="$DISPLAY" timeout 10 "$@"; }

daemon_log() { tail -n 20 "$hack_dir/xscreensaver.log" 2>/dev/null || cat daemon.out; }
deadline=$(x_now_plus 15)
until command_as_user xscreensaver-command -time >/dev/null 2>&1; do
  if [[ $(x_now) > "$deadline" ]] || ! x_alive "$daemon_pid"; then
    fail "the daemon did not start: $(daemon_log)"
    x_finish desktop_xscreensaver.sh
  fi
  sleep 0.2
done

# hack_pid: the player running under the daemon, if any.
hack_pid() {
  local pid
  for pid in $(x_descendants "$daemon_pid"); do
    if [[ $(cat "/proc/$pid/comm" 2>/dev/null) == vistel-player ]] && x_alive "$pid"; then
      echo "$pid"
      return 0
    fi
  done
  return 1
}

# ---- Activate: the show --------------------------------------------------------
command_as_user xscreensaver-command -activate >activate.out 2>&1 ||
  fail "xscreensaver-command -activate failed: $(cat activate.out)"
deadline=$(x_now_plus 10)
until hack=$(hack_pid); do
  if [[ $(x_now) > "$deadline" ]]; then
    fail "no vistel-player under the daemon 10 s after -activate: $(daemon_log)"
    x_finish desktop_xscreensaver.sh
  fi
  sleep 0.1
done

# Once the trace says the second screen (a cross-fade after 3 s) is up, it is
# on the screen as the headless player draws it.
x_wait_trace "$trace" '{"ev":"reveal","index":1}' 40 ||
  fail "the hack never revealed its second screen: $(tail -n 3 "$trace")"
deadline=$(x_now_plus 5)
shown=0 n=0
while :; do
  shot="shots/screen-$((n++)).png"
  x_screenshot root "$shot"
  if x_matches "$shot" shots/headless-6.png 2>/dev/null; then
    shown=1
    break
  fi
  [[ $(x_now) < "$deadline" ]] || break
  rm -f "${shot%.png}-diff.png"
  sleep 0.2
done
((shown)) || {
  x_matches "$shot" shots/headless-6.png || true
  fail "the screen never showed the show's second screen as the headless player draws it ($shot)"
}
x_trace_has "$trace" '{"ev":"caption","visible":true}' ||
  fail "the hack showed no caption: $(grep caption "$trace" | head -n 3)"
if ! python3 - "$trace" <<'EOF'
import json, sys
events = [json.loads(l) for l in open(sys.argv[1]) if l.strip()]
sys.exit(0 if any(e.get("ev") == "mci" and e.get("command", "").startswith("play ")
                  and e.get("rc") == 0 for e in events) else 1)
EOF
then
  fail "the hack did not start the music: $(grep '"mci"' "$trace" | head -n 5)"
fi

# ---- Deactivate: the hack ends ----------------------------------------------
command_as_user xscreensaver-command -deactivate >deactivate.out 2>&1 ||
  fail "xscreensaver-command -deactivate failed: $(cat deactivate.out)"
from=$(x_now)
if x_wait_gone "$hack" "$(x_limit 1)"; then
  echo "-deactivate: the hack ended after $((10#$(x_now) - 10#$from)) ms"
  # Ended by SIGTERM, it still ends as the player does: the trace's last word.
  x_trace_has "$trace" '{"ev":"exit"}' ||
    fail "the hack ended without finishing its trace: $(tail -n 3 "$trace")"
else
  fail "the hack (pid $hack) still runs $(x_limit 1) s after -deactivate: $(daemon_log)"
fi

command_as_user xscreensaver-command -exit >/dev/null 2>&1 || true
cp "$hack_dir/xscreensaver.log" "$trace" "$work/" 2>/dev/null || true
x_finish desktop_xscreensaver.sh

# Shared by the desktop tests (tests/cli/desktop_*.sh) and bench/idle_cost.sh:
# a private Xvfb, the processes started on it (all ended on exit), windows,
# screenshots and pixel checks. Source it; it sets an EXIT trap.
#
# A test that cannot run here (no Xvfb or its tools, no desktop host in this
# build) calls x_skip, which exits with 77: ctest counts that as skipped.

x_skip() {
  echo "SKIP: $*"
  exit 77
}

# x_require_tools TOOL...: skips unless every tool is on the PATH.
x_require_tools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null 2>&1 || x_skip "$tool is not installed (scripts/setup-debian.sh)"
  done
}

# ---- Processes ---------------------------------------------------------------
# Every process a script starts is recorded and ended on exit, newest first,
# with its descendants (a daemon's hacks, runuser's child), so a failing or
# interrupted test leaves nothing running.
x_pids=()

x_track() { x_pids+=("$1"); }

# x_descendants PID: the ids of the process's descendants, deepest last.
x_descendants() {
  local child
  for child in $(pgrep -P "$1" 2>/dev/null); do
    echo "$child"
    x_descendants "$child"
  done
}

# x_alive PID: the process exists and is not a zombie waiting to be reaped.
x_alive() {
  local state
  state=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null) || return 1
  [[ -n $state && $state != Z && $state != X ]]
}

# x_end PID: SIGTERM to the process and its descendants, SIGKILL after 2 s.
x_end() {
  local pid=$1 victims tries
  victims="$pid $(x_descendants "$pid")"
  # shellcheck disable=SC2086
  kill -TERM $victims 2>/dev/null || true
  for ((tries = 0; tries < 40; tries++)); do
    local left=0 victim
    for victim in $victims; do
      if x_alive "$victim"; then left=1; fi
    done
    ((left)) || break
    sleep 0.05
  done
  # shellcheck disable=SC2086
  kill -KILL $victims 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

x_cleanup() {
  local i
  for ((i = ${#x_pids[@]} - 1; i >= 0; i--)); do
    x_end "${x_pids[i]}"
  done
  x_pids=()
}
trap x_cleanup EXIT
trap 'exit 130' INT TERM

# x_wait_gone PID SECONDS: true once the process has ended (a zombie counts as
# ended), false if it still runs after SECONDS.
x_wait_gone() {
  local pid=$1 deadline
  deadline=$(x_now_plus "$2")
  while x_alive "$pid"; do
    [[ $(x_now) < "$deadline" ]] || return 1
    sleep 0.02
  done
}

# Time as zero-padded milliseconds, so plain string comparison orders it.
x_now() { printf '%015d' "$(($(date +%s%N) / 1000000))"; }
x_now_plus() { printf '%015d' "$(($(date +%s%N) / 1000000 + $(x_ms "$1")))"; }
# x_ms SECONDS: whole milliseconds of a decimal number of seconds.
x_ms() { awk -v s="$1" 'BEGIN { printf "%d", s * 1000 + 0.5 }'; }
# x_sleep_until TIME: sleeps until x_now reaches TIME (from x_now_plus).
x_sleep_until() {
  local left
  left=$((10#$1 - 10#$(x_now)))
  if ((left > 0)); then sleep "$(awk -v ms="$left" 'BEGIN { printf "%.3f", ms / 1000 }')"; fi
}

# ---- The X server ------------------------------------------------------------
# x_start_server WxH: starts Xvfb on a free display (the server picks it and
# reports it, so parallel tests never collide) with a black root window, and
# exports DISPLAY.
x_start_server() {
  local size=$1 fdfile tries
  fdfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -br -noreset 3>"$fdfile" \
    >"${X_LOG_DIR:-/tmp}/xvfb.$$.log" 2>&1 &
  x_track $!
  for ((tries = 0; tries < 200; tries++)); do
    [[ -s $fdfile ]] && break
    x_alive "$!" || break
    sleep 0.05
  done
  local number
  number=$(tr -dc '0-9' <"$fdfile")
  rm -f "$fdfile"
  [[ -n $number ]] || {
    echo "FAIL: Xvfb did not start: $(cat "${X_LOG_DIR:-/tmp}/xvfb.$$.log")" >&2
    exit 1
  }
  export DISPLAY=":$number"
  unset XAUTHORITY
  echo "Xvfb on $DISPLAY (${size})"
}

# ---- The player --------------------------------------------------------------
# x_require_desktop_player: skips when this build's player has no desktop
# host; it says so and exits at once, before touching any display.
x_require_desktop_player() {
  local out code=0
  out=$(env -u DISPLAY timeout 20 "$VISTEL_PLAYER" --package /nonexistent/show.scr /s 2>&1) ||
    code=$?
  if [[ $code == 2 && $out == *"has no desktop host"* ]]; then
    x_skip "this build of vistel-player has no desktop host"
  fi
  x_limit 1 >/dev/null
}

# x_limit SECONDS: a time limit for the player to react, as the user sees it
# in an optimised build. A sanitizer build runs several times slower and
# checks for leaks on its way out, so it gets three times as long. (Asked
# once: ldd is slow on a busy machine, and limits are taken right after input.)
x_limit_scale=
x_limit() {
  if [[ -z $x_limit_scale ]]; then
    x_limit_scale=1
    # Not "ldd | grep -q": under pipefail, grep's early exit can fail ldd with
    # SIGPIPE and the check with it.
    if [[ $(ldd "$VISTEL_PLAYER" 2>/dev/null) == *libasan* ]]; then x_limit_scale=3; fi
  fi
  awk -v s="$1" -v k="$x_limit_scale" 'BEGIN { print s * k }'
}

# ---- Windows -----------------------------------------------------------------
# x_wait_window NAME SECONDS: prints the id of the mapped window with exactly
# that name once there is one; fails after SECONDS.
x_wait_window() {
  local name=$1 deadline id
  deadline=$(x_now_plus "$2")
  while :; do
    id=$(xdotool search --onlyvisible --name "^${name}\$" 2>/dev/null | head -n 1) || true
    if [[ -n $id ]]; then
      echo "$id"
      return 0
    fi
    [[ $(x_now) < "$deadline" ]] || return 1
    sleep 0.05
  done
}

# x_geometry WINDOW: "X Y W H", the window's position on the screen and size.
x_geometry() {
  xwininfo -id "$1" | awk '
    /Absolute upper-left X:/ { x = $NF }
    /Absolute upper-left Y:/ { y = $NF }
    /^ *Width:/ { w = $NF }
    /^ *Height:/ { h = $NF }
    END { print x, y, w, h }'
}

# ---- Pictures ----------------------------------------------------------------
# x_screenshot WINDOW FILE: the window's contents (root: the whole screen).
x_screenshot() {
  import -silent -window "$1" "$2"
}

# x_size FILE: "W H".
x_size() { identify -format '%w %h' "$1"; }

# x_differing FILE1 FILE2: the number of pixels that differ by more than 5 %
# in some channel; "size" when the sizes differ.
x_differing() {
  local a b out
  a=$(x_size "$1") b=$(x_size "$2")
  if [[ $a != "$b" ]]; then
    echo size
    return
  fi
  out=$(compare -metric AE -fuzz 5% "$1" "$2" null: 2>&1) || true
  awk -v n="$out" 'BEGIN { printf "%d", n + 0 }'
}

# x_matches FILE1 FILE2 [MAX_FRACTION]: the pictures have the same size and at
# most that fraction of their pixels (default 0.002) differ by more than 5 %.
# On a mismatch keeps a difference picture beside FILE1 for whoever looks.
x_matches() {
  local differing size
  differing=$(x_differing "$1" "$2")
  if [[ $differing == size ]]; then
    echo "sizes differ: $1 is $(x_size "$1"), $2 is $(x_size "$2")" >&2
    return 1
  fi
  read -r -a size <<<"$(x_size "$1")"
  if awk -v d="$differing" -v n="$((size[0] * size[1]))" -v f="${3:-0.002}" \
    'BEGIN { exit !(d <= n * f) }'; then
    return 0
  fi
  compare -fuzz 5% "$1" "$2" "${1%.png}-diff.png" 2>/dev/null || true
  echo "$differing of $((size[0] * size[1])) pixels differ between $1 and $2" >&2
  return 1
}

# x_outside_black FILE X Y W H: every pixel outside the rectangle is black.
x_outside_black() {
  local max right=$(($2 + $4 - 1)) bottom=$(($3 + $5 - 1))
  max=$(convert "$1" -alpha off -fill black -draw "rectangle $2,$3 $right,$bottom" \
    -format "%[max]" info:)
  awk -v m="$max" 'BEGIN { exit !(m == 0) }'
}

# ---- Test bookkeeping and shows ----------------------------------------------
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# x_finish NAME: the script's verdict from the failures counted.
x_finish() {
  if ((failures)); then
    echo "$1: $failures failure(s)" >&2
    exit 1
  fi
  echo "$1: all passed"
}

# x_make_media DIR: the demo's pictures and sounds in DIR (made by vistel-pack,
# so the tests need no media files of their own).
x_make_media() {
  "$VISTEL_PACK" demo -o "$1/demo.scr" --player "$VISTEL_PLAYER" --media-dir "$1" >/dev/null ||
    { echo "FAIL: vistel-pack demo could not make the media" >&2; exit 1; }
}

# x_build_show JSON OUT: a package from a show description.
x_build_show() {
  "$VISTEL_PACK" build "$1" -o "$2" --player "$VISTEL_PLAYER" >/dev/null ||
    { echo "FAIL: vistel-pack build $1" >&2; exit 1; }
}

# x_trace_has TRACE JSON: some line of the player's trace has every field of
# JSON (the trace is JSON lines).
x_trace_has() {
  python3 - "$1" "$2" <<'PY'
import json, sys
want = json.loads(sys.argv[2])
try:
    lines = [json.loads(l) for l in open(sys.argv[1]) if l.strip()]
except (OSError, ValueError):
    sys.exit(1)
sys.exit(0 if any(all(l.get(k) == v for k, v in want.items()) for l in lines) else 1)
PY
}

# x_wait_trace TRACE JSON SECONDS: waits until the trace has a line with every
# field of JSON; fails after SECONDS.
x_wait_trace() {
  local deadline
  deadline=$(x_now_plus "$3")
  until x_trace_has "$1" "$2"; do
    [[ $(x_now) < "$deadline" ]] || return 1
    sleep 0.1
  done
}

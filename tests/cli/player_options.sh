#!/usr/bin/env bash
# vistel-player's own options end to end: usage errors, the hosts, files the
# options name that cannot be used, and the runs that need no package (an
# invalid package, a bad preview handle, /i, /a), checked on the trace, the
# registry file and the exit code.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib/checks.bash"

: "${VISTEL_PLAYER:?the path of vistel-player}"
: "${VISTEL_SCRATCH:?a scratch folder}"
work="$VISTEL_SCRATCH/player_options"
rm -rf "$work"
mkdir -p "$work"
cd "$work"

# has_event TRACE JSON: some line of the trace has every field of JSON.
# last_event TRACE JSON: the last line has every field of JSON.
# no_event TRACE EV: no line of the trace is of that kind.
trace_check() {
  python3 - "$@" <<'EOF'
import json, sys
mode, path, want = sys.argv[1], sys.argv[2], sys.argv[3]
with open(path) as f:
    lines = [json.loads(l) for l in f if l.strip()]
if mode == "none":
    sys.exit(1 if any(l.get("ev") == want for l in lines) else 0)
want = json.loads(want)
match = lambda l: all(l.get(k) == v for k, v in want.items())
if mode == "last":
    sys.exit(0 if lines and match(lines[-1]) else 1)
sys.exit(0 if any(match(l) for l in lines) else 1)
EOF
}
has_event() { trace_check any "$1" "$2" || fail "expected $1 to have $2; it holds: $(cat "$1")"; }
last_event() { trace_check last "$1" "$2" || fail "expected $1 to end with $2; it holds: $(cat "$1")"; }
no_event() { trace_check none "$1" "$2" || fail "expected no $2 event in $1; it holds: $(cat "$1")"; }

invalid_package="Invalid screen saver file.  Please ensure this file is a *.scr file."
bad_preview="The selected screen saver could not determine the handle of the preview area of the Display Properties dialog."
common=(--headless --temp "$work/tmp" --system "$work/sys")

# ---- Usage errors: message, usage, exit 2 ---------------------------------
expect 2 "$VISTEL_PLAYER" --bogus /s
contains err.txt "unknown option --bogus"
contains err.txt "--run-for SECONDS"
expect 2 "$VISTEL_PLAYER" --headless --trace
contains err.txt "--trace"
contains err.txt "--snapshot SECONDS:PATH.png"
expect 2 "$VISTEL_PLAYER" --headless --run-for soon /s
contains err.txt "--run-for"
expect 2 "$VISTEL_PLAYER" --headless --os 2k --os xp /s
contains err.txt "given twice"
expect 2 "$VISTEL_PLAYER" --headless --screen 800 /s
contains err.txt "--screen"

# ---- Without --headless and without a display: a hint, no run --------------
expect 2 env -u DISPLAY -u WAYLAND_DISPLAY "$VISTEL_PLAYER" /s
contains err.txt "--headless"

# ---- Files the options name that cannot be used: exit 2, no run -------------
printf '{"t":0,"ev":"key","code":27}\nnot json\n' >bad-input.jsonl
expect 2 "$VISTEL_PLAYER" "${common[@]}" --trace bad-input-trace.jsonl --input bad-input.jsonl /s
contains err.txt "bad-input.jsonl"
contains err.txt "line 2"
[[ ! -e bad-input-trace.jsonl ]] || fail "a refused run must not leave a trace"
expect 2 "$VISTEL_PLAYER" "${common[@]}" --trace no/such/folder/trace.jsonl /s
contains err.txt "no/such/folder/trace.jsonl"
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\X]\r\ngarbage\r\n' >bad.reg
expect 2 "$VISTEL_PLAYER" "${common[@]}" --registry bad.reg /s
contains err.txt "bad.reg"
contains err.txt "line 4"

# ---- No package: the player's own file is not one -------------------------
expect 1 "$VISTEL_PLAYER" "${common[@]}" --trace own.jsonl --registry own.reg /s
has_event own.jsonl '{"ev":"mode","mode":"s"}'
has_event own.jsonl "{\"ev\":\"msgbox\",\"text\":\"$invalid_package\"}"
no_event own.jsonl screen
last_event own.jsonl '{"ev":"exit","code":1}'
[[ -f own.reg ]] || fail "the registry file is created at exit, also after an error"
[[ "$(head -c 10 own.reg | od -An -c | tr -s ' ')" == " R E G E D I T 4 \r \n" ]] ||
  fail "the registry file starts with REGEDIT4 and CR LF: $(head -c 10 own.reg | od -An -c)"

# An empty or unknown switch counts as /s.
expect 1 "$VISTEL_PLAYER" "${common[@]}" --trace empty.jsonl
has_event empty.jsonl '{"ev":"mode","mode":"s"}'
expect 1 "$VISTEL_PLAYER" "${common[@]}" --trace unknown.jsonl /x
has_event unknown.jsonl '{"ev":"mode","mode":"s"}'

# --package that names no file, in configure mode.
expect 1 "$VISTEL_PLAYER" "${common[@]}" --trace missing.jsonl --package "$work/nothing.scr" /c
has_event missing.jsonl '{"ev":"mode","mode":"c"}'
has_event missing.jsonl "{\"ev\":\"msgbox\",\"text\":\"$invalid_package\"}"
last_event missing.jsonl '{"ev":"exit","code":1}'

# ---- A package that names no file: the path and the reason on stderr --------
# The message box keeps its words; the line beside it says what was wrong.
# Each row: the file the player looks for | its switch and options.
while IFS='|' read -r path run; do
  read -ra run_args <<<"$run"
  expect 1 "$VISTEL_PLAYER" "${common[@]}" "${run_args[@]}"
  contains err.txt "vistel-player: $path: file not found"
  contains err.txt "Vistel Screen Saver: $invalid_package"
done <<EOF
$work/gone.scr|--package $work/gone.scr /s
$work/gone.scr|--package $work/gone.scr /c
$(dirname "$VISTEL_PLAYER")/vistel-player.scr|/s
EOF

# ---- Every message box of a headless run is on stderr too -------------------
# Nobody reads a headless run's boxes: one "TITLE: TEXT" line each, as the
# desktop hosts write them. Each row: the run's arguments | the box's text.
while IFS='|' read -r run text; do
  read -ra run_args <<<"$run"
  expect 1 "$VISTEL_PLAYER" "${common[@]}" "${run_args[@]}"
  contains err.txt "Vistel Screen Saver: $text"
done <<EOF
/s|$invalid_package
/p 4660|$bad_preview
EOF

# ---- --version: one line with the project's version, exit 0 -----------------
: "${VISTEL_VERSION:?the version of the project}"
for tool in "$VISTEL_PLAYER:vistel-player" "${VISTEL_PACK:-}:vistel-pack"; do
  program=${tool%:*} name=${tool##*:}
  [[ -n $program ]] || continue
  expect 0 "$program" --version
  [[ "$(cat out.txt)" == "$name $VISTEL_VERSION" ]] ||
    fail "$name --version: expected '$name $VISTEL_VERSION', got '$(cat out.txt)'"
  [[ ! -s err.txt ]] || fail "$name --version wrote on stderr: $(cat err.txt)"
  expect 0 "$program" --help
  contains out.txt "--version"
done

# ---- Preview handles --------------------------------------------------------
# No such window (and a handle after a colon parses to 0): the handle message.
expect 1 "$VISTEL_PLAYER" "${common[@]}" --trace preview-bad.jsonl /p 4660
has_event preview-bad.jsonl '{"ev":"mode","mode":"p"}'
has_event preview-bad.jsonl "{\"ev\":\"msgbox\",\"text\":\"$bad_preview\",\"style\":69680}"
last_event preview-bad.jsonl '{"ev":"exit","code":1}'
expect 1 "$VISTEL_PLAYER" "${common[@]}" --trace preview-colon.jsonl --window 4660:152x112 /p:4660
has_event preview-colon.jsonl "{\"ev\":\"msgbox\",\"text\":\"$bad_preview\"}"
# The window exists (upper-case switch, options after the switch): the handle
# is accepted and the package is what fails.
expect 1 "$VISTEL_PLAYER" --headless /P --trace preview-ok.jsonl 4660 --window 4660:152x112
has_event preview-ok.jsonl '{"ev":"mode","mode":"p"}'
has_event preview-ok.jsonl "{\"ev\":\"msgbox\",\"text\":\"$invalid_package\"}"
no_event preview-ok.jsonl password

# ---- /i writes the uninstall entry and ends normally -----------------------
expect 0 "$VISTEL_PLAYER" "${common[@]}" --trace install.jsonl --registry install.reg /i
has_event install.jsonl '{"ev":"mode","mode":"i"}'
has_event install.jsonl '{"ev":"registry","op":"write","hive":"HKEY_LOCAL_MACHINE","name":"DisplayName"}'
last_event install.jsonl '{"ev":"exit","code":0}'
contains install.reg "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
# A second run reads the file the first one wrote and keeps it.
expect 0 "$VISTEL_PLAYER" "${common[@]}" --registry install.reg /i
contains install.reg "\"DisplayName\"="

# ---- /a: the password dialog on Windows 9x only -----------------------------
# What follows the dialog is the player's choice: the exit code is not checked.
"$VISTEL_PLAYER" "${common[@]}" --trace password.jsonl --os 98 --window 77:200x100 /a 77 \
  >out.txt 2>err.txt || true
has_event password.jsonl '{"ev":"mode","mode":"a"}'
has_event password.jsonl '{"ev":"password","op":"change","parent":77}'
expect 1 "$VISTEL_PLAYER" "${common[@]}" --trace password-nt.jsonl --os xp /a 77
has_event password-nt.jsonl '{"ev":"mode","mode":"s"}'
no_event password-nt.jsonl password

# ---- Time, snapshots and input on a real show (the demo package) -----------
if [[ -n "${VISTEL_PACK:-}" ]]; then
  expect 0 "$VISTEL_PACK" demo -o demo.scr --player "$VISTEL_PLAYER"
  # The package is the player: no --package needed when it runs as itself.
  expect 0 ./demo.scr "${common[@]}" --trace demo-run.jsonl --registry demo.reg --run-for 3.51 \
    --snapshot 1.25:shots/one.png --snapshot 9:shots/late.png /s
  has_event demo-run.jsonl '{"ev":"mode","mode":"s"}'
  has_event demo-run.jsonl '{"ev":"window","x":0,"y":0,"width":800,"height":600,"topmost":true}'
  has_event demo-run.jsonl '{"ev":"snapshot","t":1250,"path":"shots/one.png","width":800}'
  # 3.51 s falls inside a transition's frame: the run ends on time all the same.
  last_event demo-run.jsonl '{"ev":"exit","t":3510,"code":0,"reason":"run-for"}'
  [[ "$(head -c 4 shots/one.png | tail -c 3)" == "PNG" ]] || fail "shots/one.png is not a PNG"
  [[ ! -e shots/late.png ]] || fail "a snapshot after the end must not be written"
  contains err.txt "shots/late.png at 9 s not taken"
  [[ -f demo.reg ]] || fail "the registry file is written at the end of --run-for"

  # A mouse that travels ends the show; the exit is the player's own.
  printf '{"t":1000,"ev":"mousemove","x":10,"y":10}\n{"t":1100,"ev":"mousemove","x":400,"y":300}\n' \
    >travel.jsonl
  expect 0 ./demo.scr "${common[@]}" --trace demo-input.jsonl --run-for 20 --input travel.jsonl /s
  has_event demo-input.jsonl '{"ev":"close","refused":false}'
  last_event demo-input.jsonl '{"ev":"exit","code":0}'
  no_event demo-input.jsonl snapshot
  trace_check last demo-input.jsonl '{"reason":"run-for"}' &&
    fail "the input should have ended the show before --run-for"

  # Preview in the foreign window: the show takes its client size.
  expect 0 ./demo.scr "${common[@]}" --trace demo-preview.jsonl --window 4660:152x112 \
    --run-for 2 --snapshot 1:shots/preview.png /p 4660
  has_event demo-preview.jsonl '{"ev":"window","width":152,"height":112,"parent":4660,"visible":true}'
  has_event demo-preview.jsonl '{"ev":"snapshot","width":152,"height":112}'
  last_event demo-preview.jsonl '{"ev":"exit","t":2000,"reason":"run-for"}'

  # Configure mode: the about window lives until its OK label is clicked (at
  # 5100, 1380 twips); a click beside it does nothing, and with nothing left
  # to happen the run ends idle.
  printf '{"t":700,"ev":"click","button":1,"x":20,"y":20}\n{"t":1500,"ev":"click","button":1,"x":340,"y":92}\n' \
    >about-ok.jsonl
  expect 0 ./demo.scr "${common[@]}" --trace demo-about.jsonl --input about-ok.jsonl /c
  has_event demo-about.jsonl '{"ev":"about"}'
  last_event demo-about.jsonl '{"ev":"exit","t":1500,"code":0}'
  no_event demo-about.jsonl screen
  printf '{"t":700,"ev":"click","button":1,"x":20,"y":20}\n' >about-beside.jsonl
  expect 0 ./demo.scr "${common[@]}" --trace demo-about-idle.jsonl --input about-beside.jsonl /c
  last_event demo-about-idle.jsonl '{"ev":"exit","t":700,"code":0,"reason":"idle"}'
fi

if ((failures)); then
  echo "$failures failure(s)" >&2
  exit 1
fi
echo "player_options.sh: all passed"

#!/usr/bin/env bash
# The Windows player under a Wine that says it is Windows 98, with the
# tests' stand-in library beside it as password.cpl:
#
#   tests/wine/win98_under_wine.sh LINUX_BUILD WINDOWS_BUILD
#
# Wine is told "Windows 98" for the player's file name alone (its
# per-program settings), so the other checks in the same prefix see the NT
# family; the player asks the system (GetVersionExA) because no --os is
# given, and the system's password services because no --password-replies
# is.
#
# 1. /s on an Xvfb screen with the password on (ScreenSaveUsePassword 1):
#    the player reads the setting and tells the system a screen saver runs
#    (only on Windows 9x); a key asks to close, the stand-in answers 0 (a
#    wrong password) and the show goes on; a second key, it answers 1 and
#    the show ends (exit 0, not by --run-for), the system told it stopped.
#    The stand-in's own record says it was asked twice, for the show window.
# 2. /a opens the change dialog of mpr.dll (Wine's answers at once) and ends.
# 3. The same player under another name sees the NT family: /a is a show.
#
# Exits 0 when all hold, 1 when one does not, 77 (skipped) without Wine,
# Xvfb or xdotool.
set -euo pipefail
linux=$(realpath "${1:?usage: win98_under_wine.sh LINUX_BUILD WINDOWS_BUILD}")
windows=$(realpath "${2:?usage: win98_under_wine.sh LINUX_BUILD WINDOWS_BUILD}")
pack=$linux/apps/pack/vistel-pack
windows_player=$windows/apps/player/vistel-player.exe
standin=$windows/tests/vistel_password_standin.dll
for file in "$pack" "$windows_player" "$standin"; do
  [[ -f $file ]] || { echo "missing: $file" >&2; exit 2; }
done
wine=$(command -v /usr/lib/wine/wine64 || command -v wine64 || command -v wine || true)
[[ -n $wine ]] || { echo "SKIP: no Wine"; exit 77; }
for tool in xvfb-run xdotool python3; do
  command -v "$tool" >/dev/null || { echo "SKIP: no $tool"; exit 77; }
done
export WINEPREFIX=$windows/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
scratch=$windows/wine-win98
rm -rf "$scratch" && mkdir -p "$scratch" && cd "$scratch"
trap 'wineserver -k 2>/dev/null || true' EXIT

cat >show.json <<'JSON'
{
  "SaverTitle": "Ninety-eight",
  "screens": [
    {"BackgroundColor": "#203040", "DisplaySeconds": 2, "CaptionText": "One"},
    {"BackgroundColor": "#402010", "DisplaySeconds": 2, "CaptionText": "Two"}
  ]
}
JSON
"$pack" build show.json -o saver98.scr --player "$windows_player" >/dev/null
cp saver98.scr saverNT.scr
cp "$standin" password.cpl

# Everything on one Xvfb screen, with Wine's server started on it.
cat >run.sh <<SH
#!/usr/bin/env bash
set -u
export WINEPREFIX=$WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="$WINEDLLOVERRIDES"
wineserver -p </dev/null >/dev/null 2>&1
"$wine" cmd /c exit </dev/null >/dev/null 2>&1
"$wine" reg add 'HKCU\\Software\\Wine\\AppDefaults\\saver98.scr' /v Version /d win98 /f \
  >/dev/null 2>&1
"$wine" reg add 'HKCU\\Control Panel\\Desktop' /v ScreenSaveUsePassword /d 1 /f >/dev/null 2>&1
# wait_for FILE TEXT SECONDS: true once the file holds the text.
wait_for() {
  for _ in \$(seq \$((\$3 * 10))); do
    grep -q "\$2" "\$1" 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}

echo "== /s with the password on"
VISTEL_STANDIN_REPLIES=0,1 VISTEL_STANDIN_LOG=standin.log \\
  "$wine" saver98.scr --trace show.jsonl --run-for 25 /s >show.out 2>&1 &
player=\$!
wait_for show.jsonl '"ev":"screen"' 15 || echo "the show did not start"
sleep 0.5
xdotool key a
wait_for show.jsonl '"refused":true' 5 || echo "no refused close after the first key"
sleep 1
xdotool key b
wait "\$player"
echo "exit code \$?" >>show.out

echo "== /a: the change dialog"
"$wine" saver98.scr --trace change.jsonl --run-for 10 /a >change.out 2>&1
echo "exit code \$?" >>change.out

echo "== /a under another name: the NT family"
"$wine" saverNT.scr --trace nt.jsonl --run-for 2 /a >nt.out 2>&1
echo "exit code \$?" >>nt.out

"$wine" reg delete 'HKCU\\Control Panel\\Desktop' /v ScreenSaveUsePassword /f >/dev/null 2>&1
"$wine" reg delete 'HKCU\\Software\\Wine\\AppDefaults\\saver98.scr' /f >/dev/null 2>&1
wineserver -k
SH
chmod +x run.sh
# A server started without the screen would give the windows none.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
xvfb-run -a -s "-screen 0 800x600x24" ./run.sh

python3 - <<'PY'
import json, sys

def events(path):
    try:
        return [json.loads(line) for line in open(path, encoding="utf-8")]
    except FileNotFoundError:
        return []

def course(path, kinds):
    """The events of those kinds, without their times."""
    return [{k: v for k, v in e.items() if k != "t"} for e in events(path) if e["ev"] in kinds]

failures = []
def expect(what, seen, expected):
    if seen != expected:
        failures.append(f"{what}:\n  expected {expected}\n  seen     {seen}")

show = events("show.jsonl")
expect("/s: the mode", course("show.jsonl", {"mode"}), [{"ev": "mode", "mode": "s"}])
reads = [e for e in show if e["ev"] == "registry" and e.get("name") == "ScreenSaveUsePassword"]
expect("/s: the password setting read (Windows 9x only)", [e.get("data") for e in reads], ["1"])
passwords = course("show.jsonl", {"password", "close", "exit"})
for e in passwords:
    e.pop("parent", None)
expect("/s: the password course", passwords, [
    {"ev": "password", "op": "running", "running": True},
    {"ev": "password", "op": "verify", "given": False},
    {"ev": "close", "reason": "input", "refused": True},
    {"ev": "password", "op": "verify", "given": True},
    {"ev": "close", "reason": "input", "refused": False},
    {"ev": "password", "op": "running", "running": False},
    {"ev": "exit", "code": 0},
])
parents = {e["parent"] for e in show if e["ev"] == "password" and e["op"] == "verify"}
try:
    calls = open("standin.log").read().split()[1::2]  # "verify PARENT" lines
except FileNotFoundError:
    calls = []
expect("/s: the stand-in's record", len(calls), 2)
expect("/s: the stand-in was asked for the window the trace names",
       set(calls), {str(p) for p in parents})
expect("/a: the course", course("change.jsonl", {"mode", "password", "exit"}), [
    {"ev": "mode", "mode": "a"},
    {"ev": "password", "op": "change", "parent": 0},
    {"ev": "exit", "code": 0},
])
nt = course("nt.jsonl", {"mode", "password", "registry"})
expect("/a on the NT family: a show without password steps", nt, [{"ev": "mode", "mode": "s"}])
for name in ("show.out", "change.out", "nt.out"):
    print(f"{name}: {open(name).read().strip().splitlines()[-1:]}")
if failures:
    print("FAIL: " + "\nFAIL: ".join(failures))
    sys.exit(1)
print("Windows 98 seen; password refused, then given; /a asks mpr.dll; NT under another name")
PY

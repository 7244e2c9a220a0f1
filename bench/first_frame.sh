#!/usr/bin/env bash
# Time to the first picture: from the start of the player's process to the
# first present of the show window that is not all black, for a package whose
# first screen is a 24-megapixel photograph (6000x4000 JPEG, fitted to the
# 1920x1080 screen, plain repaint), on the desktop host under Xvfb, pinned to
# one core. The player traces its presents up to that one with the monotonic
# clock (`present`, `clockMs`), which this script reads at the spawn; the
# trace's own times (since the host started) show where the time went. Runs
# are a second apart, so that each starts on an idle X server.
#   bash bench/first_frame.sh [BUILD_DIR] [RUNS]     (default build/ci, 7)
set -euo pipefail
build=$(cd "${1:-build/ci}" && pwd)
runs=${2:-7}
for tool in Xvfb taskset python3; do
  command -v "$tool" >/dev/null || { echo "first_frame.sh: $tool is missing" >&2; exit 77; }
done
work=$(mktemp -d /tmp/vistel-first-frame.XXXXXX)
server_pid=
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
mkdir tmp
"$build/bench/vistel_make_photo" 6000 4000 photo.jpg
cat >show.json <<'JSON'
{
  "SaverTitle": "First frame",
  "screens": [
    {"BackgroundColor": "#000000", "image": "photo.jpg", "ImageSizing": 2,
     "DisplaySeconds": 30, "EffectCode": 1000}
  ]
}
JSON
"$build/apps/pack/vistel-pack" build show.json -o show.scr --player "$build/apps/player/vistel-player" >/dev/null

# A display of its own: the first free number from 90.
display=90
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1920x1080x24 -nolisten tcp >xvfb.log 2>&1 &
server_pid=$!
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.05; done

DISPLAY=":$display" SDL_AUDIODRIVER=dummy python3 - "$build/apps/player/vistel-player" "$runs" <<'PY'
import json, os, statistics, subprocess, sys, time
player, runs = sys.argv[1], int(sys.argv[2])
totals, parts = [], []
for run in range(runs):
    trace = f"trace-{run}.jsonl"
    # A screen saver starts on an idle display. Right after a run, the X
    # server is still busy for 10-20 ms tearing down its full-screen window
    # (repainting the root), and the next run's first requests would wait
    # for that.
    time.sleep(1)
    start = time.monotonic() * 1000
    subprocess.run(["taskset", "-c", "0", player, "--package", "show.scr", "--temp", "tmp",
                    "--registry", "registry.reg", "--trace", trace, "--run-for", "4", "/s"],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    events = [json.loads(line) for line in open(trace)]
    first = next(e for e in events if e["ev"] == "present" and not e["blank"])
    total = first["clockMs"] - start
    host = first["clockMs"] - first["t"] - start   # process start to the host's clock start
    at = lambda ev: next((e["t"] for e in events if e["ev"] == ev), float("nan"))
    totals.append(total)
    parts.append((host, at("package"), at("extract"), at("reveal"), first["t"]))
print(f"time to the first picture, 24 MP JPEG first screen, 1920x1080 Xvfb, one core ({runs} runs):")
print(f"  median {statistics.median(totals):.0f} ms   (min {min(totals):.0f}, max {max(totals):.0f})")
m = lambda i: statistics.median(p[i] for p in parts)
print("  where it goes (medians, ms):")
print(f"    process start to the host's start (loading, libraries)  {m(0):6.0f}")
print(f"    host start to the package read                          {m(1):6.0f}")
print(f"    package read to the picture extracted                   {m(2) - m(1):6.0f}")
print(f"    extracted to the revealing repaint (decode, resample)   {m(3) - m(2):6.0f}")
print(f"    repaint to the first picture presented                  {m(4) - m(3):6.0f}")
PY

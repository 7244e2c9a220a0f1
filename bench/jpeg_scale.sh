#!/usr/bin/env bash
# A 12 MP and a 24 MP photograph to a 1920x1080 screen, in one run on the
# same files: the player's reduced-scale decode and resample against FFmpeg's
# whole decode alone, libjpeg-turbo's whole decode (the library, and djpeg
# as a program) and the player before (FFmpeg decode + resample). Prints the
# times and the ratios; the goal is at least 3x faster than either whole
# decode. Pinned to one core, since the player decodes on one.
#   bash bench/jpeg_scale.sh [BUILD_DIR]      (default build/ci)
set -euo pipefail
build=${1:-build/ci}
work=$(mktemp -d /tmp/vistel-jpeg-scale.XXXXXX)
trap 'rm -rf "$work"' EXIT
"$build/bench/vistel_make_photo" 4000 3000 "$work/12mp.jpg"
"$build/bench/vistel_make_photo" 6000 4000 "$work/24mp.jpg"
VISTEL_BENCH_JPEG_12MP=$work/12mp.jpg VISTEL_BENCH_JPEG_24MP=$work/24mp.jpg \
  taskset -c 0 "$build/bench/vistel_jpeg_scale_bench" --benchmark_repetitions=5 \
  --benchmark_report_aggregates_only=true --benchmark_format=json >"$work/bench.json"
djpeg_ms() {  # the median of 7 runs of djpeg writing its PPM to nowhere
  python3 - "$1" <<'PY'
import subprocess, sys, time
runs = []
for _ in range(7):
    t = time.perf_counter()
    subprocess.run(["taskset", "-c", "0", "djpeg", "-outfile", "/dev/null", sys.argv[1]], check=True)
    runs.append((time.perf_counter() - t) * 1000)
print(sorted(runs)[3])
PY
}
djpeg12=$(command -v djpeg >/dev/null && djpeg_ms "$work/12mp.jpg" || echo 0)
djpeg24=$(command -v djpeg >/dev/null && djpeg_ms "$work/24mp.jpg" || echo 0)
python3 - "$work/bench.json" "$djpeg12" "$djpeg24" <<'PY'
import json, sys
data = json.load(open(sys.argv[1]))
median = {}
for b in data["benchmarks"]:
    if b.get("aggregate_name") == "median":
        name, mp = b["run_name"].split("/")
        median[(name, int(mp))] = b["real_time"]
djpeg = {12: float(sys.argv[2]), 24: float(sys.argv[3])}
for mp in (12, 24):
    ours = median[("BM_Ours", mp)]
    print(f"{mp} MP JPEG to 1920x1080 (median of 5, one core):")
    print(f"  ours (reduced-scale decode + resample) {ours:8.1f} ms")
    rows = [("FFmpeg whole decode alone", median[("BM_FfmpegWholeDecode", mp)]),
            ("libjpeg-turbo whole decode", median[("BM_LibjpegWholeDecode", mp)]),
            ("djpeg whole decode (process)", djpeg[mp]),
            ("before: FFmpeg decode + resample", median[("BM_Before", mp)])]
    for label, ms in rows:
        if ms > 0:
            print(f"  {label:38s} {ms:8.1f} ms   ours is {ms / ours:4.1f}x faster")
PY

#!/usr/bin/env bash
# Extraction of a 200 MiB medium against cp of the same 200 MiB, in the same
# run and from the page cache, plus the extractor's peak memory growth.
# Goals: extraction within 1.2x of cp's time, less than 16 MiB growth.
# Usage: bench/extract_vs_cp.sh [BUILD_DIR]   (default: build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
if [ ! -x "$build/bench/vistel_extract_medium" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVISTEL_BENCH=ON >/dev/null
  cmake --build "$build" --target vistel_extract_medium
fi
tool=$build/bench/vistel_extract_medium
runs=${RUNS:-5}
medium_mib=${MEDIUM_MIB:-200}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Package: a 1 MiB player, the medium, a one-screen configuration, the trailer.
head -c $((1 << 20)) /dev/urandom >"$work/player"
head -c $((medium_mib << 20)) /dev/urandom >"$work/medium"
position=$(($(stat -c %s "$work/player") + 1))
length=$(stat -c %s "$work/medium")
F=$'\xff'
{
  printf '[GLOBAL]%sBench%sBench%s%sFalse%sFalse%sFalse\r\n' "$F" "$F" "$F" "$F" "$F" "$F"
  printf '[SCREEN-GLOBAL]%s1\r\n[SCREEN-BACKGROUND]%s0%s0%s0%s0%s\r\n' "$F" "$F" "$F" "$F" "$F" "$F"
  printf '[SCREEN-IMAGE]%s0%s0%s0%s0%s1000\r\n' "$F" "$F" "$F" "$F" "$F"
  printf '[SCREEN-VIDEO]%s1%s1%s%d%s%d%s0%s0%s\r\n' "$F" "$F" "$F" "$length" "$F" "$position" "$F" "$F" "$F"
  printf '[SCREEN-CAPTION]%s0%s0%s\r\n' "$F" "$F" "$F"
} >"$work/config"
cat "$work/player" "$work/medium" "$work/config" >"$work/show.scr"
printf '%020d' $(($(stat -c %s "$work/player") + length)) >>"$work/show.scr"
cat "$work/show.scr" "$work/medium" >/dev/null  # both sources in the page cache

now_ms() { date +%s%N | awk '{printf "%.1f", $1 / 1e6}'; }
best_cp=""
best_extract=""
for run in $(seq "$runs"); do
  rm -f "$work/cp.out" "$work/vid"
  start=$(now_ms)
  cp "$work/medium" "$work/cp.out"
  cp_ms=$(awk -v a="$start" -v b="$(now_ms)" 'BEGIN {printf "%.1f", b - a}')

  start=$(now_ms)
  report=$(/usr/bin/time -f 'maxrss_kib=%M' -o "$work/time.txt" "$tool" "$work/show.scr" "$work/vid")
  extract_ms=$(awk -v a="$start" -v b="$(now_ms)" 'BEGIN {printf "%.1f", b - a}')
  cmp -s "$work/vid" "$work/medium" || { echo "extracted medium differs from the source" >&2; exit 1; }

  echo "run $run: cp ${cp_ms} ms; extract ${extract_ms} ms (process), $report $(cat "$work/time.txt")"
  best_cp=$(awk -v a="$best_cp" -v b="$cp_ms" 'BEGIN {print (a == "" || b < a) ? b : a}')
  best_extract=$(awk -v a="$best_extract" -v b="$extract_ms" 'BEGIN {print (a == "" || b < a) ? b : a}')
done
growth=$(sed -n 's/.*growth_kib=\([0-9-]*\).*/\1/p' <<<"$report")
ratio=$(awk -v e="$best_extract" -v c="$best_cp" 'BEGIN {printf "%.2f", e / c}')
echo "medium ${medium_mib} MiB: best cp ${best_cp} ms, best extract ${best_extract} ms," \
  "ratio ${ratio} (goal <= 1.2); peak growth ${growth} KiB (goal < 16384)"

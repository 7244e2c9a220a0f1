#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, the `fuzz` preset) and fuzzes every
# parser of untrusted bytes for SECONDS each (default 45), starting from the
# seed corpora in fuzz/corpus, as many runs at a time as there are cores.
#
#   fuzz/run.sh [SECONDS [RUN...]]     e.g. fuzz/run.sh 600 midi picture-png
#
# Each input may use 512 MB and a few seconds: a memory bomb or a hang is a
# finding like a crash or a leak. Each run first replays the reproducers of
# earlier findings kept in fuzz/findings/RUN/, which must all run clean now.
# New findings land in build/fuzz/artifacts/
# (RUN-crash-..., RUN-oom-..., RUN-timeout-..., RUN-leak-...), each run's
# log in build/fuzz/logs/; any finding fails the script. New inputs go to
# scratch corpora in build/fuzz/corpus/, the seeds in the tree stay as they are.
#
# FUZZ_SEED fixes libFuzzer's random seed, so that a run of the same length on
# the same build replays the same inputs (CI's gate, run clean before it
# lands); without it every run explores anew.
# FUZZ_JOBS sets how many runs go at once; FUZZ_FLAGS adds libFuzzer flags,
# e.g. "-fork=1 -ignore_ooms=1 -ignore_timeouts=1 -ignore_crashes=1" for a
# long campaign that collects every finding instead of stopping at the first.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-45}
shift $(($# > 0 ? 1 : 0))
jobs=${FUZZ_JOBS:-$(nproc 2>/dev/null || echo 2)}

# name | target | seed corpus | dictionary | longest input | seconds an input may take
# (pictures up to the 40-megapixel cap take seconds under ASan on a busy machine:
# their limit is generous, a hang still shows)
all_runs=(
  "package|package_reader_fuzz|package|package.dict|8192|5"
  "show_description|show_description_fuzz|show_description|show_description.dict|4096|5"
  "regedit|regedit_fuzz|regedit|regedit.dict|4096|5"
  "input_script|input_script_fuzz|input_script|input_script.dict|4096|5"
  "show_timeline|show_timeline_fuzz|show_timeline|show_timeline.dict|8192|5"
  "picture-jpeg|picture_fuzz|picture/jpeg|picture.dict|8192|20"
  "picture-png|picture_fuzz|picture/png|picture.dict|8192|20"
  "picture-bmp|picture_fuzz|picture/bmp|picture.dict|8192|20"
  "picture-gif|picture_fuzz|picture/gif|picture.dict|8192|20"
  "picture-tiff|picture_fuzz|picture/tiff|picture.dict|8192|20"
  "picture_probe|picture_probe_fuzz|picture/jpeg|picture.dict|8192|5"
  "clip|clip_fuzz|clip|clip.dict|16384|10"
  "clip_probe|clip_probe_fuzz|clip|clip.dict|16384|5"
  "audio|audio_fuzz|audio|audio.dict|8192|10"
  "sound_probe|sound_probe_fuzz|audio|audio.dict|8192|5"
  "mpeg_audio|mpeg_audio_fuzz|mpeg_audio|mpeg_audio.dict|8192|5"
  "midi|midi_fuzz|midi|midi.dict|4096|10"
  "mpeg1_video|mpeg1_video_fuzz|mpeg1_video|mpeg1_video.dict|16384|10"
  "mpeg1_clip|mpeg1_clip_fuzz|clip|clip.dict|16384|10"
  "medium_check|medium_check_fuzz|clip|clip.dict|16384|10"
)
runs=()
for run in "${all_runs[@]}"; do
  name=${run%%|*}
  if [ $# -eq 0 ] || [[ " $* " == *" $name "* ]]; then runs+=("$run"); fi
done
[ ${#runs[@]} -gt 0 ] || { echo "fuzz: no run named $*" >&2; exit 2; }

targets=$(printf '%s\n' "${runs[@]}" | cut -d'|' -f2 | sort -u)
cmake --preset fuzz >/dev/null
# shellcheck disable=SC2086
cmake --build --preset fuzz -j "$jobs" --target $targets

build=build/fuzz
mkdir -p "$build/artifacts" "$build/logs"
# Artifacts newer than this are this invocation's findings (fork mode with
# -ignore_* flags writes them and exits 0).
started=$build/logs/started
touch "$started"
# ASan's quarantine of freed memory counts against the RSS limit: keep it
# small so that the limit measures what the decoders hold.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=32:malloc_context_size=20}

fuzz_one() {
  IFS='|' read -r name target seeds dict max_len timeout <<<"$1"
  local binary=$build/fuzz/$target corpus=$build/corpus/$name log=$build/logs/$name
  local limits=(-timeout="$timeout" -rss_limit_mb=512)
  local seed=()
  [ -z "${FUZZ_SEED:-}" ] || seed=(-seed="$FUZZ_SEED")
  mkdir -p "$corpus"
  rm -f "$log.replay.log"
  # The reproducers of earlier findings must run clean; fuzzing goes on
  # either way, for faults not yet known.
  local findings=(fuzz/findings/"$name"/*) replayed=0
  if [ -e "${findings[0]}" ]; then
    "$binary" "${limits[@]}" "${findings[@]}" >"$log.replay.log" 2>&1 || replayed=$?
  fi
  # shellcheck disable=SC2086  # FUZZ_FLAGS holds several flags
  "$binary" "${limits[@]}" -max_total_time="$seconds" -max_len="$max_len" -dict="fuzz/$dict" \
    -artifact_prefix="$build/artifacts/$name-" -print_final_stats=1 "${seed[@]}" ${FUZZ_FLAGS:-} \
    "$corpus" "fuzz/corpus/$seeds" >"$log.log" 2>&1 || return
  return "$replayed"
}

# The last match of an extended regular expression in a log, or nothing.
last_match() {
  grep -o -E "$1" "$2" | tail -n 1 || true
}

# One line per run: executions, coverage (cov: edges, ft: features) and the result.
summarise() {
  local name=$1 status=$2 log=$build/logs/$1.log
  local execs cov ft found
  found=$(find "$build/artifacts" -name "$name-*" -newer "$started" | wc -l)
  [ "$found" -eq 0 ] || [ "$status" -ne 0 ] || status=1
  execs=$(last_match '^stat::number_of_executed_units: *[0-9]+' "$log" | grep -o '[0-9]*$' || true)
  # Fork mode prints no final statistics: its last status line counts instead.
  [ -n "$execs" ] || execs=$(last_match '^#[0-9]+' "$log" | tr -d '#')
  cov=$(last_match 'cov: [0-9]+' "$log" | cut -d' ' -f2)
  ft=$(last_match 'ft: [0-9]+' "$log" | cut -d' ' -f2)
  printf '%-18s execs %-9s cov %-6s ft %-7s %s\n' "$name" "${execs:-?}" "${cov:-?}" "${ft:-?}" \
    "$([ "$status" -eq 0 ] && echo ok || echo "FINDING (exit $status, $found new artifacts)")"
  [ "$status" -eq 0 ] && return 0
  [ ! -f "$build/logs/$name.replay.log" ] || explain "$build/logs/$name.replay.log"
  explain "$log"
  return 1
}

# What went wrong in a log, where (the first frames outside libFuzzer and
# the sanitizers) and which input does it; nothing for a clean log.
explain() {
  local log=$1
  grep -q -E '^==[0-9]+== ?ERROR' "$log" || return 0
  {
    grep -E -m1 '^==[0-9]+== ?ERROR' "$log"
    grep -E '^ *#[0-9]+ 0x' "$log" |
      grep -v -E 'fuzzer::|__sanitizer|__asan|__lsan|__ubsan|__interceptor|libc\.so|_start| main |/include/c\+\+/' |
      head -n 6 | sed -E 's/^ */  /; s/ 0x[0-9a-f]+ in / /; s/ \(BuildId: [0-9a-f]+\)//'
    grep -o -E 'Test unit written to .*|^Running: .*' "$log" | tail -n 1
  } | sed 's/^/    /' || true
}

declare -A names=()  # pid -> run name
failed=()
# Waits for the next run to end and reports it.
reap() {
  local pid status=0
  wait -n -p pid || status=$?
  local name=${names[$pid]}
  unset "names[$pid]"
  summarise "$name" "$status" || failed+=("$name")
}
for run in "${runs[@]}"; do
  while [ ${#names[@]} -ge "$jobs" ]; do reap; done
  fuzz_one "$run" &
  names[$!]=${run%%|*}
done
while [ ${#names[@]} -gt 0 ]; do reap; done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: findings in ${failed[*]}; reproducers in $build/artifacts/, logs in $build/logs/" >&2
  exit 1
fi
echo "fuzz: ${#runs[@]} runs of ${seconds}s each, no finding"

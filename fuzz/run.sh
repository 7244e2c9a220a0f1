#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, the `fuzz` preset) and fuzzes the
# package reader for SECONDS (default 60), starting from the seed corpus.
# Findings land in build/fuzz/artifacts/; a crash, leak or hang fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
jobs=$(nproc 2>/dev/null || echo 2)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target package_reader_fuzz -j "$jobs"

binary=build/fuzz/fuzz/package_reader_fuzz
artifacts=build/fuzz/artifacts
corpus=build/fuzz/corpus/package
mkdir -p "$artifacts" "$corpus"
# New inputs go to the scratch corpus; the seeds in the tree stay as they are.
"$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=8192 \
  -dict=fuzz/package.dict -artifact_prefix="$artifacts/" -print_final_stats=1 \
  "$corpus" fuzz/corpus/package
echo "fuzz: package_reader_fuzz ran ${seconds}s without a finding"

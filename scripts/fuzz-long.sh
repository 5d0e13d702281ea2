#!/usr/bin/env bash
# A long fuzzing run of each target, side by side: scripts/fuzz-long.sh [SECONDS]
# (default 1800). New inputs go to build/fuzz-long/<target>/, findings beside them.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-1800}
scripts/install-deps.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$(nproc)" >/dev/null
pids=()
for corpus in picture lzss; do
  out=build/fuzz-long/$corpus
  mkdir -p "$out"
  build/fuzz/fuzz/fuzz_$corpus -max_total_time="$seconds" -print_final_stats=1 -max_len=65536 \
    -rss_limit_mb=3072 -dict=fuzz/mca.dict -artifact_prefix="$out/" "$out" "fuzz/corpus/$corpus" \
    > "build/fuzz-long/$corpus.log" 2>&1 &
  pids+=($!)
done
status=0
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
tail -n 12 build/fuzz-long/*.log
exit $status

#!/usr/bin/env bash
# Builds the fuzz targets (fuzz/) with clang and libFuzzer under the address
# and undefined-behaviour sanitizers into build-fuzz/ (or $DREVALON_FUZZ_DIR),
# then runs each target for SECONDS (default 60) on its corpus, and prints the
# executions of each. Any finding (a violated property, a crash, a sanitizer
# report, a hang or running out of memory) fails the run; its input is kept
# in the build directory's findings/ and belongs, once fixed, in
# fuzz/corpus/<target>/. What a run adds to the corpus stays in work/ of the
# build directory, so a later local run goes on from there.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build_dir=${DREVALON_FUZZ_DIR:-build-fuzz}
targets=(fuzz_parameters fuzz_sqltext fuzz_literal fuzz_convert fuzz_fields)

if ! command -v clang++-14 >/dev/null || ! compgen -G "/usr/lib/llvm-14/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a" >/dev/null; then
  echo "clang 14 with libFuzzer is missing: scripts/setup.sh installs it" >&2
  exit 1
fi
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
  -DDREVALON_FUZZ=ON >/dev/null
cmake --build "$build_dir"

findings="$build_dir/findings"
mkdir -p "$findings"
failed=()
for target in "${targets[@]}"; do
  work="$build_dir/work/$target"
  log="$build_dir/work/$target.log"
  mkdir -p "$work"
  status=0
  "$build_dir/fuzz/$target" "$work" "fuzz/corpus/$target" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 \
    -max_len=4096 -print_final_stats=1 -artifact_prefix="$findings/$target-" >"$log" 2>&1 || status=$?
  executions=$(awk '/stat::number_of_executed_units:/ {print $2}' "$log")
  inputs=$(find "$work" -type f | wc -l)
  if [ "$status" -eq 0 ]; then
    echo "$target: ${executions:-0} executions in $seconds s, no finding ($inputs inputs in its working corpus)"
  else
    echo "$target: FINDING after ${executions:-?} executions (exit $status); from $log:"
    grep -A 12 -E 'property violated|ERROR:|runtime error|SUMMARY' "$log" | head -n 40
    failed+=("$target")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: findings in ${failed[*]}; their inputs are in $findings/" >&2
  exit 1
fi
echo "fuzz: ${#targets[@]} targets, no finding"

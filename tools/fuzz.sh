#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, with AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-fuzz, replays the kept inputs of past
# findings, then fuzzes each target for a bounded time starting from its seed
# corpus. The corpus is copied to a scratch directory first, so a run never
# grows the repository's corpus. Prints the executions per target.
#
#   tools/fuzz.sh [target...]          20 s per target (QM_FUZZ_SECONDS)
#   QM_FUZZ_SECONDS=3600 tools/fuzz.sh fuzz_ini_file     a long local run
#
# A finding leaves its input in build-fuzz/findings/<target>/; once fixed,
# move the input to tests/fuzz/regress/<target>/ so every run replays it.
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${QM_FUZZ_SECONDS:-20}
build=build-fuzz
cxx=${QM_FUZZ_CXX:-clang++}
command -v "$cxx" >/dev/null || { echo "fuzz: $cxx not found" >&2; exit 1; }

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for src in tests/fuzz/fuzz_*.cpp; do
    name=$(basename "$src" .cpp)
    [ "$name" = fuzz_support ] || targets+=("$name")
  done
fi

cmake -S . -B "$build" -DQM_FUZZ=ON -DQM_TESTS=OFF -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O1 -gline-tables-only" >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}" >/dev/null

scratch=$(mktemp -d /tmp/qmfuzzrun.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
failed=0
printf '%-20s %8s %10s %8s %6s\n' target seconds executions exec/s corpus
for t in "${targets[@]}"; do
  bin=$build/$t
  corpus=$scratch/$t
  mkdir -p "$corpus" "$build/findings/$t"
  cp -r "tests/fuzz/corpus/$t/." "$corpus/" 2>/dev/null || true
  log=$build/findings/$t.log
  # Past findings first, each input once.
  regress=(tests/fuzz/regress/"$t"/*)
  if [ -e "${regress[0]}" ]; then
    if ! "$bin" "${regress[@]}" >"$log" 2>&1; then
      echo "fuzz: $t fails on a kept finding; see $log" >&2
      failed=1
      continue
    fi
  fi
  rc=0
  "$bin" -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 -max_len=32768 \
    -print_final_stats=1 -artifact_prefix="$build/findings/$t/" "$corpus" >"$log" 2>&1 || rc=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  printf '%-20s %8s %10s %8s %6s\n' "$t" "$secs" "${execs:-?}" "${rate:-?}" "$(ls "$corpus" | wc -l)"
  if [ "$rc" -ne 0 ]; then
    echo "fuzz: $t found a fault (exit $rc); input and log in $build/findings/" >&2
    grep -m5 -E 'ERROR|runtime error|SUMMARY' "$log" >&2 || true
    failed=1
  fi
done
exit $failed

#!/usr/bin/env bash
# Builds everything and runs the whole test suite: the plain build, then the
# same suite under the sanitizers (tools/asan.sh), then the fuzz runs
# (tools/fuzz.sh). Prints how long each stage took.
set -euo pipefail
cd "$(dirname "$0")/.."
stages=()
stage() {  # stage NAME COMMAND...: runs the command and notes its seconds
  local name=$1 t0
  shift
  t0=$(date +%s)
  "$@"
  stages+=("$name $(($(date +%s) - t0)) s")
}
plain_build() {
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build build -j"$(nproc)"
}
plain_suite() { (cd build && ctest --output-on-failure -j"$(nproc)"); }

stage "packages" ./tools/setup-deps.sh
stage "build" plain_build
stage "suite" plain_suite
stage "sanitizers (build and suite)" ./tools/asan.sh
stage "fuzzing (build and runs)" ./tools/fuzz.sh
printf 'test: %s\n' "${stages[@]}"

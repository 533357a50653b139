#!/usr/bin/env bash
# The deep stages, after tools/test.sh: the whole suite built with
# AddressSanitizer and UndefinedBehaviorSanitizer (tools/asan.sh), then the
# fuzz runs (tools/fuzz.sh). Installs clang and its run-time library when
# missing. Prints how long each stage took.
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

stage "packages" ./tools/setup-deps.sh --deep
stage "sanitizers (build and suite)" ./tools/asan.sh
stage "fuzzing (build and runs)" ./tools/fuzz.sh
printf 'deep: %s\n' "${stages[@]}"

#!/usr/bin/env bash
# The deep stages, after tools/test.sh: the whole suite built with
# AddressSanitizer and UndefinedBehaviorSanitizer (tools/asan.sh), then the
# fuzz runs (tools/fuzz.sh). Installs clang and its run-time library when
# missing. Prints how long each stage took.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/stages.sh

stage "packages" ./tools/setup-deps.sh --deep
stage "sanitizers (build and suite)" ./tools/asan.sh
stage "fuzzing (build and runs)" ./tools/fuzz.sh
printf 'deep: %s\n' "${stages[@]}"

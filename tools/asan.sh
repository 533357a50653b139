#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer in
# build-asan and runs the whole suite there (the end-to-end runs and the tmux
# runs start the instrumented program as well).
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-asan
# -O1 with line tables: the usual sanitizer build, and much quicker to
# compile than full debug information.
cmake -S . -B "$build" -DQM_SANITIZE=ON -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O1 -g1" >/dev/null
cmake --build "$build" -j"$(nproc)"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
cd "$build" && ctest --output-on-failure -j"$(nproc)"

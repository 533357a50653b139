#!/usr/bin/env bash
# Builds everything and runs the whole test suite once: unit tests,
# end-to-end runs, the real program in tmux, the installation and package.
# The deep stages (sanitizers, fuzzing) are tools/deep.sh. Prints how long
# each stage took.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/stages.sh
build() {
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DQM_TESTS=ON >/dev/null
  cmake --build build -j"$(nproc)"
}
suite() { (cd build && ctest --output-on-failure -j"$(nproc)"); }

stage "packages" ./tools/setup-deps.sh --test
stage "build" build
stage "suite" suite
printf 'test: %s\n' "${stages[@]}"

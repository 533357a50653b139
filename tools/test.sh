#!/usr/bin/env bash
# Builds everything and runs the whole test suite: the plain build, then the
# same suite under the sanitizers (tools/asan.sh), then the fuzz runs (tools/fuzz.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
./tools/setup-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
(cd build && ctest --output-on-failure -j"$(nproc)")
./tools/asan.sh
./tools/fuzz.sh

#!/usr/bin/env bash
# Builds the tool and starts it (on a generated sample installation once the
# generator exists).
set -euo pipefail
cd "$(dirname "$0")/.."
./tools/setup-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target qm19-20
exec ./build/qm19-20 "$@"

#!/usr/bin/env bash
# Builds the tool, writes a fresh sample installation (2019 in
# work/sample/ZEV_2019, an empty 2020 in work/sample/ZEV_2020), points the
# tool's path file at it and starts the tool. Every start begins with a new
# sample, so the transfer can be tried again and again.
#
# On page 1 press PgDn three times, F5 on page 4, then F5 in the company list;
# answer the questions as they come (A takes the 2020 annual settings for all).
# Extra arguments go to qm-sample (for example --companies 30 --seed 7).
set -euo pipefail
cd "$(dirname "$0")/.."
./tools/setup-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target qm19-20 qm-sample
rm -rf work/sample
./build/qm-sample work/sample --path-file build/qm19-20 "$@"
exec ./build/qm19-20

#!/usr/bin/env bash
# Builds the tool, writes a fresh sample installation (2019 in
# work/sample/ZEV_2019, an empty 2020 in work/sample/ZEV_2020), points the
# tool's path file at it and starts the tool. Every start begins with a new
# sample, so the transfer can be tried again and again. Installs only what
# building and running need; the tests are not built.
#
# On page 1 press PgDn three times, F5 on page 4, then F5 in the company list;
# answer the questions as they come (A takes the 2020 annual settings for all).
# F1 on any page explains it. Extra arguments go to qm-sample (for example
# --companies 30 --seed 7).
set -euo pipefail
cd "$(dirname "$0")/.."
./tools/setup-deps.sh --run
# The test programs need GoogleTest, which this script does not install; a
# build directory that has them keeps them.
tests=OFF
dpkg -s libgtest-dev >/dev/null 2>&1 && tests=ON
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DQM_TESTS=$tests >/dev/null
cmake --build build -j"$(nproc)" --target qm19-20 qm-sample
rm -rf work/sample
./build/qm-sample work/sample --path-file build/qm19-20 "$@"
exec ./build/qm19-20

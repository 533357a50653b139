#!/usr/bin/env bash
# Installs the Debian packages a task needs, when missing. Each level takes
# the ones before it:
#   --run      building and running the program: cmake, g++, make (default)
#   --test     the test suite: GoogleTest, tmux, lintian (the package test)
#   --deep     the deep stages: clang and its run-time library (sanitizers, fuzzer)
#   --windows  the Windows build: mingw-w64, the GoogleTest sources, Wine
#              (with the test level, which its Linux half needs)
set -euo pipefail
run=(cmake g++ make)
test=(libgtest-dev libgmock-dev tmux lintian)
case "${1:---run}" in
  --run) pkgs=("${run[@]}") ;;
  --test) pkgs=("${run[@]}" "${test[@]}") ;;
  --deep) pkgs=("${run[@]}" "${test[@]}" clang libclang-rt-14-dev) ;;
  --windows) pkgs=("${run[@]}" "${test[@]}" g++-mingw-w64-x86-64 googletest wine64) ;;
  *)
    echo "usage: $0 [--run|--test|--deep|--windows]" >&2
    exit 2
    ;;
esac
need=()
for pkg in "${pkgs[@]}"; do
  dpkg -s "$pkg" >/dev/null 2>&1 || need+=("$pkg")
done
if [ ${#need[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q "${need[@]}"
fi

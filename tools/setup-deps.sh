#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
# With --windows also the mingw-w64 cross compiler, the GoogleTest sources
# and Wine, for the Windows build and its tests (tools/windows.sh).
set -euo pipefail
pkgs=(cmake g++ make libgtest-dev libgmock-dev tmux clang libclang-rt-14-dev)
if [ "${1:-}" = "--windows" ]; then
  pkgs+=(g++-mingw-w64-x86-64 googletest wine64)
fi
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

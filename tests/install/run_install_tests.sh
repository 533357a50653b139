#!/bin/sh
# The installation and the Debian package of a build: cmake --install below
# a prefix of its own; as root, the program installed below a system prefix
# saving its paths (in a mount namespace of its own, so nothing of it
# reaches the real system); then cpack -G DEB with the package's file list
# and fields, and lintian on the package: no error, and no hardening tag
# when the build is the hardened one (not the sanitizer build). Exit code 77
# (skipped) when dpkg-deb or lintian is missing and everything else passed.
#
#   run_install_tests.sh BUILD_DIR VERSION [HARDENED: ON or OFF]

set -u
BUILD=$1
VERSION=$2
HARDENED=${3:-ON}
WORK=$(mktemp -d /tmp/qminstall.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
FAILED=0
fail() {
  echo "FAIL: $*"
  FAILED=1
}

# The files, relative to the prefix: the same below any prefix and in the
# package below /usr.
EXPECTED="bin/qm19-20
share/doc/qm19-20/PODRECZNIK.md
share/doc/qm19-20/README.md
share/doc/qm19-20/changelog.gz
share/doc/qm19-20/copyright
share/man/man1/qm19-20.1.gz"

if cmake --install "$BUILD" --prefix "$WORK/prefix" >"$WORK/install.log" 2>&1; then
  got=$(cd "$WORK/prefix" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
  [ "$got" = "$EXPECTED" ] || fail "installed files:
$got"
  got=$(timeout 10 setsid -w "$WORK/prefix/bin/qm19-20" --version </dev/null 2>&1)
  [ "$got" = "qm19-20 $VERSION" ] || fail "installed program says '$got'"
else
  fail "cmake --install: $(cat "$WORK/install.log")"
fi

# The manual page has no troff mistakes.
if command -v groff >/dev/null 2>&1; then
  warnings=$(gzip -dc "$WORK/prefix/share/man/man1/qm19-20.1.gz" | groff -k -man -Tutf8 -ww 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "manual page: $warnings"
fi

# Installed below /usr/local, the program saves the paths of page 1 in the
# user's directory, never next to itself. /usr/local is a fresh file system
# of a mount namespace that ends with the run; the 2019 root holds a
# company list, the 2020 root is empty; the user's path file names them
# without the section line the program writes. Keys: to the path file's
# box, tick it, forward, give up on page 2, and the closing Enter.
if [ "$(id -u)" -eq 0 ] && unshare -m true 2>/dev/null; then
  mkdir -p "$WORK/zev2019" "$WORK/zev2020" "$WORK/home"
  printf 'x' >"$WORK/zev2019/SPISFIRM.DAT"
  printf 'ZEV_2019=%s\r\nZEV_2020=%s\r\n' "$WORK/zev2019" "$WORK/zev2020" >"$WORK/start.PTH"
  echo "Tab Tab Space PgDn Esc T Enter" >"$WORK/keys"
  left=$(HOME="$WORK/home" XDG_CONFIG_HOME= QMKEYS="$WORK/keys" timeout 60 setsid -w unshare -m sh -c '
    mount -t tmpfs qm /usr/local &&
    cmake --install "$1" --prefix /usr/local >/dev/null &&
    cp "$2/start.PTH" "$HOME/qm19-20.PTH" && mkdir -p "$HOME/.config/qm19-20" &&
    mv "$HOME/qm19-20.PTH" "$HOME/.config/qm19-20/" &&
    /usr/local/bin/qm19-20 >"$2/run.out" 2>&1 </dev/null
    echo "exit $?"; ls /usr/local/bin' sh "$BUILD" "$WORK" 2>&1)
  [ "$left" = "exit 0
qm19-20" ] || fail "run below /usr/local: $left $(cat "$WORK/run.out" 2>/dev/null)"
  saved=$(tr -d '\r' <"$WORK/home/.config/qm19-20/qm19-20.PTH" 2>/dev/null)
  [ "$saved" = "[PATHS]
ZEV_2019=$WORK/zev2019
ZEV_2020=$WORK/zev2020" ] || fail "paths not saved in the user's directory: $saved"
else
  echo "not root or no mount namespace: the run below a system prefix is not tested"
fi

if ! command -v dpkg-deb >/dev/null 2>&1; then
  echo "dpkg-deb not found: the package is not tested"
  [ "$FAILED" -eq 0 ] && exit 77
  exit 1
fi
if (cd "$BUILD" && cpack -G DEB -B "$WORK/deb") >"$WORK/cpack.log" 2>&1; then
  deb=$(ls "$WORK"/deb/*.deb)
  [ "$(basename "$deb")" = "qm19-20_${VERSION}_$(dpkg-deb -f "$deb" Architecture).deb" ] ||
    fail "package named $(basename "$deb")"
  got=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./usr/||' | LC_ALL=C sort)
  [ "$got" = "$EXPECTED" ] || fail "files of the package:
$got"
  for field in "Package=qm19-20" "Version=$VERSION" "Maintainer=qm19-20 team <qm19-20@example.org>" \
    "Section=utils" "Priority=optional"; do
    name=${field%%=*}
    want=${field#*=}
    got=$(dpkg-deb -f "$deb" "$name")
    [ "$got" = "$want" ] || fail "package field $name is '$got', not '$want'"
  done
else
  fail "cpack -G DEB: $(tail -n 20 "$WORK/cpack.log")"
  deb=""
fi

# lintian: no error, and, for the hardened build, no hardening tag of any
# level. The tags it still gives are printed; docs/RELIABILITY.md explains
# each.
if [ -n "$deb" ]; then
  if ! command -v lintian >/dev/null 2>&1; then
    echo "lintian not found: the package is not checked"
    [ "$FAILED" -eq 0 ] && exit 77
    exit 1
  fi
  timeout 240 lintian --fail-on error --display-info "$deb" >"$WORK/lintian.log" 2>&1 ||
    fail "lintian: $(cat "$WORK/lintian.log")"
  [ "$HARDENED" = ON ] && grep -q 'hardening-' "$WORK/lintian.log" &&
    fail "lintian: $(grep 'hardening-' "$WORK/lintian.log")"
  cat "$WORK/lintian.log"
fi

[ "$FAILED" -eq 0 ] && echo "installation and package: passed"
exit "$FAILED"

#!/bin/sh
# The installation and the Debian package of a build: cmake --install below
# a prefix of its own, then cpack -G DEB with the package's file list and
# fields. Exit code 77 (skipped) when dpkg-deb is missing and the
# installation itself passed.
#
#   run_install_tests.sh BUILD_DIR VERSION

set -u
BUILD=$1
VERSION=$2
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
share/man/man1/qm19-20.1"

if cmake --install "$BUILD" --prefix "$WORK/prefix" >"$WORK/install.log" 2>&1; then
  got=$(cd "$WORK/prefix" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
  [ "$got" = "$EXPECTED" ] || fail "installed files:
$got"
  got=$("$WORK/prefix/bin/qm19-20" --version </dev/null 2>&1)
  [ "$got" = "qm19-20 $VERSION" ] || fail "installed program says '$got'"
else
  fail "cmake --install: $(cat "$WORK/install.log")"
fi

# The manual page has no troff mistakes.
if command -v groff >/dev/null 2>&1; then
  warnings=$(groff -k -man -Tutf8 -ww "$WORK/prefix/share/man/man1/qm19-20.1" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "manual page: $warnings"
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
  for field in "Package=qm19-20" "Version=$VERSION" "Maintainer=qm19-20 developers"; do
    name=${field%%=*}
    want=${field#*=}
    got=$(dpkg-deb -f "$deb" "$name")
    [ "$got" = "$want" ] || fail "package field $name is '$got', not '$want'"
  done
else
  fail "cpack -G DEB: $(tail -n 20 "$WORK/cpack.log")"
fi

[ "$FAILED" -eq 0 ] && echo "installation and package: passed"
exit "$FAILED"

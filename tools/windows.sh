#!/usr/bin/env bash
# The native Windows console program: cross-built with mingw-w64 into
# build-win, its tests run under Wine, and one end-to-end transfer run by the
# Windows program and by the Linux program over the same generated
# installation, whose 2019 and 2020 trees must come out byte for byte alike;
# then the zip for Windows (build-win/qm19-20-VERSION-windows.zip).
#
#   QM_LINUX_BUILD  the Linux build directory to take the Linux program from
#                   (default: build; its qm19-20 and qm-sample are built there)
#   QM_WIN_TIMEOUT  seconds the Windows test program may run (default: 900)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
./tools/setup-deps.sh --windows

win=build-win
lin=${QM_LINUX_BUILD:-build}
jobs=$(nproc)
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
export WINEPREFIX=$root/$win/wineprefix WINEDEBUG=-all
# No desktop: the console programs need none, and nothing may wait for one.
unset DISPLAY WAYLAND_DISPLAY

start=$(date +%s)
cmake -S . -B "$win" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$win" -j"$jobs" --target qm19-20 qm-sample test_win_all
cmake -S . -B "$lin" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$lin" -j"$jobs" --target qm19-20 qm-sample
built=$(date +%s)

# A fresh prefix for every run; the Wine server goes with it at the end.
rm -rf "$WINEPREFIX"
trap '"$wineserver" -k >/dev/null 2>&1 || true' EXIT
timeout 300 "$wine" wineboot -i >/dev/null 2>&1

# A Linux path as the Windows side sees it, through Wine's drive Z:.
winpath() { printf 'Z:%s' "${1//\//\\}"; }

failed=0
log=$win/test_win_all.log
set +e
timeout "${QM_WIN_TIMEOUT:-900}" "$wine" "$win/test_win_all.exe" --gtest_color=no >"$log" 2>&1
rc=$?
set -e
passed=$(grep -c '^\[       OK \]' "$log" || true)
# Wine's console ends the lines with CR LF.
failures=$(tr -d '\r' <"$log" | grep -cE '^\[  FAILED  \] .* \([0-9]+ ms\)$' || true)
skipped=$(tr -d '\r' <"$log" | grep -cE '^\[  SKIPPED \] .* \([0-9]+ ms\)$' || true)
if [ "$rc" -ne 0 ] || [ "$failures" -ne 0 ]; then
  grep -E -A30 '^\[ RUN      \]' "$log" | grep -v '^\[       OK' | tail -n 200 || true
  [ "$rc" -eq 124 ] && echo "windows: the test program ran out of its ${QM_WIN_TIMEOUT:-900} s"
  [ "$failures" -eq 0 ] && failures=1
  failed=1
fi
# The command line answers without a console: the version of the build,
# and the help text, which starts with it.
version=$(sed -n 's/^project(qm19_20 VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
said=$(timeout 60 "$wine" "$win/qm19-20.exe" --version </dev/null 2>&1 | tr -d '\r' || true)
helped=$(timeout 60 "$wine" "$win/qm19-20.exe" --help </dev/null 2>&1 | tr -d '\r' | head -n 1 || true)
if [ "$said" = "qm19-20 $version" ] && [ "${helped#"qm19-20 $version "}" != "$helped" ]; then
  passed=$((passed + 1))
else
  echo "windows: --version said '$said', --help began '$helped'"
  failures=$((failures + 1))
  failed=1
fi
tested=$(date +%s)

# The package for Windows: the program, the README, the licence and the
# user guide (in docs/, where the README's link points).
zip=qm19-20-$version-windows.zip
rm -rf "$win/package" "$win/$zip"
mkdir -p "$win/package/qm19-20/docs"
cp "$win/qm19-20.exe" README.md LICENSE "$win/package/qm19-20/"
cp docs/PODRECZNIK.md "$win/package/qm19-20/docs/"
(cd "$win/package" && cmake -E tar cf "../$zip" --format=zip qm19-20)

# The same transfer by both programs: the same seed gives the same
# installation, and the same keys must give the same files.
e2e=$win/e2e
rm -rf "$e2e"
mkdir -p "$e2e/lin/bin" "$e2e/win/bin"
cp "$lin/qm19-20" "$e2e/lin/bin/"
cp "$win/qm19-20.exe" "$e2e/win/bin/"
sample_args=(--companies 6 --seed 2020 --open-december --global-2020-payroll --present 1)
"$lin/qm-sample" "$e2e/lin" "${sample_args[@]}" --path-file "$e2e/lin/bin/qm19-20" \
  --keys "$e2e/lin/keys.txt" >/dev/null
"$wine" "$win/qm-sample.exe" "$(winpath "$root/$e2e/win")" "${sample_args[@]}" \
  --path-file "$(winpath "$root/$e2e/win/bin/qm19-20")" --keys "$(winpath "$root/$e2e/win/keys.txt")" >/dev/null
e2e_ok=1
if ! diff -r "$e2e/lin/ZEV_2019" "$e2e/win/ZEV_2019" >/dev/null || ! cmp -s "$e2e/lin/keys.txt" "$e2e/win/keys.txt"; then
  echo "windows: the generated installations differ"
  e2e_ok=0
fi
QMKEYS=$e2e/lin/keys.txt QMSCREEN=$e2e/lin/screens.txt "$e2e/lin/bin/qm19-20" </dev/null >"$e2e/lin/out.txt" 2>&1 ||
  { echo "windows: the Linux run failed"; cat "$e2e/lin/out.txt"; e2e_ok=0; }
QMKEYS=$(winpath "$root/$e2e/win/keys.txt") QMSCREEN=$(winpath "$root/$e2e/win/screens.txt") \
  timeout 300 "$wine" "$e2e/win/bin/qm19-20.exe" </dev/null >"$e2e/win/out.txt" 2>&1 ||
  { echo "windows: the Windows run failed"; cat "$e2e/win/out.txt"; e2e_ok=0; }
# Each company's text data names its 2019 directory, a path of the host
# kept whole: it must be that path, and is then left out of the comparison.
for dir in "$e2e"/lin/ZEV_2020/*/; do
  dir=$(basename "$dir")
  [ -f "$e2e/lin/ZEV_2020/$dir/FIRMATXT.INI" ] || continue
  lin_value=$(grep -a '^ZEV2019=' "$e2e/lin/ZEV_2020/$dir/FIRMATXT.INI" | tr -d '\r' | cut -d= -f2-)
  win_value=$(grep -a '^ZEV2019=' "$e2e/win/ZEV_2020/$dir/FIRMATXT.INI" | tr -d '\r' | cut -d= -f2-)
  lin_want="$root/$e2e/lin/ZEV_2019/$dir"
  win_want=$(winpath "$root/$e2e/win/ZEV_2019/$dir")
  if [ "$lin_value" != "$lin_want" ] || [ "$win_value" != "$win_want" ]; then
    echo "windows: $dir/FIRMATXT.INI names its 2019 directory as '$lin_value' and '$win_value'"
    e2e_ok=0
  fi
  sed -i 's/^ZEV2019=.*$/ZEV2019=(2019 directory)\r/' "$e2e/lin/ZEV_2020/$dir/FIRMATXT.INI" \
    "$e2e/win/ZEV_2020/$dir/FIRMATXT.INI"
done
# The program's own bookkeeping (journal, copies, report) holds times and
# host paths: it is compared by the tests, not here.
files=$(find "$e2e/lin/ZEV_2020" -path '*/_QM1920' -prune -o -type f -print | wc -l)
for tree in ZEV_2019 ZEV_2020; do
  if ! diff -r -x _QM1920 "$e2e/lin/$tree" "$e2e/win/$tree"; then
    echo "windows: $tree differs between the Linux and the Windows run"
    e2e_ok=0
  fi
done
if [ "$files" -lt 100 ]; then
  echo "windows: the end-to-end run carried only $files files"
  e2e_ok=0
fi
if [ "$e2e_ok" -eq 1 ]; then
  passed=$((passed + 1))
else
  failures=$((failures + 1))
  failed=1
fi

# The Windows console itself, in a terminal through Wine's console host: a
# whole transfer typed key by key, each key sent once the screen has settled
# (row 1 holds the running clock and is not looked at).
console_ok=1
if command -v tmux >/dev/null; then
  con=$win/console
  rm -rf "$con"
  mkdir -p "$con"
  cp "$win/qm19-20.exe" "$con/"
  "$wine" "$win/qm-sample.exe" "$(winpath "$root/$con/inst")" --companies 3 \
    --path-file "$(winpath "$root/$con/qm19-20")" --keys "$(winpath "$root/$con/keys.txt")" >/dev/null
  # A tmux server of its own, started with the Wine settings of this run.
  tmx() { tmux -L "qm-windows-$$" "$@"; }
  screen() { tmx capture-pane -t qm -p 2>/dev/null | tail -n +2; }
  settle() {
    local last="" now i same=0
    for ((i = 0; i < 240; i++)); do
      sleep 0.25
      now=$(screen)
      if [ -n "$(echo "$now" | tr -d ' \n')" ] && [ "$now" = "$last" ]; then
        same=$((same + 1))
        [ "$same" -ge 4 ] && return 0
      else
        same=0
      fi
      last=$now
    done
    return 1
  }
  tmx new-session -d -s qm -x 80 -y 25 "cd '$root/$con' && WINEPREFIX='$WINEPREFIX' WINEDEBUG=-all $wine qm19-20.exe;
    echo \"exit code \$?\" >'$root/$con/exit.txt'; sleep 5"
  sleep 2
  for key in $(tr -d '\r' <"$con/keys.txt"); do
    settle || { echo "windows: the console did not settle before $key"; console_ok=0; break; }
    case $key in PgDn) key=NPage ;; PgUp) key=PPage ;; Esc) key=Escape ;; esac
    before=$(screen)
    tmx send-keys -t qm "$key"
    # Taken once the screen changes: a busy program (a company synced on a
    # loaded machine) may leave it still for a while before it draws, and a
    # key sent meanwhile would be typed ahead into a box that drops it.
    for ((i = 0; i < 240; i++)); do
      [ "$(screen)" != "$before" ] && break
      sleep 0.25
    done
  done
  for ((i = 0; i < 120; i++)); do
    [ -s "$con/exit.txt" ] && break
    sleep 0.5
  done
  tmx kill-server 2>/dev/null || true
  if [ "$(cat "$con/exit.txt" 2>/dev/null)" != "exit code 0" ] ||
     [ "$(stat -c %s "$con/inst/ZEV_2020/SPISFIRM.DAT" 2>/dev/null)" != 309 ]; then
    echo "windows: the transfer typed into the Windows console did not carry the three companies"
    console_ok=0
  fi
  if [ "$console_ok" -eq 1 ]; then passed=$((passed + 1)); else failures=$((failures + 1)); failed=1; fi
else
  echo "windows: no tmux, the console run is left out"
fi
done_at=$(date +%s)

echo "windows: build $((built - start)) s, tests under Wine $((tested - built)) s, end-to-end runs $((done_at - tested)) s;" \
  "$files files of the 2020 tree identical to the Linux run: $([ "$e2e_ok" -eq 1 ] && echo yes || echo no);" \
  "a transfer typed into the console: $([ "$console_ok" -eq 1 ] && echo done || echo failed)"
echo "windows: package $win/$zip"
echo "windows: $passed passed, $failures failed${skipped:+, $skipped skipped}"
exit "$failed"

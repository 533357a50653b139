#!/bin/sh
# End-to-end runs of the real program in a tmux terminal: start, wait for a
# text on the screen, send keys, check the exit code and that the terminal
# settings are given back. Exit code 77 (skipped) without tmux.
#
#   run_tmux_tests.sh [path-to-qm19-20]     (or QM_BINARY; else build/qm19-20)
#   QM_TMUX_ONLY="scenario_a scenario_b" runs only the scenarios named.
#
# New scenarios are shell functions named scenario_* using the helpers
# qm_start, qm_wait_for, qm_keys, qm_capture, qm_finish.

set -u

BINARY=${1:-${QM_BINARY:-build/qm19-20}}
command -v tmux >/dev/null 2>&1 || { echo "tmux not found: skipped"; exit 77; }
[ -x "$BINARY" ] || { echo "program not found: $BINARY"; exit 1; }

# UTF-8 in the pane, whatever the caller's locale.
export LANG=C.UTF-8 LC_ALL=C.UTF-8

WORK=$(mktemp -d /tmp/qmtmux.XXXXXX)
# Nor side files of the user's own (the program looks there second).
export XDG_CONFIG_HOME="$WORK/config"
# Every start gets a server of its own: a server whose last session was
# just killed is still going away, and a new session on its socket can catch
# it exiting.
STARTS=0
TMUX_CMD="tmux -u -L qmtest$$-0 -f /dev/null"
FAILED=0
CASE=""

cleanup() {
  $TMUX_CMD kill-server >/dev/null 2>&1
  rm -rf "$WORK"
}
trap cleanup EXIT INT TERM

fail() {
  echo "FAIL [$CASE]: $*"
  echo "----- screen -----"
  qm_capture
  echo "------------------"
  FAILED=1
}

# qm_start COLS ROWS [ARGS...]: a fresh copy of the program in its own
# directory (no side files of a developer's build next to it), run in a
# new pane of COLS x ROWS.
qm_start() {
  cols=$1 rows=$2
  shift 2
  DIR="$WORK/$CASE"
  mkdir -p "$DIR"
  cp "$BINARY" "$DIR/qm19-20"
  cat >"$DIR/run.sh" <<WRAP
#!/bin/sh
cd "$DIR"
stty -g >"$DIR/stty.before"
sh -c 'echo \$\$ >"\$1"; shift; exec "\$@"' sh "$DIR/pid" "$DIR/qm19-20" "\$@"
echo \$? >"$DIR/rc"
stty -g >"$DIR/stty.after"
exec sleep 600
WRAP
  chmod +x "$DIR/run.sh"
  $TMUX_CMD kill-server >/dev/null 2>&1
  STARTS=$((STARTS + 1))
  TMUX_CMD="tmux -u -L qmtest$$-$STARTS -f /dev/null"
  $TMUX_CMD new-session -d -s qm -x "$cols" -y "$rows" "$DIR/run.sh $*"
}

qm_capture() { $TMUX_CMD capture-pane -p -t qm 2>/dev/null; }

# qm_wait_for TEXT [SECONDS]: true once TEXT is on the screen. The limits
# of these waits only matter when something is wrong; they are generous so
# that a machine busy with the rest of the suite never fails a scenario.
qm_wait_for() {
  tries=$(( ${2:-15} * 20 ))
  while [ "$tries" -gt 0 ]; do
    qm_capture | grep -F -q -- "$1" && return 0
    sleep 0.05
    tries=$((tries - 1))
  done
  return 1
}

# qm_keys KEY...: tmux key names (Escape, Enter, PageDown, F5, C-w) or text.
qm_keys() { $TMUX_CMD send-keys -t qm "$@"; }

# qm_finish EXPECTED_RC: waits for the program to end, checks its exit code
# and that the terminal settings are as before.
qm_finish() {
  tries=300
  while [ ! -s "$DIR/stty.after" ] && [ "$tries" -gt 0 ]; do
    sleep 0.05
    tries=$((tries - 1))
  done
  if [ ! -s "$DIR/stty.after" ]; then
    fail "the program did not end"
    return
  fi
  rc=$(cat "$DIR/rc")
  [ "$rc" = "$1" ] || fail "exit code $rc, expected $1"
  cmp -s "$DIR/stty.before" "$DIR/stty.after" || fail "terminal settings not restored"
}

TITLE=" PROGRAM DO PRZEPCHNIĘCIA DANYCH ZEV_QM Z ROKU 2019 NA 2020 1.05(x86)"

# Leaves the wizard: Esc, confirm, then "Nacisnij Enter".
quit_program() {
  qm_keys Escape
  qm_wait_for "Rezygnujesz" || { fail "no quit question"; return; }
  qm_keys t
  qm_wait_for "Nacisnij Enter" || { fail "no closing prompt"; return; }
  qm_keys Enter
}

check_title() {
  qm_wait_for "$TITLE" || { fail "title line not shown"; return 1; }
  qm_capture | head -1 | grep -F -q -- "$TITLE" || fail "title not on the first row"
  qm_capture | sed -n 2p | grep -q "^─\{79\}" || fail "rule line missing on row 2"
}

scenario_start_and_quit_80x25() {
  qm_start 80 25
  check_title || return
  quit_program
  qm_finish 0
}

# The 80x25 screen centred: 10 blank columns each side, 2 rows above and
# 3 below.
scenario_larger_terminal() {
  qm_start 100 30
  qm_wait_for "$TITLE" || { fail "title line not shown"; return; }
  qm_capture | sed -n 3p | grep -F -q -- "          $TITLE" || fail "title not centred on row 3"
  qm_capture | sed -n 4p | grep -q "^          ─\{79\}" || fail "rule line not on row 4"
  # (sed counts characters in a UTF-8 locale; cut would count bytes)
  qm_capture | sed -n 's/^\(.\{0,10\}\).*/\1/p' | grep -q '[^ ]' && fail "text left of column 11"
  qm_capture | sed -n 's/^.\{90\}//p' | grep -q '[^ ]' && fail "text beyond column 90"
  [ -z "$(qm_capture | sed -n '1,2p;28,30p' | tr -d ' ')" ] || fail "text above row 3 or below row 27"
  quit_program
  qm_finish 0
}

# 80x24: the ruled line under the title left out, every other row of the
# page there, one row up; keys reach the page, and the next page and the
# quit question work as at 80x25.
scenario_page_usable_at_80x24() {
  make_installation || return
  qm_start 80 24
  qm_wait_for "$TITLE" || { fail "title line not shown"; return; }
  wait_for_clock || return
  qm_wait_row 24 " PgDn-Dalej│" || { fail "hint line not on row 24"; return; }
  page_rows 24 >"$DIR/page.24"
  # The same page at 80x25, its rule line taken out, must be what 80x24 showed.
  $TMUX_CMD resize-window -t qm -x 80 -y 25
  qm_wait_row 25 " PgDn-Dalej│" || { fail "hint line not on row 25 at 80x25"; return; }
  qm_wait_row 2 "─\{79\}" || { fail "no rule line at 80x25"; return; }
  page_rows | sed 2d >"$DIR/page.25"
  cmp -s "$DIR/page.24" "$DIR/page.25" ||
    fail "80x24 lost rows: $(diff "$DIR/page.25" "$DIR/page.24" | head -5)"
  $TMUX_CMD resize-window -t qm -x 80 -y 24
  qm_wait_row 2 "  ┌─* Lokalizacja" || { fail "page not moved up at 80x24"; return; }
  qm_keys -l "żółw"
  qm_wait_for "/ZEV_2019/żółw" || fail "typed letters not shown"
  qm_keys BSpace BSpace BSpace BSpace
  qm_wait_for "/ZEV_2019/ " || fail "letters not taken back"
  qm_keys PageDown
  qm_wait_row 2 "  ┌─* Dane globalne, konfiguracyjne" || fail "page 2 not shown at 80x24"
  qm_wait_row 24 " PgUp-Wstecz│PgDn-Dalej│" || fail "hint line not on the last row"
  quit_program
  qm_finish 0
  rm -rf "$INST"
}

scenario_small_terminal_waits_for_resize() {
  qm_start 60 20
  qm_wait_for "potrzeba 80×24" || { fail "no size message"; return; }
  qm_capture | grep -F -q "(teraz 60×20)" || fail "present size not shown"
  $TMUX_CMD resize-window -t qm -x 80 -y 25
  check_title || return
  quit_program
  qm_finish 0
}

scenario_typing_pasting_and_alt_letters() {
  qm_start 80 25
  check_title || return
  # The first field of page 1 holds the 2019 directory, cursor at its end.
  qm_keys -l "żółw"
  qm_wait_for "/ZEV_2019/żółw" || fail "typed Polish letters not shown"
  $TMUX_CMD set-buffer "Łódź" && $TMUX_CMD paste-buffer -p -t qm
  qm_wait_for "│   Łódź " || fail "pasted text not shown"
  qm_keys C-y M-a M-A
  qm_wait_for "│   ąĄ " || fail "Alt letters not shown"
  quit_program
  qm_finish 0
}

scenario_termination_gives_terminal_back() {
  qm_start 80 25
  check_title || return
  kill -TERM "$(cat "$DIR/pid")"
  qm_finish 143
  [ "$($TMUX_CMD display -p -t qm '#{alternate_on}')" = 0 ] || fail "alternate screen still on"
  qm_capture | grep -F -q "PROGRAM DO" && fail "program screen left on the terminal"
}

# page_rows [ROWS [TOP LEFT]]: the screen's rows (25 unless told) from
# the pane, starting after TOP rows and LEFT columns of margin, 80 columns
# each, trailing blanks and the clock's seconds taken out (the clock may
# tick between two captures).
page_rows() {
  qm_capture | sed -n "$((${2:-0} + 1)),$((${2:-0} + ${1:-25}))p" |
    sed -e "s/^.\{${3:-0}\}//" -e 's/^\(.\{0,80\}\).*/\1/' -e 's/ *$//' \
      -e 's/[0-9][0-9]:[0-9][0-9]:[0-9][0-9]/hh:mm:ss/g'
}

# qm_wait_row ROW PATTERN: true once row ROW of the pane matches PATTERN (a
# basic regular expression, anchored at the row's start).
qm_wait_row() {
  tries=100
  while [ "$tries" -gt 0 ]; do
    qm_capture | sed -n "$1p" | grep -q -- "^$2" && return 0
    sleep 0.05
    tries=$((tries - 1))
  done
  return 1
}

# The clock in the top-right corner is first drawn when the second turns
# over, up to a second after the page.
wait_for_clock() {
  tries=200
  while [ "$tries" -gt 0 ]; do
    qm_capture | head -1 | grep -q '[0-9][0-9]:[0-9][0-9]:[0-9][0-9]' && return 0
    sleep 0.05
    tries=$((tries - 1))
  done
  fail "no clock on the title row"
  return 1
}

scenario_resize_redraws_the_page() {
  qm_start 80 25
  check_title || return
  wait_for_clock || return
  page_rows >"$DIR/page.before"
  # Too small: the page gives way to the size message ...
  $TMUX_CMD resize-window -t qm -x 70 -y 20
  qm_wait_for "potrzeba 80×24" || { fail "no size message after shrinking"; return; }
  # ... and a larger window must show the whole page again, as it was,
  # centred (one row above it, five columns left of it).
  $TMUX_CMD resize-window -t qm -x 90 -y 28
  qm_wait_for "$TITLE" || { fail "page not redrawn after growing"; return; }
  qm_wait_row 26 "      PgDn-Dalej│" || { fail "page not centred after growing"; return; }
  page_rows 25 1 5 >"$DIR/page.after"
  cmp -s "$DIR/page.before" "$DIR/page.after" ||
    fail "page differs after the resize: $(diff "$DIR/page.before" "$DIR/page.after" | head -5)"
  # Back to 80x25 without passing through a small size: still the same page.
  $TMUX_CMD resize-window -t qm -x 80 -y 25
  qm_wait_row 25 " PgDn-Dalej│" || { fail "page not back in place at 80x25"; return; }
  page_rows >"$DIR/page.again"
  cmp -s "$DIR/page.before" "$DIR/page.again" || fail "page differs after returning to 80x25"
  quit_program
  qm_finish 0
}

# Esc and Ctrl+C in the size notice end the program cleanly (exit code 0,
# the terminal given back).
scenario_esc_in_size_notice_ends_the_program() {
  for key in Escape C-c; do
    qm_start 70 20
    qm_wait_for "Esc - koniec programu" || { fail "no size message"; return; }
    qm_keys "$key"
    qm_finish 0
    [ "$($TMUX_CMD display -p -t qm '#{alternate_on}')" = 0 ] || fail "alternate screen still on after $key"
  done
}

# A hang-up (the terminal window closed, the SSH link lost) ends the program
# the way a termination does: settings and the normal screen given back.
scenario_hangup_gives_terminal_back() {
  qm_start 80 25
  check_title || return
  kill -HUP "$(cat "$DIR/pid")"
  qm_finish 129
  [ "$($TMUX_CMD display -p -t qm '#{alternate_on}')" = 0 ] || fail "alternate screen still on"
  qm_capture | grep -F -q "PROGRAM DO" && fail "program screen left on the terminal"
}

# No terminal at all (no controlling terminal, input from /dev/null, no key
# script): a message and exit code 2 at once, never a wait for keys.
scenario_no_terminal_exits_with_2() {
  DIR="$WORK/$CASE"
  mkdir -p "$DIR"
  command -v setsid >/dev/null 2>&1 || { echo "setsid not found: $CASE skipped"; return; }
  cp "$BINARY" "$DIR/qm19-20"
  rc=0
  (cd "$DIR" && env -u QMKEYS timeout 10 setsid -w ./qm19-20 </dev/null >"$DIR/out" 2>"$DIR/err") ||
    rc=$?
  [ "$rc" = 2 ] || fail "exit code $rc, expected 2 (124 = hung)"
  grep -q "no terminal to run in" "$DIR/err" || fail "no clear message: $(cat "$DIR/err")"
}

# make_installation: a generated installation in $INST, the path file and
# the key script of a whole run in $DIR; false (skipped) without qm-sample.
make_installation() {
  SAMPLE=$(dirname "$BINARY")/qm-sample
  [ -x "$SAMPLE" ] || { echo "qm-sample not found: $CASE skipped"; return 1; }
  DIR="$WORK/$CASE"
  mkdir -p "$DIR"
  # The paths page holds 50 characters: the installation lives at a short path.
  INST=$(mktemp -d /tmp/qmw.XXXXXX)
  "$SAMPLE" "$INST" --path-file "$DIR/qm19-20" --keys "$DIR/keys" >/dev/null ||
    { fail "sample not generated"; return 1; }
}

# Key-script names as tmux key names.
tmux_key() {
  case "$1" in
    PgDn) echo NPage ;; PgUp) echo PPage ;; Esc) echo Escape ;;
    Bksp) echo BSpace ;; S-Tab) echo BTab ;; ^?) echo "C-$(echo "$1" | cut -c2 | tr 'A-Z' 'a-z')" ;;
    *) echo "$1" ;;
  esac
}

# A whole transfer with real keys over a generated installation: page 1 with
# Tab and Space on its controls, the pages by PgDn, F5, the company list,
# the questions of the run, the end line and "Nacisnij Enter".
scenario_whole_transfer_with_real_keys() {
  make_installation || return
  qm_start 80 25
  qm_wait_for " Lokalizacja " || { fail "page 1 not shown"; return; }
  # Tab to the target field, Tab to "zapisz ustawienie lokalizacji", Space
  # checks it: the paths are saved again when the page is left.
  qm_keys Tab; sleep 0.3; qm_keys Tab; sleep 0.3; qm_keys Space; sleep 0.3
  qm_capture | grep -q "\[■\] zapisz ustawienie" || fail "Space did not check the box"
  set -- $(cat "$DIR/keys")
  n=$#
  i=0
  for k in "$@"; do
    i=$((i + 1))
    [ "$i" -eq "$n" ] && break
    qm_keys "$(tmux_key "$k")"
    sleep 1
  done
  qm_wait_for "Koniec pracy kopiera danych ZEV_QM na rok 2020" 60 || { fail "no end line"; return; }
  qm_wait_for "Nacisnij Enter" || { fail "no closing prompt"; return; }
  qm_keys Enter
  qm_finish 0
  [ -s "$INST/ZEV_2020/SPISFIRM.DAT" ] || fail "no 2020 company list"
  grep -q "ZEV_2019=" "$DIR/qm19-20.PTH" || fail "path file not saved"
  rm -rf "$INST"
}

scenario_usage_screen() {
  qm_start 80 25 '?'
  qm_wait_for "Program do kopiowania wybranych danych do nowego ZEV_QM." ||
    { fail "no usage screen"; return; }
  qm_capture | grep -F -q "lokalizacja istniejącego katalogu na rok 2020" || fail "usage text"
  qm_keys Enter
  qm_finish 0
}

for s in ${QM_TMUX_ONLY:-$(sed -n 's/^\(scenario_[a-z0-9_]*\)() {$/\1/p' "$0")}; do
  CASE=$s
  before=$FAILED
  FAILED=0
  $s
  if [ "$FAILED" = 0 ]; then echo "ok   $s"; else echo "FAIL $s"; fi
  [ "$before" = 1 ] && FAILED=1
done

exit $FAILED

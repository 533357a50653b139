#!/usr/bin/env bash
# Times a complete unattended run (key script, no terminal) over a large
# generated installation next to a plain "cp -r" of the same 2019 tree, in
# both orders (cp first, then the program first) and in two ways: with a
# warm page cache and no final sync, and durable (each side ending with
# sync). Reports wall times, the ratios, peak resident memory and the system
# calls per file of the 2019 tree for both programs; then times the
# 2,048-company list installation with its 2019 list far from the sorted
# order and in the package's own order, whose difference is the time spent
# inserting into the 2020 list, and those insertions alone (qm-listbench).
#
#   BENCH_MB=1024 BENCH_COMPANIES=300 tools/bench.sh
#
# Settings (environment):
#   BENCH_MB         size of the large installation in MiB (default 256)
#   BENCH_COMPANIES  its companies (default 300)
#   BENCH_LIST       companies of the list installation (default 2048)
#   BENCH_BUILD      directory holding qm19-20 and qm-sample (default build;
#                    built here, optimised, when missing)
#   BENCH_WORK       work directory (default work/bench); the installations
#                    are kept there and made again only when the settings change
#   BENCH_STRACE=0   skips the system call counts
#   BENCH_REPEAT     rounds of every timing (default 3): each round is
#                    printed, then the median ratio of each way and order,
#                    and the list runs' best times, since a shared machine's
#                    noise is mostly one-sided
set -euo pipefail
cd "$(dirname "$0")/.."
mb=${BENCH_MB:-256}
companies=${BENCH_COMPANIES:-300}
listn=${BENCH_LIST:-2048}
build=${BENCH_BUILD:-build}
work=${BENCH_WORK:-work/bench}
repeat=${BENCH_REPEAT:-3}

if [ ! -x "$build/qm19-20" ] || [ ! -x "$build/qm-sample" ] || [ ! -x "$build/qm-listbench" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" -j2 --target qm19-20 qm-sample qm-listbench >/dev/null
fi
for tool in /usr/bin/time strace bc; do
  command -v "$tool" >/dev/null || { echo "bench: $tool is missing (tools/setup-deps.sh)" >&2; exit 1; }
done
mkdir -p "$work/bin"
work=$(cd "$work" && pwd)
cp "$build/qm19-20" "$work/bin/qm19-20"

now() { date +%s.%N; }
since() { echo "$(now) - $1" | bc; }
ratio() { echo "$1 / $2" | bc -l; }

# make <dir> <stamp> <qm-sample options...>: the installation, with a copy of
# its pristine 2020 tree, unless the same one is there already.
make_inst() {
  local dir=$1 stamp=$2
  shift 2
  if [ "$(cat "$dir/.stamp" 2>/dev/null)" != "$stamp" ]; then
    rm -rf "$dir"
    "$build/qm-sample" "$dir" --keys "$dir.keys" "$@" >/dev/null
    cp -r "$dir/ZEV_2020" "$dir/.pristine2020"
    echo "$stamp" >"$dir/.stamp"
  fi
  rm -rf "$dir/ZEV_2020" "$dir/copy" "$dir/backup"
  cp -r "$dir/.pristine2020" "$dir/ZEV_2020"
}

# The program's path file, pointing at the installation in dir.
path_file() {
  printf '[PATHS]\r\nZEV_2019=%s\r\nZEV_2020=%s\r\n' "$1/ZEV_2019" "$1/ZEV_2020" >"$work/bin/qm19-20.PTH"
}

# Every timing starts from a clean page cache state (sync, not counted) with
# the 2019 tree read once, so that no side pays for the other's writes or
# for reading the disk; durable timings end with a sync of their own.
settle() {
  find "$1/ZEV_2019" -type f -exec cat {} + >/dev/null
  sync
}
finish() { [ "$1" = durable ] && sync || true; }

timed_tool() {  # <dir> <warm|durable>: seconds and peak RSS in KiB
  local dir=$1 t
  settle "$dir"
  t=$(now)
  (cd "$work" && QMKEYS="$dir.keys" QMSCREEN= /usr/bin/time -f %M -o "$work/rss.txt" "$work/bin/qm19-20" \
    >"$work/out.txt" 2>&1) || { echo "bench: qm19-20 failed" >&2; tail -20 "$work/out.txt" >&2; exit 1; }
  finish "$2"
  echo "$(since "$t") $(cat "$work/rss.txt")"
}
timed_cp() {  # <dir> <warm|durable>
  local dir=$1 t
  settle "$dir"
  t=$(now)
  /usr/bin/time -f %M -o "$work/rss_cp.txt" cp -r "$dir/ZEV_2019" "$dir/copy"
  finish "$2"
  echo "$(since "$t") $(cat "$work/rss_cp.txt")"
}
# Puts the 2019 tree back as it was before the program struck out entries.
restore() {
  local dir=$1
  rm -rf "$dir/ZEV_2019" "$dir/ZEV_2020"
  mv "$dir/backup" "$dir/ZEV_2019"
  cp -r "$dir/.pristine2020" "$dir/ZEV_2020"
  rm -rf "$dir/copy"
}

large="$work/large"
make_inst "$large" "$companies/$mb" --companies "$companies" --scale-mb "$mb" --seed 300
path_file "$large"
mib=$(du -sm "$large/ZEV_2019" | cut -f1)
files=$(find "$large/ZEV_2019" -type f | wc -l)
echo "large installation: $companies companies, $mib MiB, $files files"
printf '%-8s %-12s %9s %9s %7s %12s %12s\n' way order "cp -r s" "qm19-20 s" ratio "cp RSS KiB" "qm RSS KiB"

peak=0
note_peak() { [ "$1" -gt "$peak" ] && peak=$1 || true; }
declare -A ratios
row() {  # <way> <order> <cp s> <qm s> <cp rss> <qm rss>
  local r
  r=$(ratio "$4" "$3")
  printf '%-8s %-12s %9.2f %9.2f %7.2f %12s %12s\n' "$1" "$2" "$3" "$4" "$r" "$5" "$6"
  ratios["$1/$2"]+="$r "
  note_peak "$6"
}
median() { tr ' ' '\n' | grep . | sort -g | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }

for ((round = 1; round <= repeat; ++round)); do
  for way in warm durable; do
    # cp first: its copy doubles as the backup of the 2019 tree.
    read -r cp1 cprss1 < <(timed_cp "$large" "$way")
    mv "$large/copy" "$large/backup"
    read -r qm1 qmrss1 < <(timed_tool "$large" "$way")
    restore "$large"
    row "$way" "cp, then qm" "$cp1" "$qm1" "$cprss1" "$qmrss1"

    # The program first, then cp of the tree it leaves.
    cp -r "$large/ZEV_2019" "$large/backup"
    read -r qm2 qmrss2 < <(timed_tool "$large" "$way")
    read -r cp2 cprss2 < <(timed_cp "$large" "$way")
    restore "$large"
    row "$way" "qm, then cp" "$cp2" "$qm2" "$cprss2" "$qmrss2"
  done
done
for key in "warm/cp, then qm" "warm/qm, then cp" "durable/cp, then qm" "durable/qm, then cp"; do
  printf 'median ratio over %s rounds, %-20s %.2f\n' "$repeat" "$key:" "$(echo "${ratios[$key]}" | median)"
done

if [ "${BENCH_STRACE:-1}" != 0 ]; then
  cp -r "$large/ZEV_2019" "$large/backup"
  strace -c -f -o "$work/strace_cp.txt" cp -r "$large/ZEV_2019" "$large/copy"
  rm -rf "$large/copy"
  (cd "$work" && QMKEYS="$large.keys" QMSCREEN= strace -c -f -o "$work/strace_qm.txt" "$work/bin/qm19-20" \
    >"$work/out.txt" 2>&1)
  restore "$large"
  cpcalls=$(awk '/^100.00/ {print $4}' "$work/strace_cp.txt")
  qmcalls=$(awk '/^100.00/ {print $4}' "$work/strace_qm.txt")
  printf 'system calls (strace -c -f): cp -r %s, %.1f per file; qm19-20 %s, %.1f per file\n' \
    "$cpcalls" "$(ratio "$cpcalls" "$files")" "$qmcalls" "$(ratio "$qmcalls" "$files")"
  echo "qm19-20, most frequent:"
  sed -n '3,10p' "$work/strace_qm.txt"
fi

# The list installation: the run to the selection list and back out with
# nothing marked (recognition of every company and the list), then the
# complete run that fills the 2020 company list with every company.
list="$work/list"
make_inst "$list" "list/$listn" --list-only "$listn"
path_file "$list"
cp "$list.keys" "$list.keys.full"
printf 'PgDn PgDn PgDn F5 ^D F5 Enter\n' >"$list.keys"
cp -r "$list/ZEV_2019" "$list/backup"
read -r lsel lselrss < <(timed_tool "$list" warm)
restore "$list"
note_peak "$lselrss"
cp "$list.keys.full" "$list.keys"
best() { tr ' ' '\n' | grep . | sort -g | head -1; }
lfulls="" sfulls=""
sorted="$work/sorted"
for ((round = 1; round <= repeat; ++round)); do
  make_inst "$list" "list/$listn" --list-only "$listn"
  path_file "$list"
  cp -r "$list/ZEV_2019" "$list/backup"
  read -r lfull lfullrss < <(timed_tool "$list" warm)
  entries=$(($(stat -c %s "$list/ZEV_2020/SPISFIRM.DAT") / 103))
  restore "$list"
  note_peak "$lfullrss"
  lfulls+="$lfull "

  # The same list kept in the package's own order, as the package writes
  # it: every company then goes to the end of the 2020 list, and the
  # complete run shows the cost of the conversions alone. The difference to
  # the run above is the moving of records in the 2020 list.
  make_inst "$sorted" "sorted/$listn" --list-only "$listn" --sorted-list
  path_file "$sorted"
  cp -r "$sorted/ZEV_2019" "$sorted/backup"
  read -r sfull sfullrss < <(timed_tool "$sorted" warm)
  restore "$sorted"
  note_peak "$sfullrss"
  sfulls+="$sfull "
done
lfull=$(echo "$lfulls" | best)
sfull=$(echo "$sfulls" | best)
printf 'list of %s companies: to the selection list and out %.2f s; complete run %.2f s far from the sorted order, %.2f s in the package'"'"'s order (%s entries in the 2020 list)\n' \
  "$listn" "$lsel" "$lfull" "$sfull" "$entries"
printf 'list insertion: %.2f s (far from sorted, less the package'"'"'s order)\n' "$(echo "$lfull - $sfull" | bc -l)"
# The insertions alone (each flushed to the disk, as the transfer makes
# them), without the companies' files around them.
for ((round = 1; round <= repeat; ++round)); do
  "$build/qm-listbench" "$list/ZEV_2019/SPISFIRM.DAT" "$work"
done
echo "peak RSS of qm19-20 over every run: $peak KiB"

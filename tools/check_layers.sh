#!/usr/bin/env bash
# Fails when a room includes a header of a room above it. The rooms, lowest
# first, as CMakeLists.txt builds them; docs/ARCHITECTURE.md draws the stack.
set -euo pipefail
cd "$(dirname "$0")/.."
rooms=(base platform fileio journal run convert tui driver)
status=0
for ((i = 0; i < ${#rooms[@]}; i++)); do
  room=${rooms[i]}
  allowed="${rooms[*]:0:i+1}"
  while IFS=: read -r file line text; do
    target=${text#*\"}
    target=${target%%/*}
    case " $allowed " in
      *" $target "*) ;;
      *)
        hint=""
        [ "$target" = tui ] && hint="; the run reaches the screen through run/run_operator.h"
        echo "$file:$line: $room may not include $target ($text)$hint"
        status=1
        ;;
    esac
  done < <(grep -Hn '^#include "' "$room"/*.cpp "$room"/*.h 2>/dev/null || true)
done
[ $status -eq 0 ] && echo "layers: every include points down (${rooms[*]})"
exit $status

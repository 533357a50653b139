# Sourced by tools/test.sh and tools/deep.sh: stage NAME COMMAND... runs the
# command and notes its seconds in stages, which the script prints at its end.
stages=()
stage() {
  local name=$1 t0
  shift
  t0=$(date +%s)
  "$@"
  stages+=("$name $(($(date +%s) - t0)) s")
}

#!/usr/bin/env bash
# Runs the Windows test programs of one build under Wine, one after another
# in one Wine session, and records each program's output, exit status and
# time (NAME.out, NAME.status, NAME.ms) in a results folder, for the
# Linux-side tests to judge.
#
#   run_programs.sh x86|x64 BIN_DIR RESULTS_DIR COMPARE_INPUT [LOAD_CYCLES [ZIP_ARGUMENTS...]]
#
# With ZIP_ARGUMENTS it then runs run_zip_programs.sh with them, in the same
# Wine session (under emulation a session costs half a minute to start).
#
# WINEPREFIX must name a prefix made beforehand.
set -uo pipefail
arch=$1 bin=$2 results=$3 input=$4 cycles=${5:-1000}
loader=wine
[ "$arch" = x64 ] && loader=/usr/lib/wine/wine64
export WINEDEBUG=-all
rm -rf "$results"
mkdir -p "$results"

# One server for the whole session: under emulation, starting Wine's
# session (its server and services) costs more than most programs. It goes
# when this script does, however it ends.
wineserver -p 2>/dev/null
trap 'wineserver -k 2>/dev/null; wineserver -w 2>/dev/null' EXIT

run() {
  local name=$1 start
  shift
  start=$(date +%s%N)
  (cd "$bin" && "$loader" "$@") > "$results/$name.out" 2>&1 < /dev/null
  echo $? > "$results/$name.status"
  echo $(( ($(date +%s%N) - start) / 1000000 )) > "$results/$name.ms"
}
run dll_behaviour dll_behaviour.exe
[ -e "$bin/aligned_stack_call.exe" ] && run aligned_stack_call aligned_stack_call.exe
run dll_compare dll_compare.exe "$input" "$results/compare-output.bin"
run dll_fp_environment dll_fp_environment.exe
run dll_load_unload dll_load_unload.exe "$cycles"
[ $# -gt 5 ] && "$(dirname "$0")/run_zip_programs.sh" "$arch" "${@:6}"
exit 0

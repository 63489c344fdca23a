#!/usr/bin/env bash
# Runs each case that windows_cli_cases wrote with one program (the Linux
# zorvane, or zorvane.exe under Wine), in a fresh copy of the case's working
# folder, and records beside it what the run printed and returned:
#
#   run_cli_cases.sh CASES_DIR RESULTS_DIR PROGRAM [ARGUMENT...]
#
# RESULTS_DIR/NAME/ is the folder as the run left it; NAME.stdout,
# NAME.stderr and NAME.status are beside it.
set -uo pipefail
cases=$1 results=$2
shift 2
rm -rf "$results"
mkdir -p "$results"
runCase() {
  local dir=$1 name input arguments
  shift
  name=$(basename "$dir")
  cp -R "$dir/work" "$results/$name"
  mapfile -t arguments < "$dir/arguments"
  input=/dev/null
  [ -e "$dir/stdin" ] && input=$dir/stdin
  (cd "$results/$name" && "$@" ${arguments[@]+"${arguments[@]}"}) < "$input" > "$results/$name.stdout" 2> "$results/$name.stderr"
  echo $? > "$results/$name.status"
}
# Two runs at a time: under emulation each costs seconds, mostly Wine
# starting the process, and the guest has two processors.
for dir in "$cases"/*/; do
  while [ "$(jobs -rp | wc -l)" -ge "${ZORVANE_CLI_JOBS:-2}" ]; do wait -n; done
  runCase "$dir" "$@" &
done
wait
exit 0

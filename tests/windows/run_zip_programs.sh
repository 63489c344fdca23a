#!/usr/bin/env bash
# Runs, under Wine and in one Wine session, what is checked of one unpacked
# Windows zip, and records it for the Linux-side tests (windows_zip_tests):
#   zip_dll_compare   the test build's dll_compare.exe over the zip's DLL
#                     (zip-compare-output.bin);
#   linked_gnu, linked_msvc
#                     hosts linked with the zip's mingw-w64 and MSVC import
#                     libraries, each run beside a copy of the zip's DLL;
#   cli/              the zip's zorvane.exe on every case of windows_cli_cases.
#
#   run_zip_programs.sh x86|x64 UNPACKED_DIR TEST_BIN RESULTS_DIR COMPARE_INPUT CLI_CASES HOSTS_DIR
#
# WINEPREFIX must name a prefix made beforehand; run_programs.sh runs this
# in its Wine session.
set -uo pipefail
arch=$1 unpacked=$2 bin=$3 results=$4 input=$5 cases=$6 hosts=$7
here=$(cd "$(dirname "$0")" && pwd)
loader=wine
[ "$arch" = x64 ] && loader=/usr/lib/wine/wine64
export WINEDEBUG=-all
rm -rf "$results"
mkdir -p "$results"

run() {
  local name=$1 dir=$2 start
  shift 2
  start=$(date +%s%N)
  (cd "$dir" && "$loader" "$@") > "$results/$name.out" 2>&1 < /dev/null
  echo $? > "$results/$name.status"
  echo $(( ($(date +%s%N) - start) / 1000000 )) > "$results/$name.ms"
}
# In the unpacked folder, dll_compare loads the DLL named by a path there.
run zip_dll_compare "$unpacked" "$bin/dll_compare.exe" "$input" "$results/zip-compare-output.bin" \
  '.\Zorvane Oscillator.dll'
for host in linked_gnu linked_msvc; do
  run "$host" "$hosts/$host" "$host.exe"
done
start=$(date +%s%N)
"$here/run_cli_cases.sh" "$cases" "$results/cli" "$loader" "$unpacked/zorvane.exe"
echo $(( ($(date +%s%N) - start) / 1000000 )) > "$results/cli.ms"
exit 0

#!/usr/bin/env bash
# Installs what is missing, builds both targets and runs every test: natively with AddressSanitizer
# and UBSan, and the Windows build under Wine on a virtual display.
#   scripts/test.sh            both halves
#   scripts/test.sh native     only the native build
#   scripts/test.sh windows    only the Windows build under Wine
# Always uses the project's own Wine prefix (build/wineprefix), whatever WINEPREFIX says, and
# stops its wineserver and the virtual display when it ends.
set -uo pipefail

usage() {
  echo "usage: $0 [native|windows]" >&2
  exit 2
}
case $# in
  0) halves=(native windows) ;;
  1) case $1 in native | windows) halves=("$1") ;; *) usage ;; esac ;;
  *) usage ;;
esac

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root" || exit 1
unset WINEPREFIX
source scripts/wine-env.sh

declare -A result=()
wine_started=0
failed=0

count_tests() {
  local log=$1 line
  line=$(grep -E '[0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [[ $line =~ ([0-9]+)\ tests?\ failed\ out\ of\ ([0-9]+) ]]; then
    echo "$((BASH_REMATCH[2] - BASH_REMATCH[1]))/${BASH_REMATCH[2]} tests passed"
  else
    echo "no test results"
  fi
}

# Tests at once per preset. The Windows tests mostly wait on Wine and their bounds, and the fault
# table's lanes take one of them: with three, two of the others that share no lock run beside it
# (the whole Windows suite took 488 s instead of 564 s on two cores).
declare -A jobs=([native]=2 [windows]=3)

# configure, build and test one preset; records its line of the summary
run_preset() {
  local preset=$1 start=$SECONDS log
  log=build/$preset-ctest.log
  echo "== $preset: configure, build, test"
  if ! cmake --preset "$preset"; then
    result[$preset]="configure failed"
  elif ! cmake --build --preset "$preset" -j2; then
    result[$preset]="build failed"
  elif ctest --preset "$preset" -j"${jobs[$preset]:-2}" --output-on-failure --no-tests=error 2>&1 | tee "$log"; then
    result[$preset]=$(count_tests "$log")
  else
    result[$preset]="FAILED: $(count_tests "$log")"
  fi
  case ${result[$preset]} in
    configure* | build* | FAILED*) failed=1 ;;
  esac
  result[$preset]="${result[$preset]} ($((SECONDS - start)) s)"
}

start_virtual_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    return 0
  fi
  tvx_start_xvfb || return 1
  echo "${DISPLAY#:} $tvx_xvfb_pid" >"$tvx_display_file"
  echo "Virtual display $DISPLAY"
}

run_windows() {
  if ! scripts/wine-prefix.sh; then
    result[windows]="Wine prefix failed"
    failed=1
    return
  fi
  if ! start_virtual_display; then
    result[windows]="virtual display failed"
    failed=1
    return
  fi
  # One wineserver for the whole run instead of one per test.
  wine_started=1
  wineserver -p </dev/null >/dev/null 2>&1
  run_preset windows
}

stop_everything() {
  # an unexpected end of the script (an unset variable, say) counts as a failure too
  [ $? -eq 0 ] || failed=1
  if [ "$wine_started" -eq 1 ]; then
    tvx_stop_wineserver
  fi
  if [ -n "$tvx_xvfb_pid" ]; then
    tvx_stop_xvfb
    rm -f "$tvx_display_file"
  fi
  echo
  echo "== Summary"
  local half
  for half in "${halves[@]}"; do
    printf '  %-8s %s\n' "$half:" "${result[$half]:-not run}"
  done
  exit "$failed"
}
trap stop_everything EXIT
trap 'echo "Interrupted"; failed=1; exit 130' INT
trap 'echo "Terminated"; failed=1; exit 143' TERM

if ! scripts/setup.sh; then
  echo "Installing the packages failed" >&2
  failed=1
  exit 1
fi
mkdir -p build

for half in "${halves[@]}"; do
  case $half in
    native) run_preset native ;;
    windows) run_windows ;;
  esac
done

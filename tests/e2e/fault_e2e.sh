#!/usr/bin/env bash
# Tarvenix.exe under Wine against the stand-in host server, with one host call failing per run:
# start-up, then Ok with the dialog's preselection, on a drawing with two foreign symbols and the
# output of an earlier run. A run without fault numbers the calls; then, for a sample of them (the
# first of each operation in each step, every call of clearing and placing) or with --all for
# every one, a run with that call failing, and a run without fault on the drawing it left. Prints
# the table (tests/e2e/fault_check_main.cpp) and its totals; exits non-zero when a check failed.
#   fault_e2e.sh [--all] [--drawing FILE] [--out DIR] [--tarvenix EXE] [--server EXE]
#                [--driver EXE] [--check EXE]
# The programs default to the windows preset's build; DIR keeps every run's files.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$root/build/windows
tarvenix=$build/app/win32/Tarvenix.exe
server=$build/tools/hostserver/tvx-hostserver.exe
driver=$build/tools/guidriver/tvx-guidriver.exe
check=$build/tests/e2e/tvx-faultcheck.exe
drawing=$here/fault-drawing.json
all=
out=
while [ $# -gt 0 ]; do
  case $1 in
    --all) all=--all; shift ;;
    --drawing) drawing=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    --tarvenix) tarvenix=$2; shift 2 ;;
    --server) server=$2; shift 2 ;;
    --driver) driver=$2; shift 2 ;;
    --check) check=$2; shift 2 ;;
    *) sed -n '2,11p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2; exit 2 ;;
  esac
done
for exe in "$tarvenix" "$server" "$driver" "$check" "$drawing"; do
  [ -f "$exe" ] || { echo "missing: $exe" >&2; exit 2; }
done
source "$root/tests/gui/e2e_lib.sh"

results=${out:-$work/results}
rm -rf "$results"
mkdir -p "$results/base/snapshots" "$results/runs"
results=$(cd "$results" && pwd)
base=$results/base
runs=$results/runs
app=$work/app
make_program_folder "$app" "$tarvenix"
started_at=$SECONDS

# One run of the program on a drawing, the host saved afterwards: OUT/outcome.txt, OUT/drawing.json.
run_once() { # DRAWING OUT [SERVER OPTIONS...]
  local drawing_file=$1 dir=$2
  shift 2
  mkdir -p "$dir"
  serve "$drawing_file" "$@" || return 1
  start_tarvenix "$app"
  observe_run "$dir"
  stop_server
  cp "$work/saved.json" "$dir/drawing.json" 2>/dev/null || fail "$dir: the host saved nothing"
}

echo "== the run without fault"
run_once "$drawing" "$base" --snapshots "$(winpath "$base/snapshots")"
cp "$work/trace.txt" "$base/trace.txt"
sed -n 's/^startup //p' "$base/outcome.txt" >"$base/startup.txt"
echo "$(wc -l <"$base/trace.txt") host calls, $(cat "$base/startup.txt") of them before the dialog"

plan=$("$run" "$check" plan "$(winpath "$base")" $all | tr -d '\r') || {
  fail "no plan: the run without fault is not a whole run"
  finish
  exit 1
}
echo "== $(wc -l <<<"$plan") runs with a fault"

# The run without fault after a fault is made once per distinct drawing left behind: the same
# drawing gives the same run.
while read -r n step operation; do
  run_once "$drawing" "$runs/$n" --fail-at "$n"
  sum=$(cksum <"$runs/$n/drawing.json" | tr ' ' '-')
  if [ ! -d "$runs/rerun-$sum" ]; then
    run_once "$runs/$n/drawing.json" "$runs/rerun-$sum"
  fi
  echo "rerun-$sum" >"$runs/$n/rerun.txt"
  printf '%4s %-10s %-27s %s\n' "$n" "$step" "$operation" "$(grep -c '^message' "$runs/$n/outcome.txt") message(s)"
done <<<"$plan"
echo "== $(ls -d "$runs"/rerun-* | wc -l) runs without fault after a fault; $((SECONDS - started_at)) s in all"

checks=$((checks + 1))
"$run" "$check" table "$(winpath "$drawing")" "$(winpath "$base")" "$(winpath "$runs")" | tr -d '\r' ||
  fail "the fault table shows failed checks"
finish

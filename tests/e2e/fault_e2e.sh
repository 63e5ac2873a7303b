#!/usr/bin/env bash
# Tarvenix.exe under Wine against the stand-in host server, with one host call failing per run:
# start-up, then Ok with the dialog's preselection, on a drawing with two foreign symbols and the
# output of an earlier run. A run without fault numbers the calls; then, for a sample of them (the
# first of each operation in each step, every call of clearing and placing) or with --all for
# every one, a run with that call failing, and a run without fault on the drawing it left. Then,
# at the first call of each operation, the host busy for a moment, and in turn busy past the
# program's bound or hung (the bounds shortened through TARVENIX_TEST_HOST_BOUNDS), each stopped
# run followed by a run without fault. Last, at the first call of each operation from the first
# change to the last naming, the host busy past the bound and then answering again: the run takes
# back what it owed the drawing (the in-memory fault table tries every call). Prints the tables
# (tests/e2e/fault_check_main.cpp) and their totals, the fault table with what each run still held
# on host objects when the host stopped; exits non-zero when a check failed. Where a
# table fails at most three rows, their runs are made once more before it is checked again.
# The runs of a table are made in lanes side by side (two unless --lanes N says otherwise): each
# lane has a Wine prefix of its own (derived from this one), a display and a work folder, so that
# no run sees another's host, windows or files. The busy, hung and answering-again runs mostly
# wait out the program's bounds, so they take two lanes more (--waiting-lanes N).
#   fault_e2e.sh [--all] [--no-moods] [--steps LIST] [--lanes N] [--waiting-lanes N]
#                [--drawing FILE] [--out DIR]
#                [--tarvenix EXE] [--server EXE] [--driver EXE] [--check EXE]
# --steps faults only the calls of these steps (comma-separated: scan,layout,check,...), for a
# quicker look at a part; the table then checks the runs made.
# The programs default to the windows preset's build; DIR keeps every run's files.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../gui/e2e_options.sh"
check=$build/tests/e2e/tvx-faultcheck.exe
drawing=$here/fault-drawing.json
all=
moods=1
out=
steps=
lanes=2
waiting_lanes=
e2e_values="tarvenix server driver check drawing out steps lanes waiting_lanes"
e2e_flag() {
  case $1 in
    all) all=--all ;;
    no_moods) moods=0 ;;
    *) return 1 ;;
  esac
}
e2e_options "$@"
for exe in "$tarvenix" "$server" "$driver" "$check" "$drawing"; do
  [ -f "$exe" ] || { echo "missing: $exe" >&2; exit 2; }
done
waiting_lanes=${waiting_lanes:-$((lanes + 2))}
[[ $lanes =~ ^[1-9]$ && $waiting_lanes =~ ^[1-9]$ ]] || { echo "--lanes, --waiting-lanes: 1 to 9" >&2; exit 2; }
# The lanes in_lanes uses now; as many as the most any table takes are started.
active_lanes=$lanes
started_lanes=$lanes
[ "$moods" -eq 1 ] && [ "$waiting_lanes" -gt "$lanes" ] && started_lanes=$waiting_lanes
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
# On a loaded machine Wine's running object table now and then does not yet list a server that
# has just registered itself, and now and then a run under Wine does not end in time; such a run
# is made once more, said so, and its first files are kept in DIR/first. A fault of the program
# fails both times.
not_found='message Keine aktive SolidWorks Instanz gefunden !'
run_once() { # DRAWING OUT [SERVER OPTIONS...]
  local drawing_file=$1 dir=$2 attempt
  shift 2
  mkdir -p "$dir"
  for attempt in 1 2; do
    # Hosting add-ins, the host counts at its stop what the program still holds on its objects.
    serve "$drawing_file" --addins "$@" || return 1
    play_run "$app" "$dir"
    [ "$attempt" -eq 2 ] && break
    if grep -qx 'ended 0' "$dir/outcome.txt"; then
      echo "     $dir: the program did not end in time; once more"
    elif [ ! -s "$work/trace.txt" ] && grep -qx "$not_found" "$dir/outcome.txt"; then
      echo "     $dir: the host was not found although it had registered; once more"
    else
      break
    fi
    stop_server
    mkdir -p "$dir/first"
    cp "$dir/outcome.txt" "$work/trace.txt" "$dir/first/" 2>/dev/null
  done
  stop_server
  cp "$work/saved.json" "$dir/drawing.json" 2>/dev/null || fail "$dir: the host saved nothing"
  cp "$work/trace.txt" "$dir/trace.txt" 2>/dev/null
}

# A run without fault on the drawing a run left, made once per distinct drawing.
rerun_after() { # DIR
  local sum
  sum=$(cksum <"$1/drawing.json" | tr ' ' '-')
  if [ ! -d "$runs/rerun-$sum" ]; then
    run_once "$1/drawing.json" "$runs/rerun-$sum"
  fi
  echo "rerun-$sum" >"$1/rerun.txt"
}

# A run's folder, and the re-run it names, moved to DIR/first, to be made anew.
set_aside() { # NAME
  [ -d "$runs/$1" ] || return 0
  [ -s "$runs/$1/rerun.txt" ] && set_aside "$(head -n 1 "$runs/$1/rerun.txt")"
  mkdir -p "$results/first"
  rm -rf "${results:?}/first/$1"
  mv "$runs/$1" "$results/first/$1"
}

# Each lane runs in a Wine prefix derived from the project's (the registry as the prefix was
# made, before any other test wrote into it; the drive shared), with a wineserver, a virtual
# display and a Windows user (so a support log) of its own. Lane 0 is this script's own.
lane_dir=$work/lanes
lane_prefix=()
lane_display=()
lane_xvfb=()
start_lanes() {
  local k base=${WINEPREFIX:-$root/build/wineprefix} registry
  registry=$base
  [ -f "$base/.tvx-fresh/system.reg" ] && registry=$base/.tvx-fresh
  mkdir -p "$lane_dir"
  for ((k = 0; k < started_lanes; k++)); do
    (
      source "$root/scripts/wine-env.sh"
      tvx_derive_prefix "$base" "$lane_dir/prefix-$k" "$registry"
      export WINEPREFIX=$lane_dir/prefix-$k USER=tvx-lane-$k
      unset DISPLAY
      tvx_start_xvfb || exit 1
      wineserver -p </dev/null >/dev/null 2>&1
      echo "$DISPLAY $tvx_xvfb_pid" >"$lane_dir/display-$k"
    ) || { echo "lane $k could not start" >&2; return 1; }
    lane_prefix[k]=$lane_dir/prefix-$k
    read -r "lane_display[k]" "lane_xvfb[k]" <"$lane_dir/display-$k"
  done
}
enter_lane() { # K
  export WINEPREFIX=${lane_prefix[$1]} DISPLAY=${lane_display[$1]} USER=tvx-lane-$1 LOGNAME=tvx-lane-$1
}
stop_lanes() {
  local k
  for k in "${!lane_prefix[@]}"; do
    WINEPREFIX=${lane_prefix[k]} wineserver -k >/dev/null 2>&1
    kill "${lane_xvfb[k]}" 2>/dev/null
  done
}
trap 'stop_lanes; e2e_cleanup' EXIT
start_lanes || { fail "no lanes"; finish; exit 1; }
enter_lane 0

# The next line of a queue that lanes share, taken away from it; fails when it is empty.
take_row() { # QUEUE
  local line
  {
    flock 8
    line=$(head -n 1 "$1")
    [ -n "$line" ] && sed -i 1d "$1"
  } 8>"$1.lock"
  [ -n "$line" ] && printf '%s\n' "$line"
}

# FUNCTION for each row of standard input, in the lanes; each row's line of the log (what
# FUNCTION prints) in the rows' order once all are done. Checks that failed in a lane count here.
in_lanes() { # FUNCTION
  local queue=$lane_dir/queue k i
  mkdir -p "$lane_dir"
  cat >"$queue"
  for ((k = 0; k < active_lanes; k++)); do
    (
      enter_lane "$k"
      work=$lane_dir/work-$k
      mkdir -p "$work"
      failures=0 checks=0 failed=()
      i=0
      while row=$(take_row "$queue"); do
        # Numbered in the queue's order, so the log keeps the rows' order.
        read -r i row <<<"$row"
        $1 $row >"$lane_dir/log-$(printf '%05d' "$i")"
      done
      printf '%s\n' "${failed[@]}" >"$lane_dir/failed-$k"
      echo "$failures $checks" >"$lane_dir/counts-$k"
    ) &
  done
  wait
  cat "$lane_dir"/log-* 2>/dev/null
  rm -f "$lane_dir"/log-*
  for ((k = 0; k < active_lanes; k++)); do
    read -r i row <"$lane_dir/counts-$k" || { fail "lane $k gave no result"; continue; }
    failures=$((failures + i))
    checks=$((checks + row))
    while IFS= read -r row; do
      [ -n "$row" ] && failed+=("$row")
    done <"$lane_dir/failed-$k"
  done
}
numbered() { awk 'NF { print NR, $0 }'; }

# The runs without fault after the runs in DIRS, made in the lanes: one per distinct drawing.
reruns_after() { # DIR...
  local dir sum
  declare -A made=()
  for dir in "$@"; do
    [ -f "$dir/drawing.json" ] || continue
    sum=$(cksum <"$dir/drawing.json" | tr ' ' '-')
    echo "rerun-$sum" >"$dir/rerun.txt"
    if [ ! -d "$runs/rerun-$sum" ] && [ -z "${made[$sum]:-}" ]; then
      made[$sum]=1
      echo "$dir/drawing.json rerun-$sum"
    fi
  done >"$lane_dir/reruns"
  in_lanes rerun_in_lane < <(numbered <"$lane_dir/reruns")
}
rerun_in_lane() { # DRAWING NAME
  run_once "$1" "$runs/$2"
}

# A table's check. On a loaded machine a run under Wine now and then goes wrong for a reason of
# its own (a driver's step timed out, the host not yet listed); when at most three rows fail,
# their runs are made once more, said so, and the table is checked again. A fault of the program
# fails both times.
check_table() { # WHAT REMAKE CHECK-ARGS...
  local what=$1 remake=$2 rows n
  shift 2
  checks=$((checks + 1))
  "$run" "$check" "$@" | tr -d '\r' | tee "$work/table.txt" && return 0
  rows=$(sed -n 's/^FAIL \([0-9][0-9]*\) .*/\1/p' "$work/table.txt" | sort -un)
  if [ -n "$rows" ] && [ "$(wc -l <<<"$rows")" -le 3 ]; then
    for n in $rows; do
      echo "     row $n failed; its runs are made once more, the first kept in DIR/first"
      "$remake" "$n"
    done
    # A re-run set aside with a row may be one that other rows named too.
    for f in "$runs"/*/rerun.txt; do
      [ -d "$runs/$(head -n 1 "$f")" ] || rerun_after "$(dirname "$f")"
    done
    "$run" "$check" "$@" | tr -d '\r' | tee "$work/table.txt" && return 0
  fi
  fail "$what shows failed checks: $(grep -m 3 '^FAIL' "$work/table.txt" | paste -sd ';' -)"
}

# Shorter bounds than a user gets: 1.5 s of rejected calls, 3 s for one call.
busy_bound_ms=1500
answer_bound_ms=3000
export TARVENIX_TEST_HOST_BOUNDS="$busy_bound_ms,$answer_bound_ms"
# From a hung call to the program's end: the bound, the message read and dismissed, the end.
hang_limit_ms=$((answer_bound_ms + 5000))

now_ms() { date +%s%3N; }

# The host hangs at call N: OUT/outcome.txt gets "stopped_ms", the time from the hang (seen in
# the trace) to the program's end.
run_hung() { # N OUT
  local dir=$2 watcher
  mkdir -p "$dir"
  serve "$drawing" --hang-at "$1" || return 1
  rm -f "$work/hung_at"
  (
    for _ in $(seq 1 1200); do
      if grep -q '^-- hung' "$work/trace.txt" 2>/dev/null; then
        now_ms >"$work/hung_at"
        exit 0
      fi
      sleep 0.05
    done
  ) &
  watcher=$!
  play_run "$app" "$dir" 30
  local ended_ms
  ended_ms=$(now_ms)
  kill "$watcher" 2>/dev/null
  wait "$watcher" 2>/dev/null
  if [ -f "$work/hung_at" ]; then
    echo "stopped_ms $((ended_ms - $(cat "$work/hung_at")))" >>"$dir/outcome.txt"
  fi
  stop_server
  cp "$work/saved.json" "$dir/drawing.json" 2>/dev/null || fail "$dir: the host saved nothing"
  cp "$work/trace.txt" "$dir/trace.txt" 2>/dev/null
}

echo "== the run without fault"
run_once "$drawing" "$base" --snapshots "$(winpath "$base/snapshots")"
cp "$work/trace.txt" "$base/trace.txt"
sed -n 's/^startup //p' "$base/outcome.txt" >"$base/startup.txt"
echo "$(grep -vc "^-- " "$base/trace.txt") host calls, $(cat "$base/startup.txt") of them before the dialog"

plan=$("$run" "$check" plan "$(winpath "$base")" $all | tr -d '\r') || {
  fail "no plan: the run without fault is not a whole run"
  finish
  exit 1
}
if [ -n "$steps" ]; then
  plan=$(awk -v steps=",$steps," 'index(steps, "," $2 ",")' <<<"$plan")
  [ -n "$plan" ] || { fail "no call of the steps $steps"; finish; exit 1; }
fi
echo "== $(wc -l <<<"$plan") runs with a fault"

# The run without fault after a fault is made once per distinct drawing left behind: the same
# drawing gives the same run.
make_fault_run() { # N
  set_aside "$1"
  run_once "$drawing" "$runs/$1" --fail-at "$1"
  rerun_after "$runs/$1"
}
fault_run_in_lane() { # N STEP OPERATION
  run_once "$drawing" "$runs/$1" --fail-at "$1"
  printf '%4s %-10s %-27s %s\n' "$1" "$2" "$3" "$(grep -c '^message' "$runs/$1/outcome.txt") message(s)"
}
in_lanes fault_run_in_lane < <(numbered <<<"$plan")
reruns_after $(awk -v runs="$runs" '{ print runs "/" $1 }' <<<"$plan")
echo "== $(ls -d "$runs"/rerun-* | wc -l) runs without fault after a fault; $((SECONDS - started_at)) s in all"

check_table "the fault table" make_fault_run table "$(winpath "$drawing")" "$(winpath "$base")" "$(winpath "$runs")"

if [ "$moods" -eq 1 ]; then
  active_lanes=$waiting_lanes
  mood_started=$SECONDS
  mood_plan=$("$run" "$check" moods "$(winpath "$base")" | tr -d '\r')
  echo "== a busy and a busy past the bound or hung host at $(wc -l <<<"$mood_plan") calls"
  # Busy for a moment at call N, and busy past the bound (past) or hung (hung) there.
  make_mood_runs() { # N past|hung
    set_aside "busy-$1"
    set_aside "$2-$1"
    run_once "$drawing" "$runs/busy-$1" --busy-at "$1" --busy-for 300
    if [ "$2" = past ]; then
      run_once "$drawing" "$runs/past-$1" --busy-at "$1" --busy-for 3600000
    else
      run_hung "$1" "$runs/hung-$1"
    fi
    rerun_after "$runs/$2-$1"
  }
  remake_mood_runs() { # N
    if [ -d "$runs/hung-$1" ]; then make_mood_runs "$1" hung; else make_mood_runs "$1" past; fi
  }
  # Busy past the bound and hung take turns from row to row.
  mood_rows=$(awk '{ print $0, (NR % 2 ? "past" : "hung") }' <<<"$mood_plan")
  mood_in_lane() { # N STEP OPERATION past|hung
    run_once "$drawing" "$runs/busy-$1" --busy-at "$1" --busy-for 300
    if [ "$4" = past ]; then
      run_once "$drawing" "$runs/past-$1" --busy-at "$1" --busy-for 3600000
    else
      run_hung "$1" "$runs/hung-$1"
    fi
    printf '%4s %-10s %-27s %s: %s message(s)\n' "$1" "$2" "$3" "$4-$1" \
      "$(grep -c '^message' "$runs/$4-$1/outcome.txt")"
  }
  in_lanes mood_in_lane < <(numbered <<<"$mood_rows")
  reruns_after $(awk -v runs="$runs" '{ print runs "/" $4 "-" $1 }' <<<"$mood_rows")
  echo "== $((SECONDS - mood_started)) s for the busy and hung runs"
  check_table "the busy and hung table" remake_mood_runs mood-table "$(winpath "$drawing")" "$(winpath "$base")" \
    "$(winpath "$runs")" "$hang_limit_ms"

  # Busy past the bound, then answering again: the message is confirmed at once, and the host takes
  # calls again within the bound the run's tidy-up gets, which takes back toggle 24 and an unnamed
  # insertion.
  again_started=$SECONDS
  again_busy_ms=$((busy_bound_ms + 1000))
  again_plan=$("$run" "$check" again "$(winpath "$base")" | tr -d '\r')
  echo "== busy past the bound, then answering again, at $(wc -l <<<"$again_plan") calls"
  make_again_run() { # N
    set_aside "again-$1"
    run_once "$drawing" "$runs/again-$1" --busy-at "$1" --busy-for "$again_busy_ms"
    rerun_after "$runs/again-$1"
  }
  again_in_lane() { # N STEP OPERATION
    run_once "$drawing" "$runs/again-$1" --busy-at "$1" --busy-for "$again_busy_ms"
    printf '%4s %-10s %-27s %s\n' "$1" "$2" "$3" "$(grep -c '^message' "$runs/again-$1/outcome.txt") message(s)"
  }
  in_lanes again_in_lane < <(numbered <<<"$again_plan")
  reruns_after $(awk -v runs="$runs" '{ print runs "/again-" $1 }' <<<"$again_plan")
  echo "== $((SECONDS - again_started)) s for the runs answering again"
  check_table "the table of runs answering again" make_again_run again-table "$(winpath "$drawing")" \
    "$(winpath "$base")" "$(winpath "$runs")"
fi
finish

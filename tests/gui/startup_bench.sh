#!/usr/bin/env bash
# Benchmark, not a test: how long Tarvenix.exe takes from its start to the visible, filled main
# dialog, beside a minimal Win32 program that shows one window, both under Wine in the same run;
# and how long from Ok to the end of the process on the sample drawing. The dialogs demo (the
# same dialogs and lists, no host) shows what the start-up costs without the host conversation.
#   startup_bench.sh TARVENIX.exe MINIMAL.exe DEMO.exe HOSTSERVER.exe GUIDRIVER.exe SAMPLES RESOURCES [RUNS]
set -uo pipefail

tarvenix=$1
minimal=$2
demo=$3
server=$4
driver=$5
samples=$6
resources=$7
runs=${8:-5}
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"

app=$work/app
mkdir -p "$app"
cp "$tarvenix" "$app/Tarvenix.exe"
cp "$samples/Tarvenix.txt" "$resources"/symbol_0?.bmp "$app/"
cp "$samples/sample-drawing.json" "$work/drawing.json"

now_ms() { echo $(($(date +%s%N) / 1000000)); }
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

server_pid=
serve() {
  rm -f "$work/ready" "$work/stop"
  rm -f "$work/trace.txt"
  start_exe "$server" --drawing "$(winpath "$work/drawing.json")" --stop-file "$(winpath "$work/stop")" \
    --ready-file "$(winpath "$work/ready")" --trace "$(winpath "$work/trace.txt")" --timeout 600
  server_pid=$last_pid
  for _ in $(seq 1 100); do
    [ -f "$work/ready" ] && return
    sleep 0.1
  done
  echo "the stand-in host did not get ready" >&2
  exit 1
}
stop_server() {
  echo quit >"$work/stop"
  wait "$server_pid" 2>/dev/null
}

# The driver is already polling when the program starts; it stamps the moment it sees the window
# and the moment the window answers a question: for Tarvenix that is after its lists are filled,
# since the start-up holds the window's thread until then.
startup_ms() { # EXE WINDOW QUERY
  printf 'wait %s 30000\nclock\n%s\nclock\nclose %s\n' "$2" "$3" "$2" >"$work/probe.txt"
  "$run" "$driver" --script "$(winpath "$work/probe.txt")" >"$work/stamps" 2>/dev/null &
  local driver_pid=$!
  sleep 0.7
  local t0
  t0=$(now_ms)
  start_exe "$1"
  local pid=$last_pid
  wait "$driver_pid"
  wait "$pid" 2>/dev/null
  local filled
  filled=$(grep -E '^[0-9]{13}$' "$work/stamps" | tail -1)
  echo $((filled - t0))
}

# Keeps the wineserver running between starts, as on a warm system.
wineserver -p 2>/dev/null || true
serve
minimal_times=()
demo_times=()
tarvenix_times=()
for _ in $(seq 1 "$runs"); do
  minimal_times+=("$(startup_ms "$minimal" "tvx_minimal::" "text tvx_minimal::")")
  demo_times+=("$(startup_ms "$demo" "$main" "text $main stdSFSSymbol")")
  tarvenix_times+=("$(startup_ms "$app/Tarvenix.exe" "$main" "text $main stdSFSSymbol")")
done
stop_server
startup_calls=$(($(grep -c . "$work/trace.txt") / runs))

ok_times=()
ok_calls=0
for _ in $(seq 1 "$runs"); do
  cp "$samples/sample-drawing.json" "$work/drawing.json"
  serve
  start_exe "$app/Tarvenix.exe"
  pid=$last_pid
  drv wait "$main" 30000 >/dev/null
  drv text "$main" stdSFSSymbol >/dev/null
  t0=$(now_ms)
  drv click "$main" cmd_Ok
  wait "$pid" 2>/dev/null
  ok_times+=("$(($(now_ms) - t0))")
  stop_server
  ok_calls=$(grep -c . "$work/trace.txt")
done

m=$(printf '%s\n' "${minimal_times[@]}" | median)
d=$(printf '%s\n' "${demo_times[@]}" | median)
t=$(printf '%s\n' "${tarvenix_times[@]}" | median)
o=$(printf '%s\n' "${ok_times[@]}" | median)
echo "start to visible window, minimal Win32 program:   ${m} ms (runs: ${minimal_times[*]})"
echo "start to visible, filled dialogs, no host (demo): ${d} ms (runs: ${demo_times[*]})"
echo "start to visible, filled dialog, Tarvenix.exe:     ${t} ms (runs: ${tarvenix_times[*]}; ${startup_calls} host calls)"
awk -v t="$t" -v d="$d" -v m="$m" 'BEGIN { printf "ratio Tarvenix / minimal: %.2f (target: at most 1.5); dialogs alone / minimal: %.2f\n", t / m, d / m }'
echo "Ok to the end of the process, sample drawing:     ${o} ms (runs: ${ok_times[*]}; ${ok_calls} host calls in all)"

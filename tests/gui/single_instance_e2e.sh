#!/usr/bin/env bash
# Tarvenix.exe started more than once in a session, under Wine against the stand-in host server:
# a start after a killed first instance runs as usual; of two starts 0.3 s apart one ends by
# itself without a single host call and the other one's dialog is in front, also after it was
# minimized; Ok there gives exactly one complete output.
#   single_instance_e2e.sh TARVENIX.exe HOSTSERVER.exe GUIDRIVER.exe SAMPLES_DIR RESOURCES_DIR
set -uo pipefail

tarvenix=$1
server=$2
driver=$3
samples=$4
resources=$5
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"

app=$work/app
make_program_folder "$app" "$tarvenix" "$samples" "$resources"
drawing=$samples/sample-drawing.json

# One run's output on the sample drawing: the main symbol, five others, the bracket note.
expect_one_output() { # LABEL
  expect "$1: the tool's symbols" "$(grep -c '"name": "ZyrSymbol_' "$work/saved.json")" 6
  expect "$1: one bracket note" "$(grep -c '"name": "ZyrNote"' "$work/saved.json")" 1
  expect "$1: rebuilt once" "$(grep -o '"rebuildCount": [0-9]*' "$work/saved.json")" '"rebuildCount": 1'
}

# ---------------------------------------------------------------------------------------------
echo "== a start after a killed first instance"
serve "$drawing"
start_tarvenix "$app"
killed=$tarvenix_pid
if drv wait "$main" 15000 >/dev/null; then
  startup_calls=$(wc -l <"$work/trace.txt")
  kill -KILL "$(windows_process_of "$killed")"
  expect_ended "$killed" "the killed instance"
  drv gone "$main" 10000 >/dev/null || fail "killed: its dialog stayed"
  start_tarvenix "$app"
  drv wait "$main" 15000 >/dev/null || fail "after the killed one: no main dialog"
  drv click "$main" cmd_Ok >/dev/null
  expect_ended "$tarvenix_pid" "after the killed one"
  stop_server
  expect_one_output "after the killed one"
  # What one run alone asks of the host, for the double start below.
  tail -n "+$((startup_calls + 1))" "$work/trace.txt" >"$work/one-run.txt"
else
  fail "killed: no main dialog"
  stop_server
fi

# ---------------------------------------------------------------------------------------------
echo "== two starts 0.3 s apart"
# Which of the two gets to run is decided by the system, not by the order of the starts: on a
# slow machine the later one may claim the session first. Either way one of them ends by itself.
serve "$drawing"
start_tarvenix "$app"
pids=("$tarvenix_pid")
sleep 0.3
started=$(date +%s%3N)
start_tarvenix "$app"
pids+=("$tarvenix_pid")
runner=
for i in $(seq 1 100); do
  if ! kill -0 "${pids[1]}" 2>/dev/null; then runner=${pids[0]}; break; fi
  if ! kill -0 "${pids[0]}" 2>/dev/null; then runner=${pids[1]}; break; fi
  sleep 0.1
done
checks=$((checks + 1))
if [ -n "$runner" ]; then
  echo "    one start ended after $(($(date +%s%3N) - started)) ms (the $([ "$runner" = "${pids[0]}" ] && echo second || echo first))"
else
  fail "double start: neither start ended by itself"
  runner=${pids[0]}
fi
if drv wait "$main" 15000 >/dev/null; then
  expect "double start: the running one's dialog in front" "$(drv front "$main")" 1
  # Left minimized, the dialog comes back for a further start, in front.
  drv minimize "$main" >/dev/null
  sleep 0.5
  expect "minimized: not in front" "$(drv front "$main")" 0
  start_tarvenix "$app"
  expect_ended "$tarvenix_pid" "a start while the dialog waits"
  expect "further start: the dialog restored and in front" "$(drv front "$main")" 1
  drv click "$main" cmd_Ok >/dev/null
else
  fail "double start: no main dialog"
fi
expect_ended "$runner" "the running start"
stop_server
expect_one_output "double start"
# The other starts did not add a single call to those of one run.
expect "double start: the host's calls are one run's" "$(cat "$work/trace.txt")" "$(cat "$work/one-run.txt" 2>/dev/null)"

finish

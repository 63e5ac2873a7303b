#!/usr/bin/env bash
# Tarvenix.exe under Wine when the host goes away: killed while the dialog waits, then Ok; dying
# in the middle of a long scan; killed from outside during a long scan. Each time one clear
# message, then the program ends by itself. And a host whose process stops while the dialog
# waits, then Abbruch or Ok: the program ends within the call bound all the same, and once the
# host goes on, a new start runs as usual.
#   host_gone_e2e.sh [--tarvenix EXE] [--server EXE] [--driver EXE]
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../gui/e2e_options.sh"
e2e_values="tarvenix server driver"
e2e_options "$@"
source "$root/tests/gui/e2e_lib.sh"

app=$work/app
make_program_folder "$app" "$tarvenix"
calc_error='Fehler bei der Berechnung !'
# A host that no longer answers is said in German, with the call that met it.
host_gone='Unerwarteter Fehler, das Programm wird beendet: SolidWorks antwortet nicht mehr ('

kill_server() { # the Windows process, as a crash or a task manager would end it
  local pid
  pid=$(windows_process_of "$server_pid")
  [ -n "$pid" ] && kill -KILL "$pid"
  expect_ended "$server_pid" "the killed host"
}

# The run ended by itself after one message; that message goes to $message.
message=
expect_one_message() { # LABEL OUT
  local messages
  expect "$1: ended by itself" "$(grep '^ended' "$2/outcome.txt")" "ended 1"
  messages=$(sed -n 's/^message //p' "$2/outcome.txt")
  expect "$1: one message" "$(grep -c . <<<"$messages")" 1
  printf '    %s: "%s"\n' "$1" "$messages"
  message=$(head -n 1 <<<"$messages")
}

# A drawing whose scan takes long: 2000 copies of one foreign symbol on the sheet.
long_drawing=$work/long.json
{
  printf '{ "format": 1, "document": { "type": 3, "sheets": [ { "name": "Blatt1", "paperCode": 8,\n'
  printf '  "width": 0.42, "height": 0.297, "views": [ { "name": "Blatt1", "symbols": [\n'
  for i in $(seq 1 2000); do
    [ "$i" -gt 1 ] && printf ',\n'
    printf '    { "name": "Oberfl\\u00e4cheng\\u00fcte%d", "type": 1, "texts": { "2": "gefr\\u00e4st", "5": "3,2" }, "x": 0.1, "y": 0.1 }' "$i"
  done
  printf '\n  ] } ] } ] } }\n'
} >"$long_drawing"

# ---------------------------------------------------------------------------------------------
echo "== the host killed while the dialog waits, then Ok"
out=$work/dialog-waits
mkdir -p "$out"
serve "$root/tests/e2e/fault-drawing.json"
start_tarvenix "$app"
if drv wait "$main" 30000 >/dev/null; then
  kill_server
  observe_run "$out" 60
  expect "dialog waits: the dialog was there" "$(grep '^dialog' "$out/outcome.txt")" "dialog 1"
  expect_one_message "dialog waits" "$out"
  # The layout's first host call is what meets the missing host.
  expect "dialog waits: the calculation's message" "$message" "$calc_error"
else
  fail "dialog waits: no main dialog"
fi

# ---------------------------------------------------------------------------------------------
echo "== the host dies in the middle of a long scan"
out=$work/dies-in-scan
mkdir -p "$out"
serve "$long_drawing" --die-at 6000
play_run "$app" "$out" 120
expect "dies in scan: the host died" "$(tail -n 1 "$work/trace.txt")" "-- the host died --"
expect "dies in scan: no dialog" "$(grep '^dialog' "$out/outcome.txt")" "dialog 0"
expect_one_message "dies in scan" "$out"
checks=$((checks + 1))
[[ $message == "$host_gone"* ]] || fail "dies in scan: not the report of a host that no longer answers"
expect_ended "$server_pid" "the dead host"

# ---------------------------------------------------------------------------------------------
echo "== the host killed from outside during a long scan"
out=$work/killed-in-scan
mkdir -p "$out"
serve "$long_drawing"
start_tarvenix "$app"
for i in $(seq 1 600); do
  [ "$(wc -l <"$work/trace.txt" 2>/dev/null || echo 0)" -ge 3000 ] && break
  sleep 0.05
done
lines=$(wc -l <"$work/trace.txt")
kill_server
observe_run "$out" 120
checks=$((checks + 1))
[ "$lines" -ge 3000 ] && [ "$lines" -lt 12000 ] || fail "killed in scan: killed after $lines calls, not in the scan"
expect "killed in scan: no dialog" "$(grep '^dialog' "$out/outcome.txt")" "dialog 0"
expect_one_message "killed in scan" "$out"
checks=$((checks + 1))
[[ $message == "$host_gone"* ]] || fail "killed in scan: not the report of a host that no longer answers"

# ---------------------------------------------------------------------------------------------
# Stopped, not gone: the host's process is there but answers nothing, not even the release of a
# reference, until it goes on.
answer_ms=3000
margin_ms=5000
not_answering='SolidWorks antwortet nicht ! Bitte die Zeichnung prüfen.'
export TARVENIX_TEST_HOST_BOUNDS=1500,$answer_ms
for ending in Abbruch Ok; do
  echo "== the host stopped while the dialog waits, then $ending"
  serve "$root/tests/e2e/fault-drawing.json"
  start_tarvenix "$app"
  if ! drv wait "$main" 30000 >/dev/null; then
    fail "stopped, $ending: no main dialog"
    stop_server
    continue
  fi
  host=$(windows_process_of "$server_pid")
  kill -STOP "$host"
  button=cmd_Cancel
  [ "$ending" = Ok ] && button=cmd_Ok
  drv click "$main" "$button" >/dev/null
  pressed_ms=$(date +%s%3N)
  shown=
  shown_ms=
  limit_ms=$((pressed_ms + answer_ms + margin_ms))
  # Only calls that cannot wait for the program: its windows may be stuck in a host call.
  while kill -0 "$tarvenix_pid" 2>/dev/null && [ "$(date +%s%3N)" -lt "$limit_ms" ]; do
    if [ -z "$shown" ] && [ "$(drv visible "$gef" 2>/dev/null | tr -d '\r')" = 1 ]; then
      shown_ms=$(date +%s%3N)
      shown=$(drv text "$gef" Info | tr -d '\r')
      drv click "$gef" Ok >/dev/null
      limit_ms=$(($(date +%s%3N) + margin_ms))
    fi
    sleep 0.05
  done
  if kill -0 "$tarvenix_pid" 2>/dev/null; then
    fail "stopped, $ending: still running $(($(date +%s%3N) - pressed_ms)) ms after $ending"
    kill "$(windows_process_of "$tarvenix_pid")" "$tarvenix_pid" 2>/dev/null
  else
    wait "$tarvenix_pid" 2>/dev/null
    echo "    ended $(($(date +%s%3N) - pressed_ms)) ms after $ending${shown_ms:+, the message $((shown_ms - pressed_ms)) ms after it}"
  fi
  if [ "$ending" = Ok ]; then
    expect "stopped, Ok: the not-answering message" "$shown" "$not_answering"
  else
    expect "stopped, Abbruch: no message" "$shown" ""
  fi
  kill -CONT "$host"
  echo "== the stopped host goes on: a new start runs as usual"
  out=$work/stopped-$ending-again
  mkdir -p "$out"
  play_run "$app" "$out" 60
  expect "goes on after $ending: ended without a message" "$(grep -v '^startup' "$out/outcome.txt")" \
    "$(printf 'ended 1\ndialog 1')"
  stop_server
done
unset TARVENIX_TEST_HOST_BOUNDS

finish

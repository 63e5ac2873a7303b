#!/usr/bin/env bash
# Tarvenix.dll inside the stand-in host under Wine, while the host is in states of its own: its
# "Optionen" dialog open (the frame disabled), a loop of its own that takes keys and clicks off
# the queue and dispatches nothing, an operation of its own that dispatches every message (a
# request waits for the host's idle notification), a command of its own left open with its
# PropertyManager page (the add-in's Ok, and the exe's, show a message and change nothing until it
# has ended), its end while a message of the run is up (the add-in let go inside the message's
# loop), and the exe's dialog open when the command is clicked. The add-in calls the host in
# none of them, or selects nothing in a command (the host marks any such call, and the stop fails on it),
# waits for none of them to end before the host's thread can go on, and runs as usual after them.
# Then five starts of the host over one memory of its command bars (--ui-state), beginning with a
# tab the host kept from a build with another group ID, one of them ended by a kill: each time
# one tab, one box, and one button that opens the dialog.
#   citizen_e2e.sh [--tarvenix EXE] [--addin DLL] [--server EXE] [--driver EXE]
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../gui/e2e_options.sh"
e2e_values="tarvenix addin server driver"
e2e_options "$@"
source "$root/tests/gui/e2e_lib.sh"

# Sets the host in a loop of its own (busyloop or pumploop MS) and waits until its trace says the
# loop began; the stop file goes once the loop has ended.
host_loop() { # COMMAND TRACE-MARK
  local i
  echo "$1" >"$work/stop.new"
  mv "$work/stop.new" "$work/stop"
  for i in $(seq 1 100); do
    grep -q -- "$2" "$work/trace.txt" && break
    sleep 0.05
  done
}

options=TvxHostOptions::Optionen
app=$work/app
after=$root/docs/bilder/beispiel-nachher.json
install_tarvenix_addin "$app" "$tarvenix" "$addin"

# Host calls traced so far: every line but the host's own remarks.
host_calls() { grep -cv -- '^--' "$work/trace.txt"; }
# Waits up to ten seconds for `drv ARGS...` to answer WANT; prints what it answered last.
answer_within() { # WANT ARGS...
  local want=$1 got i
  shift
  for i in $(seq 1 50); do
    got=$(drv "$@" 2>/dev/null | tr -d '\r')
    [ "$got" = "$want" ] && break
    sleep 0.2
  done
  printf '%s' "$got"
}
open_dialog() { # LABEL
  drv menu "$frame" Extras "$command" || fail "$1: the menu command was refused"
  drv wait "$main" 10000 >/dev/null || fail "$1: no dialog after the click"
}
ok_run_done() { # LABEL
  drv gone "$main" 10000 >/dev/null || fail "$1: the dialog stayed"
  stop_server
  expect "$1: the host's exit code" "$ended_status" 0
  expect "$1: the drawing of a normal run" "$(cmp "$after" "$work/saved.json" 2>&1 && echo same)" same
}

echo "== the host's \"Optionen\" dialog: the frame disabled, the add-in's dialog with it, Ok and Enter do nothing"
cp "$root/samples/sample-drawing.json" "$work/modal.json"
serve_addins "modal" "$work/modal.json" || exit 1
drv menu "$frame" Datei "Optionen..." || fail "modal: no \"Optionen...\" in \"Datei\""
drv wait "$options" 10000 >/dev/null || fail "modal: no \"Optionen\" dialog"
expect "modal: \"Optionen\" disables the frame" "$(drv enabled "$frame" | tr -d '\r')" 0
drv click "$options" "#1" >/dev/null
drv gone "$options" 10000 >/dev/null || fail "modal: \"Optionen\" stayed"
expect "modal: the frame enabled again" "$(drv enabled "$frame" | tr -d '\r')" 1

open_dialog modal
host_command "modal open"
expect "modal: the dialog follows the disabled frame" "$(answer_within 0 enabled "$main")" 0
calls=$(host_calls)
drv click "$main" cmd_Ok >/dev/null
drv key "$main" enter >/dev/null 2>&1
sleep 1
expect "modal: Ok and Enter: no host call" "$(host_calls)" "$calls"
expect "modal: Ok and Enter: the dialog still open" "$(drv visible "$main" | tr -d '\r')" 1
host_command "modal close"
expect "modal: the dialog enabled again with the frame" "$(answer_within 1 enabled "$main")" 1
drv click "$main" cmd_Ok >/dev/null
ok_run_done modal

echo "== the host busy in a loop of its own: a sent click and a key wait for its end"
cp "$root/samples/sample-drawing.json" "$work/busy.json"
serve "$work/busy.json" --addins || exit 1
open_dialog busy
host_loop "busyloop 3000" '^-- the host is busy'
drv sendclick "$main" cmd_Ok >/dev/null || fail "busy: the click was not sent"
drv key "$main" enter >/dev/null 2>&1
for i in $(seq 1 200); do
  [ -e "$work/stop" ] || break
  sleep 0.05
done
expect "busy: no host call inside the loop" \
  "$(sed -n '/^-- the host is busy/,/^-- the host.s busy loop ended/p' "$work/trace.txt" | grep -cv -- '^--')" 0
expect "busy: the run after the loop" "$(sed -n '/^-- the host.s busy loop ended/,$p' "$work/trace.txt" | grep -c '^InsertNote')" 1
ok_run_done busy

echo "== a command of the host left open: Ok shows the message, changes nothing and waits; after the command, Ok runs"
command_message='Im Host ist noch ein Befehl offen. Bitte ihn zuerst beenden, dann Ok drücken.'
# Confirms the message, titled as the main dialog, and checks its text and that the dialog waits.
command_message_shown() { # LABEL
  local text=
  if drv wait "GEF::Oberflächen - Assisten" 10000 >/dev/null; then
    text=$(printf 'text %s Info\nclick %s Ok\ngone %s 10000\n' "$gef" "$gef" "$gef" | drv_script | tr -d '\r' | head -n 1)
  fi
  expect "$1: the message, with the dialog's caption" "$text" "$command_message"
  expect "$1: the dialog waits for the next Ok" "$(answer_within 1 visible "$main")" 1
  expect "$1: the host asked once, nothing changed" \
    "$(grep -c '^GetRunningCommandInfo(I4|BYREF 0, BSTR|BYREF "", BOOL|BYREF false) -> out I4 1, BSTR "Notiz", BOOL true$' "$work/trace.txt") $(grep -c -e '^Select' -e '^ClearSelection' -e '^DeleteSelection' -e '^Insert' -e '^SetName' -e '^SetUserPreferenceToggle' -e '^StartRecordingUndoObject' "$work/trace.txt")" "1 0"
}
cp "$root/samples/sample-drawing.json" "$work/command.json"
serve "$work/command.json" --addins || exit 1
open_dialog command
host_command "command open 1 Notiz"
drv wait "TvxHostCommandPage::Notiz" 10000 >/dev/null || fail "command: no page \"Notiz\" beside the sheet"
expect "command: the frame stays enabled, the dialog with it" "$(drv enabled "$frame" | tr -d '\r') $(answer_within 1 enabled "$main")" "1 1"
drv click "$main" cmd_Ok >/dev/null
command_message_shown command
host_command "command close"
drv click "$main" cmd_Ok >/dev/null
# The drawing and its one Undo entry as after a run without the command.
ok_run_done command

echo "== the host closed while a message of the run is up: it lets the add-in go inside the message's loop and ends"
cp "$root/samples/sample-drawing.json" "$work/end.json"
serve_addins end "$work/end.json" --close-saves || exit 1
open_dialog end
host_command "command open 1 Notiz"
drv wait "TvxHostCommandPage::Notiz" 10000 >/dev/null || fail "end: no page \"Notiz\" beside the sheet"
drv click "$main" cmd_Ok >/dev/null
drv wait "GEF::Oberflächen - Assisten" 10000 >/dev/null || fail "end: no message of the run"
drv endtask "$frame" >/dev/null 2>&1
for i in $(seq 1 100); do
  grep -q '^-> Addin.DisconnectFromSW()' "$work/trace.txt" && break
  sleep 0.1
done
# The goodbye ends the run as Abbruch does: its message goes without a word, and the DLL, still
# on the stack when the host lets it go, is willing to go only at the host's end.
expect "end: disconnected while the message was up, the message gone after it" \
  "$(grep -c '^-> Addin.DisconnectFromSW() = BOOL true' "$work/trace.txt") $(drv gone "$gef" 10000 >/dev/null && echo gone)" "1 gone"
expect_ended "$server_pid" "end: the host"
expect "end: the host's exit code" "$ended_status" 0
expect "end: the DLL willing to go at the host's end" \
  "$(grep -c "^-> DllCanUnloadNow() = S_OK (asked again at the host's end)$" "$work/trace.txt")" 1
expect "end: no host call after the goodbye" \
  "$(sed -n '/^-> Addin.DisconnectFromSW()/,$p' "$work/trace.txt" | grep -cv -e '^--' -e '^->')" 0
expect "end: nothing left, no marked call" \
  "$(grep -c '^-- references left on host objects: 0$' "$work/trace.txt") $(grep -c '^!!' "$work/trace.txt")" "1 0"
expect "end: the drawing unchanged" "$(cmp "$root/samples/sample-drawing.json" "$work/saved.json" 2>&1 && echo same)" same

echo "== the exe while a command of the host is open: the same message, nothing changed"
cp "$root/samples/sample-drawing.json" "$work/exe-command.json"
serve "$work/exe-command.json" || exit 1
host_command "command open 1 Notiz"
start_tarvenix "$app"
drv wait "$main" 30000 >/dev/null || fail "exe command: no dialog of the exe"
drv click "$main" cmd_Ok >/dev/null
command_message_shown "exe command"
drv click "$main" cmd_Cancel >/dev/null
expect_ended "$tarvenix_pid" "exe"
stop_server
expect "exe command: the drawing as it was" "$(cmp "$root/samples/sample-drawing.json" "$work/saved.json" 2>&1 && echo same)" same

echo "== the host in an operation that dispatches every message: a click sent into it waits for the host's idle"
cp "$root/samples/sample-drawing.json" "$work/pump.json"
serve "$work/pump.json" --addins || exit 1
open_dialog pump
expect "pump: the add-in listens for the host's idle notification" \
  "$(grep -c '^-- event sink [0-9]* subscribed' "$work/trace.txt")" 1
host_loop "pumploop 2000" '^-- the host runs an operation'
drv sendclick "$main" cmd_Ok >/dev/null || fail "pump: the click was not sent"
for i in $(seq 1 200); do
  [ -e "$work/stop" ] || break
  sleep 0.05
done
# The run starts at the first idle notification after the operation: waited for by its end.
drv gone "$main" 10000 >/dev/null || fail "pump: the dialog stayed"
expect "pump: the click arrived inside the operation, no host call there" \
  "$(sed -n '/^-- the host runs an operation/,/^-- the host.s operation ended/p' "$work/trace.txt" | grep -cv -- '^--')" 0
expect "pump: the run after the operation" \
  "$(sed -n '/^-- the host.s operation ended/,$p' "$work/trace.txt" | grep -c '^InsertNote')" 1
ok_run_done pump
expect "pump: the subscription given back" "$(grep -c '^-- event sink [0-9]* unsubscribed' "$work/trace.txt")" 1
expect "pump: nothing left" "$(grep -c -e '^-- references left on host objects: 0$' "$work/trace.txt")" 1

echo "== a click while the exe's dialog is open: the exe's dialog forward, the host's thread not held"
cp "$root/samples/sample-drawing.json" "$work/exe.json"
serve_addins "exe" "$work/exe.json" || exit 1
host=$(windows_process_of "$server_pid")
start_tarvenix "$app"
drv wait "$main" 30000 >/dev/null || fail "exe: no dialog of the exe"
# The user back in the host's frame: the exe's dialog is no longer the active window.
drv key "$frame" escape >/dev/null 2>&1
expect "exe: the host's frame in front before the click" "$(answer_within 1 front "$frame")" 1
sleep 1
threads=$(ls "/proc/$host/task" | wc -l)
before=$(drv respond "$frame" | tr -d '\r')
during=$(printf 'menu %s Extras %s\nsleep 50\nrespond %s\n' "$frame" "$command" "$frame" | drv_script | tr -d '\r' | tail -n 1)
echo "the host's frame answered a message in $before ms before the click, $during ms right after it"
sleep 1
echo "threads in the host's process: $threads before the click, $(ls "/proc/$host/task" | wc -l) after it"
# Wine's own workers (the exe's attach made some) may end meanwhile: only a thread more counts.
now=$(ls "/proc/$host/task" | wc -l)
expect "exe: no thread left in the host's process" "$([ "$now" -le "$threads" ] && echo none || echo "$now")" none
expect "exe: one dialog, the exe's, in front" "$(answer_within 1 front "$main")" 1
# The exe asks for the host's window once, to open on its monitor; the add-in asks only for a run.
expect "exe: the add-in's command made no dialog of its own" "$(grep -c '^GetHWnd' "$work/trace.txt")" 1
drv click "$main" cmd_Ok >/dev/null
expect_ended "$tarvenix_pid" "exe"
stop_server
# Only what the add-ins hold is counted: the exe, ended cleanly, leaves nothing to count.
expect "exe: the host lived on to its stop" "$ended_status" 0
expect "exe: nothing left" "$(grep -c -e '^-- references left on host objects: 0$' "$work/trace.txt")" 1
expect "exe: the exe's run on the drawing" "$(cmp "$after" "$work/saved.json" 2>&1 && echo same)" same

echo "== restarts over one memory of the command bars: a tab of an older group ID, a crash; one tab, one box, one button"
cp "$root/samples/sample-drawing.json" "$work/restart.json"
# Left by an earlier build whose group had another ID: the tab's box names a button that is gone.
cat >"$work/ui-state.json" <<'JSON'
{ "format": 1, "groups": [ { "userId": 1234, "items": [0] } ], "tabs": [ { "docType": 3, "name": "Tarvenix", "boxes": [ [ [1234, 0] ] ] } ] }
JSON
# Per start: how it ends, then the tab's removals and additions the add-in made.
for start in "older-id stop 1,1" "restart stop 0,1" "crash kill 0,1" "after-crash stop 0,0" "restart stop 0,0"; do
  set -- $start
  label=$1 how=$2 tab_calls=$3
  serve_addins "$label" "$work/restart.json" --ui-state "$(winpath "$work/ui-state.json")" || break
  expect "$label: one tab with one box and its button, one button on the bar" \
    "$(grep -- '^-- command tab' "$work/trace.txt") $(drv buttons "$frame" ToolbarWindow32:0 | tr -d '\r')" \
    '-- command tab "Tarvenix" shows 1 boxes, 1 buttons 1'
  expect "$label: the kept tab removed, a tab added" \
    "$(grep -c '^RemoveCommandTab' "$work/trace.txt"),$(grep -c '^AddCommandTab(' "$work/trace.txt")" "$tab_calls"
  drv toolbar "$frame" ToolbarWindow32:0 0 || fail "$label: the button's click refused"
  drv wait "$main" 30000 >/dev/null || fail "$label: the button opened no dialog"
  drv click "$main" cmd_Cancel >/dev/null
  drv gone "$main" 10000 >/dev/null || fail "$label: the dialog stayed"
  if [ "$how" = kill ]; then
    pid=$(windows_process_of "$server_pid")
    [ -n "$pid" ] && kill -KILL "$pid"
    expect_ended "$server_pid" "$label: the killed host"
  else
    stop_server
    expect "$label: the host's exit code" "$ended_status" 0
  fi
done
# The tab the crash left is the user's now, and stays.
expect "the memory after the restarts" "$(tr -d ' \n' <"$work/ui-state.json")" \
  '{"format":1,"groups":[{"items":[0],"userId":1234},{"items":[0],"userId":1687}],"tabs":[{"boxes":[[[1687,0]]],"docType":3,"name":"Tarvenix"}]}'

finish

#!/usr/bin/env bash
# A configuration file the machine names (HKLM\SOFTWARE\Tarvenix ConfigFile) on a share that stops
# answering, played by a named pipe (FIFO) reached through Wine's Z: drive, whose writer holds it
# open and never writes: every read of it waits. Tarvenix.exe shows the configuration message
# while the read still waits, and ends; the add-in inside the stand-in host does the same, the
# host lives on, and its next click, with the machine naming a file that answers, opens the
# dialog. Once the writer goes, the add-in's reader ends too and the host stops clean.
#   config_stall_e2e.sh [--tarvenix EXE] [--addin DLL] [--server EXE] [--driver EXE]
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../gui/e2e_options.sh"
e2e_values="tarvenix addin server driver"
e2e_options "$@"
source "$root/tests/gui/e2e_lib.sh"

config_message='Konfiguration >Tarvenix.txt< nicht gefunden oder fehlerhaft !'
app=$work/app
install_tarvenix_addin "$app" "$tarvenix" "$addin"
printf '[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarvenix]\n' >>"$work/remove.reg"

name_config() { # PATH: the machine's configuration file
  "$run" reg add 'HKLM\SOFTWARE\Tarvenix' /v ConfigFile /t REG_SZ /d "$(winpath "$1")" /f >/dev/null 2>&1
}

share=$work/share.txt
mkfifo "$share"
# Its open waits for the first reader; from then on it holds the pipe open and writes nothing.
sleep 600 >"$share" &
writer_pid=$!
started+=("$writer_pid")
name_config "$share"

# The message, read and confirmed, in $message; how long it took from START in $took.
message=
took=
confirm_message() { # LABEL START
  message=
  if drv wait "$gef" 30000 >/dev/null; then
    took=$((SECONDS - $2))
    message=$(printf 'text %s Info\n' "$gef" | drv_script | tr -d '\r')
    kill -0 "$writer_pid" 2>/dev/null || fail "$1: the share's writer went before the message"
    drv click "$gef" Ok >/dev/null
    drv gone "$gef" 10000 >/dev/null || fail "$1: the message stayed"
    echo "    $1: the message after about $took s"
  else
    fail "$1: no message"
  fi
  expect "$1: the configuration message" "$message" "$config_message"
}

echo "== Tarvenix.exe with the machine's configuration on a share that does not answer"
serve "$root/samples/sample-drawing.json" || exit 1
start=$SECONDS
start_tarvenix "$app"
confirm_message exe "$start"
expect_ended "$tarvenix_pid" "exe"
expect "exe: no dialog came up" "$(drv visible "$main" 2>/dev/null | tr -d '\r')" 0
stop_server
expect "exe: the host never called" "$(grep -c '^[A-Za-z][A-Za-z0-9]*(' "$work/trace.txt")" 0
expect "exe: the drawing as it was" "$(cmp "$root/samples/sample-drawing.json" "$work/saved.json" 2>&1 && echo same)" same

echo "== the add-in with the same share, then with a file that answers"
serve "$root/samples/sample-drawing.json" --addins || exit 1
drv wait "$frame" 10000 >/dev/null || fail "add-in: no host frame"
start=$SECONDS
drv menu "$frame" Extras "$command" >/dev/null || fail "add-in: the menu command was refused"
confirm_message add-in "$start"
expect "add-in: no dialog came up" "$(drv visible "$main" 2>/dev/null | tr -d '\r')" 0
kill -0 "$server_pid" 2>/dev/null || fail "add-in: the host's process ended"
name_config "$app/Tarvenix.txt"
drv menu "$frame" Extras "$command" >/dev/null || fail "add-in: the next click was refused"
if drv wait "$main" 10000 >/dev/null; then
  drv click "$main" cmd_Cancel >/dev/null
  drv gone "$main" 10000 >/dev/null || fail "add-in: the dialog stayed"
else
  fail "add-in: the next click with a file that answers opened no dialog"
fi
# The share answers at last: the reader left behind reads to the end and lets go of the DLL.
kill "$writer_pid" 2>/dev/null
wait "$writer_pid" 2>/dev/null
kill -0 "$server_pid" 2>/dev/null || fail "add-in: the host's process ended"
stop_server
expect "add-in: the host's exit code" "$ended_status" 0
expect "add-in: the add-in left nothing" "$(grep -c -- '-- references left on host objects: 0' "$work/trace.txt")" 1
expect "add-in: the drawing as it was" "$(cmp "$root/samples/sample-drawing.json" "$work/saved.json" 2>&1 && echo same)" same

finish

#!/usr/bin/env bash
# A configuration file the machine names (HKLM\SOFTWARE\Tarvenix ConfigFile) on a share that stops
# answering, played by a named pipe (FIFO) reached through Wine's Z: drive, whose writer holds it
# open and never writes: every read of it waits. Tarvenix.exe shows the configuration message
# while the read still waits, and ends. In the stand-in host the add-in's clicks return at once:
# three clicks within the bound leave the host's frame answering as before, start one reader, and
# give one message past the bound; a click while that reader still waits gets the message at
# once; the support log says the file did not answer. Once the writer goes, the reader ends, the
# next click with a file that answers opens the dialog, and the host stops clean.
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

echo "== the add-in with the same share: three clicks within the bound, then one more"
support_log() { cat "${WINEPREFIX:-$root/build/wineprefix}"/drive_c/users/*/AppData/Local/Tarvenix/Tarvenix.log 2>/dev/null | tr -d '\r'; }
unanswered_before=$(support_log | grep -c '^Konfiguration gelesen: keine Antwort binnen 3 s$')
serve_addins "add-in" "$root/samples/sample-drawing.json" || exit 1
host=$(windows_process_of "$server_pid")
sleep 1
threads=$(ls "/proc/$host/task" | wc -l)
start=$SECONDS
# One driver for all three, so that they fall within the bound; each answer right after a click.
mapfile -t answers < <({
  printf 'respond %s\n' "$frame"
  for click in 1 2 3; do printf 'menu %s Extras %s\nsleep 50\nrespond %s\n' "$frame" "$command" "$frame"; done
} | drv_script | tr -d '\r')
echo "    the host's frame answered a message in ${answers[0]:-?} ms before the clicks, then in" \
  "${answers[1]:-?}, ${answers[2]:-?} and ${answers[3]:-?} ms right after each"
for click in 1 2 3; do
  # A bound for a held thread (the bound of the read is 3 s), not a speed.
  [ "${answers[$click]:-9999}" -lt 1000 ] 2>/dev/null || fail "add-in: click $click held the host's thread"
done
now_threads=$(ls "/proc/$host/task" | wc -l)
echo "    threads in the host's process: $threads before the clicks, $now_threads after them"
[ "$now_threads" -le $((threads + 1)) ] || fail "add-in: more than one reader ($threads threads before, $now_threads after)"
confirm_message add-in "$start"
expect "add-in: one message for the three clicks" "$(drv visible "$gef" 2>/dev/null | tr -d '\r')" 0
expect "add-in: no dialog came up" "$(drv visible "$main" 2>/dev/null | tr -d '\r')" 0
start=$SECONDS
# Timed inside one driver, without its start-up: a second reader would show the message only
# after the bound of 3 s.
mapfile -t answers < <(printf 'clock\nmenu %s Extras %s\nwait %s 30000\nclock\n' "$frame" "$command" "$gef" |
  drv_script | tr -d '\r')
waited=$((${answers[2]:-99999} - ${answers[0]:-0}))
echo "    a click while the reader still waits: the message after $waited ms"
[ "$waited" -lt 2500 ] || fail "add-in: the click while the reader waits waited for the bound again"
confirm_message "add-in, the reader still waiting" "$start"
unanswered_after=0
for i in $(seq 1 50); do
  unanswered_after=$(support_log | grep -c '^Konfiguration gelesen: keine Antwort binnen 3 s$')
  [ "$unanswered_after" -ge $((unanswered_before + 2)) ] && break
  sleep 0.1
done
expect "add-in: the support log says the file did not answer, once a click" \
  "$((unanswered_after - unanswered_before))" 2
kill -0 "$server_pid" 2>/dev/null || fail "add-in: the host's process ended"

echo "== the share answers at last: the reader ends, and a file that answers gives a run"
kill "$writer_pid" 2>/dev/null
wait "$writer_pid" 2>/dev/null
name_config "$app/Tarvenix.txt"
sleep 1 # for the reader to meet the pipe's end
drv menu "$frame" Extras "$command" >/dev/null || fail "add-in: the next click was refused"
if drv wait "$main" 10000 >/dev/null; then
  drv click "$main" cmd_Cancel >/dev/null
  drv gone "$main" 10000 >/dev/null || fail "add-in: the dialog stayed"
else
  fail "add-in: the next click with a file that answers opened no dialog"
fi
kill -0 "$server_pid" 2>/dev/null || fail "add-in: the host's process ended"
stop_server
expect "add-in: the host's exit code" "$ended_status" 0
expect "add-in: the add-in left nothing" "$(grep -c -- '-- references left on host objects: 0' "$work/trace.txt")" 1
expect "add-in: the drawing as it was" "$(cmp "$root/samples/sample-drawing.json" "$work/saved.json" 2>&1 && echo same)" same

finish

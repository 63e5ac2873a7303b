#!/usr/bin/env bash
# Tarvenix.dll inside the stand-in host under Wine while the designer goes on working after a run:
# the drawing stored right after the run brings no notice; a symbol added with a roughness the
# group lacks, then "store", brings the notice naming one new symbol; "Aktualisieren" and Ok
# repeat it in the group as one more Undo entry, and the next "store" is quiet again; with the
# user's switch CheckOnSave 0 a store is quiet, and once it is gone the deleted original of a
# repeated symbol is named as one gone. A drawing without output brings no notice. The host lives
# on throughout (a save under its modal dialog, the add-in's first among them, is checked only
# once the dialog is closed, and the host is not called before; one with a command of the host's
# open and an operation of its own after it makes no marked call), and at its stop the add-in has
# left no subscription or reference behind.
#   stale_e2e.sh [--tarvenix EXE] [--addin DLL] [--server EXE] [--driver EXE]
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../gui/e2e_options.sh"
e2e_values="tarvenix addin server driver"
e2e_options "$@"
source "$root/tests/gui/e2e_lib.sh"

notice=tvx_StaleNotice::
app=$work/app
install_tarvenix_addin "$app" "$tarvenix" "$addin"

# The drawing stored, then time for the host's idle notifications: the check runs at one of them.
store() {
  host_command store
  sleep 1.5
  kill -0 "$server_pid" 2>/dev/null || fail "the host's process ended"
}
notice_text() { drv text "$notice" lblStale 2>/dev/null | tr -d '\r'; }
notice_shown() { drv visible "$notice" 2>/dev/null | tr -d '\r'; }
undo_entries() { sed -n '/"undo"/,/]/p' "$work/saved.json" | grep -c '"[^"]*",\?$'; }
run_ok() { # LABEL
  drv wait "$main" 10000 >/dev/null || fail "$1: no dialog"
  drv click "$main" cmd_Ok >/dev/null 2>&1
  drv gone "$main" 10000 >/dev/null || fail "$1: the dialog stayed"
}
switch() { # VALUE, or nothing to delete it
  if [ $# -gt 0 ]; then
    "$run" reg add 'HKCU\Software\Tarvenix' /v CheckOnSave /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  else
    "$run" reg delete 'HKCU\Software\Tarvenix' /v CheckOnSave /f >/dev/null 2>&1
  fi
}
trap 'switch; "$run" regedit /S "$(winpath "$work/remove.reg")" >/dev/null 2>&1; e2e_cleanup' EXIT

echo "== a run, then the designer's edits and saves"
cp "$root/samples/sample-drawing.json" "$work/stale.json"
serve_addins "stale" "$work/stale.json" || exit 1
# The add-in's first save comes under the host's "Optionen" dialog: no host call, not even for the
# frame, until the dialog is closed; then the check runs (no output yet: nothing to say).
host_command "modal open"
store
host_command "modal close"
sleep 1
expect "the first save under the modal dialog: no call while it was up, the frame asked once it was closed" \
  "$(grep -c '^!! called during modal state' "$work/trace.txt") $(sed -n '/"Optionen" dialog closed/,$p' \
    "$work/trace.txt" | grep -c '^Frame()')" "0 1"
# Three kinds of foreign symbols left: room for one more in the group.
host_command "delete Oberflächengüte5"
host_command "delete Oberflächengüte6"
drv menu "$frame" Extras "$command" || fail "the menu command was refused"
run_ok run
store
expect "stored after the run: no notice" "$(notice_shown)" 0

host_command "add symbol Blatt1 1 12,5 - 200 100"
# Saved while a command of the host's is open, then an operation of its own that dispatches
# messages: the check only reads, and never inside that operation.
host_command "command open 1 Notiz"
host_command store
host_command "pumploop 1000"
host_command "command close"
drv wait "$notice" 10000 >/dev/null || fail "no notice after a new symbol was stored"
expect "a new symbol: the notice names it" "$(notice_text)" \
  "Die Oberflächenangabe auf Blatt „Blatt1“ ist nicht mehr aktuell: 1 Symbol neu, 0 entfallen."
undo_before=$(undo_entries)
drv click "$notice" cmd_Update >/dev/null 2>&1
run_ok update
expect "\"Aktualisieren\": the notice closed" "$(notice_shown)" 0
store
expect "updated: the group repeats the new symbol" \
  "$(grep -A6 '"name": "ZyrSymbol_0' "$work/saved.json" | grep -c '"12,5"')" 1
expect "updated: one more Undo entry" "$(undo_entries)" "$((undo_before + 1))"
expect "updated, stored: no notice" "$(notice_shown)" 0

switch 0
host_command "delete Oberflächengüte3"
store
expect "CheckOnSave 0: no notice" "$(notice_shown)" 0
switch
# The host's "Optionen" dialog disables its frame: the check waits until it is closed.
host_command "modal open"
store
expect "a save under the host's modal dialog: no notice yet" "$(notice_shown)" 0
host_command "modal close"
drv wait "$notice" 10000 >/dev/null || fail "no notice after a repeated symbol's original was deleted"
expect "a deleted original: the notice names one gone" "$(notice_text)" \
  "Die Oberflächenangabe auf Blatt „Blatt1“ ist nicht mehr aktuell: 0 Symbole neu, 1 entfallen."
stop_server
expect "the host's exit code" "$ended_status" 0
expect "the add-in left nothing" "$(grep -c -- '-- references left on host objects: 0' "$work/trace.txt")" 1
expect "no host call inside a save" "$(grep -c '^!!' "$work/trace.txt")" 0

echo "== a drawing without output"
cp "$root/samples/sample-drawing.json" "$work/plain.json"
serve_addins "plain" "$work/plain.json" || exit 1
host_command "add symbol Blatt1 1 12,5 - 200 100"
store
expect "no output: no notice" "$(notice_shown)" 0
stop_server
expect "plain: the host's exit code" "$ended_status" 0
finish

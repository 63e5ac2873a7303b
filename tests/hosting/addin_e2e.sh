#!/usr/bin/env bash
# Tarvenix.dll inside the stand-in host under Wine, as a user meets it: registered with the keys an
# installer writes, loaded by the host at its start, the command clicked in the host's "Extras"
# menu, the dialog answered inside the host's process. Ok on the sample drawing gives the drawing
# the exe's run gives (byte for byte); Abbruch leaves it as it was. The host lives on after each,
# and at its stop the add-in has left nothing behind.
#   addin_e2e.sh [--tarvenix EXE] [--addin DLL] [--server EXE] [--driver EXE] [--shot PNG]
# With --shot, a picture of the screen with the host's Extras menu open is kept in PNG.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../gui/e2e_options.sh"
addin=$build/addin/Tarvenix.dll
shot=
e2e_values="tarvenix addin server driver shot"
e2e_options "$@"
source "$root/tests/gui/e2e_lib.sh"

frame=TvxHostFrame::
command="Oberflächenangabe..."
clsid='{1AD2230B-474E-46A1-9E25-9DF73EBF3393}'
app=$work/app
make_program_folder "$app" "$tarvenix"
cp "$addin" "$(dirname "$addin")"/command_*.bmp "$app/"
dll=$(winpath "$app/Tarvenix.dll")

register_addin "$clsid" "$dll" Tarvenix

# One click on the command, then BUTTON in the dialog; the host is stopped with "save".
run_in_host() { # LABEL DRAWING BUTTON
  cp "$2" "$work/$1-before.json"
  serve "$work/$1-before.json" --addins || return 1
  drv wait "$frame" 10000 >/dev/null || fail "$1: no host frame"
  if [ -n "$shot" ]; then
    drv key "$frame" alt+x
    shot "$shot"
    drv key "$frame" escape
    drv key "$frame" escape
    shot=
  fi
  drv menu "$frame" Extras "$command" || fail "$1: the menu command was refused"
  drv wait "$main" 10000 >/dev/null || fail "$1: no dialog after the click"
  drv click "$main" "$3" >/dev/null 2>&1
  drv gone "$main" 10000 >/dev/null || fail "$1: the dialog stayed"
  expect "$1: no message" "$(drv visible "$gef" 2>/dev/null | tr -d '\r')" "0"
  kill -0 "$server_pid" 2>/dev/null || fail "$1: the host's process ended"
  stop_server
  expect "$1: the host's exit code" "$ended_status" 0
  expect "$1: the add-in left nothing" "$(grep -c -- '-- references left on host objects: 0' "$work/trace.txt")" 1
  expect "$1: the add-in could go" "$(grep -c -- '-> DllCanUnloadNow() = S_OK' "$work/trace.txt")" 1
}

echo "== Ok on the sample drawing: the exe's drawing"
run_in_host ok "$root/samples/sample-drawing.json" cmd_Ok
expect "ok: the drawing the exe's run gives" "$(cmp "$root/docs/bilder/beispiel-nachher.json" "$work/saved.json" 2>&1 && echo same)" same
expect "ok: the host's frame asked for, to own the dialog" "$(grep -c '^GetHWnd() -> I4 [1-9]' "$work/trace.txt")" 1

echo "== Abbruch: the drawing as it was"
run_in_host cancel "$root/samples/sample-drawing.json" cmd_Cancel
expect "cancel: the drawing as it was" "$(cmp "$root/samples/sample-drawing.json" "$work/saved.json" 2>&1 && echo same)" same

finish

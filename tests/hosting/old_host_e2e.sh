#!/usr/bin/env bash
# Tarvenix.dll in a host older than it supports (the stand-in with --revision 22.0.0, which does not
# know the calls that came after it): the add-in asks the revision, adds nothing and answers false;
# the host lives on and holds no reference of it at its stop; the support log names the revision
# and the first call the host lacks. Tarvenix.exe, which needs none of the add-in's calls, then
# runs on that host as on any other. Last, a host whose profile hands back the kept IDs as Doubles,
# a form the add-in cannot read: its support log names that form, and it drops the kept layout;
# started again without it, the log's last line is the stand-in's own form again.
#   old_host_e2e.sh [--tarvenix EXE] [--addin DLL] [--server EXE] [--driver EXE]
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../gui/e2e_options.sh"
e2e_values="tarvenix addin server driver"
e2e_options "$@"
source "$root/tests/gui/e2e_lib.sh"

app=$work/app
install_tarvenix_addin "$app" "$tarvenix" "$addin"
refused='ConnectToSW: nicht verbunden: Host-Revision 22.0.0 zu alt (Tarvenix braucht mindestens 24.0): es fehlt SetAddinCallbackInfo2 (ab 23.0)'
# Records of earlier runs in the same prefix stay: only a new line counts.
log_lines() {
  cat "${WINEPREFIX:-$root/build/wineprefix}"/drive_c/users/*/AppData/Local/Tarvenix/Tarvenix.log 2>/dev/null |
    tr -d '\r' | grep -cxF "$refused"
}
logged_before=$(log_lines)

echo "== the add-in in a host of revision 22.0.0: not connected, nothing added"
cp "$root/samples/sample-drawing.json" "$work/old.json"
serve_addins "old host" "$work/old.json" --revision 22.0.0 || exit 1
expect "the add-in answered false" "$(grep -c -- '^-> Addin.ConnectToSW(.*) = BOOL false$' "$work/trace.txt")" 1
expect "the add-in's calls: the revision only" "$(grep -v -- '^--\|^->' "$work/trace.txt" | cut -d'(' -f1 | paste -sd' ')" RevisionNumber
expect "no command on the Extras menu" "$(drv menu "$frame" Extras "$command" >/dev/null 2>&1 && echo offered || echo absent)" absent
expect "the log names the revision and the missing call" "$(log_lines)" "$((logged_before + 1))"

echo "== Tarvenix.exe on the same host: the run of any host"
mkdir -p "$work/exe"
play_run "$app" "$work/exe" 60
kill -0 "$server_pid" 2>/dev/null || fail "the host's process ended"
stop_server
expect "the exe's run completed" "$(paste -sd' ' "$work/exe/outcome.txt" | sed 's/^startup [0-9]* //')" "ended 1 dialog 1"
expect "no call unknown to the host" "$(grep -c -- ' is unknown to host revision ' "$work/trace.txt")" 0
expect "the drawing of a normal run" "$(cmp "$root/docs/bilder/beispiel-nachher.json" "$work/saved.json" 2>&1 && echo same)" same
expect "the host's exit code" "$ended_status" 0
expect "no reference left on the host" "$(grep -c -- '-- references left on host objects: 0$' "$work/trace.txt")" 1

echo "== the kept IDs as a probed host's profile hands them back: a form the add-in cannot read"
unreadable='GetGroupDataFromRegistry: True, Ausgabe VT_ARRAY|VT_R8 (keine ganzen Zahlen)'
kept_lines() {
  cat "${WINEPREFIX:-$root/build/wineprefix}"/drive_c/users/*/AppData/Local/Tarvenix/Tarvenix.log 2>/dev/null |
    tr -d '\r' | grep -cxF "$unreadable"
}
kept_before=$(kept_lines)
cat >"$work/doubles.json" <<'JSON'
{"format": "tarvenix-hostprofile", "version": 1, "revision": "31.2.0", "wrote": false, "nameScope": "unsettled",
 "duplicateInOwnerAccepted": false, "writeError": "", "drawingChanges": [], "calls": [],
 "findings": [{"question": "GetGroupDataFromRegistry.out", "answer": "True, Ausgabe VT_ARRAY|VT_R8 (keine ganzen Zahlen)"}]}
JSON
printf '%s\n' '{ "format": 1, "groups": [ { "userId": 1687, "items": [0] } ], "tabs": [] }' >"$work/kept.json"
serve_addins "old host" "$work/old.json" --ui-state "$(winpath "$work/kept.json")" --profile "$(winpath "$work/doubles.json")" || exit 1
stop_server
expect "the log names the form" "$(kept_lines)" "$((kept_before + 1))"
expect "the kept layout dropped" "$(grep -c '^CreateCommandGroup2(I4 1687, .*, BOOL true, ' "$work/trace.txt")" 1
# The same seat with the stand-in's own form again: the last line, which the host probe quotes, is
# the host's answer now, and the layout the add-in made the last time is kept.
serve_addins "old host" "$work/old.json" --ui-state "$(winpath "$work/kept.json")" || exit 1
stop_server
expect "the last line the host's own form" \
  "$(cat "${WINEPREFIX:-$root/build/wineprefix}"/drive_c/users/*/AppData/Local/Tarvenix/Tarvenix.log | tr -d '\r' |
     grep '^GetGroupDataFromRegistry: ' | tail -n 1)" 'GetGroupDataFromRegistry: True, Ausgabe VT_ARRAY|VT_I4'
expect "the kept layout used" "$(grep -c '^CreateCommandGroup2(I4 1687, .*, BOOL false, ' "$work/trace.txt")" 1

finish

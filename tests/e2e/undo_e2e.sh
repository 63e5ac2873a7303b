#!/usr/bin/env bash
# Tarvenix.exe under Wine, then the user's one Undo in the running host ("undo 1"): the drawing is
# as before the run (the rebuild count aside) on the sample drawing, on the re-run drawing (the
# earlier output comes back) and on a second sheet. Then Ok clicked again and again from the
# moment the dialog is there: on a drawing whose start-up fails, only the start-up message and the
# drawing untouched; on the sample drawing, the run once. Last, the designer's own edits in the
# running host (a symbol added, one deleted, the drawing stored and closed), and lines it refuses.
#   undo_e2e.sh [--tarvenix EXE] [--server EXE] [--driver EXE] [--check EXE]
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../gui/e2e_options.sh"
check=$build/tests/e2e/tvx-sheetcheck.exe
e2e_values="tarvenix server driver check"
e2e_options "$@"
source "$root/tests/gui/e2e_lib.sh"

app=$work/app
make_program_folder "$app" "$tarvenix"

sheetcheck() { "$run" "$check" "$@" | tr -d '\r'; }

undo_story() { # LABEL DRAWING [SHEET]
  local label=$1 out=$work/$1 verdict
  mkdir -p "$out"
  cp "$2" "$out/before.json"
  serve "$out/before.json" || return 1
  if [ $# -gt 2 ]; then host_command "sheet $3"; fi
  play_run "$app" "$out" 60
  expect "$label: the run completed" "$(grep -v '^startup' "$out/outcome.txt" | paste -sd' ')" "ended 1 dialog 1"
  expect "$label: one recording" \
    "$(grep -c '^StartRecordingUndoObject()' "$work/trace.txt")/$(grep -c '^FinishRecordingUndoObject2(BSTR "Oberflächenangabe", BOOL false) -> BOOL true' "$work/trace.txt")" \
    "1/1"
  host_command "undo 1"
  stop_server
  checks=$((checks + 1))
  verdict=$(sheetcheck undone "$(winpath "$out/before.json")" "$(winpath "$work/saved.json")") ||
    fail "$label: one Undo did not give the drawing back: $verdict"
}

echo "== one Undo takes the run back"
undo_story "sample" "$root/samples/sample-drawing.json"
undo_story "re-run" "$root/samples/rerun-drawing.json"
undo_story "second sheet" "$here/three-sheets.json" Blatt2

# Ok posted to the button again and again, as a quick user's clicks are queued, from the moment
# the dialog is visible until the program has gone.
click_ok_until_gone() {
  local i
  drv wait "$main" 15000 >/dev/null 2>&1 || return 0
  for i in $(seq 1 10); do
    printf 'click %s cmd_Ok\n' "$main" "$main" "$main" "$main" "$main" | drv_script >/dev/null 2>&1 || return 0
  done
}

echo "== Ok clicked early and often"
# The earlier main symbol has a kind the dialog does not offer: start-up ends with a message.
sed '/"name": "ZyrSymbol_99"/,/"type"/ s/"type": [0-9]*/"type": 7/' "$root/samples/rerun-drawing.json" >"$work/unknown-kind.json"
expect "the drawing has a main symbol of unknown kind" "$(grep -c '"type": 7' "$work/unknown-kind.json")" 1
mkdir -p "$work/early"
serve "$work/unknown-kind.json"
start_tarvenix "$app"
click_ok_until_gone
observe_run "$work/early" 60
stop_server
expect "failing start-up: only its message" "$(grep '^message' "$work/early/outcome.txt")" \
  "message Hauptsymbol mit unbekannter Art gefunden: 7"
expect "failing start-up: ended" "$(grep '^ended' "$work/early/outcome.txt")" "ended 1"
expect "failing start-up: nothing deleted or placed" \
  "$(grep -cE '^(DeleteSelection|InsertSurfaceFinishSymbol2|InsertNote|SetName)\(' "$work/trace.txt")" 0
checks=$((checks + 1))
verdict=$(sheetcheck same "$(winpath "$work/unknown-kind.json")" "$(winpath "$work/saved.json")") ||
  fail "failing start-up: the drawing changed: $verdict"

mkdir -p "$work/often"
cp "$root/samples/sample-drawing.json" "$work/often/before.json"
serve "$work/often/before.json"
start_tarvenix "$app"
click_ok_until_gone
expect_ended "$tarvenix_pid" "clicked often"
stop_server
expect "clicked often: the run once" \
  "$(grep -c '^StartRecordingUndoObject()' "$work/trace.txt")/$(grep -c '^EditRebuild()' "$work/trace.txt")" "1/1"
expect "clicked often: one main symbol" "$(grep -c '"name": "ZyrSymbol_99"' "$work/saved.json")" 1

# The designer's own edits in the running host, as stories that make earlier output stale need
# them: each edit is one Undo entry, "store" and "Datei > Speichern" save without ending, and a
# line that cannot be carried out is refused with its reason and changes nothing.
saves_so_far() { grep -c '^-- the drawing was saved to' "$work/trace.txt"; }
echo "== the designer adds a symbol, deletes one and stores the drawing"
cp "$root/samples/sample-drawing.json" "$work/edits.json"
serve_addins "edits" "$work/edits.json" || exit 1
host_command "add symbol Zeichenansicht1 1 12,5 gedreht 150.5 60"
host_command "store"
expect "edits: the host goes on after store" "$(kill -0 "$server_pid" 2>/dev/null && echo running)" running
expect "edits: the stored drawing holds the new symbol, named as the host names one, in its view" \
  "$(grep -c '"12,5"' "$work/saved.json")/$(grep -c '"name": "Oberflächengüte7"' "$work/saved.json")" "1/1"
expect "edits: the addition is one Undo entry" "$(grep -A3 '"undo"' "$work/saved.json" | grep -c 'Einfügen')" 1
host_command "delete Oberflächengüte2"
host_command "store"
expect "edits: the deleted symbol is gone" "$(grep -c '"name": "Oberflächengüte2"' "$work/saved.json")" 0
cp "$work/saved.json" "$work/after-edits.json"
for line in "add symbol Nirgends 1 6,3 - 10 10" "add symbol Blatt1 12 6,3 - 10 10" \
  "add symbol Blatt1 1 6,3 - 10 9999" "add symbol Blatt1 1 6,3 10 10" "add symbl Blatt1" \
  "delete Niemand" "delete"; do
  host_command "$line"
done
expect "edits: each bad line refused with its reason" "$(grep -c '^-- refused: ' "$work/trace.txt")" 7
drv menu "$frame" Datei Speichern || fail "edits: no \"Speichern\" in \"Datei\""
for i in $(seq 1 100); do [ "$(saves_so_far)" -ge 3 ] && break; sleep 0.05; done
expect "edits: \"Datei > Speichern\" stored the drawing" "$(saves_so_far)" 3
expect "edits: the bad lines changed nothing" "$(cmp "$work/after-edits.json" "$work/saved.json" 2>&1 && echo same)" same
expect "edits: each save told the document's subscribers before and after" \
  "$(grep -c '^-- FileSaveNotify (6) fired' "$work/trace.txt")/$(grep -c '^-- FileSavePostNotify (26) fired' "$work/trace.txt")" "3/3"
host_command "close document"
host_command "store"
stop_server
expect "edits: with the document closed, store refused" "$(grep -c '^-- refused: store: no document is open' "$work/trace.txt")" 1
expect "edits: the stop saves the drawing as it closed" "$(cmp "$work/after-edits.json" "$work/saved.json" 2>&1 && echo same)" same
expect "edits: no sink left" "$(grep -c 'references left on host objects: 0' "$work/trace.txt")" 1

finish

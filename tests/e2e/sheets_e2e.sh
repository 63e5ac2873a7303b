#!/usr/bin/env bash
# Tarvenix.exe under Wine on a drawing of three sheets (A3, A2, A4 portrait), the user switching
# sheets in the running host between runs: sheet 1, sheet 2, sheet 1 again, sheet 3. After each
# run that sheet holds exactly its own output at its own corner and no other sheet was touched.
# Then with annotation names unique in the whole document: the run on sheet 2 is refused with
# the insertion message and leaves the drawing as it was.
#   sheets_e2e.sh [--tarvenix EXE] [--server EXE] [--driver EXE] [--check EXE]
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../gui/e2e_options.sh"
check=$build/tests/e2e/tvx-sheetcheck.exe
e2e_values="tarvenix server driver check"
e2e_options "$@"
source "$root/tests/gui/e2e_lib.sh"

# A configuration of its own, so the corners do not follow the sample's: A2 0.55, A3 0.38,
# A4 portrait 0.19, every symbol at y 0.02 + 0.005. Each sheet's output stays within 0.15 of its
# corner, so output at another sheet's corner cannot pass.
app=$work/app
make_program_folder "$app" "$tarvenix" "$root/samples" "$root/resources"
cat >"$app/Tarvenix.txt" <<'EOF'
Tarvenix - Konfiguration fuer den Test mehrerer Blaetter
Eckpunkt x A0, A1, A2, A3, A4 hoch; Eckpunkt y; Abstaende; Schriften
1.0
0.8
0.55
0.38
0.19
0.02
0.005
0.002
0.010
0.001
0.003
0.004
0
1.0
"ISOCP"
14
"ISOCP"
14
EOF
symbol_y=0.025
reach=0.15
declare -A corner=([Blatt1]=0.38 [Blatt2]=0.55 [Blatt3]=0.19)

sheetcheck() { "$run" "$check" "$@" | tr -d '\r'; }

# The running host shows another sheet, as after a click on its tab.
switch_sheet() { host_command "sheet $1"; }

# One run: the dialog's preselection read, the user's choice made, Ok; the host then saves.
run_on() { # LABEL SHEET PRESELECTED(kind|method|roughness) KIND METHOD ROUGHNESS
  local label=$1 sheet=$2
  start_tarvenix "$app"
  if ! drv wait "$main" 15000 >/dev/null; then
    fail "$label: no main dialog"
    return 1
  fi
  expect "$label: preselected" \
    "$(printf 'text %s stdSFSSymbol\ntext %s stdSFSMet\ntext %s stdSFSRough\n' "$main" "$main" "$main" | drv_script | tr -d '\r' | paste -sd'|')" "$3"
  drv_script >/dev/null <<EOF
select $main stdSFSSymbol $4
type $main stdSFSMet "$5"
type $main stdSFSRough "$6"
EOF
  drv click "$main" cmd_Ok >/dev/null
  expect_ended "$tarvenix_pid" "$label"
  stop_server
  # Everything selected was on the run's own sheet.
  expect "$label: selects only on $sheet" \
    "$(grep 'SelectByID(' "$work/trace.txt" | grep -v "BSTR \"$sheet\"" | grep -v "@$sheet\"")" ""
}

check_run() { # LABEL BEFORE AFTER SHEET
  checks=$((checks + 1))
  local verdict
  verdict=$(sheetcheck run "$(winpath "$2")" "$(winpath "$3")" "$4" "${corner[$4]}" "$symbol_y" "$reach") ||
    fail "$1: $verdict"
}

# ---------------------------------------------------------------------------------------------
echo "== names unique per view: every sheet its own output"
cp "$here/three-sheets.json" "$work/0.json"

serve "$work/0.json"
run_on "sheet 1" Blatt1 "Spanend||1,6" 1 gedreht "3,2"
cp "$work/saved.json" "$work/1.json"
check_run "sheet 1" "$work/0.json" "$work/1.json" Blatt1

serve "$work/1.json"
switch_sheet Blatt2
run_on "sheet 2" Blatt2 "Spanend||1,6" 0 poliert "0,4"
cp "$work/saved.json" "$work/2.json"
check_run "sheet 2" "$work/1.json" "$work/2.json" Blatt2

serve "$work/2.json"
switch_sheet Blatt1
run_on "sheet 1 again" Blatt1 "Spanend|gedreht|3,2" 1 gedreht "3,2"
cp "$work/saved.json" "$work/3.json"
check_run "sheet 1 again" "$work/2.json" "$work/3.json" Blatt1

serve "$work/3.json"
switch_sheet Blatt3
run_on "sheet 3" Blatt3 "Spanend||1,6" 2 geschlichtet "25"
cp "$work/saved.json" "$work/4.json"
check_run "sheet 3" "$work/3.json" "$work/4.json" Blatt3
expect "every sheet its own main symbol" "$(grep -c '"name": "ZyrSymbol_99"' "$work/4.json")" 3

# ---------------------------------------------------------------------------------------------
echo "== names unique in the document: the second sheet's run is refused, nothing changes"
sed 's/"nameScope": "owner"/"nameScope": "document"/' "$work/1.json" >"$work/doc-1.json"
serve "$work/doc-1.json"
switch_sheet Blatt2
mkdir -p "$work/refused"
play_run "$app" "$work/refused" 60
stop_server
expect "document scope: the insertion message" "$(sed -n 's/^message //p' "$work/refused/outcome.txt")" \
  "Fehler beim Einfügen der Symbole !"
expect "document scope: ended by itself" "$(grep '^ended' "$work/refused/outcome.txt")" "ended 1"
checks=$((checks + 1))
verdict=$(sheetcheck same "$(winpath "$work/doc-1.json")" "$(winpath "$work/saved.json")") ||
  fail "document scope: the drawing changed: $verdict"
expect "document scope: the name was asked for and refused" \
  "$(grep -c 'SetName(BSTR "ZyrSymbol_99") -> BOOL false' "$work/trace.txt")" 1

finish

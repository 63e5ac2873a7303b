#!/usr/bin/env bash
# Tarvenix.exe end to end under Wine, against the stand-in host server serving a drawing file,
# played by the GUI driver: start-up failures, a first run, a re-run, Cancel and closing.
#   program_e2e.sh TARVENIX.exe HOSTSERVER.exe GUIDRIVER.exe SAMPLES_DIR RESOURCES_DIR
# Needs "SldWorks.Application" registered in the Wine prefix (scripts/wine-prefix.d).
set -uo pipefail

tarvenix=$1
server=$2
driver=$3
samples=$4
resources=$5
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"

# The program's folder, and one without its configuration.
app=$work/app
make_program_folder "$app" "$tarvenix"
bare=$work/bare
mkdir -p "$bare"
cp "$tarvenix" "$bare/Tarvenix.exe"

# The support log's last record of a run whose configuration lay in FOLDER.
last_log_record() { # FOLDER
  local line
  line="Konfiguration: $(winpath "$1")\\Tarvenix.txt"
  cat "$WINEPREFIX"/drive_c/users/*/AppData/Local/Tarvenix/Tarvenix.log 2>/dev/null | tr -d '\r' |
    line=$line awk '/^Lauf: / { if (ours) last = record; record = ""; ours = 0 }
      { record = record $0 "\n" } $0 == ENVIRON["line"] { ours = 1 }
      END { if (ours) last = record; printf "%s", last }'
}

# ---------------------------------------------------------------------------------------------
echo "== start-up failures: one message each, the main dialog never shown, then the end"
cat >"$work/no-document.json" <<'EOF'
{ "format": 1, "document": null }
EOF
cat >"$work/part.json" <<'EOF'
{ "format": 1, "document": { "type": 1, "sheets": [ { "name": "Blatt1", "paperCode": 8,
  "width": 0.42, "height": 0.297, "views": [ { "name": "Blatt1" } ] } ] } }
EOF

startup_failure() { # LABEL FOLDER MESSAGE DISMISS(click|close)
  start_tarvenix "$2"
  if ! drv wait "$gef" 15000 >/dev/null; then
    fail "$1: no message"
    return
  fi
  expect "$1" "$(printf 'topmost %s\ntext %s\ntext %s Info\nfocus %s\nvisible %s\n' "$gef" "$gef" "$gef" "$gef" "$main" | drv_script)" \
    "1
$title
$3
Ok
0"
  if [ "$4" = click ]; then drv click "$gef" Ok; else drv close "$gef"; fi
  expect_ended "$tarvenix_pid" "$1" && expect "$1: exit code of a message" "$ended_status" 1
}

serve "$samples/sample-drawing.json"
startup_failure "configuration missing" "$bare" "Konfiguration >Tarvenix.txt< nicht gefunden oder fehlerhaft !" click
stop_server
expect "configuration missing: the host is never asked" "$(cat "$work/trace.txt" 2>/dev/null)" ""
cmp -s "$work/saved.json" "$samples/sample-drawing.json" || fail "configuration missing: the drawing changed"

startup_failure "no host" "$app" "Keine aktive SolidWorks Instanz gefunden !" close

serve "$work/no-document.json"
startup_failure "no document" "$app" "Kein SolidWorks Dokument geladen !" click
stop_server

serve "$work/part.json"
startup_failure "no drawing" "$app" "Es werden nur SolidWorks Zeichnungen unterstützt !" close
stop_server

# ---------------------------------------------------------------------------------------------
echo "== first run: defaults offered, the kind cannot be typed over, typed texts placed unchanged"
serve "$samples/sample-drawing.json"
start_tarvenix "$app"
drv wait "$main" 15000 >/dev/null || fail "first run: no main dialog"
first=$(drv_script <<EOF
topmost $main
text $main stdSFSSymbol
text $main stdSFSRough
text $main stdSFSMet
visible $gef
type $main stdSFSSymbol xyz
text $main stdSFSSymbol
select $main stdSFSSymbol 0
type $main stdSFSMet "fein gedreht"
type $main stdSFSRough "12,5 ä"
EOF
)
expect "first run: the dialog" "$first" "1
Spanend
1,6

0
Spanend"
drv click "$main" cmd_Ok
expect_ended "$tarvenix_pid" "first run" && expect "first run: exit code" "$ended_status" 0
stop_server
cp "$work/saved.json" "$work/first.json"
checks=$((checks + 1))
grep -q '"name": "ZyrSymbol_99"' "$work/first.json" &&
  grep -q '"2": "fein gedreht"' "$work/first.json" &&
  grep -q '"5": "12,5 ä"' "$work/first.json" ||
  fail "first run: the main symbol with the typed texts is not in the drawing"
expect "first run: rebuilt once" "$(grep -o '"rebuildCount": [0-9]*' "$work/first.json")" '"rebuildCount": 1'
expect "first run: one bracket note" "$(grep -c '"name": "ZyrNote"' "$work/first.json")" 1
own_first=$(grep -c '"name": "ZyrSymbol_' "$work/first.json")
record=$(last_log_record "$app")
expect "first run: the log names the host's revision, asked before the host's window" \
  "$(grep -o -e '^Hostversion: .*' -e '^  [#0-9 ]*RevisionNumber:' -e '^  [#0-9 ]*Frame:' <<<"$record" | sed 's/^  [#0-9 ]*//')" \
  "$(printf 'RevisionNumber:\nHostversion: 0.0.0 stand-in\nFrame:')"

echo "== re-run: the earlier main symbol preselected, the earlier output replaced"
serve "$work/first.json"
start_tarvenix "$app"
drv wait "$main" 15000 >/dev/null || fail "re-run: no main dialog"
expect "re-run: preselected" "$(printf 'text %s stdSFSSymbol\nindex %s stdSFSSymbol\ntext %s stdSFSMet\ntext %s stdSFSRough\n' "$main" "$main" "$main" "$main" | drv_script)" \
  "Grundlegend
0
fein gedreht
12,5 ä"
drv click "$main" cmd_Ok
expect_ended "$tarvenix_pid" "re-run"
stop_server
cp "$work/saved.json" "$work/second.json"
expect "re-run: one main symbol" "$(grep -c '"name": "ZyrSymbol_99"' "$work/second.json")" 1
expect "re-run: as many own symbols as before" "$(grep -c '"name": "ZyrSymbol_' "$work/second.json")" "$own_first"
expect "re-run: one bracket note" "$(grep -c '"name": "ZyrNote"' "$work/second.json")" 1
expect "re-run: rebuilt again" "$(grep -o '"rebuildCount": [0-9]*' "$work/second.json")" '"rebuildCount": 2'

echo "== Cancel and the close command leave the drawing as it was"
for way in cancel close; do
  serve "$work/second.json"
  start_tarvenix "$app"
  drv wait "$main" 15000 >/dev/null || fail "$way: no main dialog"
  drv_script >/dev/null <<EOF
select $main stdSFSSymbol 2
type $main stdSFSMet "anders"
EOF
  if [ "$way" = cancel ]; then drv click "$main" cmd_Cancel; else drv close "$main"; fi
  expect_ended "$tarvenix_pid" "$way" && expect "$way: exit code" "$ended_status" 0
  stop_server
  checks=$((checks + 1))
  cmp -s "$work/saved.json" "$work/second.json" || fail "$way changed the drawing"
done

# ---------------------------------------------------------------------------------------------
echo "== messages after the scan: the drawing as it was, and no reference left on host objects"
# What the program still held on host objects when the host stopped, as the host hosting add-ins
# counts it.
expect_nothing_held() { # LABEL
  local left
  left=$(sed -n 's/^-- references left on host objects: //p' "$work/trace.txt" | tr -d '\r')
  expect "$1: no reference left" "$left" 0
}
# A message once the scan has run, confirmed; then the end, the drawing as it was.
message_after_scan() { # LABEL DRAWING MESSAGE [ok]
  serve "$2" --addins
  start_tarvenix "$app"
  if [ "${4:-}" = ok ]; then
    drv wait "$main" 15000 >/dev/null || fail "$1: no main dialog"
    # The re-run sample's main symbol: both texts are entries, and selected as such.
    expect "$1: the lists' selection" "$(printf 'index %s stdSFSRough\nindex %s stdSFSMet\n' "$main" "$main" | drv_script)" \
      "3
1"
    drv click "$main" cmd_Ok
  fi
  if drv wait "$gef" 15000 >/dev/null; then
    expect "$1: the message" "$(printf 'text %s Info\n' "$gef" | drv_script)" "$3"
    drv click "$gef" Ok
  else
    fail "$1: no message"
  fi
  expect_ended "$tarvenix_pid" "$1" && expect "$1: exit code of a message" "$ended_status" 1
  stop_server
  checks=$((checks + 1))
  cmp -s "$work/saved.json" "$2" || fail "$1: the drawing changed"
  expect_nothing_held "$1"
}
sed '/"name": "ZyrSymbol_99"/,/"type"/ s/"type": 1/"type": 5/' "$samples/rerun-drawing.json" >"$work/unknown-kind.json"
message_after_scan "unknown main kind" "$work/unknown-kind.json" "Hauptsymbol mit unbekannter Art gefunden: 5"
{
  echo '{ "format": 1, "document": { "type": 3, "sheets": [ { "name": "Blatt1", "paperCode": 8,'
  echo '  "width": 0.42, "height": 0.297, "views": [ { "name": "Blatt1", "symbols": ['
  for i in $(seq -w 1 22); do
    echo "    { \"type\": 1, \"texts\": { \"5\": \"1,6\" }, \"name\": \"ZyrSymbol_$i\", \"x\": 0.$i, \"y\": 0.02 }$([ "$i" = 22 ] || echo ,)"
  done
  echo '  ] } ] } ] } }'
} >"$work/too-many.json"
serve "$work/too-many.json"
stop_server
cp "$work/saved.json" "$work/too-many-saved.json"
message_after_scan "22 earlier symbols" "$work/too-many-saved.json" "Mehr als 21 Oberflächensymbole eines früheren Laufs gefunden !"
# Locked, as on a locked layer: it could be neither deleted nor replaced, so nothing is touched.
sed '/"name": "ZyrSymbol_01"/,/"selectable"/ s/"selectable": true/"selectable": false/' "$samples/rerun-drawing.json" >"$work/locked.json"
message_after_scan "a locked earlier symbol" "$work/locked.json" "Fehler beim Einfügen der Symbole !" ok

finish

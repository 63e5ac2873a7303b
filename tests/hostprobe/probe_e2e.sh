#!/usr/bin/env bash
# tvx-hostprobe.exe under Wine: without a host it says so and what to start first; against the
# stand-in host server, --write asks first and, refused, calls nothing; confirmed, it prints the
# summary, writes hostprofile.json (its full path said, the verdict last), takes its inserts back
# with one Undo and saves the drawing byte for byte as it was; run again, it keeps the earlier
# file; a hung host ends it with its message within the bounds, the drawing untouched; a host busy
# in the middle of writing ends it with its message and the names of what it could not take out
# again. A host that asks before deleting (and takes other coordinates, and keeps the selection),
# played from its profile: the probe finds it again; Tarvenix waits in its deletion for the answer,
# and ends after its bound when none comes.
#   probe_e2e.sh PROBE.exe SERVER.exe DRAWING OUT TARVENIX.exe DRIVER.exe
set -uo pipefail
probe=$1 server=$2 drawing=$3 out=$4 tarvenix=$5 driver=$6
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
fixture=$root/scripts/with-hostserver.sh
run=$root/scripts/wine-run.sh
failures=0
check() {
  if ! eval "$2"; then
    echo "FAILED: $1" >&2
    failures=$((failures + 1))
  fi
}
rm -rf "$out"
mkdir -p "$out"
out=$(cd "$out" && pwd)
drawing=$(cd "$(dirname "$drawing")" && pwd)/$(basename "$drawing")

# Every story in a folder of its own, the probe started there so its file lands there.
probe_in() { # DIR STDIN [--server-option OPT]... -- [PROBE ARGS]...
  local dir=$1 input=$2
  shift 2
  local options=()
  while [ "$1" != "--" ]; do options+=("$1"); shift; done
  shift
  mkdir -p "$dir"
  (cd "$dir" && printf '%s\n' "$input" |
    timeout 120 "$fixture" --server "$server" --drawing "$drawing" --out "$dir" \
      ${options[@]+"${options[@]}"} -- "$probe" "$@" >"$dir/probe.out" 2>&1)
}

mkdir -p "$out/no-host"
(cd "$out/no-host" && timeout 60 "$root/scripts/wine-run.sh" "$probe" --bundle support.txt >"$out/no-host/probe.out" 2>&1)
status=$?
check "no host: ends with 3" '[ $status -eq 3 ]'
check "no host: says so" 'tr -d "\\r" <"$out/no-host/probe.out" | grep -qx "Keine aktive SolidWorks Instanz gefunden !"'
check "no host: no profile, but the support file" '[ ! -e "$out/no-host/hostprofile.json" ] &&
  grep -q "^kein Profil: siehe Bericht" "$out/no-host/support.txt" &&
  grep -q "^Keine aktive SolidWorks Instanz gefunden !" "$out/no-host/support.txt"'
check "no host: says what to start first" \
  'grep -q "^Bitte zuerst SolidWorks starten, eine Zeichnung öffnen und tvx-hostprobe dann mit denselben Rechten" "$out/no-host/probe.out"'

probe_in "$out/refused" n -- --write
status=$?
check "refused: ends with 1" '[ $status -eq 1 ]'
check "refused: says so" 'grep -q "Abgebrochen, nichts geändert." "$out/refused/probe.out"'
check "refused: not one call" '[ ! -s "$out/refused/trace.txt" ]'

start=$(date +%s%N)
probe_in "$out/write" j -- --write
status=$?
echo "reading and writing: $((($(date +%s%N) - start) / 1000000)) ms (server start and stop included)"
cat "$out/write/probe.out"
check "write: ends with 0" '[ $status -eq 0 ]'
addin_calls='^(Frame|GetHWnd|GetLocalizedMenuName\(4\)): '
check "write: every call as the stand-in answers" \
  '! grep -q ", stand-in " "$out/write/probe.out" && grep -q "^GetType: wie erwartet" "$out/write/probe.out"'
check "write: the add-in's calls answered as expected" \
  '[ "$(grep -Ec "${addin_calls}wie erwartet" "$out/write/probe.out")" -eq 3 ]'
check "write: taken back by one Undo" 'grep -q "^Rückgängig: wie erwartet" "$out/write/probe.out" &&
  grep -q "^EditUndo2(I4 1)" "$out/write/trace.txt"'
check "write: the name scope settled" 'grep -q "^Namensbereich: wie erwartet" "$out/write/probe.out"'
check "write: the drawing read back unchanged" 'grep -q "^Zeichnung unverändert" "$out/write/probe.out"'
check "write: the profile written" 'grep -q "\"nameScope\": \"owner\"" "$out/write/hostprofile.json"'
check "write: the saved drawing is the one served" 'cmp -s "$drawing" "$out/write/drawing.json"'
check "write: the note deleted as Tarvenix deletes its own" \
  '[ "$(grep -c "^DeleteSelection(BOOL true) -> BOOL true" "$out/write/trace.txt")" -eq 1 ]'
check "write: the full path of the file written" \
  'tr -d "\\r" <"$out/write/probe.out" | grep -qE "^Geschrieben: [A-Z]:\\\\.+\\\\write\\\\hostprofile\\.json$"'
check "write: no command running, the idle subscription taken from outside the host" \
  'grep -q "^Laufender Befehl: keiner, wie erwartet" "$out/write/probe.out" &&
   grep -qE "^Leerlauf-Meldungen: angenommen, [1-9][0-9]* in einer Sekunde" "$out/write/probe.out"'
check "write: the open questions answered as the stand-in answers them" \
  'grep -q "^SelectByID mit Koordinaten als VT_I2: wie erwartet" "$out/write/probe.out" &&
   grep -q "^SelectByID mit Koordinaten als VT_R8: abgelehnt, wie erwartet" "$out/write/probe.out" &&
   grep -q "^Rückfrage bei DeleteSelection(True): keine, wie erwartet" "$out/write/probe.out" &&
   grep -q "^Select2 auf eine Notiz der Blattansicht: ausgewählt" "$out/write/probe.out" &&
   grep -q "^GetGroupDataFromRegistry (Protokoll des Add-ins): " "$out/write/probe.out"'
check "write: the verdict last" \
  '[ "$(tail -n 1 "$out/write/probe.out" | tr -d "\\r")" = "Keine Abweichung: Tarvenix kann verteilt werden." ]'

# The profile of a host that asks before deleting, takes 32-bit integers and Doubles for
# SelectByID's coordinates as well, and keeps what was selected under Select2(False, 0).
asking=$out/asking.json
sed -E -e 's/("question": "DeleteSelection\.confirm", "answer": )"none"/\1"Fenster „Löschen bestätigen“ (#32770)"/' \
  -e 's/("question": "SelectByID\.VT_(I4|R8)", "answer": )"[^"]*"/\1"true"/' \
  -e 's/("question": "Select2\.keepsFirst", "answer": )"false"/\1"true"/' "$out/write/hostprofile.json" >"$asking"
question='#32770::Löschen bestätigen'
# The user at the host: answers its question with "Ja" (#6) or "Nein" (#7) each time it comes up,
# until DIR/done appears.
answer_questions() { # DIR BUTTON
  while [ ! -e "$1/done" ]; do
    if "$run" "$driver" wait "$question" 500 >/dev/null 2>&1; then
      "$run" "$driver" click "$question" "$2" >/dev/null 2>&1 && echo answered >>"$1/answers"
    fi
  done
}
mkdir -p "$out/asks"
answer_questions "$out/asks" "#6" &
answerer=$!
probe_in "$out/asks" j --server-option --profile --server-option "$asking" -- --write
status=$?
touch "$out/asks/done"
wait $answerer
check "asks: ends with 0" '[ $status -eq 0 ]'
check "asks: the question seen and said at once, found again" \
  'grep -q "^SolidWorks zeigt während DeleteSelection(True) das Fenster „Löschen bestätigen“" "$out/asks/probe.out" &&
   grep -q "^Rückfrage bei DeleteSelection(True): Fenster „Löschen bestätigen“ (#32770)" "$out/asks/probe.out" &&
   grep -q "^-- the user answered Ja --" "$out/asks/trace.txt"'
check "asks: the other coordinates and the kept selection found again" \
  'grep -q "^SelectByID mit Koordinaten als VT_I4: angenommen (true), stand-in abgelehnt" "$out/asks/probe.out" &&
   grep -q "^SelectByID mit Koordinaten als VT_R8: angenommen (true), stand-in abgelehnt" "$out/asks/probe.out" &&
   grep -q "^Select2(False, 0) auf ein zweites Element: das erste bleibt ausgewählt" "$out/asks/probe.out"'
check "asks: the drawing as it was, the verdict against rolling out" \
  'grep -q "^Zeichnung unverändert" "$out/asks/probe.out" && cmp -s "$drawing" "$out/asks/drawing.json" &&
   tail -n 1 "$out/asks/probe.out" | grep -q "Tarvenix bitte noch nicht verteilen"'

# Tarvenix against that host, on a drawing with its earlier output: every deletion waits for the
# user's answer; answered, the run completes.
program=$out/program
build=$(cd "$(dirname "$tarvenix")" && while [ ! -f CMakeCache.txt ] && [ "$PWD" != / ]; do cd ..; done && pwd)
cmake --install "$build" --prefix "$program" >/dev/null
winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }
play_against() { # DIR BUTTON: a run played by the GUI driver, the host's questions answered
  mkdir -p "$1"
  answer_questions "$1" "$2" &
  local answering=$!
  timeout 180 "$fixture" --server "$server" --drawing "$root/samples/rerun-drawing.json" --out "$1" \
    --server-option --profile --server-option "$asking" -- \
    "$driver" playrun "$(winpath "$program/Tarvenix.exe")" "$(winpath "$1/trace.txt")" 60 2>&1 |
    tr -d '\r' >"$1/outcome.txt"
  touch "$1/done"
  wait $answering
}
play_against "$out/run-answered" "#6"
asked=$(grep -c "^-- the user answered Ja --" "$out/run-answered/trace.txt")
check "answered: the run completes, no message" \
  'grep -qx "ended 1" "$out/run-answered/outcome.txt" && ! grep -q "^message" "$out/run-answered/outcome.txt"'
check "answered: each deletion asked once" \
  '[ "$asked" -ge 2 ] && [ "$asked" -eq "$(grep -c "^DeleteSelection(BOOL true) -> BOOL true" "$out/run-answered/trace.txt")" ]'

export TARVENIX_TEST_HOST_BOUNDS=1500,3000
# Unanswered: the run ends after its bound for a host that does not answer, with its message;
# the question is answered "Nein" only after that, so that the host can stop.
mkdir -p "$out/run-unanswered"
( "$run" "$driver" wait "$question" 60000 >/dev/null 2>&1 && sleep 8 &&
  "$run" "$driver" click "$question" "#7" >/dev/null 2>&1 ) &
late=$!
start=$(date +%s%N)
timeout 180 "$fixture" --server "$server" --drawing "$root/samples/rerun-drawing.json" --out "$out/run-unanswered" \
  --server-option --profile --server-option "$asking" -- \
  "$driver" playrun "$(winpath "$program/Tarvenix.exe")" "$(winpath "$out/run-unanswered/trace.txt")" 60 2>&1 |
  tr -d '\r' >"$out/run-unanswered/outcome.txt"
wait $late
echo "unanswered question: the run and the host ended after $((($(date +%s%N) - start) / 1000000)) ms"
cat "$out/run-unanswered/outcome.txt"
check "unanswered: the run ends with the message for a host that does not answer" \
  'grep -q "^message SolidWorks antwortet nicht !" "$out/run-unanswered/outcome.txt" &&
   grep -qx "ended 1" "$out/run-unanswered/outcome.txt"'
check "unanswered: nothing deleted once the user said no" \
  'grep -q "^-- the user answered Nein --" "$out/run-unanswered/trace.txt" &&
   ! grep -q "^DeleteSelection(BOOL true) -> BOOL true" "$out/run-unanswered/trace.txt"'

start=$(date +%s%N)
probe_in "$out/hung" "" --server-option --hang-at --server-option 6 --
status=$?
took=$((($(date +%s%N) - start) / 1000000))
echo "hung host: the probe ended after ${took} ms (server start and stop included)"
check "hung: ends with 4" '[ $status -eq 4 ]'
check "hung: says so" 'grep -q "SolidWorks antwortet nicht ! Bitte die Zeichnung prüfen." "$out/hung/probe.out"'
check "hung: within the bound" '[ $took -lt 20000 ]'
check "hung: no profile" '[ ! -e "$out/hung/hostprofile.json" ]'
check "hung: the drawing untouched" 'cmp -s "$drawing" "$out/hung/drawing.json"'

# Busy from the call after the note's insertion on: the host takes nothing more, so the probe
# cannot take its symbol and note out again; it says so and names both.
# Calls only: the host's remarks (the drawing's events subscribed, given back) number none.
busy_at=$(($(grep -v '^--' "$out/write/trace.txt" | grep -n '^InsertNote(' | cut -d: -f1) + 1))
probe_in "$out/busy" j --server-option --busy-at --server-option "$busy_at" --server-option --busy-for \
  --server-option 60000 -- --write
status=$?
check "busy: ends with 4" '[ $status -eq 4 ]'
check "busy: says so" \
  'grep -q "SolidWorks ist beschäftigt ! Offenen Dialog schließen und neu starten." "$out/busy/probe.out"'
check "busy: names what it left" \
  'grep -A2 "In der Zeichnung geblieben, bitte von Hand löschen:" "$out/busy/probe.out" | grep -q "Notiz „TvxProbe“" &&
   grep -q "Oberflächensymbol mit Methode „TvxProbe“" "$out/busy/probe.out"'
check "busy: and that is what is left" \
  '[ "$(grep -c "\"TvxProbe\"" "$out/busy/drawing.json")" -eq 2 ]'
check "busy: nothing asked after the bound" '[ "$(grep -vc "^--" "$out/busy/trace.txt")" -eq $((busy_at - 1)) ]'

# Again in the same folder, reading only: the earlier profile stays as it was, the new one takes
# the next name, and the report says both.
# With the support file: the same report in it, the profile read, the seat.
cp "$out/write/hostprofile.json" "$out/write/first.json"
start=$(date +%s%N)
probe_in "$out/write" "" -- --bundle support.txt
status=$?
echo "reading only, with the support file: $((($(date +%s%N) - start) / 1000000)) ms (server start and stop included)"
check "again: ends with 0" '[ $status -eq 0 ]'
check "again: the earlier profile kept" 'cmp -s "$out/write/first.json" "$out/write/hostprofile.json"'
check "again: the new one beside it, said" 'grep -q "\"wrote\": false" "$out/write/hostprofile-2.json" &&
  grep -q "^Die frühere Datei .*hostprofile\.json bleibt unverändert" "$out/write/probe.out" &&
  tr -d "\\r" <"$out/write/probe.out" | grep -qE "^Geschrieben: .*hostprofile-2\\.json$"'
check "again: reading alone settles nothing of writing" \
  'tail -n 1 "$out/write/probe.out" | grep -q "^Keine Abweichung beim Lesen; das Schreiben ist ungeprüft"'
support=$out/write/support.txt
check "support file: its full path said before the verdict" \
  'tr -d "\\r" <"$out/write/probe.out" | tail -n 2 | head -n 1 | grep -qE "^Supportdatei \(bitte senden\): [A-Z]:\\\\.+\\\\support\\.txt$"'
check "support file: the seat" 'grep -qE "^Windows: Windows [0-9]+\.[0-9]+ Build [0-9]+.* \(Wine " "$support" &&
  grep -q "^SolidWorks-Revision: 0.0.0 stand-in" "$support" && grep -qE "^Monitor 1 .*, [0-9]+ dpi, [0-9]+ %" "$support"'
check "support file: the probe with its version and what WinVerifyTrust said" \
  'grep -qE "^tvx-hostprobe\.exe: [0-9]+ Bytes, Version [0-9]+\.[0-9]+\.[0-9]+\.[0-9]+, .*\(WinVerifyTrust 0x[0-9A-F]{8}\)" "$support"'
check "support file: the report and the read profile" \
  'grep -q "^Keine Abweichung beim Lesen" "$support" && grep -q "^  \"wrote\": false," "$support" &&
   grep -q "^===== Protokolle von Tarvenix =====" "$support"'

exit $((failures > 0))

#!/usr/bin/env bash
# tvx-hostprobe.exe under Wine: without a host it says so; against the stand-in host server,
# --write asks first and, refused, calls nothing; confirmed, it prints the summary, writes
# hostprofile.json, takes its inserts back with one Undo and saves the drawing byte for byte as
# it was; a hung host ends it with its
# message within the bounds, the drawing untouched; a host busy in the middle of writing ends it
# with its message and the names of what it could not take out again.
#   probe_e2e.sh PROBE.exe SERVER.exe DRAWING OUT
set -uo pipefail
probe=$1 server=$2 drawing=$3 out=$4
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
fixture=$root/scripts/with-hostserver.sh
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
(cd "$out/no-host" && timeout 60 "$root/scripts/wine-run.sh" "$probe" >"$out/no-host/probe.out" 2>&1)
status=$?
check "no host: ends with 3" '[ $status -eq 3 ]'
check "no host: says so" 'tr -d "\\r" <"$out/no-host/probe.out" | grep -qx "Keine aktive SolidWorks Instanz gefunden !"'
check "no host: no file" '[ ! -e "$out/no-host/hostprofile.json" ]'

probe_in "$out/refused" n -- --write
status=$?
check "refused: ends with 1" '[ $status -eq 1 ]'
check "refused: says so" 'grep -q "Abgebrochen, nichts geändert." "$out/refused/probe.out"'
check "refused: not one call" '[ ! -s "$out/refused/trace.txt" ]'

probe_in "$out/write" j -- --write
status=$?
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

export TARVENIX_TEST_HOST_BOUNDS=1500,3000
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

exit $((failures > 0))

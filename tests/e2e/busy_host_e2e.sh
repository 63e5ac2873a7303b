#!/usr/bin/env bash
# Tarvenix.exe under Wine when the host is slow or not ready: every call 50 ms late; rejected
# calls through the server's own message filter; a call that does not come back while the dialog
# is shown, during which the dialog still answers and paints. The slow and the rejecting host
# leave the drawing as a run on a ready host does; the hung one ends the program by itself.
#   busy_host_e2e.sh [--tarvenix EXE] [--server EXE] [--driver EXE] [--shots DIR]
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../gui/e2e_options.sh"
shots=
e2e_values="tarvenix server driver shots"
e2e_options "$@"
source "$root/tests/gui/e2e_lib.sh"

app=$work/app
make_program_folder "$app" "$tarvenix" "$root/samples" "$root/resources"
drawing=$here/fault-drawing.json
export TARVENIX_TEST_HOST_BOUNDS=1500,6000
shots=${shots:-$work/shots}
mkdir -p "$shots"

run_story() { # OUT [SERVER OPTIONS...]
  local out=$1
  shift
  mkdir -p "$out"
  serve "$drawing" "$@" || return 1
  play_run "$app" "$out" 120
  stop_server
  cp "$work/saved.json" "$out/drawing.json" 2>/dev/null
  cp "$work/trace.txt" "$out/trace.txt"
}
calls_of() { grep -v '^-- ' "$1"; }
completed_like_base() { # LABEL OUT
  expect "$1: ended without a message" "$(grep -v '^startup' "$2/outcome.txt")" "$(printf 'ended 1\ndialog 1')"
  expect "$1: the drawing a ready host gets" "$(cksum <"$2/drawing.json")" "$(cksum <"$base/drawing.json")"
  expect "$1: every call run once, as on a ready host" "$(calls_of "$2/trace.txt")" "$(cat "$base/trace.txt")"
}

echo "== a ready host"
base=$work/base
run_story "$base"
expect "ready: ended without a message" "$(grep -v '^startup' "$base/outcome.txt")" "$(printf 'ended 1\ndialog 1')"

echo "== every call 50 ms late"
started_ms=$(date +%s%3N)
run_story "$work/slow" --slow 50
echo "    $(wc -l <"$work/slow/trace.txt") calls, $(($(date +%s%3N) - started_ms)) ms"
completed_like_base "slow" "$work/slow"

echo "== calls turned away by the host's message filter (SERVERCALL_REJECTED) during placing"
n=$(grep -n '^InsertSurfaceFinishSymbol2' "$base/trace.txt" | head -n 1 | cut -d: -f1)
run_story "$work/filter" --busy-at "$n" --busy-for 700 --busy-by rejected
checks=$((checks + 1))
grep -q "^-- busy: the message filter turned away call $n --" "$work/filter/trace.txt" ||
  fail "filter: the host turned nothing away"
completed_like_base "filter" "$work/filter"

echo "== a call that does not come back while the dialog is shown"
n=$(grep -n '^GetProperties' "$base/trace.txt" | head -n 1 | cut -d: -f1)
out=$work/hung
mkdir -p "$out"
serve "$drawing" --hang-at "$n"
start_tarvenix "$app"
if drv wait "$main" 30000 >/dev/null; then
  drv click "$main" cmd_Ok >/dev/null
  for _ in $(seq 1 100); do
    grep -q '^-- hung' "$work/trace.txt" && break
    sleep 0.05
  done
  hung_ms=$(date +%s%3N)
  # The program waits for the host, yet its window answers and paints: grown by 60 pixels, the
  # new strip takes the dialog's own grey, not what was behind it.
  read -r _ _ w h < <(drv window "$main" | tr -d '\r')
  expect "hung: the dialog answers while it waits" "$(drv text "$main" cmd_Ok | tr -d '\r')" "Ok"
  drv resize "$main" $((w + 60)) "$h" >/dev/null
  shot "$shots/hung-call-dialog.png"
  read -r x y w2 h2 < <(drv client "$main" | tr -d '\r')
  expect "hung: the grown dialog is painted" "$(pixel "$shots/hung-call-dialog.png" $((x + w2 - 20)) $((y + h2 - 3)))" \
    "$(pixel "$shots/hung-call-dialog.png" $((x + 3)) $((y + h2 - 3)))"
  observe_run "$out" 30
  echo "    ended $(($(date +%s%3N) - hung_ms)) ms after the hang"
  expect "hung: ended by itself" "$(grep '^ended' "$out/outcome.txt")" "ended 1"
  expect "hung: the one message" "$(sed -n 's/^message //p' "$out/outcome.txt")" \
    "SolidWorks antwortet nicht ! Bitte die Zeichnung prüfen."
  stop_server
  expect "hung: nothing run from the hung call on" "$(calls_of "$work/trace.txt" | wc -l)" "$((n - 1))"
else
  fail "hung: no main dialog"
  stop_server
fi

finish

#!/usr/bin/env bash
# The fixture script end to end: a client that changes the drawing, one that fails, and after
# each the server gone from the running object table.
#   fixture_test.sh SCRIPT SERVER.exe CLIENT.exe DRAWING OUT
set -uo pipefail
script=$1 server=$2 client=$3 drawing=$4 out=$5
here=$(dirname "$script")
failures=0
check() {
  if ! eval "$2"; then
    echo "FAILED: $1" >&2
    failures=$((failures + 1))
  fi
}
before=$(sha256sum "$drawing")

"$script" --server "$server" --drawing "$drawing" --out "$out/touch" -- "$client" touch
status=$?
check "a passing client passes" '[ $status -eq 0 ]'
check "the note is in the saved drawing" 'grep -q "\"FixtureNote\"" "$out/touch/drawing.json"'
check "the trace shows the note inserted" \
  'grep -qx "InsertNote(BSTR \"Fixture\") -> DISPATCH Note" "$out/touch/trace.txt"'
check "the server is gone" '"$here/wine-run.sh" "$client" absent'

"$script" --server "$server" --drawing "$drawing" --out "$out/fail" -- "$client" fail
status=$?
check "a failing client's code is passed on" '[ $status -eq 1 ]'
check "the trace was left" '[ -s "$out/fail/trace.txt" ]'
check "the server is gone after a failure too" '"$here/wine-run.sh" "$client" absent'

"$script" --server "$server" --drawing "$drawing" --out "$out/discard" --no-save -- "$client" touch
check "without save the copy stays as it was" 'cmp -s "$drawing" "$out/discard/drawing.json"'

check "the input drawing was never touched" '[ "$(sha256sum "$drawing")" = "$before" ]'
exit $((failures > 0))

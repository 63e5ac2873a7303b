#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's prefix and passes on its exit code.
# CTest uses it as the emulator of the windows preset: wine-run.sh PROGRAM.exe [ARGS...]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/wine-env.sh"

if [ $# -eq 0 ]; then
  echo "usage: $0 PROGRAM.exe [ARGS...]" >&2
  exit 2
fi
# A prefix someone else chose is theirs to prepare; ours is made on first use.
if [ "$tvx_own_prefix" -eq 1 ]; then
  "$here/wine-prefix.sh"
fi

if [ -t 1 ]; then
  exec wine "$@"
fi

# Wine's service processes outlive the program and inherit its output. When that output is a
# pipe (CTest, a script reading it), the reader would wait for them too, seconds per run, so
# the program writes to files that are copied out once it has ended.
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
status=0
wine "$@" >"$out" 2>"$err" || status=$?
cat "$out"
cat "$err" >&2
exit "$status"

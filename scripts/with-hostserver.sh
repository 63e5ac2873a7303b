#!/usr/bin/env bash
# Runs a Windows client against the stand-in host server: serves a copy of a drawing file as the
# running "SldWorks.Application", waits until it is registered, runs the client, stops the server
# with "save" and leaves in the output folder what a test checks:
#   OUT/drawing.json  the drawing as the server saved it (a copy; the input is never touched)
#   OUT/trace.txt     one line per call the server received
#   OUT/server.log    the server's own output
# The server, and the wineserver when this script started it, are stopped however it ends.
#
#   scripts/with-hostserver.sh --server EXE --drawing FILE --out DIR [--no-save]
#                              [--server-option OPTION]... [-- CLIENT.exe [ARGS...]]
# The exit code is the client's when it failed, otherwise the server's (3: the save failed).
# Without a client it waits until the server ends by itself: its time is up, or its frame was
# closed (--server-option --addins --server-option --close-saves).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/wine-env.sh"

usage() {
  sed -n '2,14p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2
  exit 2
}

server_exe=${TVX_HOSTSERVER:-$tvx_root/build/windows/tools/hostserver/tvx-hostserver.exe}
drawing=
out=
stop_word=save
server_options=()
while [ $# -gt 0 ]; do
  case $1 in
    --server) server_exe=$2; shift 2 ;;
    --drawing) drawing=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    --no-save) stop_word=quit; shift ;;
    --server-option) server_options+=("$2"); shift 2 ;;
    --) shift; break ;;
    *) usage ;;
  esac
done
[ -n "$drawing" ] && [ -n "$out" ] || usage
[ -f "$server_exe" ] || { echo "no server at $server_exe" >&2; exit 2; }
[ -f "$drawing" ] || { echo "no drawing at $drawing" >&2; exit 2; }

if [ "$tvx_own_prefix" -eq 1 ]; then
  "$here/wine-prefix.sh"
fi

mkdir -p "$out"
out=$(cd "$out" && pwd)
rm -f "$out/ready" "$out/stop" "$out/stop.pending" "$out/trace.txt" "$out/server.log"
cp "$drawing" "$out/drawing.json"

# A wineserver someone else runs (scripts/test.sh keeps one for the whole run) is theirs to stop.
own_wineserver=1
if tvx_wineserver_running; then own_wineserver=0; fi

server_pid=
finish() {
  local status=$?
  if [ -n "$server_pid" ] && kill -0 "$server_pid" 2>/dev/null; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  if [ "$own_wineserver" -eq 1 ]; then
    wineserver -k >/dev/null 2>&1 || true
  fi
  exit "$status"
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The server's output goes to a file: Wine's helper processes inherit it and would hold a pipe open.
wine "$server_exe" --drawing "$out/drawing.json" --trace "$out/trace.txt" \
  --ready-file "$out/ready" --stop-file "$out/stop" --timeout 900 \
  ${server_options[@]+"${server_options[@]}"} </dev/null >"$out/server.log" 2>&1 &
server_pid=$!

# Bounded wait for the registration; a server that ends early has said why in its log.
for ((i = 0; i < 600; i++)); do
  [ -e "$out/ready" ] && break
  if ! kill -0 "$server_pid" 2>/dev/null; then
    echo "the host server ended before it was ready:" >&2
    cat "$out/server.log" >&2
    exit 1
  fi
  sleep 0.05
done
if [ ! -e "$out/ready" ]; then
  echo "the host server did not become ready within 30 s" >&2
  exit 1
fi

client_status=0
if [ $# -gt 0 ]; then
  "$here/wine-run.sh" "$@" || client_status=$?
else
  wait "$server_pid" || client_status=$?
  server_pid=
  if [ "$client_status" -ne 0 ]; then cat "$out/server.log" >&2; fi
  exit "$client_status"
fi

# Renamed into place, so the server never reads half a word.
printf '%s\n' "$stop_word" >"$out/stop.pending"
mv "$out/stop.pending" "$out/stop"
server_status=0
for ((i = 0; i < 600; i++)); do
  kill -0 "$server_pid" 2>/dev/null || break
  sleep 0.05
done
if kill -0 "$server_pid" 2>/dev/null; then
  echo "the host server did not stop within 30 s" >&2
  server_status=1
else
  wait "$server_pid" || server_status=$?
  server_pid=
fi
if [ "$server_status" -ne 0 ]; then
  cat "$out/server.log" >&2
fi

if [ "$client_status" -ne 0 ]; then exit "$client_status"; fi
exit "$server_status"

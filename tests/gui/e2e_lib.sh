# Shared by the end-to-end scripts: a work folder, a display, checks that count, the GUI
# driver, and screenshot sampling. Expects `driver` to name the driver exe.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
run=$root/scripts/wine-run.sh
convert=/usr/bin/convert
export LANG=C.UTF-8

work=$(mktemp -d)
started=()
xvfb_pid=
e2e_cleanup() {
  local pid
  for pid in "${started[@]}"; do kill "$pid" 2>/dev/null; done
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null; fi
  rm -rf "$work"
}
trap e2e_cleanup EXIT

if [ -z "${DISPLAY:-}" ]; then
  # wine-env.sh finds the display scripts/test.sh started, if there is one.
  source "$root/scripts/wine-env.sh"
fi
source "$root/scripts/addin-keys.sh"
if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 91 120); do
    [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$n"
    sleep 1
    break
  done
fi

failures=0
checks=0
failed=()
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
  failed+=("$*")
}
expect() { # LABEL ACTUAL EXPECTED
  checks=$((checks + 1))
  if [ "$2" != "$3" ]; then
    fail "$1"
    diff <(printf '%s\n' "$3") <(printf '%s\n' "$2") | sed 's/^/    /'
  fi
}
# Repeats what failed at the end, where a long script's log is read first.
finish() {
  local what
  for what in "${failed[@]}"; do echo "failed: $what"; done
  echo "$((checks - failures)) of $checks checks passed"
  [ "$failures" -eq 0 ]
}

drv() { "$run" "$driver" "$@"; }
drv_script() { "$run" "$driver" --script -; }
winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }

# Starts a Windows program in the background; its pid is in last_pid.
last_pid=
start_exe() { # EXE ARGS...
  "$run" "$@" >/dev/null 2>&1 &
  last_pid=$!
  started+=("$last_pid")
}

# The stand-in host server ($server) serving a drawing until stop_server. It saves to
# $work/saved.json and traces to $work/trace.txt; the drawing file itself is never written.
server_pid=
serve() { # DRAWING [SERVER OPTIONS...]
  local drawing=$1 i
  shift
  rm -f "$work/ready" "$work/stop" "$work/saved.json" "$work/trace.txt"
  start_exe "$server" --drawing "$(winpath "$drawing")" --stop-file "$(winpath "$work/stop")" \
    --save-to "$(winpath "$work/saved.json")" --ready-file "$(winpath "$work/ready")" \
    --trace "$(winpath "$work/trace.txt")" --timeout 300 "$@"
  server_pid=$last_pid
  for i in $(seq 1 600); do
    [ -f "$work/ready" ] && return 0
    sleep 0.05
  done
  fail "the stand-in host did not get ready"
  return 1
}
# The stand-in host hosting add-ins on DRAWING, once its frame is up; LABEL names the story in a
# failure. Fails only when the host never got ready.
serve_addins() { # LABEL DRAWING [SERVER OPTIONS...]
  local label=$1 drawing=$2
  shift 2
  serve "$drawing" --addins "$@" || return 1
  drv wait "$frame" 10000 >/dev/null || fail "$label: no host frame"
}
# A command the running host carries out from its stop file ("sheet NAME", "undo N"); it takes
# the file away once done.
host_command() { # TEXT
  local i
  printf '%s\n' "$1" >"$work/stop.new"
  mv "$work/stop.new" "$work/stop"
  for i in $(seq 1 200); do
    [ -e "$work/stop" ] || return 0
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.05
  done
  fail "the host did not carry out \"$1\""
  return 1
}
# Any host call that arrived while the host was in a modal state of its own (its "Optionen"
# dialog, its busy loop) or inside an operation of its own that dispatches messages fails the
# script: a real host may not be ready for it. So does a selection, deletion or insertion while a
# command of the host ran, which it does not do well.
stop_server() { # -> the drawing as the host holds it now, in $work/saved.json
  # Written beside it and renamed: a server that found the file still empty would stop unsaved.
  echo save >"$work/stop.new"
  mv "$work/stop.new" "$work/stop"
  expect_ended "$server_pid" "stand-in host"
  expect "no host call during the host's modal state" \
    "$(grep -c '^!! called during modal state' "$work/trace.txt" 2>/dev/null)" 0
  expect "no selection, deletion or insertion during a running command of the host" \
    "$(grep -c '^!! called during a running command' "$work/trace.txt" 2>/dev/null)" 0
  expect "no host call during the host's own operation" \
    "$(grep -c '^!! called during host operation' "$work/trace.txt" 2>/dev/null)" 0
}

# The program's folder as the install rules of TARVENIX.exe's build describe it: the program,
# its configuration, the previews.
make_program_folder() { # FOLDER TARVENIX.exe
  local build
  build=$(cd "$(dirname "$2")" && while [ ! -f CMakeCache.txt ] && [ "$PWD" != / ]; do cd ..; done && pwd)
  cmake --install "$build" --prefix "$1" >/dev/null
}

tarvenix_pid=
start_tarvenix() { # FOLDER
  start_exe "$1/Tarvenix.exe"
  tarvenix_pid=$last_pid
}

# The Windows process that start_exe's PID runs through scripts/wine-run.sh.
windows_process_of() { # PID
  pgrep -P "$1" | head -n 1
}

# Waits until the process has ended; fails the check when it does not within thirty seconds, a
# bound for a hang, not a speed: Wine on a loaded machine takes seconds to end a process.
# Its exit status is then in ended_status.
ended_status=
expect_ended() { # PID LABEL
  checks=$((checks + 1))
  local i
  for i in $(seq 1 300); do
    if ! kill -0 "$1" 2>/dev/null; then
      wait "$1" 2>/dev/null
      ended_status=$?
      return 0
    fi
    sleep 0.1
  done
  fail "$2: the program did not end"
  kill "$1" 2>/dev/null
  return 1
}

shot() { # FILE
  sleep 0.4
  import -window root "$1"
}

pixel() { # SHOT X Y -> r,g,b
  "$convert" "$1" -crop "1x1+$2+$3" +repage -format '%[fx:int(255*r+.5)],%[fx:int(255*g+.5)],%[fx:int(255*b+.5)]' info:
}

# Pixels of the screenshot's area that differ from the picture file's top-left corner.
differing_pixels() { # SHOT X Y W H PICTURE
  "$convert" "$1" -crop "$4x$5+$2+$3" +repage "$work/a.png"
  "$convert" "$6" -crop "$4x$5+0+0" +repage "$work/b.png"
  compare -metric AE "$work/a.png" "$work/b.png" null: 2>&1 | cut -d' ' -f1
}

main=tvx_MainForm::
gef=GEF::
title='Oberflächen - Assisten'
# The stand-in host's frame, and the add-in's command on its Extras menu.
frame=TvxHostFrame::
command="Oberflächenangabe..."

# Plays a user on the started Tarvenix until it ends: presses Ok in the main dialog once, reads
# and dismisses every message. Writes OUT/outcome.txt: "ended 0|1", "dialog 0|1", "startup N"
# (the host calls traced when the dialog showed) and one "message TEXT" line per message. A
# program still running after TIMEOUT seconds is killed and counts as not ended.
observe_run() { # OUT [TIMEOUT]
  local out=$1 limit=$((SECONDS + ${2:-60})) dialog=0 ended=0 state text
  : >"$out/outcome.txt"
  while [ "$SECONDS" -lt "$limit" ]; do
    if ! kill -0 "$tarvenix_pid" 2>/dev/null; then
      ended=1
      break
    fi
    state=$(printf 'visible %s\nvisible %s\n' "$gef" "$main" | drv_script 2>/dev/null | tr -d '\r' | paste -sd' ')
    case $state in
      "1 "*)
        if text=$(printf 'text %s Info\nclick %s Ok\ngone %s 10000\n' "$gef" "$gef" "$gef" | drv_script 2>/dev/null); then
          echo "message $(head -n 1 <<<"$text" | tr -d '\r')" >>"$out/outcome.txt"
        fi
        ;;
      "0 1")
        if [ "$dialog" -eq 0 ]; then
          dialog=1
          echo "startup $(wc -l <"$work/trace.txt")" >>"$out/outcome.txt"
          drv click "$main" cmd_Ok >/dev/null 2>&1
        fi
        ;;
    esac
    sleep 0.05
  done
  if [ "$ended" -eq 1 ]; then
    wait "$tarvenix_pid" 2>/dev/null
  else
    kill "$(windows_process_of "$tarvenix_pid")" "$tarvenix_pid" 2>/dev/null
  fi
  printf 'ended %s\ndialog %s\n' "$ended" "$dialog" >>"$out/outcome.txt"
}

# The same user as start_tarvenix and observe_run together, played from inside one driver process:
# starts FOLDER's Tarvenix.exe and writes OUT/outcome.txt with the same lines. For scripts that
# make many runs; a run needs no look of its own from the script while it lasts.
play_run() { # FOLDER OUT [TIMEOUT]
  drv playrun "$(winpath "$1/Tarvenix.exe")" "$(winpath "$work/trace.txt")" "${3:-60}" 2>&1 |
    tr -d '\r' >"$2/outcome.txt"
}

# The keys an installer writes for an add-in, taken away again when the script ends.
register_addin() { # CLSID DLL(windows path) TITLE
  tvx_addin_keys "$1" "$2" "$3" "$work/add.reg" "$work/remove.reg"
  "$run" regedit /S "$(winpath "$work/add.reg")" >/dev/null 2>&1
  trap '"$run" regedit /S "$(winpath "$work/remove.reg")" >/dev/null 2>&1; e2e_cleanup' EXIT
}

# The program's folder with Tarvenix.dll from ADDIN's build in it, registered as the add-in.
install_tarvenix_addin() { # FOLDER TARVENIX.exe ADDIN.dll
  make_program_folder "$1" "$2"
  cp "$3" "$(dirname "$3")"/command_*.bmp "$(dirname "$3")"/Tarvenix_*.bmp "$1/"
  register_addin "$tvx_addin_clsid" "$(winpath "$1/Tarvenix.dll")" Tarvenix
}

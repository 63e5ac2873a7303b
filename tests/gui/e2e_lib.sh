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
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
expect() { # LABEL ACTUAL EXPECTED
  checks=$((checks + 1))
  if [ "$2" != "$3" ]; then
    fail "$1"
    diff <(printf '%s\n' "$3") <(printf '%s\n' "$2") | sed 's/^/    /'
  fi
}
finish() {
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

# Waits until the process has ended; fails the check when it does not within ten seconds.
expect_ended() { # PID LABEL
  checks=$((checks + 1))
  local i
  for i in $(seq 1 100); do
    if ! kill -0 "$1" 2>/dev/null; then
      wait "$1" 2>/dev/null
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

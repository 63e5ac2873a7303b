#!/usr/bin/env bash
# The program's main job on the bundled sample drawing, as a designer meets it: installs and
# builds what is missing, opens the drawing in the stand-in host with Tarvenix.dll loaded as an
# add-in, and runs "Oberflächenangabe..." from its "Extras" menu.
#   scripts/run.sh [--headless] [--fresh] [--exe]
# On a usable display you click the command and work in the dialog yourself; the host's window
# shows the sheet and stays until you close it, which saves the drawing. Without one, or with
# --headless, the script plays the user on a virtual display: clicks the command, photographs the
# host with the dialog open, presses Ok, photographs the host again and closes it. --exe runs the
# standalone Tarvenix.exe against the host instead, as before the add-in. Either way the drawing
# is saved, its annotations are printed and a picture of the sheet is written. Everything lands
# in build/run/; the drawing there is kept between runs, so a second run works on the first
# one's result. --fresh starts again from samples/sample-drawing.json.
set -euo pipefail

usage() {
  echo "usage: scripts/run.sh [--headless] [--fresh] [--exe]" >&2
  exit 2
}
headless=0
fresh=0
exe=0
for arg in "$@"; do
  case $arg in
    --headless) headless=1 ;;
    --fresh) fresh=1 ;;
    --exe) exe=1 ;;
    *) usage ;;
  esac
done

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
user_display=${DISPLAY:-}
# Always our own prefix, and never a virtual display some test run left behind.
unset WINEPREFIX DISPLAY
source scripts/wine-env.sh
source scripts/addin-keys.sh
unset DISPLAY

sample=samples/sample-drawing.json
out=build/run
program=$out/program
title='Oberflächen - Assisten'
main_form=tvx_MainForm::
message=GEF::
frame=TvxHostFrame::
command='Oberflächenangabe...'
dialog_wait=60 # s until the dialog shows; the first start in a new prefix is the slowest
end_wait=60    # s from Ok until the program has ended and the drawing is saved

say() { printf '== %s\n' "$*"; }
die() {
  printf '%s: %s\n' "${0##*/}" "$*" >&2
  exit 1
}

# --- what is missing: packages, builds, the program folder, the Wine prefix -------------------
scripts/setup.sh || die "installing the packages failed"
[ -f "$sample" ] || die "the sample drawing $sample is missing"

build() { # PRESET TARGET...
  local preset=$1
  shift
  say "Building $* ($preset)"
  if [ ! -f "build/$preset/build.ninja" ]; then
    cmake --preset "$preset" >/dev/null || die "configuring the $preset build failed"
  fi
  cmake --build --preset "$preset" -j2 --target "$@" || die "the $preset build failed"
}
build native tvx-drawtool
# tvx-program is every target the install rules install, so the install below finds them all.
build windows tvx-program tvx-hostserver tvx-guidriver

drawtool=build/native/tools/drawtool/tvx-drawtool
tarvenix=build/windows/app/win32/Tarvenix.exe
server=build/windows/tools/hostserver/tvx-hostserver.exe
driver=build/windows/tools/guidriver/tvx-guidriver.exe
for f in "$drawtool" "$tarvenix" "$server" "$driver"; do
  [ -f "$f" ] || die "the build made no $f"
done

# The program reads its configuration and preview bitmaps from its own folder, which the install
# rules describe (cmake/program.cmake).
cmake --install build/windows --prefix "$program" >/dev/null || die "filling $program failed"

say "Wine prefix"
scripts/wine-prefix.sh || die "making the Wine prefix failed"
mkdir -p "$out"
if [ "$exe" -eq 0 ]; then
  # The add-in's keys go into a prefix of the run's own, made afresh each time, so no other run
  # of the stand-in host (the tests start it with --addins too) ever loads this add-in.
  tvx_derive_prefix "$WINEPREFIX" "$out/wineprefix"
  export WINEPREFIX=$root/$out/wineprefix
  dll=$(cd "$program" && pwd)/Tarvenix.dll
  tvx_addin_keys "$tvx_addin_clsid" "Z:${dll//\//\\}" Tarvenix "$out/addin.reg" "$out/addin-remove.reg"
fi

# --- the drawing: the last run's result, or a fresh copy of the sample -------------------------
rm -f "$out/dialog.png" "$out/host-before.png" "$out/host-after.png" "$out/drawing.svg" "$out/drawing-before.json"
if [ "$fresh" -eq 1 ] || [ ! -f "$out/drawing.json" ]; then
  source_drawing=$sample
else
  # The server's fixture copies its input to drawing.json, so the input must be another file.
  cp -f "$out/drawing.json" "$out/drawing-before.json"
  source_drawing=$out/drawing-before.json
fi

# --- display, wineserver, and cleaning up after both ------------------------------------------
if [ "$headless" -eq 0 ] && [ -n "$user_display" ] && DISPLAY=$user_display xdpyinfo >/dev/null 2>&1; then
  export DISPLAY=$user_display
else
  if [ "$headless" -eq 0 ]; then
    echo "No usable display${user_display:+ at $user_display}: running headless."
  fi
  headless=1
fi

own_wineserver=0
session_pid=
cleanup() {
  local status=$? i
  set +e
  # The session has a process group of its own: the fixture script, the server and the program.
  # A signal to the script alone would wait for the program to end first.
  if [ -n "$session_pid" ]; then
    kill -TERM -- "-$session_pid" 2>/dev/null
    for ((i = 0; i < 100; i++)); do
      kill -0 "$session_pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL -- "-$session_pid" 2>/dev/null
  fi
  if [ "$own_wineserver" -eq 1 ]; then
    tvx_stop_wineserver || echo "the wineserver did not stop within 5 s" >&2
  fi
  tvx_stop_xvfb
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

if [ "$headless" -eq 1 ]; then
  tvx_start_xvfb || die "no virtual display"
  say "Virtual display $DISPLAY"
fi
# One wineserver for the server, the program and every driver call, stopped at the end.
if ! tvx_wineserver_running; then
  wineserver -p </dev/null >/dev/null 2>&1
  own_wineserver=1
fi

drv() { scripts/wine-run.sh "$driver" --script - 2>&1; }

# One picture of the screen, cut to each WINDOW-PATTERN's window into its FILE (the whole screen
# when the window is not there).
shoot() { # FILE WINDOW-PATTERN [FILE WINDOW-PATTERN]...
  local x y w h shot
  shot=$(mktemp --suffix=.png)
  sleep 0.5 # a window paints after it answers
  import -window root "$shot"
  while [ $# -ge 2 ]; do
    if read -r x y w h < <(printf 'window %s\n' "$2" | drv) && [[ "$x $y $w $h" =~ ^[0-9]+\ [0-9]+\ [0-9]+\ [0-9]+$ ]]; then
      convert "$shot" -crop "${w}x${h}+$x+$y" +repage "$1"
    else
      cp "$shot" "$1"
    fi
    shift 2
  done
  rm -f "$shot"
}

# The host's window at a size that shows the sheet well, and, headless, the user's click on the
# add-in's command in its "Extras" menu.
open_host() { # WIDTH HEIGHT
  local answer
  answer=$(printf 'wait %s %d\nresize %s %d %d\n' "$frame" $((dialog_wait * 1000)) "$frame" "$1" "$2" | drv) ||
    die "the host's window did not show: $answer; its log: $out/server.log"
  [ "$headless" -eq 1 ] || return 0
  say "Extras > $command"
  answer=$(printf 'menu %s Extras "%s"\n' "$frame" "$command" | drv) || die "the host's menu has no command \"$command\": $answer"
}

# Plays the user: photographs the dialog (and the host with it) and presses Ok. Returns 1 when
# Tarvenix ended, or showed a message, instead of its dialog; gives up the whole run when it
# stops answering.
play_user() {
  local deadline=$((SECONDS + dialog_wait)) answer
  while :; do
    if answer=$(printf 'wait "%s" 2000\nvisible %s\n' "$title" "$main_form" | drv); then
      break
    fi
    if ! kill -0 "$session_pid" 2>/dev/null; then
      echo "Tarvenix or the host ended before the dialog showed." >&2
      return 1
    fi
    if [ "$SECONDS" -ge "$deadline" ]; then
      shoot "$out/dialog.png" "$main_form"
      die "no dialog within $dialog_wait s; the screen is in $out/dialog.png; the drawing was not saved"
    fi
  done

  if [ "${answer##*$'\n'}" != 1 ]; then
    local text
    text=$(printf 'text %s Info\n' "$message" | drv) || text="(unreadable)"
    shoot "$out/dialog.png" "$message"
    printf 'Tarvenix showed a message instead of its dialog: %s\n' "$text" >&2
    printf 'click %s Ok\n' "$message" | drv >/dev/null || die "the message could not be dismissed"
    return 1
  fi

  local fields kind method roughness
  # The lists answer only once the start-up has filled them.
  fields=$(printf 'text %s stdSFSSymbol\ntext %s stdSFSMet\ntext %s stdSFSRough\n' \
    "$main_form" "$main_form" "$main_form" | drv) || die "the dialog did not answer: $fields"
  { read -r kind; read -r method; read -r roughness; } <<<"$fields"
  printf 'Dialog: Symbol "%s", Methode "%s", max. Rauheit "%s"\n' "$kind" "$method" "$roughness"
  if [ "$exe" -eq 1 ]; then
    shoot "$out/dialog.png" "$main_form"
  else
    shoot "$out/dialog.png" "$main_form" "$out/host-before.png" "$frame"
  fi
  say "Pressing Ok"
  answer=$(printf 'click %s cmd_Ok\n' "$main_form" | drv) || die "Ok could not be pressed: $answer"
}

# After the run in the host: the host once it answers again, photographed, then closed, which
# saves the drawing. Closed also after a message, so the host ends.
close_host() {
  local answer
  kill -0 "$session_pid" 2>/dev/null || return 0
  printf 'gone %s %d\n' "$main_form" $((end_wait * 1000)) | drv >/dev/null
  # The frame answers once the run has ended on the host's thread (the driver waits up to 30 s).
  printf 'respond %s\n' "$frame" | drv >/dev/null
  if [ "${1:-}" = shoot ]; then
    shoot "$out/host-after.png" "$frame"
  fi
  answer=$(printf 'close %s\n' "$frame" | drv) || die "the host's window could not be closed: $answer"
}

# --- the run ----------------------------------------------------------------------------------
session=(scripts/with-hostserver.sh --server "$server" --drawing "$source_drawing" --out "$out")
if [ "$headless" -eq 0 ]; then
  # The user may take their time; the server's own limit ends it otherwise.
  session+=(--server-option --timeout --server-option 3600)
fi
if [ "$exe" -eq 1 ]; then
  session+=(-- "$program/Tarvenix.exe")
  say "Tarvenix.exe on $source_drawing (display $DISPLAY)"
else
  scripts/wine-run.sh regedit /S "$(printf 'Z:%s' "$(cd "$out" && pwd)/addin.reg" | tr / '\\')" ||
    die "the add-in's keys could not be written"
  # No client: the session ends when the host's window is closed, which saves the drawing.
  session+=(--server-option --addins --server-option --close-saves)
  say "The stand-in host with Tarvenix.dll on $source_drawing (display $DISPLAY)"
fi
# In the background even when the user works in the dialog: a signal then reaches the trap at
# once instead of after the program has ended. setsid gives it its own process group.
setsid "${session[@]}" </dev/null &
session_pid=$!
played=1
if [ "$exe" -eq 0 ]; then
  if [ "$headless" -eq 1 ]; then
    open_host 1240 960
    if play_user; then close_host shoot; else played=0 && close_host; fi
  else
    open_host 1000 740
    echo "In the host's window, choose \"$command\" from \"Extras\": Ok in the dialog places the symbols,"
    echo "Abbruch leaves the drawing as it was. Closing the host's window saves the drawing."
  fi
elif [ "$headless" -eq 1 ]; then
  play_user || played=0
else
  echo "Work in the dialog: Ok places the symbols, Abbruch leaves the drawing as it was."
fi
if [ "$headless" -eq 1 ]; then
  deadline=$((SECONDS + end_wait))
  while kill -0 "$session_pid" 2>/dev/null && [ "$SECONDS" -lt "$deadline" ]; do
    sleep 0.1
  done
  if kill -0 "$session_pid" 2>/dev/null; then
    die "the run did not end within $end_wait s; the drawing was not saved"
  fi
fi
status=0
wait "$session_pid" || status=$?
session_pid=
if [ "$status" -ne 0 ]; then
  echo "The host server's log: $out/server.log. To start again from the sample: scripts/run.sh --fresh" >&2
  die "the run failed (exit code $status)"
fi
[ "$played" -eq 1 ] || die "the dialog was not confirmed; $out/dialog.png shows what came instead"

# --- what the run did to the drawing ----------------------------------------------------------
say "Annotations of $out/drawing.json"
"$drawtool" list "$out/drawing.json"
"$drawtool" svg "$out/drawing.json" -o "$out/drawing.svg"
say "Files"
echo "  $out/drawing.json         the drawing as the host saved it"
if [ "$source_drawing" != "$sample" ]; then
  echo "  $out/drawing-before.json  the drawing before this run"
fi
echo "  $out/drawing.svg          a picture of the sheet"
if [ -f "$out/dialog.png" ]; then
  echo "  $out/dialog.png           the dialog as it showed"
fi
if [ -f "$out/host-before.png" ]; then
  echo "  $out/host-before.png      the host with the dialog open"
fi
if [ -f "$out/host-after.png" ]; then
  echo "  $out/host-after.png       the host after the run"
fi
echo "  $out/trace.txt            every call the host received"
say "Done in $SECONDS s"

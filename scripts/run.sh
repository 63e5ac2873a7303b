#!/usr/bin/env bash
# The program's main job on the bundled sample drawing: installs and builds what is missing,
# serves the drawing with the stand-in host server and starts Tarvenix.exe under Wine.
#   scripts/run.sh [--headless] [--fresh]
# On a usable display you work in the dialog yourself. Without one, or with --headless, the dialog
# opens on a virtual display, is photographed and confirmed with Ok. Either way the drawing is
# saved, its annotations are printed and a picture of the sheet is written. Everything lands in
# build/run/; the drawing there is kept between runs, so a second run works on the first one's
# result. --fresh starts again from samples/sample-drawing.json.
set -euo pipefail

usage() {
  echo "usage: scripts/run.sh [--headless] [--fresh]" >&2
  exit 2
}
headless=0
fresh=0
for arg in "$@"; do
  case $arg in
    --headless) headless=1 ;;
    --fresh) fresh=1 ;;
    *) usage ;;
  esac
done

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
user_display=${DISPLAY:-}
# Always our own prefix, and never a virtual display some test run left behind.
unset WINEPREFIX DISPLAY
source scripts/wine-env.sh
unset DISPLAY

sample=samples/sample-drawing.json
out=build/run
program=$out/program
title='Oberflächen - Assisten'
main_form=tvx_MainForm::
message=GEF::
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

# --- the drawing: the last run's result, or a fresh copy of the sample -------------------------
mkdir -p "$out"
rm -f "$out/dialog.png" "$out/drawing.svg" "$out/drawing-before.json"
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

shoot() { # WINDOW-PATTERN: the window, or the whole screen when it has none, to dialog.png
  local x y w h shot
  shot=$(mktemp --suffix=.png)
  sleep 0.5 # the dialog paints after it answers
  import -window root "$shot"
  if read -r x y w h < <(printf 'window %s\n' "$1" | drv) && [[ "$x $y $w $h" =~ ^[0-9]+\ [0-9]+\ [0-9]+\ [0-9]+$ ]]; then
    convert "$shot" -crop "${w}x${h}+$x+$y" +repage "$out/dialog.png"
  else
    mv "$shot" "$out/dialog.png"
  fi
  rm -f "$shot"
}

# Plays the user: photographs the dialog and presses Ok. Returns 1 when the program ended, or
# showed a message, instead of its dialog; gives up the whole run when it stops answering.
play_user() {
  local deadline=$((SECONDS + dialog_wait)) answer
  while :; do
    if answer=$(printf 'wait "%s" 2000\nvisible %s\n' "$title" "$main_form" | drv); then
      break
    fi
    if ! kill -0 "$session_pid" 2>/dev/null; then
      echo "Tarvenix.exe or the host server ended before the dialog showed." >&2
      return 1
    fi
    if [ "$SECONDS" -ge "$deadline" ]; then
      shoot "$main_form"
      die "no dialog within $dialog_wait s; the screen is in $out/dialog.png; the drawing was not saved"
    fi
  done

  if [ "${answer##*$'\n'}" != 1 ]; then
    local text
    text=$(printf 'text %s Info\n' "$message" | drv) || text="(unreadable)"
    shoot "$message"
    printf 'Tarvenix.exe showed a message instead of its dialog: %s\n' "$text" >&2
    printf 'click %s Ok\n' "$message" | drv >/dev/null || die "the message could not be dismissed"
    return 1
  fi

  local fields kind method roughness
  # The lists answer only once the start-up has filled them.
  fields=$(printf 'text %s stdSFSSymbol\ntext %s stdSFSMet\ntext %s stdSFSRough\n' \
    "$main_form" "$main_form" "$main_form" | drv) || die "the dialog did not answer: $fields"
  { read -r kind; read -r method; read -r roughness; } <<<"$fields"
  printf 'Dialog: Symbol "%s", Methode "%s", max. Rauheit "%s"\n' "$kind" "$method" "$roughness"
  shoot "$main_form"
  say "Pressing Ok"
  answer=$(printf 'click %s cmd_Ok\n' "$main_form" | drv) || die "Ok could not be pressed: $answer"
}

# --- the run ----------------------------------------------------------------------------------
session=(scripts/with-hostserver.sh --server "$server" --drawing "$source_drawing" --out "$out")
if [ "$headless" -eq 0 ]; then
  # The user may take their time; the server's own limit ends it otherwise.
  session+=(--server-option --timeout --server-option 3600)
fi
session+=(-- "$program/Tarvenix.exe")

say "Tarvenix.exe on $source_drawing (display $DISPLAY)"
# In the background even when the user works in the dialog: a signal then reaches the trap at
# once instead of after the program has ended. setsid gives it its own process group.
setsid "${session[@]}" </dev/null &
session_pid=$!
played=1
if [ "$headless" -eq 1 ]; then
  play_user || played=0
  deadline=$((SECONDS + end_wait))
  while kill -0 "$session_pid" 2>/dev/null && [ "$SECONDS" -lt "$deadline" ]; do
    sleep 0.1
  done
  if kill -0 "$session_pid" 2>/dev/null; then
    die "Tarvenix.exe did not end within $end_wait s; the drawing was not saved"
  fi
else
  echo "Work in the dialog: Ok places the symbols, Abbruch leaves the drawing as it was."
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
echo "  $out/trace.txt            every call the host received"
say "Done in $SECONDS s"

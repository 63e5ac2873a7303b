#!/usr/bin/env bash
# Tarvenix.dll inside the stand-in host under Wine, as a user meets it: registered with the keys an
# installer writes, loaded by the host at its start, the command clicked in the host's "Extras"
# menu, the dialog answered inside the host's process. Ok gives the drawing the exe's run gives
# (byte for byte) on the sample drawing, the re-run drawing and the second of three sheets;
# Abbruch leaves it as it was. The host lives on after each, and at its stop the add-in has left
# nothing behind. The host's frame shows the sheet after the run as the drawing tool's SVG of the
# saved drawing does, region by region; a frame that leaves a symbol out fails that comparison.
#   addin_e2e.sh [--tarvenix EXE] [--addin DLL] [--server EXE] [--driver EXE] [--sheet-svg EXE]
#                [--shot PNG]
# With --shot, a picture of the screen with the host's Extras menu open is kept in PNG.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../gui/e2e_options.sh"
sheet_svg=$build/tests/hosting/tvx_sheet_svg.exe
shot=
e2e_values="tarvenix addin server driver sheet_svg shot"
e2e_options "$@"
source "$root/tests/gui/e2e_lib.sh"

app=$work/app
install_tarvenix_addin "$app" "$tarvenix" "$addin"

# The host shows the command icon's key colour as transparent: on the toolbar the symbol stands on
# the toolbar's own background, with no square of the key colour or of white around it.
toolbar_shows_no_square() {
  local x y w h
  read -r x y w h < <(drv client "$frame" ToolbarWindow32:0 | tr -d '\r')
  shot "$work/toolbar.png"
  "$convert" "$work/toolbar.png" -crop "${w}x$h+$x+$y" +repage txt:- >"$work/toolbar.txt"
  expect "the toolbar's pixels of the key colour and of white" \
    "$(grep -c ' #C0C0C0 ' "$work/toolbar.txt") $(grep -c ' #FFFFFF ' "$work/toolbar.txt")" "0 0"
  expect "the symbol on the toolbar" "$(($(grep -c ' #000000 ' "$work/toolbar.txt") >= 10))" 1
}

# One click on the command, then BUTTON in the dialog; the host lives on.
click_in_host() { # LABEL BUTTON
  drv menu "$frame" Extras "$command" || fail "$1: the menu command was refused"
  drv wait "$main" 10000 >/dev/null || fail "$1: no dialog after the click"
  drv click "$main" "$2" >/dev/null 2>&1
  drv gone "$main" 10000 >/dev/null || fail "$1: the dialog stayed"
  expect "$1: no message" "$(drv visible "$gef" 2>/dev/null | tr -d '\r')" "0"
  kill -0 "$server_pid" 2>/dev/null || fail "$1: the host's process ended"
}

# The same, then the host is stopped with "save".
run_in_host() { # LABEL DRAWING BUTTON [SHEET]
  cp "$2" "$work/$1-before.json"
  serve_addins "$1" "$work/$1-before.json" || return 1
  if [ $# -gt 3 ]; then host_command "sheet $4"; fi
  [ "$1" = ok ] && toolbar_shows_no_square
  if [ -n "$shot" ]; then
    drv key "$frame" alt+x
    shot "$shot"
    drv key "$frame" escape
    drv key "$frame" escape
    shot=
  fi
  click_in_host "$1" "$3"
  stop_server
  expect "$1: the host's exit code" "$ended_status" 0
  expect "$1: the add-in left nothing" "$(grep -c -- '-- references left on host objects: 0' "$work/trace.txt")" 1
  expect "$1: the add-in could go" "$(grep -c -- '-> DllCanUnloadNow() = S_OK' "$work/trace.txt")" 1
}

echo "== Ok on the sample drawing: the exe's drawing"
run_in_host ok "$root/samples/sample-drawing.json" cmd_Ok
expect "ok: the drawing the exe's run gives" "$(cmp "$root/docs/bilder/beispiel-nachher.json" "$work/saved.json" 2>&1 && echo same)" same
expect "ok: the host's frame asked for, to own the dialog" "$(grep -c '^GetHWnd() -> I4 [1-9]' "$work/trace.txt")" 1

# The exe's run with Ok on the same drawing and sheet, in a host with the add-in loaded but never
# clicked: its saved drawing is what the add-in's run must give. An out-of-process client that
# ended cleanly leaves no reference the host counts against its add-ins.
exe_run() { # LABEL DRAWING [SHEET]
  mkdir -p "$work/$1-exe"
  cp "$2" "$work/$1-exe/before.json"
  serve "$work/$1-exe/before.json" --addins || return 1
  if [ $# -gt 2 ]; then host_command "sheet $3"; fi
  play_run "$app" "$work/$1-exe" 60
  stop_server
  expect "$1: the exe's run completed" "$(paste -sd' ' "$work/$1-exe/outcome.txt" | sed 's/^startup [0-9]* //')" "ended 1 dialog 1"
  expect "$1: the exe's host ended cleanly" "$ended_status" 0
  expect "$1: the exe left no reference counted" "$(grep -c -- '-- references left on host objects: 0$' "$work/trace.txt")" 1
  cp "$work/saved.json" "$work/$1-exe/after.json"
  expect "$1: the exe's run changed the drawing" "$(cmp -s "$2" "$work/saved.json" || echo changed)" changed
}

same_as_exe() { # LABEL DRAWING [SHEET]
  echo "== Ok on the $1 drawing: the exe's drawing"
  exe_run "$@" || return 1
  run_in_host "$1" "$2" cmd_Ok "${@:3}"
  expect "$1: the drawing the exe's run gives" "$(cmp "$work/$1-exe/after.json" "$work/saved.json" 2>&1 && echo same)" same
}
same_as_exe re-run "$root/samples/rerun-drawing.json"
same_as_exe three-sheet "$root/tests/e2e/three-sheets.json" Blatt2

# The sheet as the frame painted it ($work/frame.png, the paper only) and the drawing tool's SVG of
# the drawing the host then saved, rendered at the same size ($work/svg.png).
frame_and_svg() {
  local vx vy vw vh sw sh px py pw ph
  drv resize "$frame" 1000 740 >/dev/null || fail "the frame could not be resized"
  sleep 0.5
  read -r vx vy vw vh < <(drv client "$frame" TvxSheetView:0 | tr -d '\r')
  shot "$work/screen.png"
  stop_server
  "$run" "$sheet_svg" "$(winpath "$work/saved.json")" "$(winpath "$work/saved.svg")" || fail "no SVG of the saved drawing"
  read -r sw sh < <(sed -n 's/.*<svg [^>]*width="\([0-9.]*\)mm" height="\([0-9.]*\)mm".*/\1 \2/p' "$work/saved.svg")
  # Where the frame puts the sheet: the largest scale that fits, centred.
  read -r px py pw ph < <(awk -v W="$vw" -v H="$vh" -v sw="$sw" -v sh="$sh" 'BEGIN {
    s = W / sw; if (H / sh < s) s = H / sh
    l = (W - sw * s) / 2; t = (H - sh * s) / 2
    x0 = int(l + 0.5); y0 = int(t + 0.5); print x0, y0, int(l + sw * s + 0.5) - x0, int(t + sh * s + 0.5) - y0 }')
  "$convert" "$work/screen.png" -crop "${pw}x${ph}+$((vx + px))+$((vy + py))" +repage "$work/frame.png"
  rsvg-convert -w "$pw" -h "$ph" -b white "$work/saved.svg" -o "$work/svg.png"
}

# Regions of 16 pixels square whose mean grey differs by more than 12 % (the two rasterizers'
# antialiasing and hinting stay under 8 %; a symbol left out makes 18 %).
differing_regions() {
  local w h cw ch
  read -r w h < <(identify -format '%w %h' "$work/frame.png")
  cw=$((w / 16)) ch=$((h / 16))
  "$convert" \( "$work/frame.png" -colorspace gray -crop "$((cw * 16))x$((ch * 16))+0+0" +repage -filter box -resize "${cw}x${ch}!" \) \
    \( "$work/svg.png" -colorspace gray -crop "$((cw * 16))x$((ch * 16))+0+0" +repage -filter box -resize "${cw}x${ch}!" \) \
    -compose difference -composite -depth 8 txt:- |
    awk -F'[ ,:()]+' 'NR > 1 && $4 > 255 * 0.12 { n++ } END { print n + 0 }'
}

echo "== The frame after a run: the sheet as the SVG of the saved drawing"
serve_addins "frame" "$root/samples/sample-drawing.json" || exit 1
click_in_host frame cmd_Ok
frame_and_svg
expect "frame: the run's symbols and note were placed" "$(grep -c 'InsertNote' "$work/trace.txt")" 1
expect "frame: regions that differ from the SVG" "$(differing_regions)" 0
echo "== A frame that leaves a symbol out: the comparison fails"
TVX_TEST_FRAME_LEAVE_OUT_SYMBOL=1 serve_addins "wrong frame" "$root/samples/sample-drawing.json" || exit 1
frame_and_svg
expect "wrong frame: differing regions found" "$(($(differing_regions) > 0))" 1

echo "== Abbruch: the drawing as it was"
run_in_host cancel "$root/samples/sample-drawing.json" cmd_Cancel
expect "cancel: the drawing as it was" "$(cmp "$root/samples/sample-drawing.json" "$work/saved.json" 2>&1 && echo same)" same

finish

#!/usr/bin/env bash
# Both dialogs at 96, 120, 144 and 192 DPI under Wine. Each DPI gets a Wine prefix of its own: the
# project prefix's registry with LogPixels set, its drive shared. There the in-process checks run
# (every control's rectangle and font, text against its control, the measuring), then the demo
# is read from outside by the GUI driver, its preview compared, and one screenshot of each dialog
# kept in OUT_DIR as main-dialog-DPI.png and message-dialog-DPI.png. At 144 DPI both dialogs are
# shown once more after a drag from a 96-DPI monitor (WM_DPICHANGED, played by the demo) and must
# be the picture of the ones made at 144 (kept as *-144-from-96.png).
#   display_scale_e2e.sh TESTS.exe DEMO.exe GUIDRIVER.exe RESOURCES_DIR OUT_DIR
set -uo pipefail

tests=$1
demo=$2
driver=$3
resources=$4
out=$5
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

source "$here/../../scripts/wine-env.sh"
if [ "$tvx_own_prefix" -eq 1 ]; then
  "$here/../../scripts/wine-prefix.sh" || exit 1
fi
base=$WINEPREFIX
# A display of its own: no other test's window can stand over these, and no lock is needed.
tvx_start_xvfb || exit 1
source "$here/e2e_lib.sh"
xvfb_pid=$tvx_xvfb_pid
prefixes=()
stop_prefixes() {
  local p
  for p in "${prefixes[@]}"; do WINEPREFIX=$p wineserver -k >/dev/null 2>&1; done
  e2e_cleanup
}
trap stop_prefixes EXIT

make_prefix() { # DPI -> the prefix's path
  local p=$work/prefix-$1
  tvx_derive_prefix "$base" "$p"
  sed -i "s/^\"LogPixels\"=dword:.*/\"LogPixels\"=dword:$(printf '%08x' "$1")/" "$p/system.reg" "$p/user.reg"
  printf '%s' "$p"
}

px() { echo $((($1 * dpi + 720) / 1440)); } # twips to pixels, as MulDiv rounds

save_window() { # SHOT WINDOW FILE
  local x y w h
  read -r x y w h < <(drv window "$2")
  "$convert" "$1" -crop "${w}x${h}+$x+$y" +repage "$3"
}

# The demo's dialog once more, dragged here from 96 DPI: the same client rectangle and the same
# pixels in it as the one made here (SHOT, taken with it at CLIENT), but for at most BLINKING ones.
same_after_move() { # WINDOW SHOT CLIENT NAME BLINKING DEMO-ARGS...
  local window=$1 made=$2 client=$3 name=$4 blinking=$5 x y w h differing
  shift 5
  start_exe "$app/demo.exe" --came-from 96 "$@"
  drv wait "$window" >/dev/null || fail "$name never appeared after the move"
  expect "$name's client rectangle after the move" "$(drv client "$window" | tr -d '\r')" "$client"
  shot "$work/moved.png"
  save_window "$work/moved.png" "$window" "$out/$name-$dpi-from-96.png"
  read -r x y w h <<<"$client"
  "$convert" "$made" -crop "${w}x$h+$x+$y" +repage "$work/made-client.png"
  differing=$(differing_pixels "$work/moved.png" "$x" "$y" "$w" "$h" "$work/made-client.png")
  echo "$name after the move from 96 DPI: $differing pixels differ (allowed: $blinking)"
  expect "$name's pixels after the move" "$((differing <= blinking))" 1
  drv close "$window"
  expect_ended "$last_pid" "$name after the move"
}

mkdir -p "$out"
app=$work/app
mkdir -p "$app"
cp "$demo" "$app/demo.exe"
cp "$resources/symbol_01.bmp" "$app/"
long_message='Mehr als 21 Oberflächensymbole eines früheren Laufs gefunden !'

for dpi in 96 120 144 192; do
  echo "== $dpi DPI"
  WINEPREFIX=$(make_prefix "$dpi")
  export WINEPREFIX
  prefixes+=("$WINEPREFIX")
  # One wineserver for the DPI's programs, as scripts/test.sh keeps one for the project's prefix:
  # otherwise each program's end lets it exit, racing the next program's start.
  wineserver -p </dev/null >/dev/null 2>&1
  expect "the driver sees $dpi DPI" "$(drv dpi | tr -d '\r')" "$dpi"

  checks=$((checks + 1))
  if ! TVX_EXPECT_DPI=$dpi "$run" "$tests" --gtest_brief=1 >"$work/tests.log" 2>&1; then
    fail "in-process checks at $dpi DPI"
    sed 's/^/    /' "$work/tests.log"
  fi
  grep '^largest' "$work/tests.log"

  start_exe "$app/demo.exe"
  drv wait "$main" >/dev/null || fail "main dialog never appeared at $dpi DPI"
  read -r cx cy cw ch < <(drv client "$main")
  expect "main dialog's client area" "$cw $ch" "$(px 4155) $(px 2565)"
  expect "kind box, method box and Ok from outside" \
    "$(printf 'rect %s stdSFSSymbol\nrect %s stdSFSMet\nrect %s cmd_Ok\n' "$main" "$main" "$main" | drv_script | tr -d '\r')" \
    "$(px 120) $(px 360) $(px 2175) $(px 420)
$(px 120) $(px 1200) $(px 2175) $(px 315)
$(px 3120) $(px 2040) $(px 855) $(px 375)"
  shot "$work/main.png"
  save_window "$work/main.png" "$main" "$out/main-dialog-$dpi.png"

  # Spanend's 24-pixel preview, as the dialog places it (see placePicture).
  read -r bx by bw bh < <(drv client "$main" sfsPic)
  scale=$((dpi >= 192 ? 2 : 1))
  side=$((24 * scale))
  left=$((side < bw ? (bw - side) / 2 : 0))
  top=$((side < bh ? (bh - side) / 2 : 0))
  w=$((side < bw ? side : bw))
  h=$((side < bh ? side : bh))
  "$convert" "$resources/symbol_01.bmp" -scale "$((100 * scale))%" "$work/preview.png"
  expect "preview at $dpi DPI" \
    "$(differing_pixels "$work/main.png" $((bx + left)) $((by + top)) "$w" "$h" "$work/preview.png")" 0
  drv close "$main"
  expect_ended "$last_pid" "main dialog at $dpi DPI"
  # The caret blinks in the kind box: one or two pixels wide, as high as the box at most.
  [ "$dpi" -eq 144 ] && same_after_move "$main" "$work/main.png" "$cx $cy $cw $ch" main-dialog $((2 * $(px 420)))

  start_exe "$app/demo.exe" --raise "$long_message"
  drv wait "$gef" >/dev/null || fail "message never appeared at $dpi DPI"
  read -r cx cy cw ch < <(drv client "$gef")
  expect "message's client area" "$cw $ch" "$(px 3615) $(px 1305)"
  shot "$work/gef.png"
  save_window "$work/gef.png" "$gef" "$out/message-dialog-$dpi.png"
  drv click "$gef" Ok
  expect_ended "$last_pid" "message at $dpi DPI"
  [ "$dpi" -eq 144 ] && same_after_move "$gef" "$work/gef.png" "$cx $cy $cw $ch" message-dialog 0 --raise "$long_message"
  WINEPREFIX=$WINEPREFIX wineserver -k >/dev/null 2>&1
done
echo "Screenshots in $out"
finish

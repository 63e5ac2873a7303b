#!/usr/bin/env bash
# The dialogs end to end under Wine: the demo program shows them as the start-up does, the GUI
# driver plays the user from another process, and screenshots prove colours and pictures.
#   dialogs_e2e.sh DEMO.exe GUIDRIVER.exe RESOURCES_DIR [SCREENSHOT_DIR]
# Uses the display in DISPLAY, or starts its own Xvfb. With SCREENSHOT_DIR it also saves
# main-dialog.png and message-dialog.png there.
set -uo pipefail

demo=$1
driver=$2
resources=$3
screenshots=${4:-}
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"

save_window() { # SHOT WINDOW NAME
  [ -n "$screenshots" ] || return 0
  mkdir -p "$screenshots"
  local x y w h
  read -r x y w h < <(drv window "$2")
  "$convert" "$1" -crop "${w}x${h}+$x+$y" +repage "$screenshots/$3"
}

# An app folder holding a copy of the demo and the given preview files.
app_folder() { # NAME FILES...
  local dir=$work/$1
  shift
  mkdir -p "$dir"
  cp "$demo" "$dir/demo.exe"
  local f
  for f in "$@"; do cp "$resources/$f" "$dir/"; done
  printf '%s' "$dir"
}

demo_pid=
start_demo() { # FOLDER ARGS...
  local dir=$1
  shift
  rm -f "$work/out.txt"
  start_exe "$dir/demo.exe" --out "$(winpath "$work/out.txt")" "$@"
  demo_pid=$last_pid
}

# ---------------------------------------------------------------------------------------------
echo "== main dialog: layout, lists, focus and colours"
full=$(app_folder full symbol_00.bmp symbol_01.bmp symbol_02.bmp)
start_demo "$full"
drv wait "$main" >/dev/null || fail "main dialog never appeared"
shot "$work/first.png"
save_window "$work/first.png" "$main" main-dialog.png

layout_queries="rect $main stdSFSSymbol
rect $main stdSFSRough
rect $main cmd_Ok
rect $main cmd_Cancel
rect $main sfsPic
rect $main txtCalc
rect $main Label1
rect $main Label2
rect $main stdSFSMet
rect $main Label3
rect $main Label4"
layout_expected="8 24 145 28
200 24 65 28
208 136 57 25
8 136 65 25
160 24 27 27
128 136 25 17
8 8 41 17
8 64 57 17
8 80 145 21
200 8 73 17
200 88 65 17"
expect "control rectangles" "$(drv_script <<<"$layout_queries")" "$layout_expected"

state=$(drv_script <<EOF
topmost $main
text $main
visible $main txtCalc
text $main stdSFSSymbol
index $main stdSFSSymbol
text $main stdSFSRough
text $main stdSFSMet
text $main Label1
text $main Label2
text $main Label3
text $main Label4
text $main cmd_Ok
text $main cmd_Cancel
focus $main
items $main stdSFSSymbol
items $main stdSFSRough
items $main stdSFSMet
EOF
)
expect "start state" "$state" "1
$title
0
Spanend
1
1,6

Symbol
Methode
max. Rauheit
V1.2 / Zyr
Ok
Abbruch
stdSFSSymbol
count 3
Grundlegend
Spanend
Roh
count 6

0,4
0,8
1,6
3,2
6,4
count 3

geschliffen
poliert"
read -r _ _ cw ch < <(drv client "$main")
expect "client size" "$cw $ch" "277 171"

tabs=$(drv_script <<EOF
key $main tab
focus $main
key $main tab
focus $main
key $main tab
focus $main
key $main tab
focus $main
key $main tab
focus $main
key $main tab
focus $main
key $main shift+tab
focus $main
EOF
)
expect "tab order" "$tabs" "stdSFSRough
cmd_Ok
cmd_Cancel
sfsPic
stdSFSMet
stdSFSSymbol
stdSFSMet"

shot "$work/main.png"
read -r cx cy _ _ < <(drv client "$main")
at() { pixel "$work/main.png" $((cx + $1)) $((cy + $2)); }
expect "background" "$(at 100 110)" "160,160,176"
expect "label without a background of its own" "$(at 47 22)" "160,160,176"
expect "method box background" "$(at 100 90)" "180,226,219"
expect "kind box background" "$(at 130 38)" "180,226,219"
expect "roughness box background" "$(at 240 38)" "180,226,219"
expect "line" "$(at 8 120) $(at 100 120) $(at 264 120)" "0,0,0 0,0,0 0,0,0"
expect "line is one pixel wide" "$(at 100 119) $(at 100 121) $(at 265 120)" "160,160,176 160,160,176 160,160,176"
checks=$((checks + 1))
"$convert" "$work/main.png" -crop "65x17+$((cx + 200))+$((cy + 88))" +repage -format %c histogram:info:- \
  | grep -q '(179,179,179)' || fail "Label4 is not drawn in light grey"
expect "preview of Spanend" "$(differing_pixels "$work/main.png" $((cx + 162)) $((cy + 26)) 23 23 "$resources/symbol_01.bmp")" 0

echo "== main dialog: the kind cannot be typed over, Enter and Escape press nothing, resizing moves nothing"
after=$(drv_script <<EOF
type $main stdSFSSymbol xy
text $main stdSFSSymbol
index $main stdSFSSymbol
key $main enter
key $main escape
visible $main
resize $main 520 420
EOF
)
expect "kind box after typing, Enter and Escape" "$after" "Spanend
1
1"
expect "control rectangles after resizing" "$(drv_script <<<"$layout_queries")" "$layout_expected"
read -r _ _ cw ch < <(drv client "$main")
[ "$cw" -gt 400 ] || fail "the window did not grow"
shot "$work/resized.png"
read -r cx cy _ _ < <(drv client "$main")
expect "grown area shows the background" "$(pixel "$work/resized.png" $((cx + cw - 20)) $((cy + ch - 20)))" "160,160,176"
[ -f "$work/out.txt" ] && fail "a key pressed a button: $(cat "$work/out.txt")"

echo "== main dialog: typed texts and the chosen kind reach Ok unchanged"
drv_script >/dev/null <<EOF
select $main stdSFSSymbol 2
type $main stdSFSMet "fein gedreht"
type $main stdSFSRough "12,5 ä"
EOF
shot "$work/roh.png"
read -r cx cy _ _ < <(drv client "$main")
expect "preview of Roh" "$(differing_pixels "$work/roh.png" $((cx + 162)) $((cy + 26)) 23 23 "$resources/symbol_02.bmp")" 0
drv click "$main" cmd_Ok
expect_ended "$demo_pid" "Ok"
expect "Ok's values" "$(cat "$work/out.txt" 2>/dev/null)" "kind=2
method=fein gedreht
roughness=12,5 ä"

echo "== main dialog: Cancel and the close command end the run"
start_demo "$full" --kind 0 --rough 3,2 --method poliert
drv wait "$main" >/dev/null
expect "preselected from slot 0" "$(printf 'text %s stdSFSSymbol\ntext %s stdSFSRough\ntext %s stdSFSMet\n' "$main" "$main" "$main" | drv_script)" "Grundlegend
3,2
poliert"
drv click "$main" cmd_Cancel
expect_ended "$demo_pid" "Cancel"
expect "Cancel" "$(cat "$work/out.txt" 2>/dev/null)" "cancel"

start_demo "$full"
drv wait "$main" >/dev/null
drv close "$main"
expect_ended "$demo_pid" "close command"
expect "close command" "$(cat "$work/out.txt" 2>/dev/null)" "closed"

echo "== preview: design-time picture without files, the last one kept when a file is missing or broken"
bare=$(app_folder bare)
start_demo "$bare"
drv wait "$main" >/dev/null
shot "$work/bare.png"
read -r cx cy _ _ < <(drv client "$main")
expect "design-time picture" "$(differing_pixels "$work/bare.png" $((cx + 162)) $((cy + 26)) 23 23 "$resources/design_preview.bmp")" 0
drv close "$main"
expect_ended "$demo_pid" "close"

one=$(app_folder one symbol_01.bmp)
head -c 100 "$resources/symbol_00.bmp" >"$one/symbol_00.bmp"
start_demo "$one"
drv wait "$main" >/dev/null
for kind in 2 0; do
  drv select "$main" stdSFSSymbol "$kind"
  shot "$work/one-$kind.png"
  read -r cx cy _ _ < <(drv client "$main")
  expect "Spanend's preview kept after choosing $kind" \
    "$(differing_pixels "$work/one-$kind.png" $((cx + 162)) $((cy + 26)) 23 23 "$resources/symbol_01.bmp")" 0
done
drv close "$main"
expect_ended "$demo_pid" "close"

# ---------------------------------------------------------------------------------------------
echo "== message dialog: each start-up failure alone, topmost, centred, Ok focused"
n=0
while IFS= read -r message; do
  n=$((n + 1))
  start_demo "$bare" --raise "$message"
  drv wait "$gef" >/dev/null || fail "no message for: $message"
  seen=$(drv_script <<EOF
topmost $gef
text $gef
text $gef Info
focus $gef
visible $main
EOF
)
  expect "message $n" "$seen" "1
$title
$message
Ok
0"
  if [ "$n" -eq 1 ]; then
    expect "message rectangles" "$(printf 'rect %s Info\nrect %s Ok\nrect %s Picture1\n' "$gef" "$gef" "$gef" | drv_script)" \
      "49 10 184 33
176 56 57 25
8 8 33 33"
    read -r gx gy gw gh < <(drv client "$gef")
    expect "message client size" "$gw $gh" "241 87"
    read -r wx wy ww wh < <(drv window "$gef")
    read -r sw sh < <(xdpyinfo | awk '/dimensions:/ { split($2, d, "x"); print d[1], d[2] }')
    checks=$((checks + 1))
    dx=$((2 * wx + ww - sw))
    dy=$((2 * wy + wh - sh))
    [ "${dx#-}" -le 2 ] && [ "${dy#-}" -le 2 ] || fail "message not centred: $wx $wy $ww $wh on $sw x $sh"
    shot "$work/gef.png"
    save_window "$work/gef.png" "$gef" message-dialog.png
    expect "message icon's white background" "$(pixel "$work/gef.png" $((gx + 8)) $((gy + 8)))" "255,255,255"
    expect "message icon's cross" "$(pixel "$work/gef.png" $((gx + 8 + 15)) $((gy + 8 + 15)))" "255,255,255"
    expect "message icon's disc" "$(pixel "$work/gef.png" $((gx + 8 + 15)) $((gy + 8 + 6)))" "255,0,0"
  fi
  # Ok for the odd ones, the window's close command for the even ones.
  if [ $((n % 2)) -eq 1 ]; then drv click "$gef" Ok; else drv close "$gef"; fi
  expect_ended "$demo_pid" "message $n"
  expect "dismissed message $n" "$(cat "$work/out.txt" 2>/dev/null)" "raised"
done <<'EOF'
Konfiguration >Tarvenix.txt< nicht gefunden oder fehlerhaft !
Keine aktive SolidWorks Instanz gefunden !
Kein SolidWorks Dokument geladen !
Es werden nur SolidWorks Zeichnungen unterstützt !
EOF

echo "== message dialog over the main dialog: both topmost, the message takes all input"
start_demo "$bare" --raise-on-ok "Fehler bei der Berechnung !"
drv wait "$main" >/dev/null
drv click "$main" cmd_Ok
drv wait "$gef" >/dev/null || fail "no message over the main dialog"
over=$(drv_script <<EOF
topmost $gef
topmost $main
visible $main
enabled $main
focus $gef
text $gef Info
key $gef escape
visible $gef
key $gef enter
EOF
)
expect "message over the main dialog" "$over" "1
1
1
0
Ok
Fehler bei der Berechnung !
1"
expect_ended "$demo_pid" "Enter on Ok"
expect "dismissed by Enter" "$(cat "$work/out.txt" 2>/dev/null)" "raised"

finish

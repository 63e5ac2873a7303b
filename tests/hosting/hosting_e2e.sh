#!/usr/bin/env bash
# The stand-in host hosting an add-in under Wine, played by the GUI driver and the stop file:
# loaded from the registry at start and again by path, its menu item and toolbar button in the
# frame, each way of clicking reaching the callback after the enable method, a disabled command
# not called, a menu item only on its document type's menu, every command gone after unloading;
# an add-in that refuses to connect, one that keeps a reference to a host object, which the host
# reports at its stop (exit code 5), and one that throws (reported, the host goes on) and then
# faults (named, exit code 6).
#   hosting_e2e.sh [--server EXE] [--driver EXE] [--addin DLL] [--samples DIR] [--shot PNG]
# With --shot, a picture of the screen with the frame's Extras menu open is kept in PNG.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../gui/e2e_options.sh"
addin=$build/tests/hosting/tvx_test_addin.dll
samples=$root/samples
shot=
e2e_values="server driver addin samples shot"
e2e_options "$@"
source "$root/tests/gui/e2e_lib.sh"

toolbar=ToolbarWindow32:0
clsid='{9D150035-8215-4525-AC95-CA2D4CBB951A}'
mkdir -p "$work/addin"
cp "$addin" "$work/addin/tvx_test_addin.dll"
dll=$(winpath "$work/addin/tvx_test_addin.dll")
convert -size 20x20 xc:'#2f5fb0' BMP3:"$work/icons.bmp"
export TVX_TESTADDIN_RECORD TVX_TESTADDIN_ICONS TVX_TESTADDIN_MODE=
TVX_TESTADDIN_RECORD=$(winpath "$work/record.txt")
TVX_TESTADDIN_ICONS=$(winpath "$work/icons.bmp")
cat >"$work/no-document.json" <<'JSON'
{ "format": 1, "document": null }
JSON
cat >"$work/part.json" <<'JSON'
{ "format": 1, "document": { "type": 1, "sheets": [] } }
JSON

# The keys an installer writes: the class, listed in the Add-in Manager, started with the host.
register_addin "$clsid" "$dll" Testzusatz

# A stop-file command the host acts on and takes away, then goes on.
host_says() { # COMMAND...
  local i
  echo "$*" >"$work/stop.new"
  mv "$work/stop.new" "$work/stop"
  for i in $(seq 1 200); do
    [ -f "$work/stop" ] || return 0
    sleep 0.05
  done
  fail "the host did not act on \"$*\""
}
# The add-in's record since the last look (kept in a file: news runs in a subshell).
news() {
  local seen all
  seen=$(cat "$work/seen" 2>/dev/null || echo 0)
  all=$(cat "$work/record.txt" 2>/dev/null)
  tail -n +"$((seen + 1))" <<<"$all"
  grep -c . <<<"$all" >"$work/seen"
}
fresh_record() { rm -f "$work/record.txt" "$work/seen"; }
# Waits up to five seconds for the add-in to record LINE.
await() { # LINE
  local i
  for i in $(seq 1 100); do
    grep -qxF "$1" "$work/record.txt" 2>/dev/null && return 0
    sleep 0.05
  done
}
traced() { grep -cF -- "$1" "$work/trace.txt"; }

# ---------------------------------------------------------------------------------------------
echo "== loaded from the registry, clicked from the menu, the toolbar and the stop file"
fresh_record
serve "$samples/sample-drawing.json" --addins
drv wait "$frame" 10000 >/dev/null || fail "no frame window"
expect "connected at start" "$(news)" "connect"
expect "type information asked once" \
  "$(traced '-> Callbacks.GetTypeInfoCount() = 1') $(traced '-> Callbacks.GetTypeInfo(0) = ITypeInfo')" "1 1"
expect "one toolbar button" "$(drv buttons "$frame" "$toolbar" | tr -d '\r')" 1
expect "the older hosts' icons taken" "$(grep -c '^\(Small\|Large\)IconList(BSTR ' "$work/trace.txt")" 2
drv menu "$frame" Extras Teilbefehl 2>/dev/null && fail "a part's item is on a drawing's menu"
news >/dev/null # looking at the menu asked the drawing item's enable method
if [ -n "$shot" ]; then
  drv key "$frame" alt+x
  shot "$shot"
  drv key "$frame" escape
  drv key "$frame" escape
  news >/dev/null # opening the menu asked the enable method
fi

drv menu "$frame" Extras Testbefehl || fail "menu click refused"
await "callback with a document"
# Opening the menu asks once, the click once more.
expect "menu click" "$(news)" "enable 1
enable 1
callback with a document"
drv toolbar "$frame" "$toolbar" 0 || fail "toolbar click refused"
await "callback with a document"
sleep 0.2
expect "toolbar click" "$(news)" "enable 1
callback with a document"
host_says click
expect "stop-file click" "$(news)" "enable 1
callback with a document"
expect "the enable method before each callback" \
  "$(grep -F -- '-> Callbacks.' "$work/trace.txt" | grep -c 'TestCommand()')" 3

host_says unload
expect "unloaded" "$(news)" "disconnect"
expect "unloading asks whether the DLL can go" "$(traced '-> DllCanUnloadNow() = S_OK')" 1
expect "nothing left behind" "$(traced 'left its')" 0
drv menu "$frame" Extras Testbefehl 2>/dev/null && fail "the menu item outlived its add-in"
expect "no toolbar button after unloading" "$(drv buttons "$frame" "$toolbar" | tr -d '\r')" 0

host_says load "$dll"
expect "loaded by path" "$(news)" "connect"
expect "LoadAddIn answered loaded" "$(grep -c '^LoadAddIn(.*-> I4 0$' "$work/trace.txt")" 1
host_says load "$dll"
expect "loading it twice: already loaded" "$(grep -c '^LoadAddIn(.*-> I4 2$' "$work/trace.txt")" 1
stop_server
expect "the host's exit code" "$ended_status" 0
expect "disconnected at the stop" "$(news)" "disconnect"
expect "no references left" "$(traced '-- references left on host objects: 0')" 1
cmp -s "$work/saved.json" "$samples/sample-drawing.json" || fail "the drawing changed"

echo "== no drawing active: the drawing's item is not on the menu, its enable method not asked"
fresh_record
serve "$work/no-document.json" --addins
expect "connected" "$(news)" "connect"
drv menu "$frame" Extras Testbefehl 2>/dev/null && fail "a greyed item was clicked"
host_says click
expect "never asked, never called" "$(news)" ""
expect "the click refused" "$(traced 'is not on the menu of this document type, not called')" 1
stop_server
expect "the host's exit code" "$ended_status" 0
echo "== a part active: its item on the menu, the drawing's not"
fresh_record
serve "$work/part.json" --addins
news >/dev/null
drv menu "$frame" Extras Testbefehl 2>/dev/null && fail "a drawing's item is on a part's menu"
drv menu "$frame" Extras Teilbefehl || fail "the part's item is not on its menu"
await "callback with a document"
expect "a part's item on a part's menu" "$(news)" "callback with a document"
stop_server
expect "the host's exit code" "$ended_status" 0

echo "== an add-in that refuses to connect takes back what it added"
fresh_record
TVX_TESTADDIN_MODE=refuse-connect serve "$samples/sample-drawing.json" --addins
expect "refused" "$(news)" "connect refused"
expect "the host saw the refusal" "$(traced '-> Addin.ConnectToSW(DISPATCH App, I4 1) = BOOL false')" 1
expect "nothing left behind" "$(traced 'left its')" 0
drv menu "$frame" Extras Testbefehl 2>/dev/null && fail "the refused add-in's menu item is there"
stop_server
expect "the host's exit code" "$ended_status" 0

echo "== an add-in that keeps a host object: reported at the stop, the drawing saved all the same"
fresh_record
TVX_TESTADDIN_MODE=keep-reference,older-icons serve "$samples/sample-drawing.json" --addins
expect "the older hosts' icons alone give the button" "$(drv buttons "$frame" "$toolbar" | tr -d '\r')" 1
stop_server
expect "the host's exit code" "$ended_status" 5
expect "the reference named" "$(traced '-- references left on host objects: 1 (CommandManager 1)')" 1
cmp -s "$work/saved.json" "$samples/sample-drawing.json" || fail "the drawing was not saved"

echo "== an add-in that throws is reported and the host goes on; one that faults is named"
fresh_record
TVX_TESTADDIN_MODE=misbehave serve "$samples/sample-drawing.json" --addins
host_says click
expect "thrown" "$(news)" "connect
enable 1
callback throws"
expect "the throw reported" "$(grep -c '^-> Callbacks.TestCommand() failed: ' "$work/trace.txt")" 1
echo click >"$work/stop.new"
mv "$work/stop.new" "$work/stop"
expect_ended "$server_pid" "the faulted host"
expect "the host's exit code" "$ended_status" 6
expect "the fault named" "$(grep -c '^-- the host faulted: exception 0xc0000005 in .*tvx_test_addin.dll --$' "$work/trace.txt")" 1

finish

#!/usr/bin/env bash
# The installer package under Wine, as an administrator would use it: a silent install, the
# installed program run once on the sample drawing, the installed add-in run once inside the
# stand-in host from the keys the package wrote, an upgrade to a higher version that keeps an
# edited Tarvenix.txt and names one configuration for the machine (CONFIGFILE), which the
# installed program then reads, a refused downgrade, a further upgrade that keeps that name, and
# uninstall, which takes it away.
#   installer_e2e.sh PACKAGE.msi PACKAGE_FOLDER HOSTSERVER.exe GUIDRIVER.exe SAMPLE_DRAWING \
#                    EXPECTED_DRAWING OUT_DIR
# OUT_DIR keeps the drawing of the sample run (sample-run.json) to renew EXPECTED_DRAWING with.
set -uo pipefail

msi=$1
package_folder=$2
server=$3
driver=$4
sample=$5
expected=$6
out=$7
source "$(dirname "${BASH_SOURCE[0]}")/../gui/e2e_lib.sh"
# Wine would write menu entries of the shortcut into the user's desktop environment.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-};winemenubuilder.exe=d"

prefix=${WINEPREFIX:-$root/build/wineprefix}
installed="$prefix/drive_c/Program Files/Tarvenix"
# Wine's installer puts a per-machine shortcut into the user's menu (it has no all-users program
# menu); Windows puts it into the common one. Either place counts, the other must stay empty.
menus=("$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"
  "$prefix/drive_c/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs")
shipped=(Tarvenix.exe tvx-hostprobe.exe Tarvenix.txt symbol_00.bmp symbol_01.bmp symbol_02.bmp
  Tarvenix.dll command_20.bmp command_32.bmp command_40.bmp command_64.bmp command_96.bmp command_128.bmp
  Tarvenix_20.bmp Tarvenix_32.bmp Tarvenix_40.bmp Tarvenix_64.bmp Tarvenix_96.bmp Tarvenix_128.bmp)
addin_clsid='{1AD2230B-474E-46A1-9E25-9DF73EBF3393}'

msiexec() { # ARGS... -> exit code of the Windows Installer
  local status=0
  "$run" msiexec "$@" >/dev/null 2>&1 || status=$?
  echo "$status"
}
# "VERSION" of every installed product named Tarvenix, one line each.
installed_versions() {
  "$run" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null |
    tr -d '\r' | awk '/DisplayName +REG_SZ +Tarvenix$/ { found = 1 } /^HKEY/ { found = 0 }
      found && /DisplayVersion/ { print $3 }' | sort
}
# The add-in's keys as the host reads them: the DLL's path, its threading model, listed and ticked
# in the Add-in Manager, started with the host. Empty when none is there.
addin_keys() {
  local key
  for key in "HKCR\\CLSID\\$addin_clsid\\InprocServer32" "HKLM\\SOFTWARE\\SOLIDWORKS\\AddIns\\$addin_clsid" \
    "HKCU\\Software\\SolidWorks\\AddInsStartup\\$addin_clsid"; do
    # reg writes the console's OEM code page; the values of one key come in no set order.
    "$run" reg query "$key" 2>/dev/null | tr -d '\r' | iconv -f CP850 -t UTF-8 |
      awk 'match($0, / +REG_[A-Z_]+ +/) { name = substr($0, 1, RSTART - 1); sub(/^ +/, "", name)
        print name "  " substr($0, RSTART + RLENGTH) }' | sort
  done
}
active_setup_key='HKLM\SOFTWARE\Microsoft\Active Setup\Installed Components\{97762BE7-03B9-481B-940E-7E4F410B7648}'
startup_key="HKCU\\Software\\SolidWorks\\AddInsStartup\\$addin_clsid"
# The Active Setup entry's values, one "NAME=VALUE" line each; empty when there is none.
active_setup_values() {
  "$run" reg query "$active_setup_key" 2>/dev/null | tr -d '\r' |
    awk 'match($0, / +REG_[A-Z_]+ +/) { name = substr($0, 1, RSTART - 1); sub(/^ +/, "", name)
      print name "=" substr($0, RSTART + RLENGTH) }'
}
startup_value() { "$run" reg query "$startup_key" /ve 2>/dev/null | tr -d '\r' | awk '$2 ~ /^REG_/ { print $3 }'; }
# What Windows does at an account's logon while the account has no copy of the entry's Version.
run_active_setup_stub() { # STUBPATH
  [ -n "$1" ] || return 1
  # The stub is one command line for cmd; its words pass on as they are.
  set -f
  # shellcheck disable=SC2086
  "$run" $1 >/dev/null 2>&1
  set +f
}
shortcuts() { find "${menus[@]}" -maxdepth 1 -iname 'Tarvenix*.lnk' 2>/dev/null; }
# HKLM\SOFTWARE\Tarvenix ConfigFile, empty when there is none.
config_file_value() {
  "$run" reg query 'HKLM\SOFTWARE\Tarvenix' /v ConfigFile 2>/dev/null | tr -d '\r' |
    awk '$1 == "ConfigFile" && $2 ~ /^REG_/ { sub(/^ *ConfigFile +REG_[A-Z_]+ +/, ""); print }'
}
# The installed program on the sample drawing: the dialog offers the default, Ok ends the run.
# The drawing is then in $work/saved.json.
installed_sample_run() { # LABEL
  serve "$sample"
  start_tarvenix "$installed"
  if drv wait "$main" 30000 >/dev/null; then
    expect "$1: the dialog offers the default" \
      "$(printf 'text %s stdSFSSymbol\ntext %s stdSFSRough\ntext %s stdSFSMet\n' "$main" "$main" "$main" | drv_script | tr -d '\r')" \
      "Spanend
1,6"
    drv click "$main" cmd_Ok >/dev/null
    expect_ended "$tarvenix_pid" "$1"
  else
    fail "$1: no main dialog"
  fi
}

version=$(basename "$msi" .msi)
version=${version#Tarvenix-}
IFS=. read -r major minor build <<<"$version"
higher=$major.$minor.$((build + 1))

# A run cut short earlier may have left an installation behind.
"$run" msiexec /x "$(winpath "$msi")" /qn >/dev/null 2>&1
rm -rf "$installed"

echo "== silent install of $version"
expect "install: exit code" "$(msiexec /i "$(winpath "$msi")" /qn)" 0
for f in "${shipped[@]}"; do
  checks=$((checks + 1))
  cmp -s "$package_folder/$f" "$installed/$f" || fail "install: $f is not the packaged file"
done
expect "install: nothing else in the program folder" "$(ls "$installed" | sort | paste -sd' ')" \
  "$(printf '%s\n' "${shipped[@]}" | sort | paste -sd' ')"
link=$(shortcuts)
expect "install: one Start-menu shortcut" "$(printf '%s' "$link" | grep -c .)" 1
checks=$((checks + 1))
# The link holds the target's path as text (ANSI or UTF-16).
if [ -n "$link" ] && ! tr -d '\0' <"$link" | grep -qi 'Program Files\\Tarvenix\\Tarvenix.exe'; then
  fail "install: the shortcut does not start the installed Tarvenix.exe"
fi
expect "install: registered once, as $version" "$(installed_versions)" "$version"
expect "install: the add-in's keys" "$(addin_keys)" "(Default)  C:\\Program Files\\Tarvenix\\Tarvenix.dll
ThreadingModel  Apartment
(Default)  0x1
Description  Allgemeine Oberflächenangabe für Zeichnungen
Icon Path  C:\\Program Files\\Tarvenix\\Tarvenix_20.bmp
Title  Tarvenix
(Default)  0x1"

expect "install: no machine-wide configuration named" "$(config_file_value)" ""

echo "== the installed program on the sample drawing: dialog, Ok, the expected drawing"
installed_sample_run "sample run"
# The installed probe finds the same host and only reads: the drawing below stays the run's.
expect "installed probe: reads the host" \
  "$("$run" "$installed/tvx-hostprobe.exe" --out "$(winpath "$work/hostprofile.json")" >"$work/probe.out" 2>&1; echo $?)" 0
stop_server
mkdir -p "$out"
cp -f "$work/saved.json" "$out/sample-run.json" 2>/dev/null
checks=$((checks + 1))
if ! cmp -s "$work/saved.json" "$expected"; then
  fail "sample run: the drawing differs from $expected (the run's drawing: $out/sample-run.json)"
  diff <(grep -E '"(name|text|x|y)"' "$expected") <(grep -E '"(name|text|x|y)"' "$work/saved.json") | head -20 | sed 's/^/    /'
fi

echo "== every account: the machine's entry enables the add-in, Active Setup gives each its start-up value"
active_setup=$(active_setup_values)
stub=$(sed -n 's/^StubPath=//p' <<<"$active_setup")
expect "install: the Active Setup entry" "$(grep -E '^(Version|IsInstalled)=' <<<"$active_setup" | sort | paste -sd' ')" \
  "IsInstalled=0x1 Version=1,0,0,0"
# Another account has no start-up value of its own until its next logon: the run below stands
# for it, loading the add-in from the machine's keys alone.
"$run" reg delete "$startup_key" /f >/dev/null 2>&1
expect "other account: no start-up value" "$(startup_value)" ""

echo "== the installed add-in: loaded by the host from the package's keys, Extras, Ok"
serve "$sample" --addins
if drv wait "$frame" 10000 >/dev/null && drv menu "$frame" Extras "$command" >/dev/null &&
  drv wait "$main" 10000 >/dev/null; then
  drv click "$main" cmd_Ok >/dev/null
  drv gone "$main" 10000 >/dev/null || fail "add-in run: the dialog stayed"
else
  fail "add-in run: no dialog from the host's Extras menu"
fi
kill -0 "$server_pid" 2>/dev/null || fail "add-in run: the host's process ended"
stop_server
expect "add-in run: the host's exit code" "$ended_status" 0
expect "add-in run: the add-in left nothing" \
  "$(grep -c -- '-- references left on host objects: 0' "$work/trace.txt")" 1
expect "add-in run: the Add-in Manager's icon the host found" \
  "$(grep -c -F -- "icon: C:\\Program Files\\Tarvenix\\Tarvenix_20.bmp (Icon Path)" "$work/trace.txt")" 1
expect "add-in run: the drawing the installed exe's run gives" \
  "$(cmp "$expected" "$work/saved.json" 2>&1 && echo same)" same

checks=$((checks + 1))
run_active_setup_stub "$stub" || fail "Active Setup: no StubPath"
expect "Active Setup at logon: the account's start-up value" "$(startup_value)" 0x1
# A choice made in the Add-in Manager stands at a later logon.
"$run" reg add "$startup_key" /ve /t REG_DWORD /d 0 /f >/dev/null 2>&1
run_active_setup_stub "$stub"
expect "Active Setup again: the account's own choice stays" "$(startup_value)" 0x0
"$run" reg add "$startup_key" /ve /t REG_DWORD /d 1 /f >/dev/null 2>&1

echo "== upgrade to $higher keeps the edited configuration and names one for the machine"
printf 'angepasst vom Administrator\r\n' >>"$installed/Tarvenix.txt"
cp "$installed/Tarvenix.txt" "$work/edited.txt"
# The shop's one file, elsewhere: the sample with the corner 20 mm higher (item 6).
mkdir -p "$work/share"
sed 's/^0\.060\r$/0.080\r/' "$package_folder/Tarvenix.txt" >"$work/share/Tarvenix.txt"
shared=$(winpath "$work/share/Tarvenix.txt")
newer=$work/newer
cp -r "$package_folder" "$newer"
printf 'x' >>"$newer/symbol_02.bmp" # a file the upgrade must replace
highest=$major.$minor.$((build + 2))
if bash "$root/installer/build-package.sh" "$newer" "$higher" "$work/Tarvenix-$higher.msi" >"$work/build.log" 2>&1 &&
  bash "$root/installer/build-package.sh" "$newer" "$highest" "$work/Tarvenix-$highest.msi" >>"$work/build.log" 2>&1; then
  expect "upgrade: exit code" "$(msiexec /i "$(winpath "$work/Tarvenix-$higher.msi")" /qn "CONFIGFILE=$shared")" 0
  expect "upgrade: the machine's configuration" "$(config_file_value)" "$shared"
  checks=$((checks + 2))
  cmp -s "$work/edited.txt" "$installed/Tarvenix.txt" || fail "upgrade: the edited Tarvenix.txt was replaced"
  cmp -s "$newer/symbol_02.bmp" "$installed/symbol_02.bmp" || fail "upgrade: the new files were not installed"
  expect "upgrade: only $higher is registered" "$(installed_versions)" "$higher"
  expect "upgrade: one shortcut" "$(shortcuts | grep -c .)" 1
  expect "upgrade: the add-in still registered" "$(addin_keys | head -n 1)" "(Default)  C:\\Program Files\\Tarvenix\\Tarvenix.dll"

  echo "== the installed program reads the machine's configuration, not its own"
  installed_sample_run "machine configuration run"
  stop_server
  # The sample run's drawing holds one foreign symbol at 0.085 and its own six at 0.065.
  expect "machine configuration run: the own symbols on the shared file's corner" \
    "$(grep -c '"y": 0.085' "$work/saved.json") $(grep -c '"y": 0.065' "$work/saved.json")" "7 0"

  echo "== the older package over the newer installation is refused"
  checks=$((checks + 1))
  [ "$(msiexec /i "$(winpath "$msi")" /qn)" != 0 ] || fail "downgrade: the older package installed"
  expect "downgrade: still $higher" "$(installed_versions)" "$higher"

  echo "== upgrade to $highest without CONFIGFILE keeps the machine's configuration"
  expect "second upgrade: exit code" "$(msiexec /i "$(winpath "$work/Tarvenix-$highest.msi")" /qn)" 0
  expect "second upgrade: only $highest is registered" "$(installed_versions)" "$highest"
  expect "second upgrade: the machine's configuration" "$(config_file_value)" "$shared"

  echo "== uninstall leaves only the edited configuration"
  expect "uninstall: exit code" "$(msiexec /x "$(winpath "$work/Tarvenix-$highest.msi")" /qn)" 0
  expect "uninstall: no machine-wide configuration named" "$(config_file_value)" ""
  expect "uninstall: what is left" "$(ls -A "$installed" 2>/dev/null | paste -sd' ')" "Tarvenix.txt"
  checks=$((checks + 1))
  cmp -s "$work/edited.txt" "$installed/Tarvenix.txt" || fail "uninstall: the edited Tarvenix.txt changed"
  expect "uninstall: no shortcut" "$(shortcuts | grep -c .)" 0
  expect "uninstall: nothing registered" "$(installed_versions)" ""
  expect "uninstall: no add-in keys" "$(addin_keys)" ""
  expect "uninstall: no Active Setup entry" "$(active_setup_values)" ""
else
  fail "the packages of versions $higher and $highest could not be built"
  sed 's/^/    /' "$work/build.log"
  "$run" msiexec /x "$(winpath "$msi")" /qn >/dev/null 2>&1
fi
rm -rf "$installed"

finish

#!/usr/bin/env bash
# Makes the Windows Installer package of one program folder, as CMake's install rules filled it.
#   build-package.sh FOLDER VERSION OUT.msi
# VERSION is major.minor.build. The tests build a higher version of the same folder this way.
set -euo pipefail

if [ $# -ne 3 ]; then
  echo "usage: $0 FOLDER VERSION OUT.msi" >&2
  exit 2
fi
folder=$1
version=$2
out=$3
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

if ! [[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]]; then
  echo "$0: the version must read major.minor.build, not \"$version\"" >&2
  exit 2
fi
for f in Tarvenix.exe tvx-hostprobe.exe Tarvenix.txt symbol_00.bmp symbol_01.bmp symbol_02.bmp Tarvenix_20.bmp; do
  [ -f "$folder/$f" ] || { echo "$0: $folder/$f is missing" >&2; exit 1; }
done

out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")
tmp=$out.tmp
rm -f "$tmp"
# wixl finds sources only by paths relative to where it runs.
(cd "$folder" && wixl --arch x64 -D "Version=$version" -D SourceDir=. -o "$tmp" "$here/tarvenix.wxs")
# Permanent (16) and never overwrite (128) besides 64-bit (256): the configuration an
# administrator edited survives upgrades, and uninstall leaves it behind.
msibuild "$tmp" -q "UPDATE \`Component\` SET \`Attributes\` = 400 WHERE \`Component\` = 'Configuration'"
# CONFIGFILE: the component that writes it only when there is a path, and, when the command line
# gives none, the path the installed version wrote (found by AppSearch before the upgrade removes
# it). Both properties pass from the user's side of the installation to the machine's.
msibuild "$tmp" -q "UPDATE \`Component\` SET \`Condition\` = 'CONFIGFILE' WHERE \`Component\` = 'MachineConfigFile'"
msibuild "$tmp" -q "INSERT INTO \`CustomAction\` (\`Action\`, \`Type\`, \`Source\`, \`Target\`) VALUES ('KeepConfigFile', 51, 'CONFIGFILE', '[REMEMBERED_CONFIGFILE]')"
for sequence in InstallExecuteSequence InstallUISequence; do
  msibuild "$tmp" -q "INSERT INTO \`$sequence\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('KeepConfigFile', 'NOT CONFIGFILE AND REMEMBERED_CONFIGFILE', 51)"
done
secure=$(msiinfo export "$tmp" Property | awk -F'\t' '$1 == "SecureCustomProperties" { print $2 }' | tr -d '\r')
msibuild "$tmp" -q "DELETE FROM \`Property\` WHERE \`Property\` = 'SecureCustomProperties'"
msibuild "$tmp" -q "INSERT INTO \`Property\` (\`Property\`, \`Value\`) VALUES ('SecureCustomProperties', '${secure:+$secure;}CONFIGFILE;REMEMBERED_CONFIGFILE')"
# The same version built again replaces the installed one instead of standing beside it
# (IncludeMaximum, 512); Attributes is part of the row's key, so the row is written anew.
upgrade_code=$(msiinfo export "$tmp" Property | awk -F'\t' '$1 == "UpgradeCode" { print $2 }' | tr -d '\r')
msibuild "$tmp" -q "DELETE FROM \`Upgrade\` WHERE \`ActionProperty\` = 'WIX_UPGRADE_DETECTED'"
msibuild "$tmp" -q "INSERT INTO \`Upgrade\` (\`UpgradeCode\`, \`VersionMax\`, \`Attributes\`, \`ActionProperty\`) VALUES ('$upgrade_code', '$version', 513, 'WIX_UPGRADE_DETECTED')"
# wixl writes language 1033 into the summary information whatever the package names; the
# product is German (1031) and so is the package.
msibuild "$tmp" -s "Tarvenix $version" Tarvenix "x64;1031"
template=$(msiinfo suminfo "$tmp" | awk -F': ' '$1 == "Template" { print $2 }' | tr -d '\r')
if [ "$template" != "x64;1031" ]; then
  echo "$0: the package's summary says \"$template\", not \"x64;1031\"" >&2
  exit 1
fi
attributes=$(msiinfo export "$tmp" Component | awk -F'\t' '$1 == "Configuration" { print $4 }' | tr -d '\r')
if [ "$attributes" != 400 ]; then
  echo "$0: the configuration's component attributes are \"$attributes\", not 400" >&2
  exit 1
fi
mv -f "$tmp" "$out"

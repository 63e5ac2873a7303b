#!/usr/bin/env bash
# Makes the project's Wine prefix (build/wineprefix unless WINEPREFIX is set): 64-bit, headless,
# with the fonts and registry settings the program relies on, and whatever the hooks in
# scripts/wine-prefix.d/*.sh add. Safe to run again: it only works when the prefix is missing or
# this script or a hook changed since the last run.
#
# Hooks are sourced in name order with WINEPREFIX and the other Wine variables exported. To add
# registry entries, a hook appends REGEDIT4 sections to "$tvx_reg_file"; they are imported in one
# batch after the last hook (each separate `wine reg` call costs about half a second).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/wine-env.sh"

stamp=$WINEPREFIX/.tvx-prefix
wanted() {
  local hook
  {
    cat "$here/wine-prefix.sh"
    for hook in "$here"/wine-prefix.d/*.sh; do
      if [ -e "$hook" ]; then printf '%s\n' "${hook##*/}"; cat "$hook"; fi
    done
  } | sha256sum | cut -d' ' -f1
}
is_current() {
  [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$(wanted)" ]
}

is_current && exit 0

# Parallel test runs may all find the prefix missing; one makes it, the others wait.
mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock 9
is_current && exit 0

# A running wineserver (someone's `wineserver -p`) would make `wineserver -w` wait forever; it
# writes the registry to disk itself.
server_was_running=0
tvx_wineserver_running && server_was_running=1

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Creating the Wine prefix $WINEPREFIX"
  # Headless: no display is needed to make a prefix.
  DISPLAY='' wineboot -i >/dev/null 2>&1
  if [ "$server_was_running" -eq 0 ]; then wineserver -w; fi
fi
echo "Configuring the Wine prefix $WINEPREFIX"

# Debian's Wine does not look in its own font folder; without these, "MS Sans Serif" silently
# becomes another font.
fonts=$WINEPREFIX/drive_c/windows/Fonts
mkdir -p "$fonts"
cp -f /usr/share/wine/fonts/* "$fonts/"

tvx_reg_file=$(mktemp "$WINEPREFIX/drive_c/tvx-XXXXXX.reg")
trap 'rm -f "$tvx_reg_file"' EXIT
cat >"$tvx_reg_file" <<'REG'
REGEDIT4

; Without a window manager on Xvfb, closing each managed window stalls for two seconds.
[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

; The host's drawing font is not available here; osifont stands in for it.
[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"ISOCP"="osifont"
REG

for hook in "$here"/wine-prefix.d/*.sh; do
  [ -e "$hook" ] || continue
  # shellcheck source=/dev/null
  source "$hook"
done

reg_path=C:\\${tvx_reg_file#"$WINEPREFIX/drive_c/"}
DISPLAY='' wine regedit /S "$reg_path"
# The registry as made, before any test wrote into it: what a test's own prefix starts from
# (tvx_derive_prefix). Only a stopped wineserver has surely written it to disk.
rm -rf "$WINEPREFIX/.tvx-fresh"
if [ "$server_was_running" -eq 0 ]; then
  wineserver -w
  mkdir -p "$WINEPREFIX/.tvx-fresh"
  cp "$WINEPREFIX"/system.reg "$WINEPREFIX"/user.reg "$WINEPREFIX"/userdef.reg "$WINEPREFIX/.tvx-fresh/"
fi

wanted >"$stamp"

# Sourced by the Wine scripts: the project's Wine environment.
# The prefix lives in the build folder, never in the user's home, unless WINEPREFIX is already set.

tvx_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
tvx_own_prefix=0
if [ -z "${WINEPREFIX:-}" ]; then
  WINEPREFIX=$tvx_root/build/wineprefix
  tvx_own_prefix=1
fi
# The file where scripts/test.sh records the virtual display it started.
tvx_display_file=$tvx_root/build/xvfb.display

export WINEPREFIX
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
# No prompts to install Mono or Gecko: the program needs neither.
export WINEDLLOVERRIDES="mscoree,mshtml="

# Use the virtual display scripts/test.sh started, as long as it is still running.
if [ -z "${DISPLAY:-}" ] && [ -r "$tvx_display_file" ]; then
  read -r tvx_display_number tvx_display_pid <"$tvx_display_file" || true
  if [ -n "${tvx_display_pid:-}" ] && kill -0 "$tvx_display_pid" 2>/dev/null; then
    export DISPLAY=":$tvx_display_number"
  fi
fi

# True when a wineserver serves this prefix. It runs in a folder named after the prefix's
# device and inode, which is how Wine itself tells prefixes apart.
tvx_wineserver_running() {
  local dev ino name proc comm
  read -r dev ino < <(stat -c '%d %i' "$WINEPREFIX" 2>/dev/null) || return 1
  name=$(printf 'server-%x-%x' "$dev" "$ino")
  for proc in /proc/[0-9]*; do
    { read -r comm <"$proc/comm"; } 2>/dev/null || continue
    case "$comm" in wineserver*) ;; *) continue ;; esac
    if [ "$(basename "$(readlink "$proc/cwd" 2>/dev/null)")" = "$name" ]; then
      return 0
    fi
  done
  return 1
}

# Starts a virtual display and exports DISPLAY; its process id is in tvx_xvfb_pid.
tvx_xvfb_pid=
tvx_start_xvfb() {
  # Xvfb picks a free display number itself and writes it to fd 3 once it accepts clients.
  local numfile number i
  numfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$numfile" </dev/null >/dev/null 2>&1 &
  tvx_xvfb_pid=$!
  for ((i = 0; i < 100; i++)); do
    [ -s "$numfile" ] && break
    kill -0 "$tvx_xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  number=$(tr -d '[:space:]' <"$numfile")
  rm -f "$numfile"
  if [ -z "$number" ]; then
    tvx_stop_xvfb
    echo "Xvfb did not start within 10 s" >&2
    return 1
  fi
  export DISPLAY=:$number
}

tvx_stop_xvfb() {
  if [ -n "$tvx_xvfb_pid" ]; then
    kill "$tvx_xvfb_pid" 2>/dev/null || true
    wait "$tvx_xvfb_pid" 2>/dev/null || true
    tvx_xvfb_pid=
  fi
}

# Stops the prefix's wineserver and every Wine process in it; waits up to 5 s for the end.
tvx_stop_wineserver() {
  local i
  wineserver -k >/dev/null 2>&1 || true
  for ((i = 0; i < 50; i++)); do
    tvx_wineserver_running || return 0
    sleep 0.1
  done
  return 1
}

# A prefix of its own at DIR, made from BASE in a moment: BASE's registry copied (or the one in
# REGISTRY), its drive shared. What is written into its registry stays there; the Windows folder
# is BASE's.
tvx_derive_prefix() { # BASE DIR [REGISTRY]
  rm -rf "$2"
  mkdir -p "$2"
  cp "${3:-$1}"/system.reg "${3:-$1}"/user.reg "${3:-$1}"/userdef.reg "$2/"
  cp "$1"/.update-timestamp "$2/"
  cp -a "$1/dosdevices" "$2/"
  ln -s "$1/drive_c" "$2/drive_c"
}


# Sourced first by the end-to-end scripts that take options: where the programs are by default
# (the windows preset's build) and one parser for their command lines.
#   e2e_values:  the options that take a value; "--NAME VALUE" sets the variable NAME
#                (dashes become underscores)
#   e2e_flag:    a function the script may define; called with NAME for "--NAME" alone, it sets
#                what the flag means and fails for a flag it does not know
# Anything else prints the script's header comment as its usage and exits 2.
e2e_script=${BASH_SOURCE[1]}
here=$(cd "$(dirname "$e2e_script")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$root/build/windows
tarvenix=$build/app/win32/Tarvenix.exe
addin=$build/addin/Tarvenix.dll
server=$build/tools/hostserver/tvx-hostserver.exe
driver=$build/tools/guidriver/tvx-guidriver.exe

e2e_usage() {
  sed -n '2,/^[^#]/p' "$e2e_script" | sed -n '/^#/s/^# \{0,1\}//p' >&2
  exit 2
}

e2e_options() { # "$@" of the script
  local name
  while [ $# -gt 0 ]; do
    [[ $1 == --?* ]] || e2e_usage
    name=${1#--}
    name=${name//-/_}
    if [[ " $e2e_values " == *" $name "* ]] && [ $# -ge 2 ]; then
      printf -v "$name" '%s' "$2"
      shift 2
    elif declare -F e2e_flag >/dev/null && e2e_flag "$name"; then
      shift
    else
      e2e_usage
    fi
  done
}

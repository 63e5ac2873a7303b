#!/usr/bin/env bash
# The shipped files as a shop's application control sees them: the three programs and the
# package carry an Authenticode signature that the build's test authority vouches for, a copy
# with one byte changed does not pass, the programs inside the package are the signed ones, and
# each program has its German version record.
#   signing_test.sh TEST_CA.pem PACKAGE.msi PACKAGE_FOLDER
set -uo pipefail

ca=$(realpath "$1")
msi=$(realpath "$2")
folder=$(realpath "$3")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

verifies() { osslsigncode verify -CAfile "$ca" -in "$1" >/dev/null 2>&1; }
# A copy of FILE with the byte at OFFSET inverted.
tampered() {
  local file=$1 offset=$2 copy=$work/tampered-$(basename "$1")
  cp "$file" "$copy"
  local byte
  byte=$(od -An -tu1 -j "$offset" -N1 "$file" | tr -d ' ')
  printf "$(printf '\\%03o' $((255 - byte)))" | dd of="$copy" bs=1 seek="$offset" conv=notrunc 2>/dev/null
  cmp -s "$file" "$copy" && fail "$(basename "$file"): the byte at $offset did not change"
  echo "$copy"
}
# Where to change the package: inside its embedded cabinet, which the signature covers.
cabinet_offset() { grep -abo MSCF "$1" | head -1 | cut -d: -f1; }

programs=(Tarvenix.exe Tarvenix.dll tvx-hostprobe.exe)
for f in "${programs[@]}" ; do
  verifies "$folder/$f" || fail "$f: the signature does not verify"
  size=$(stat -c %s "$folder/$f")
  verifies "$(tampered "$folder/$f" $((size / 2)))" && fail "$f: verifies with a byte changed"
done
verifies "$msi" || fail "$(basename "$msi"): the signature does not verify"
offset=$(cabinet_offset "$msi")
if [ -z "$offset" ]; then
  fail "$(basename "$msi"): no embedded cabinet found"
else
  verifies "$(tampered "$msi" $((offset + 200)))" && fail "$(basename "$msi"): verifies with a byte changed"
fi

(cd "$work" && msiextract -C extracted "$msi" >/dev/null) || fail "the package cannot be unpacked"
for f in "${programs[@]}"; do
  inner=$(find "$work/extracted" -name "$f" | head -1)
  if [ -z "$inner" ]; then
    fail "$f is not in the package"
  else
    verifies "$inner" || fail "$f in the package: the signature does not verify"
  fi
done

# Version records are UTF-16: compare after conversion. Their version is the package's.
version=$(basename "$msi" .msi)
version=${version#Tarvenix-}.0
declare -A descriptions=(
  [Tarvenix.exe]="Tarvenix – allgemeine Oberflächenangabe für Zeichnungen"
  [Tarvenix.dll]="Tarvenix – Zusatzanwendung für das CAD-Programm"
  [tvx-hostprobe.exe]="Tarvenix – Prüfprogramm für das CAD-Programm")
for f in "${programs[@]}"; do
  record=$(wrestool -x --raw -t16 "$folder/$f" 2>/dev/null | iconv -f UTF-16LE -t UTF-8 2>/dev/null | tr '\0' '\n')
  for wanted in CompanyName Tarvenix FileDescription "${descriptions[$f]}" FileVersion ProductVersion \
    "$version" LegalCopyright OriginalFilename "$f" ProductName; do
    grep -qF -- "$wanted" <<<"$record" || fail "$f: the version record lacks \"$wanted\""
  done
done

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "signed and recorded: ${programs[*]} $(basename "$msi")"

#!/usr/bin/env bash
# Signs one program file or package in place, Authenticode with SHA-256:
#   TARVENIX_SIGN_PFX=... TARVENIX_SIGN_PASSWORD_FILE=... [TARVENIX_SIGN_TIMESTAMP_URL=...] sign.sh FILE
# Without a timestamp server the signature carries no timestamp. A file that cannot be signed is
# removed, so that the next build makes it again and no unsigned file passes for a signed one.
set -euo pipefail

if [ $# -ne 1 ] || [ -z "${TARVENIX_SIGN_PFX:-}" ] || [ -z "${TARVENIX_SIGN_PASSWORD_FILE:-}" ]; then
  echo "usage: TARVENIX_SIGN_PFX=... TARVENIX_SIGN_PASSWORD_FILE=... $0 FILE" >&2
  exit 2
fi
pfx=$TARVENIX_SIGN_PFX
password_file=$TARVENIX_SIGN_PASSWORD_FILE
timestamp_url=${TARVENIX_SIGN_TIMESTAMP_URL:-}
file=$1

timestamp=()
if [ -n "$timestamp_url" ]; then
  timestamp=(-ts "$timestamp_url")
fi
signed=$file.signing
rm -f "$signed"
if ! osslsigncode sign -pkcs12 "$pfx" -readpass "$password_file" -h sha256 \
     -n Tarvenix "${timestamp[@]}" -in "$file" -out "$signed" >/dev/null; then
  echo "$0: $file could not be signed" >&2
  rm -f "$signed" "$file"
  exit 1
fi
mv -f "$signed" "$file"

#!/usr/bin/env bash
# Makes a throwaway code-signing certificate for builds that were given none:
#   make-test-certificate.sh FOLDER
# FOLDER gets test-ca.pem (the certificate of a test authority made for this build alone),
# test-signing.pfx (a code-signing certificate it issued, with its key) and test-password.txt
# (the PFX's password). The authority's key is thrown away, so it can issue nothing more.
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 FOLDER" >&2
  exit 2
fi
folder=$1
mkdir -p "$folder"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "/CN=Tarvenix Test-CA/O=Tarvenix" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
  -keyout "$work/ca.key" -out "$work/test-ca.pem" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj "/CN=Tarvenix Testsignatur/O=Tarvenix" \
  -keyout "$work/signing.key" -out "$work/signing.csr" 2>/dev/null
printf 'basicConstraints=critical,CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' \
  >"$work/signing.ext"
openssl x509 -req -days 3650 -in "$work/signing.csr" -CA "$work/test-ca.pem" -CAkey "$work/ca.key" \
  -set_serial "0x$(openssl rand -hex 16)" -extfile "$work/signing.ext" -out "$work/signing.pem" 2>/dev/null
openssl rand -hex 24 >"$work/test-password.txt"
openssl pkcs12 -export -inkey "$work/signing.key" -in "$work/signing.pem" -certfile "$work/test-ca.pem" \
  -passout "file:$work/test-password.txt" -out "$work/test-signing.pfx"

# The PFX last: it is what the build waits for.
cp "$work/test-ca.pem" "$work/test-password.txt" "$folder/"
cp "$work/test-signing.pfx" "$folder/"

#!/usr/bin/env bash
# Signs a Windows executable in place with osslsigncode (Authenticode, SHA-256)
# using the certificate in LINKSIFT_SIGN_CERT (a PKCS#12 file) and its password
# in LINKSIFT_SIGN_PASSWORD; with LINKSIFT_SIGN_TIMESTAMP_URL, also has the
# signature timestamped there (RFC 3161), so that it outlives the certificate.
# usage: sign.sh FILE
set -euo pipefail
file="$1"
: "${LINKSIFT_SIGN_CERT:?}" "${LINKSIFT_SIGN_PASSWORD?}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
timestamp=()
[ -z "${LINKSIFT_SIGN_TIMESTAMP_URL:-}" ] || timestamp=(-ts "$LINKSIFT_SIGN_TIMESTAMP_URL")
# The password through a pipe (printf is built in), never on a command line.
printf '%s' "$LINKSIFT_SIGN_PASSWORD" |
  osslsigncode sign -pkcs12 "$LINKSIFT_SIGN_CERT" -readpass - -h sha256 -n Linksift \
    "${timestamp[@]}" -in "$file" -out "$work/signed" >"$work/log" 2>&1 || {
  cat "$work/log" >&2
  echo "sign.sh: could not sign $file" >&2
  exit 1
}
cat "$work/signed" >"$file"

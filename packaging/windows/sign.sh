#!/usr/bin/env bash
# Signs Windows programs and packages (Authenticode, SHA-256) in place with
# osslsigncode, when a certificate is given through the environment:
#   KORVEL_SIGN_PKCS12         the certificate and its private key, a PKCS#12 file
#   KORVEL_SIGN_PASSWORD_FILE  a file holding its password, or
#   KORVEL_SIGN_PASSWORD       the password itself
#   KORVEL_SIGN_TIMESTAMP      an RFC 3161 time-stamp server's URL (optional),
#                              so the signatures outlive the certificate
#   KORVEL_SIGN_REQUIRED=1     fail instead of leaving the files unsigned
#   KORVEL_SIGN_LABEL          the name to report for a file with a temporary name
# The password never appears on a command line: osslsigncode reads it from a
# file (a pipe, when it comes from the environment).
# Without a certificate the files stay as they are, and it says so loudly.
# Usage: sign.sh FILE...   or   sign.sh --describe (prints what signing would
# use, for the build to notice a change)
set -euo pipefail
pkcs12=${KORVEL_SIGN_PKCS12:-}
timestamp=${KORVEL_SIGN_TIMESTAMP:-}

if [ "${1:-}" = --describe ]; then
    if [ -z "$pkcs12" ]; then
        echo "unsigned"
    else
        # The file's contents, not only its name: a renewed certificate re-signs.
        echo "signed with $(sha256sum <"$pkcs12" | cut -d' ' -f1) timestamp ${timestamp:-none}"
    fi
    exit 0
fi
(($#)) || { echo "usage: sign.sh FILE... | --describe" >&2; exit 2; }

if [ -z "$pkcs12" ]; then
    if [ "${KORVEL_SIGN_REQUIRED:-0}" = 1 ]; then
        echo "sign.sh: KORVEL_SIGN_REQUIRED=1 but no KORVEL_SIGN_PKCS12 is set" >&2
        exit 1
    fi
    for file in "$@"; do
        echo "************************************************************************" >&2
        echo "*** NOT SIGNED: ${KORVEL_SIGN_LABEL:-$(basename "$file")}" >&2
        echo "*** Windows will call its publisher unknown. Set KORVEL_SIGN_PKCS12 and" >&2
        echo "*** KORVEL_SIGN_PASSWORD_FILE (or KORVEL_SIGN_PASSWORD) to sign." >&2
        echo "************************************************************************" >&2
    done
    exit 0
fi
[ -r "$pkcs12" ] || { echo "sign.sh: cannot read the certificate $pkcs12 (in $PWD; name it with an absolute path)" >&2; exit 1; }
if [ -n "${KORVEL_SIGN_PASSWORD_FILE:-}" ]; then
    [ -r "$KORVEL_SIGN_PASSWORD_FILE" ] ||
        { echo "sign.sh: cannot read $KORVEL_SIGN_PASSWORD_FILE" >&2; exit 1; }
fi

sign_one() {
    local file=$1 signed
    signed=$(mktemp "$file.signing.XXXXXX")
    local args=(sign -pkcs12 "$pkcs12" -h sha256 -n Korvel -i https://korvel.example.org/
                -in "$file" -out "$signed")
    if [ -n "$timestamp" ]; then
        args+=(-ts "$timestamp")
    fi
    rm -f "$signed"
    local status=0
    if [ -n "${KORVEL_SIGN_PASSWORD_FILE:-}" ]; then
        timeout 300 osslsigncode "${args[@]}" -readpass "$KORVEL_SIGN_PASSWORD_FILE" >/dev/null ||
            status=$?
    else
        timeout 300 osslsigncode "${args[@]}" \
            -readpass <(printf '%s' "${KORVEL_SIGN_PASSWORD:-}") >/dev/null || status=$?
    fi
    if ((status)); then
        rm -f "$signed"
        echo "sign.sh: signing $file failed (osslsigncode exit $status)" >&2
        return 1
    fi
    mv "$signed" "$file"
    echo "signed ${KORVEL_SIGN_LABEL:-$(basename "$file")}${timestamp:+, time-stamped by $timestamp}"
}

for file in "$@"; do
    sign_one "$file"
done

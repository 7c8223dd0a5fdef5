#!/usr/bin/env bash
# Checks what the game installs for desktops and manuals with the tools distributions use.
# Exits 77 (a skip for CTest) when a tool is missing; scripts/test installs them.
# Usage: validate.sh desktop FILE | metainfo FILE | man PAGE...
set -euo pipefail

need() {  # TOOL DEBIAN_PACKAGE
    command -v "$1" >/dev/null && return
    echo "SKIP: $1 is not installed (Debian package $2)"
    exit 77
}

kind=$1
shift
case $kind in
desktop)
    need desktop-file-validate desktop-file-utils
    # It prints nothing for a clean file, and its hints do not change the exit status.
    report=$(desktop-file-validate "$@" 2>&1) || true
    [ -z "$report" ] || { echo "$report"; exit 1; }
    ;;
metainfo)
    need appstreamcli appstream
    appstreamcli validate --no-net --strict --explain "$@"
    ;;
man)
    need man man-db
    for page in "$@"; do
        # man sends groff's warnings to stderr and still exits 0.
        warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null) || true
        [ -z "$warnings" ] || { echo "$page:"; echo "$warnings"; exit 1; }
    done
    ;;
*)
    echo "unknown kind $kind" >&2
    exit 2
    ;;
esac

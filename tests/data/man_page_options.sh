#!/usr/bin/env bash
# A program's manual page documents exactly the options its --help lists: an option
# added or dropped in the program must be added or dropped in the page too.
# Usage: man_page_options.sh PROGRAM MAN_PAGE
set -euo pipefail

program=$1 page=$2
offered=$("$program" --help | grep -oE -- '^ +--[a-z][a-z-]*' | tr -d ' ' | sort -u)
[ -n "$offered" ] || { echo "FAIL: $program --help lists no option"; exit 1; }
# The tags of the OPTIONS section: ".TP" then ".B \-\-name", ".BI \-\-name ..." or ".BR ...".
documented=$(sed -n '/^\.SH OPTIONS/,/^\.SH /p' "$page" | awk 'tag { print } { tag = /^\.TP/ }' |
    grep -oE '\\-\\-[a-z][a-z\\-]*' | sed 's/\\-/-/g' | sort -u)
missing=$(comm -23 <(echo "$offered") <(echo "$documented"))
stale=$(comm -13 <(echo "$offered") <(echo "$documented"))
[ -z "$missing" ] || echo "FAIL: the manual page lacks $(tr '\n' ' ' <<<"$missing")"
[ -z "$stale" ] || echo "FAIL: the manual page documents options the program does not take: $(tr '\n' ' ' <<<"$stale")"
[ -z "$missing$stale" ]

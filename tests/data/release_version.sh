#!/usr/bin/env bash
# The project's version has its release notes: the newest release of the AppStream
# metainfo and the top entry of the Debian changelog name it.
# Usage: release_version.sh VERSION METAINFO CHANGELOG
set -euo pipefail

version=$1 metainfo=$2 changelog=$3
newest=$(grep -o '<release version="[^"]*"' "$metainfo" | head -1 | cut -d'"' -f2)
[ "$newest" = "$version" ] || { echo "FAIL: the metainfo's newest release is $newest, the project is $version"; exit 1; }
top=$(sed -n '1s/^zorblet (\([^)]*\)).*/\1/p' "$changelog")
[ "$top" = "$version" ] || { echo "FAIL: the changelog's top entry is $top, the project is $version"; exit 1; }

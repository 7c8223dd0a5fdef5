#!/usr/bin/env bash
# Installs the build into scratch folders, whole and per component, and checks the layout
# both Debian packages are made from: every file in one component (CPack drops the rest),
# the desktop entry, metainfo, icons and program agreeing, and the unit pointing at the
# installed server and defaults file.
# Usage: install_tree.sh BUILD_DIR PREFIX BINDIR DATADIR MANDIR UNIT_DIR DEFAULTS_FILE
set -euo pipefail

build=$1 prefix=$2 bindir=$3 datadir=$4 mandir=$5 unitdir=$6 defaults=$7
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

for tree in all game server; do
    component=()
    [ "$tree" = all ] || component=(--component "$tree")
    DESTDIR="$work/$tree" cmake --install "$build" "${component[@]}" >/dev/null
    (cd "$work/$tree" && find . -type f | sed 's|^\.||' | sort) >"$work/$tree.files"
done

outside=$(sort -u "$work/game.files" "$work/server.files" | comm -23 "$work/all.files" -)
[ -z "$outside" ] || fail "installed by no package's component: $outside"
shared=$(comm -12 "$work/game.files" "$work/server.files")
[ -z "$shared" ] || fail "in both packages: $shared"

expect_files() {  # TREE PATH...
    local tree=$1 path
    shift
    for path in "$@"; do
        grep -qxF "$path" "$work/$tree.files" || fail "the $tree component lacks $path"
    done
}

game="$work/game"
expect_files game "$bindir/zorblet" "$datadir/applications/zorblet.desktop" \
    "$datadir/metainfo/org.zorblet.Zorblet.metainfo.xml" "$datadir/icons/hicolor/scalable/apps/zorblet.svg" \
    "$mandir/man6/zorblet.6.gz" "$datadir/doc/zorblet/copyright"
[ -x "$game$bindir/zorblet" ] || fail "the game is not executable"
for size in 16 24 32 48 64 128 256; do
    png="$datadir/icons/hicolor/${size}x$size/apps/zorblet.png"
    expect_files game "$png"
    # Width and height are the big-endian words at bytes 16 and 20 of a PNG.
    read -r w1 w2 w3 w4 h1 h2 h3 h4 < <(od -An -tu1 -j16 -N8 "$game$png")
    width=$(((w1 << 24) | (w2 << 16) | (w3 << 8) | w4)) height=$(((h1 << 24) | (h2 << 16) | (h3 << 8) | h4))
    [ "$width/$height" = "$size/$size" ] || fail "$png is ${width}x$height"
done

desktop="$game$datadir/applications/zorblet.desktop"
[ "$(sed -n 's/^Exec=//p' "$desktop")" = zorblet ] || fail "the desktop entry does not start zorblet"
[ "$(sed -n 's/^Icon=//p' "$desktop")" = zorblet ] || fail "the desktop entry's icon is not zorblet"
grep -q '<launchable type="desktop-id">zorblet.desktop</launchable>' \
    "$game$datadir/metainfo/org.zorblet.Zorblet.metainfo.xml" || fail "the metainfo launches another desktop entry"
if command -v appstreamcli >/dev/null; then
    # Finds the desktop entry and icon the metainfo names, in the tree as installed.
    appstreamcli validate-tree --no-net --strict "$game$prefix" >"$work/tree.log" 2>&1 ||
        fail "appstreamcli validate-tree: $(cat "$work/tree.log")"
else
    echo "appstreamcli is not installed (Debian package appstream): the installed tree is not validated"
fi
zcat "$game$mandir/man6/zorblet.6.gz" | grep -q '^\.TH ZORBLET 6 ' || fail "zorblet.6.gz is no manual page"

server="$work/server"
unit="$unitdir/zorblet-highscore-server.service"
expect_files server "$bindir/zorblet-highscore-server" "$bindir/zorblet-highscore-admin" "$unit" "$defaults" \
    "$mandir/man8/zorblet-highscore-server.8.gz" "$mandir/man8/zorblet-highscore-admin.8.gz" \
    "$datadir/doc/zorblet-highscore-server/copyright"
[ -x "$server$bindir/zorblet-highscore-admin" ] || fail "the admin command is not executable"
zcat "$server$mandir/man8/zorblet-highscore-admin.8.gz" | grep -q '^\.TH ZORBLET\\-HIGHSCORE\\-ADMIN 8 ' ||
    fail "zorblet-highscore-admin.8.gz is no manual page"
grep -qx "ExecStart=$bindir/zorblet-highscore-server --db /var/lib/zorblet-highscore-server/highscores.sqlite --game-key-file /var/lib/zorblet-highscore-server/game-key \$OPTIONS" \
    "$server$unit" || fail "the unit does not start the installed server with its key file in the state folder and the defaults file's OPTIONS"
grep -qx "EnvironmentFile=-$defaults" "$server$unit" || fail "the unit does not read $defaults"
grep -qx "StateDirectory=zorblet-highscore-server" "$server$unit" || fail "the database is not in the unit's state directory"
grep -qx "RuntimeDirectory=zorblet-highscore-server" "$server$unit" ||
    fail "the admin socket's folder is not the unit's runtime directory"
# As shipped the service answers on this machine only, on the game's default port, and
# operators reach it on the socket in the unit's runtime directory.
# shellcheck source=/dev/null
(set -a && source "$server$defaults" &&
    [ "$OPTIONS" = "--bind 127.0.0.1 --port 8080 --admin-socket /run/zorblet-highscore-server/admin.sock" ]) ||
    fail "the defaults file does not keep the service on 127.0.0.1:8080 with its admin socket in /run"
echo "install tree: $(wc -l <"$work/game.files") files for the game, $(wc -l <"$work/server.files") for the service"

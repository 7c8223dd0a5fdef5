# shellcheck shell=bash
# The checks scripts/package runs on the two .deb files it built: contents and control
# data, lintian and the unit; then, on this machine, an install, the installed service and
# game at work, removal and purge.
# systemd does not run here (nor in CI), so the service is started as its unit would start
# it: the unit's ExecStart with the defaults file's options, as an unprivileged user, with
# a temporary state directory, under strace to hold its system calls against the unit's
# filter.

UNIT_NAME=zorblet-highscore-server.service
STATE_DIR=/var/lib/zorblet-highscore-server
RUNTIME_DIR=/run/zorblet-highscore-server
PRIVATE_STATE_DIR=/var/lib/private/zorblet-highscore-server
TEXT_COLOUR='#9B37FF'

check_failed() {
    echo "FAIL: $*" >&2
    exit 1
}

package_status() {
    dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null || echo not-installed
}

# The paths in a .deb, without the leading "." and without folders.
deb_files() {
    dpkg-deb --fsys-tarfile "$1" | tar -t | sed -n 's|^\./|/|; /[^/]$/p'
}

expect_in_deb() {  # DEB PATH...
    local deb=$1 listing path
    shift
    listing=$(deb_files "$deb")
    for path in "$@"; do
        grep -qxF "$path" <<<"$listing" || check_failed "$(basename "$deb") lacks $path"
    done
}

check_contents() {
    local game=$1 server=$2 size
    local icons=(/usr/share/icons/hicolor/scalable/apps/zorblet.svg)
    for size in 16 24 32 48 64 128 256; do icons+=("/usr/share/icons/hicolor/${size}x$size/apps/zorblet.png"); done
    expect_in_deb "$game" /usr/bin/zorblet /usr/share/applications/zorblet.desktop \
        /usr/share/metainfo/org.zorblet.Zorblet.metainfo.xml "${icons[@]}" /usr/share/man/man6/zorblet.6.gz \
        /usr/share/doc/zorblet/copyright /usr/share/doc/zorblet/changelog.gz
    expect_in_deb "$server" /usr/bin/zorblet-highscore-server "/lib/systemd/system/$UNIT_NAME" \
        /etc/default/zorblet-highscore-server /usr/share/man/man8/zorblet-highscore-server.8.gz \
        /usr/share/doc/zorblet-highscore-server/copyright /usr/share/doc/zorblet-highscore-server/changelog.gz
    [ "$(dpkg-deb -I "$server" conffiles)" = /etc/default/zorblet-highscore-server ] ||
        check_failed "the defaults file is not the server package's conffile"

    # dpkg-shlibdeps found the libraries; the fonts come on top.
    local depends
    depends=$(dpkg-deb -f "$game" Depends)
    for library in fonts-liberation libsdl2-2.0-0 libsdl2-ttf-2.0-0 libfontconfig1 libcurl4 zlib1g libc6; do
        grep -qE "(^|, )$library( |,|$)" <<<"$depends" || check_failed "zorblet does not depend on $library: $depends"
    done
    depends=$(dpkg-deb -f "$server" Depends)
    for library in libsqlite3-0 libmicrohttpd12 "libhiredis0\.14" "libstdc\+\+6" libc6; do
        grep -qE "(^|, )$library( |,|$)" <<<"$depends" ||
            check_failed "zorblet-highscore-server does not depend on $library: $depends"
    done
    [ "$(dpkg-deb -f "$game" Section)/$(dpkg-deb -f "$server" Section)" = games/net ] ||
        check_failed "sections are not games and net"
}

run_lintian() {
    # Errors fail the check; warnings, notes and the overrides the packages carry are shown.
    # (With overrides shown, lintian's exit status counts the overridden tags too.)
    local report
    report=$(lintian --fail-on none --display-info --show-overrides --tag-display-limit 0 "$@" 2>&1 |
        grep -v 'running with root privileges')
    [ -z "$report" ] || echo "$report" >&2
    ! grep -q '^E: ' <<<"$report" || check_failed "lintian found errors"
}

# Every system call the traced server made after its exec must pass the unit's
# SystemCallFilter lines, else systemd's seccomp filter would refuse it.
expand_syscall_group() {  # @GROUP, or a system call's own name
    local entry
    [[ $1 == @* ]] || { echo "$1"; return; }
    while read -r entry; do
        case $entry in
        '' | '#'* | "$1") ;;
        @*) expand_syscall_group "$entry" ;;
        *) echo "$entry" ;;
        esac
    done < <(systemd-analyze syscall-filter "$1")
}

check_system_calls() {  # UNIT STRACE_LOG BINARY
    local unit=$1 log=$2 binary=$3 allowed denied line word used
    allowed=$(mktemp) denied=$(mktemp)
    while read -r line; do
        if [[ $line == '~'* ]]; then
            for word in ${line#\~}; do expand_syscall_group "$word"; done >>"$denied"
        else
            for word in $line; do expand_syscall_group "$word"; done >>"$allowed"
        fi
    done < <(sed -n 's/^SystemCallFilter=//p' "$unit")
    # Only what the server itself called: from its exec on.
    used=$(awk -v exe="execve(\"$binary\"" 'index($0, exe) && / = 0$/ { on = 1 } on' "$log" |
        sed -nE 's/^[0-9]+ +([a-z_0-9]+)\(.*/\1/p; s/^[0-9]+ +<\.\.\. ([a-z_0-9]+) resumed>.*/\1/p' | sort -u)
    [ -n "$used" ] || check_failed "strace saw no system call of $binary"
    for word in $used; do
        { grep -qxF "$word" "$allowed" && ! grep -qxF "$word" "$denied"; } ||
            check_failed "the unit's SystemCallFilter refuses $word, which the server calls"
    done
    echo "system calls of the service: $(wc -w <<<"$used"), all within the unit's filter" >&2
    rm -f "$allowed" "$denied"
}

# Starts the installed service the way its unit does; sets service_pid, service_url,
# service_log and strace_log.
start_service_as_unit() {
    local unit=$1 work=$2 exec_line environment_file command_line
    exec_line=$(sed -n 's/^ExecStart=//p' "$unit")
    environment_file=$(sed -n 's/^EnvironmentFile=-\{0,1\}//p' "$unit")
    [ -f "$environment_file" ] || check_failed "no defaults file $environment_file"
    # The same words systemd makes of it: $OPTIONS from the file, split at whitespace.
    # shellcheck source=/dev/null
    command_line=$(set -a && source "$environment_file" && eval "echo $exec_line")
    local command
    read -ra command <<<"$command_line"
    # The state directory systemd would create and hand to a dynamic user.
    local state="$work/state"
    chmod 711 "$work"
    mkdir -m 700 "$state"
    chown nobody:nogroup "$state"
    command=("${command[@]//$STATE_DIR/$state}")
    # And the runtime directory, for the operators' socket.
    local runtime="$work/runtime"
    mkdir -m 750 "$runtime"
    chown nobody:nogroup "$runtime"
    command=("${command[@]//$RUNTIME_DIR/$runtime}")
    admin_socket="$runtime/admin.sock"
    local i bind=127.0.0.1 port=8080
    for ((i = 1; i < ${#command[@]} - 1; i++)); do
        case ${command[i]} in --bind) bind=${command[i + 1]} ;; --port) port=${command[i + 1]} ;; esac
    done
    if (exec 3<>"/dev/tcp/$bind/$port") 2>/dev/null; then
        echo "$bind:$port is taken on this machine: the service gets a free port" >&2
        command+=(--port 0)
    fi
    echo "service: ${command[*]}" >&2
    service_log="$work/service.log"
    strace_log="$work/strace.log"
    strace -f -qq -o "$strace_log" \
        setpriv --reuid=nobody --regid=nogroup --clear-groups --inh-caps=-all --no-new-privs \
        "${command[@]}" 2>"$service_log" &
    service_pid=$!
    for _ in $(seq 100); do
        service_url=$(sed -n 's/.*listening on \(http[^ ]*\).*/\1/p' "$service_log")
        [ -n "$service_url" ] && return
        kill -0 "$service_pid" 2>/dev/null || break
        sleep 0.1
    done
    check_failed "the installed service did not start: $(cat "$service_log")"
}

# The game's check value: remainders of the points and of the name's first byte.
check_value() {  # POINTS NAME
    local points=$1 initial divisor text=
    initial=$(printf '%d' "'${2:0:1}")
    for divisor in 13 7 31 59; do text+=$((points % divisor)); done
    for divisor in 13 7 31 59; do text+=$((initial % divisor)); done
    echo "$text"
}

check_requests() {
    local url=$1 reply
    reply=$(curl -fsS --max-time 5 "${url}BestOffSQL.php" | tr -d '\r')
    [ "$(head -1 <<<"$reply")" = 0 ] || check_failed "a fresh list does not count 0 entries: $(head -1 <<<"$reply")"
    reply=$(curl -fsS --max-time 5 "${url}HighScoreSQL.php?Punkte=1234&Name=Paket&Check=$(check_value 1234 Paket)")
    [ "$reply" = OK ] || check_failed "the submission was answered $reply"
    reply=$(curl -fsS --max-time 5 "${url}ListeSQL.php?Punkte=1000" | tr -d '\r')
    [ "$(head -1 <<<"$reply")" = 2 ] || check_failed "1000 points do not take place 2 behind 1234"
    grep -q $'^1234\tPaket\t' <<<"$reply" || check_failed "the place list lacks the submitted score"
    reply=$(curl -fsS --max-time 5 "${url}BestOffSQL.php" | tr -d '\r')
    [ "$(head -1 <<<"$reply")" = 1 ] || check_failed "the best-of list does not count the submitted score"
    echo "service answered its three requests at $url" >&2
    [ -S "$admin_socket" ] || check_failed "the service made no admin socket at $admin_socket"
    [ "$(stat -c %a "$admin_socket")" = 660 ] || check_failed "the admin socket has mode $(stat -c %a "$admin_socket")"
    reply=$(curl -fsS --max-time 5 --unix-socket "$admin_socket" http://local/healthz)
    [ "$reply" = ok ] || check_failed "the admin socket answered /healthz with $reply"
    curl -fsS --max-time 5 --unix-socket "$admin_socket" http://local/metrics | grep -qx 'zorblet_entries 1' ||
        check_failed "the admin socket's /metrics does not count the submitted score"
    echo "the admin socket (mode 660) answered /healthz and /metrics" >&2
    local admin=(/usr/bin/zorblet-highscore-admin --socket "$admin_socket") copy
    reply=$("${admin[@]}" list) || check_failed "zorblet-highscore-admin list failed"
    grep -q $'^1\t1\t1234\tPaket\t' <<<"$reply" || check_failed "zorblet-highscore-admin lists no score: $reply"
    copy=$(mktemp -d)
    "${admin[@]}" backup "$copy/backup.sqlite" || check_failed "zorblet-highscore-admin backup failed"
    [ -s "$copy/backup.sqlite" ] || check_failed "the backup is empty"
    rm -rf "$copy"
    echo "the installed zorblet-highscore-admin listed the score and took a backup" >&2
}

# The installed game under Xvfb: its window, its menu drawn in its fonts, its first
# request when the service is at its address, and ESC ending it with status 0.
check_game() {
    local work=$1 game_url=$2 shot=$3 display window geometry pixels game_pid code=0
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
    xvfb_pid=$!
    for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
    display=":$(head -1 "$work/display")"
    [ "$display" != : ] || check_failed "Xvfb did not start"
    DISPLAY=$display SDL_AUDIODRIVER=dummy /usr/bin/zorblet 2>"$work/game.err" &
    game_pid=$!
    window=$(DISPLAY=$display timeout 30 xdotool search --sync --name '^Zorblet 1\.00$' | head -1) ||
        check_failed "the installed game showed no window titled \"Zorblet 1.00\": $(cat "$work/game.err")"
    geometry=$(DISPLAY=$display xdotool getwindowgeometry "$window" | sed -n 's/ *Geometry: //p')
    [ "$geometry" = 600x600 ] || check_failed "the game's window is $geometry"
    if [ "$service_url" = "$game_url" ]; then
        for _ in $(seq 100); do grep -q 'GET /ListeSQL.php?Punkte=0 ' "$service_log" && break; sleep 0.1; done
        grep -q 'GET /ListeSQL.php?Punkte=0 ' "$service_log" || check_failed "the game did not ask the service for its list"
        echo "the installed game asked the installed service for its list" >&2
    else
        echo "the service is not at the game's address $game_url: the game's request is not checked" >&2
    fi
    sleep 1
    DISPLAY=$display import -window "$window" "$shot"
    pixels=$(convert "$shot" txt:- | grep -c "$TEXT_COLOUR" || true)
    [ "$pixels" -gt 500 ] || check_failed "no menu text in the game's window (fonts?); see $shot"
    DISPLAY=$display xdotool windowfocus --sync "$window"
    DISPLAY=$display xdotool keydown Escape
    sleep 0.1
    DISPLAY=$display xdotool keyup Escape
    for _ in $(seq 100); do kill -0 "$game_pid" 2>/dev/null || break; sleep 0.05; done
    kill -0 "$game_pid" 2>/dev/null && check_failed "ESC did not end the installed game"
    wait "$game_pid" || code=$?
    [ "$code" -eq 0 ] || check_failed "the installed game ended with status $code: $(cat "$work/game.err")"
    kill "$xvfb_pid"
    wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=
    echo "the installed game showed its window \"Zorblet 1.00\" (600x600) and its menu, and ended on ESC" >&2
}

stop_service() {
    local code=0 server
    # SIGTERM to the server, not to strace, which then ends with the server's status.
    server=$(cat "/proc/$service_pid/task/$service_pid/children")
    # shellcheck disable=SC2086
    kill -TERM $server
    wait "$service_pid" || code=$?
    service_pid=
    [ "$code" -eq 0 ] || check_failed "the service ended with status $code on SIGTERM: $(tail -3 "$service_log")"
    grep -q 'zorblet-highscore-server: stopped' "$service_log" || check_failed "the service did not stop cleanly"
    [ ! -e "$admin_socket" ] || check_failed "the service left its admin socket behind"
}

# apt-get, its chatter shown only when it fails.
quiet_apt() {
    DEBIAN_FRONTEND=noninteractive apt-get -y -q "$@" >"$work/apt.log" 2>&1 ||
        check_failed "apt-get $*: $(cat "$work/apt.log")"
}

expect_gone() {  # PATH...
    local path
    for path in "$@"; do
        [ -e "$path" ] || [ -L "$path" ] && check_failed "$path is left"
    done
    return 0
}

check_remove_and_purge() {
    local state=$1 file
    # What systemd's DynamicUser leaves after a run: the state under private/, and a link.
    if [ ! -d "$(dirname "$PRIVATE_STATE_DIR")" ]; then
        mkdir -m 700 "$(dirname "$PRIVATE_STATE_DIR")"
        made_private_dir=1
    fi
    cp -a "$state" "$PRIVATE_STATE_DIR"
    ln -s private/zorblet-highscore-server "$STATE_DIR"
    local files=() kept=()
    while read -r file; do [ -d "$file" ] || files+=("$file"); done < <(dpkg -L zorblet zorblet-highscore-server)

    quiet_apt remove zorblet zorblet-highscore-server
    [ "$(package_status zorblet)" = not-installed ] || check_failed "zorblet is $(package_status zorblet) after removal"
    [ "$(package_status zorblet-highscore-server)" = config-files ] ||
        check_failed "zorblet-highscore-server is $(package_status zorblet-highscore-server) after removal"
    [ -f "$STATE_DIR/highscores.sqlite" ] || check_failed "removal deleted the database"
    [ -f /etc/default/zorblet-highscore-server ] || check_failed "removal deleted the defaults file"
    for file in "${files[@]}"; do [ "$file" = /etc/default/zorblet-highscore-server ] || kept+=("$file"); done
    expect_gone "${kept[@]}"
    echo "removed: the database and the defaults file stay, nothing else" >&2

    # The game is gone already: it keeps no configuration.
    quiet_apt purge zorblet-highscore-server
    [ "$(package_status zorblet-highscore-server)" = not-installed ] || check_failed "the server package is not purged"
    expect_gone "${files[@]}" "$STATE_DIR" "$PRIVATE_STATE_DIR"
    local left
    left=$(find /etc/systemd /var/lib/systemd -name '*zorblet*' 2>/dev/null)
    [ -z "$left" ] || check_failed "purge left systemd state: $left"
    echo "purged: nothing of either package is left" >&2
    [ -z "${made_private_dir:-}" ] || rmdir "$(dirname "$PRIVATE_STATE_DIR")"
}

# The whole check of the packages in DIR; refuses to touch an installation it did not make.
check_packages() {
    local dir=$1 game_url=$2 game server deb
    game=$(echo "$dir"/zorblet_*.deb)
    server=$(echo "$dir"/zorblet-highscore-server_*.deb)
    [ -f "$game" ] || check_failed "no zorblet package in $dir"
    [ -f "$server" ] || check_failed "no zorblet-highscore-server package in $dir"

    echo "== package: contents" >&2
    check_contents "$game" "$server"
    for deb in "$game" "$server"; do
        dpkg-deb -f "$deb" Package Version Architecture Section Depends >&2
    done

    echo "== package: lintian" >&2
    run_lintian "$game" "$server"
    echo "lintian: no errors" >&2

    local package
    for package in zorblet zorblet-highscore-server; do
        [ "$(package_status "$package")" = not-installed ] ||
            check_failed "$package is installed here ($(package_status "$package")); the check installs and purges it: purge it first"
    done
    [ -e "$STATE_DIR" ] || [ -L "$STATE_DIR" ] && check_failed "$STATE_DIR exists: the check would purge a database"

    work=$(mktemp -d)
    service_pid='' xvfb_pid=''
    trap package_check_cleanup EXIT

    echo "== package: install" >&2
    installed=1
    quiet_apt install "$(realpath "$game")" "$(realpath "$server")"
    local unit=/lib/systemd/system/$UNIT_NAME wants=/etc/systemd/system/multi-user.target.wants/$UNIT_NAME
    [ -L "$wants" ] || check_failed "installing did not enable the unit"
    # An operator's choice outlives an upgrade: a disabled unit stays disabled.
    systemctl disable --quiet "$UNIT_NAME" 2>/dev/null
    [ ! -L "$wants" ] || check_failed "systemctl disable left $wants"
    quiet_apt install --reinstall "$(realpath "$server")"
    [ ! -L "$wants" ] || check_failed "an upgrade enabled the unit the operator had disabled"
    systemctl enable --quiet "$UNIT_NAME" 2>/dev/null
    echo "installed; the unit is enabled, and an operator's disable survives an upgrade" >&2
    # It warns about unknown keys and still exits 0: any word from it fails the check.
    local verdict
    verdict=$(systemd-analyze verify "$unit" 2>&1) || check_failed "systemd-analyze verify: $verdict"
    [ -z "$verdict" ] || check_failed "systemd-analyze verify: $verdict"
    echo "systemd-analyze verify: the unit is fine" >&2
    systemd-analyze security --offline=yes --no-pager "$unit" 2>/dev/null | tail -1 >&2

    echo "== package: the installed service" >&2
    start_service_as_unit "$unit" "$work"
    check_requests "$service_url"

    echo "== package: the installed game" >&2
    check_game "$work" "$game_url" "$dir/installed-game.png"
    stop_service
    check_system_calls "$unit" "$strace_log" /usr/bin/zorblet-highscore-server

    echo "== package: remove and purge" >&2
    check_remove_and_purge "$work/state"
    installed=
}

package_check_cleanup() {
    if [ -n "${service_pid:-}" ]; then
        # shellcheck disable=SC2046
        kill $(cat "/proc/$service_pid/task/$service_pid/children" 2>/dev/null) "$service_pid" 2>/dev/null
    fi
    [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
    # A failed check leaves no installation behind to block the next one.
    if [ -n "${installed:-}" ]; then
        dpkg --purge zorblet zorblet-highscore-server >/dev/null 2>&1 || true
        rm -rf "$STATE_DIR" "$PRIVATE_STATE_DIR"
        [ -z "${made_private_dir:-}" ] || rmdir "$(dirname "$PRIVATE_STATE_DIR")" 2>/dev/null || true
    fi
    rm -rf "$work"
}

# shellcheck shell=bash
# Shared by the player tests: an X server of their own, the game in it, keys held long
# enough to be seen, screenshots of the window and the text read off them.
# Sourced after GAME is set; FAILURE_SHOT names where the last screenshot goes on failure.

TEXT_COLOUR='#9B37FF'
work=$(mktemp -d)
pids=()
# The game keeps its settings and the records of its games here, not in the home folder of
# whoever runs the tests.
export XDG_CONFIG_HOME="$work/config"
export XDG_DATA_HOME="$work/data"
settings_file="$XDG_CONFIG_HOME/zorblet/zorblet.conf"

# shellcheck source=../../scripts/lib/local_service.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib/local_service.sh"

cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    stop_local_service
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    local shot="${TMPDIR:-/tmp}/${FAILURE_SHOT:-zorblet-player-failure.png}"
    echo "FAIL: $*" >&2
    local last="$work/window.png"
    [ "$work/window.ppm" -nt "$last" ] && last="$work/window.ppm"
    [ -f "$last" ] && convert "$last" "$shot" && echo "last screenshot: $shot" >&2
    exit 1
}

start_display() {  # [screen size, 1280x1024 unless given]
    Xvfb -displayfd 3 -screen 0 "${1:-1280x1024}x24" -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
    pids+=($!)
    for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
    [ -s "$work/display" ] || fail "Xvfb did not start"
    export DISPLAY=":$(head -1 "$work/display")"
}

# The real highscore service, with a database of its own, at ZORBLET_TEST_SERVER_URL (see
# the end of this file); CTest names the server in ZORBLET_TEST_SERVER_BIN.
start_highscore_service() {
    local code=0
    start_local_service "$ZORBLET_TEST_SERVER_URL" "$ZORBLET_TEST_SERVER_BIN" "$work/service.log" \
        "$work/highscores.sqlite" || code=$?
    [ "$code" -eq 0 ] && return
    [ "$code" -eq 1 ] && fail "the highscore address $ZORBLET_TEST_SERVER_URL is not on this machine"
    fail "the highscore service did not start at $ZORBLET_TEST_SERVER_URL (is the port taken?): $(cat "$work/service.log")"
}

start_game() {  # [game option...]
    SDL_AUDIODRIVER=dummy "$GAME" "$@" 2>"$work/game.err" &
    game_pid=$!
    pids+=("$game_pid")
    window=$(timeout 30 xdotool search --sync --name '^Zorblet 1\.00$' | head -1) || fail "no window appeared"
    xdotool windowfocus --sync "$window"
    sleep 0.5
}

# Sets win_x, win_y, width and height of the game window's client area.
read_window_geometry() {
    local geometry
    geometry=$(xwininfo -id "$window")
    win_x=$(awk '/Absolute upper-left X/ { print $4 }' <<<"$geometry")
    win_y=$(awk '/Absolute upper-left Y/ { print $4 }' <<<"$geometry")
    width=$(awk '/Width:/ { print $2 }' <<<"$geometry")
    height=$(awk '/Height:/ { print $2 }' <<<"$geometry")
}

game_runs() {
    kill -0 "$game_pid" 2>/dev/null
}

expect_exit_code() {
    local expected=$1 code=0
    for _ in $(seq 100); do game_runs || break; sleep 0.05; done
    game_runs && fail "the game is still running"
    wait "$game_pid" || code=$?
    [ "$code" -eq "$expected" ] || fail "exit code $code, expected $expected: $(cat "$work/game.err")"
}

# Holds a key long enough for the game's per-frame keyboard reading to see it.
tap() {
    xdotool keydown "$1" sleep 0.1 keyup "$1"
    sleep 0.3
}

# Taps a key until the check holds. The game reads its keyboard once a frame, so on a
# busy machine a tap can fall between two readings, and what a key does shows a frame or
# more after it: a key whose effect has not shown within ten seconds was not seen and is
# tapped again. The check looks at the window itself.
tap_until() {  # key, what is awaited, check command...
    local key=$1 what=$2 attempt deadline
    shift 2
    for attempt in 1 2 3; do
        tap "$key"
        deadline=$((SECONDS + 10))
        until "$@"; do
            game_runs || fail "the game ended while waiting for $what: $(cat "$work/game.err")"
            [ "$SECONDS" -lt "$deadline" ] || continue 2
        done
        return 0
    done
    fail "waited in vain for $what after $key"
}

# Ends the game with ESC, tapped again while it still runs, and expects exit code 0.
end_with_escape() {
    local attempt
    for attempt in 1 2 3; do
        tap Escape
        for _ in $(seq 100); do game_runs || break; sleep 0.05; done
        game_runs || break
    done
    expect_exit_code 0
}

screenshot() {  # [size of the window's picture, 600 unless given]
    local size=${1:-600}
    import -window root "$work/root.png"
    convert "$work/root.png" -crop "${size}x$size+$win_x+$win_y" +repage "$work/window.png"
}

# The text colour's pixels in rows top..top+height-1 (and columns left..left+width-1,
# the whole width when not given) of the window, as "count minX maxX".
text_in_band() {
    local top=$1 rows=$2 left=${3:-0} columns=${4:-600}
    convert "$work/window.png" -crop "${columns}x$rows+$left+$top" +repage txt:- |
        awk -v c="$TEXT_COLOUR" -v left="$left" 'index($0, c) { split($1, p, /[,:]/); x = p[1] + left; n++;
            if (min == "" || x < min) min = x; if (x > max) max = x }
            END { printf "%d %d %d\n", n, min, max }'
}

text_shown() {  # band top, height
    local count
    read -r count _ _ < <(text_in_band "$1" "$2")
    [ "$count" -gt 50 ]
}

no_text_shown() {  # band top, height
    local count
    read -r count _ _ < <(text_in_band "$1" "$2")
    [ "$count" -eq 0 ]
}

expect_text() {  # band top, height, what it is
    text_shown "$1" "$2" || fail "no text where $3 stands (rows $1+$2)"
}

expect_no_text() {
    no_text_shown "$1" "$2" || fail "text where $3 should not be (rows $1+$2)"
}

# The width of the text in a band of the window's last screenshot, 0 when there is none.
text_width() {  # band top, height
    local count min max
    read -r count min max < <(text_in_band "$1" "$2")
    [ "$count" -gt 0 ] && echo $((max - min)) || echo 0
}

# A free TCP port on the loopback address.
free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# The tests of the game at its compiled address get that address from CTest, which runs them
# one at a time. The others hand the game (in ZORBLET_HIGHSCORE_SERVER) a service on a port
# of their own, so that they can run beside each other and beside the rest.
if [ -z "${ZORBLET_TEST_SERVER_URL:-}" ]; then
    ZORBLET_TEST_SERVER_URL="http://127.0.0.1:$(free_port)/"
    export ZORBLET_HIGHSCORE_SERVER=$ZORBLET_TEST_SERVER_URL
fi

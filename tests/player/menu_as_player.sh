#!/usr/bin/env bash
# Plays the real game under Xvfb as a player would: looks at the window, presses
# the function keys, reads the screen, and ends it with ESC and with the close box.
# Usage: menu_as_player.sh ZORBLET CLOSE_WINDOW
set -euo pipefail

GAME=$1
CLOSER=$2
TEXT_COLOUR='#9B37FF'
work=$(mktemp -d)
pids=()

cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    [ -f "$work/window.png" ] && cp "$work/window.png" "${TMPDIR:-/tmp}/zorblet-player-failure.png" &&
        echo "last screenshot: ${TMPDIR:-/tmp}/zorblet-player-failure.png" >&2
    exit 1
}

start_display() {
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
    pids+=($!)
    for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
    [ -s "$work/display" ] || fail "Xvfb did not start"
    export DISPLAY=":$(head -1 "$work/display")"
}

start_game() {
    SDL_AUDIODRIVER=dummy "$GAME" 2>"$work/game.err" &
    game_pid=$!
    pids+=("$game_pid")
    window=$(timeout 30 xdotool search --sync --name '^Zorblet 1\.00$' | head -1) || fail "no window appeared"
    xdotool windowfocus --sync "$window"
    sleep 0.5
}

expect_exit_code() {
    local expected=$1 code=0
    for _ in $(seq 100); do kill -0 "$game_pid" 2>/dev/null || break; sleep 0.05; done
    kill -0 "$game_pid" 2>/dev/null && fail "the game is still running"
    wait "$game_pid" || code=$?
    [ "$code" -eq "$expected" ] || fail "exit code $code, expected $expected: $(cat "$work/game.err")"
}

# Holds a key long enough for the game's per-frame keyboard reading to see it.
tap() {
    xdotool keydown "$1"
    sleep 0.1
    xdotool keyup "$1"
    sleep 0.3
}

screenshot() {
    import -window root "$work/root.png"
    convert "$work/root.png" -crop "600x600+$win_x+$win_y" +repage "$work/window.png"
}

# The text colour's pixels in rows top..top+height-1 of the window, as "count minX maxX".
text_in_band() {
    convert "$work/window.png" -crop "600x$2+0+$1" +repage txt:- |
        awk -v c="$TEXT_COLOUR" 'index($0, c) { split($1, p, /[,:]/); n++;
            if (min == "" || p[1] < min) min = p[1]; if (p[1] > max) max = p[1] }
            END { printf "%d %d %d\n", n, min, max }'
}

expect_text() {  # band top, height, what it is
    local count
    read -r count _ _ < <(text_in_band "$1" "$2")
    [ "$count" -gt 50 ] || fail "no text where $3 stands (rows $1+$2)"
}

expect_no_text() {
    local count
    read -r count _ _ < <(text_in_band "$1" "$2")
    [ "$count" -eq 0 ] || fail "text where $3 should not be (rows $1+$2)"
}

start_display
start_game

geometry=$(xwininfo -id "$window")
win_x=$(awk '/Absolute upper-left X/ { print $4 }' <<<"$geometry")
win_y=$(awk '/Absolute upper-left Y/ { print $4 }' <<<"$geometry")
width=$(awk '/Width:/ { print $2 }' <<<"$geometry")
height=$(awk '/Height:/ { print $2 }' <<<"$geometry")
[ "$width" = 600 ] && [ "$height" = 600 ] || fail "client area ${width}x$height"
[ "$win_x" = $((1280 / 2 - 300)) ] && [ "$win_y" = $((1024 / 2 - 300)) ] || fail "window at $win_x,$win_y"

screenshot
for y in 350 390 430 470 510; do expect_text "$y" 30 "the menu line at $y"; done
expect_text 0 16 "the FPS reading"
expect_text 570 30 "score and lives"
expect_no_text 100 240 "the empty status line"

tap F1
screenshot
expect_text 50 20 "the help page's title"
expect_text 420 20 "the help page's last line"
expect_no_text 480 60 "the hidden menu"
tap F1
screenshot
expect_text 510 30 "the menu after the help page"

read -r _ sound_on_min sound_on_max < <(text_in_band 430 30)
tap F3
screenshot
read -r _ sound_off_min sound_off_max < <(text_in_band 430 30)
[ $((sound_off_max - sound_off_min)) -lt $((sound_on_max - sound_on_min)) ] ||
    fail "F3 did not shorten \"[F3] Ton aus\" to \"[F3] Ton an\""
tap F3
screenshot
read -r _ min max < <(text_in_band 430 30)
[ "$min $max" = "$sound_on_min $sound_on_max" ] || fail "F3 did not switch the sound back on"

tap F4
screenshot
expect_text 350 30 "the menu while paused"
tap F4

tap Escape
expect_exit_code 0

# The window's close box ends the game in a pause too.
start_game
tap F4
"$CLOSER" "$window"
expect_exit_code 0

# Without any font the game says what is missing instead of crashing.
cat >"$work/fonts.conf" <<'CONF'
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig><dir>/nonexistent</dir><cachedir>/nonexistent</cachedir></fontconfig>
CONF
code=0
FONTCONFIG_FILE="$work/fonts.conf" SDL_AUDIODRIVER=dummy timeout 30 "$GAME" 2>"$work/nofont.err" || code=$?
[ "$code" -eq 1 ] || fail "without fonts the exit code is $code: $(cat "$work/nofont.err")"
grep -q 'fonts-liberation' "$work/nofont.err" || fail "no clear message without fonts: $(cat "$work/nofont.err")"

# Without a display it says so instead of running unseen.
code=0
env -u DISPLAY -u WAYLAND_DISPLAY SDL_AUDIODRIVER=dummy timeout 30 "$GAME" 2>"$work/nodisplay.err" || code=$?
[ "$code" -eq 1 ] || fail "without a display the exit code is $code"
grep -q 'Kein Bildschirm' "$work/nodisplay.err" || fail "no clear message without a display: $(cat "$work/nodisplay.err")"

echo "player test passed"

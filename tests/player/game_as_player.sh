#!/usr/bin/env bash
# Plays one game of the real program under Xvfb as a player would: starts it with F2,
# watches the countdown and the falling ball, steers the paddle with the mouse, fires a
# shot, lets three balls drop, types a name for the highscore list on the physical keys
# of a German keyboard, finds it in the real service's list, and ends the program; then
# finds the name waiting in the next run's name entry.
# Usage: game_as_player.sh ZORBLET WINDOW_PIXELS
set -euo pipefail

GAME=$1
PIXELS=$2
FAILURE_SHOT=zorblet-game-failure.png
# shellcheck source=SCRIPTDIR/lib.sh
source "$(dirname "$0")/lib.sh"

PADDLE_COLOUR='50 50 200'
SHOT_COLOUR='128 128 128'
TEXT_RGB='155 55 255'
MENU_LINES=(350 390 430 470 510)
# The sanitizer builds draw fewer frames a second, so every wait is a poll with a generous limit.
POLL_SECONDS=30

# Reads the window: every pixel that is not black, one "x y red green blue" a line.
look() {
    "$PIXELS" "$window" "$work/window.ppm" >"$work/pixels" || fail "the window cannot be read"
}

# "count minX maxX minY maxY" of the pixels in one colour ("red green blue").
colour_box() {
    awk -v c="$1" '($3 " " $4 " " $5) == c {
            if (n++ == 0) { x0 = x1 = $1; y0 = y1 = $2 }
            if ($1 < x0) x0 = $1; if ($1 > x1) x1 = $1; if ($2 < y0) y0 = $2; if ($2 > y1) y1 = $2 }
        END { printf "%d %d %d %d %d\n", n, x0, x1, y0, y1 }' "$work/pixels"
}

# The text colour's pixels in a box (left, top, width, height), as "count minX maxX".
text_in_box() {
    awk -v c="$TEXT_RGB" -v l="$1" -v t="$2" -v w="$3" -v h="$4" \
        '($3 " " $4 " " $5) == c && $1 >= l && $1 < l + w && $2 >= t && $2 < t + h {
            if (n++ == 0) x0 = x1 = $1; if ($1 < x0) x0 = $1; if ($1 > x1) x1 = $1 }
        END { printf "%d %d %d\n", n, x0, x1 }' "$work/pixels"
}

# The ball's centre as "x y", or nothing. Its hollow ring is drawn in one colour with
# blue 50 and red + green 300 (green at rest, red after a paddle contact); the bursts
# that share its family of colours are short strokes, so the ring is the colour that
# covers a box of about 41 x 41 pixels.
ball_centre() {
    awk '$5 == 50 && $3 + $4 == 300 { c = $3; n[c]++
            if (n[c] == 1) { x0[c] = x1[c] = $1; y0[c] = y1[c] = $2 }
            if ($1 < x0[c]) x0[c] = $1; if ($1 > x1[c]) x1[c] = $1
            if ($2 < y0[c]) y0[c] = $2; if ($2 > y1[c]) y1[c] = $2 }
        END { for (c in n) { w = x1[c] - x0[c]; h = y1[c] - y0[c]
                if (w >= 38 && w <= 44 && h >= 38 && h <= 44 && n[c] > best) {
                    best = n[c]; x = (x0[c] + x1[c]) / 2; y = (y0[c] + y1[c]) / 2 } }
            if (best) printf "%d %d\n", x, y }' "$work/pixels"
}

# The last character of "Leben: N", right-aligned to x = 380, as a fingerprint of its pixels.
lives_digit() {
    awk -v c="$TEXT_RGB" '($3 " " $4 " " $5) == c && $1 >= 366 && $1 <= 382 && $2 >= 566 && $2 <= 596 { print $1, $2 }' \
        "$work/pixels" | md5sum | cut -c1-12
}

countdown_shown() {
    local count
    read -r count _ _ < <(text_in_box 270 262 60 64)
    [ "$count" -gt 50 ]
}

# A menu line is wide text; a score pop-up drifting by is narrow.
menu_line_shown() {
    local count min max
    read -r count min max < <(text_in_box 0 "$1" 600 30)
    [ "$count" -gt 50 ] && [ $((max - min)) -gt 150 ]
}

menu_shown() {
    local y
    for y in "${MENU_LINES[@]}"; do menu_line_shown "$y" || return 1; done
}

menu_gone() {
    local y
    for y in "${MENU_LINES[@]}"; do menu_line_shown "$y" && return 1; done
    return 0
}

# Sets ball_x and ball_y when the ball is seen below the row given.
ball_below() {
    local centre
    centre=$(ball_centre)
    [ -n "$centre" ] || return 1
    read -r ball_x ball_y <<<"$centre"
    [ "$ball_y" -gt "$1" ]
}

# True when the ball, outside a countdown, is lower than at the previous call. It bounces
# back up as high as it fell from, so a look now and then may catch it rising.
ball_falls() {
    local before=$ball_y
    ! countdown_shown && ball_below 0 && [ "$ball_y" -gt $((before + 5)) ]
}

countdown_over() {
    ! countdown_shown
}

paddle_centre() {
    local count left right
    read -r count left right _ _ < <(colour_box "$PADDLE_COLOUR")
    [ "$count" -gt 50 ] && echo $(((left + right) / 2))
}

move_mouse_right() {
    for _ in 1 2 3 4 5 6; do
        xdotool mousemove_relative -- $(($1 / 6)) 0
        sleep 0.02
    done
}

click() {
    xdotool mousedown 1 sleep 0.1 mouseup 1
}

# Looks at the window, and notes each new figure of the lives in the HUD. A figure counts
# once two looks in a row agree on it: a score pop-up in the text colour drifting over
# the digit changes one look, not the lives.
look_and_count_lives() {
    look
    local lives
    lives=$(lives_digit)
    if [ "$lives" = "${lives_previous:-}" ] && { [ "${#lives_seen[@]}" -eq 0 ] || [ "$lives" != "${lives_seen[-1]}" ]; }; then
        lives_seen+=("$lives")
    fi
    lives_previous=$lives
}

lives_noted() {
    [ "${#lives_seen[@]}" -ge "$1" ]
}

lives_back_to_first() {
    [ "${lives_seen[-1]}" = "${lives_seen[0]}" ]
}

# Looks at the window until the check holds, for at most POLL_SECONDS.
wait_until() {  # what is awaited, check command...
    local what=$1 deadline=$((SECONDS + POLL_SECONDS))
    shift
    until look_and_count_lives && "$@"; do
        game_runs || fail "the game ended while waiting for $what: $(cat "$work/game.err")"
        [ "$SECONDS" -lt "$deadline" ] || fail "waited in vain for $what"
    done
}

# Presses the key with this X keycode (its place on the keyboard, whatever the layout),
# with Shift held around it when asked.
type_keycode() {
    # One xdotool for the whole tap: on a busy machine a process takes long to start,
    # and a key held that much longer would repeat.
    if [ "${2:-}" = shift ]; then
        xdotool keydown Shift_L sleep 0.05 keydown "$1" sleep 0.1 keyup "$1" sleep 0.05 keyup Shift_L
    else
        xdotool keydown "$1" sleep 0.1 keyup "$1"
    fi
    sleep 0.1
}

lives_seen=()
start_display
start_highscore_service
start_game
wait_until "the menu after start-up" menu_shown
wait_until "the lives in the HUD" lives_noted 1

# F2: the countdown digit stands big in the middle, the menu is gone, the lives change,
# and the ball hangs at its start above the paddle.
countdown_looked_at() {
    look_and_count_lives && countdown_shown
}
tap_until F2 "the countdown digit" countdown_looked_at
menu_gone || fail "the menu is still shown during the countdown"
ball_below 0 || fail "no ball during the countdown"
[ $((ball_x - 300)) -ge -3 ] && [ $((ball_x - 300)) -le 3 ] && [ $((ball_y - 100)) -ge -3 ] &&
    [ $((ball_y - 100)) -le 3 ] || fail "the ball waits at $ball_x,$ball_y instead of 300,100"

# After the countdown the ball falls, straight down onto the paddle.
wait_until "the ball to fall" ball_falls
[ $((ball_x - 300)) -ge -3 ] && [ $((ball_x - 300)) -le 3 ] || fail "the ball falls at x $ball_x, not 300"
lives_noted 2 || fail "the lives in the HUD did not change with F2"

# A click fires a shot: a grey dart, where none flew before.
read -r shot_pixels _ < <(colour_box "$SHOT_COLOUR")
[ "$shot_pixels" -eq 0 ] || fail "a shot is in flight before the first click"
# The button is read once a frame too: a click that is not seen is made again.
shot_flies() {
    look_and_count_lives
    read -r shot_pixels _ < <(colour_box "$SHOT_COLOUR")
    [ "$shot_pixels" -ge 10 ]
}
shot_seen=no
for attempt in 1 2 3; do
    click
    deadline=$((SECONDS + 5))
    until [ "$SECONDS" -ge "$deadline" ]; do
        shot_flies && shot_seen=yes && break
    done
    [ "$shot_seen" = yes ] && break
done
[ "$shot_seen" = yes ] || fail "no shot after a click"

# The mouse moves the paddle. The motion is sent while a lost ball's countdown holds the
# world still: the game keeps it and the paddle takes all of it when the ball is in play
# again, more than a second before that ball can be lost. So nothing may be pending when
# the ball is lost: the paddle is first sent out of the ball's way and seen there in play.
paddle_left_in_play() {
    local centre
    centre=$(paddle_centre) && [ "$centre" -lt 200 ] && ! countdown_shown
}
xdotool mousemove_relative -- -150 0
wait_until "the paddle out of the ball's way" paddle_left_in_play
wait_until "the ball to be lost" countdown_shown
paddle_before=$(paddle_centre) || fail "no paddle during the countdown"
move_mouse_right 60
wait_until "the next ball" countdown_over
paddle_after=$(paddle_centre) || fail "the paddle is gone after moving the mouse"
moved=$((paddle_after - paddle_before))
[ "$moved" -ge 45 ] && [ "$moved" -le 75 ] || fail "60 pixels of mouse motion moved the paddle by $moved"

# With the paddle kept at the left wall the balls drop past it until the menu comes back;
# the HUD has counted the lives 0, 3, 2, 1, 0.
lose_every_ball() {
    local deadline=$((SECONDS + 60))
    until menu_shown; do
        xdotool mousemove_relative -- -150 0
        look_and_count_lives
        game_runs || fail "the game ended during play: $(cat "$work/game.err")"
        [ "$SECONDS" -lt "$deadline" ] || fail "no game over with the paddle out of the ball's way"
    done
}
lose_every_ball
wait_until "the lives in the HUD to read as before the game" lives_back_to_first
lives_noted 5 || fail "the lives in the HUD went through ${#lives_seen[@]} figures, not 0, 3, 2, 1, 0"
countdown_shown && fail "a countdown digit over the menu"

# The name entry is open: a name typed on the physical keys of a German keyboard, with
# Shift, an umlaut and a Backspace, goes to the highscore service with Enter. The game
# reads its keyboard once a frame, so on a slow or busy machine a tap can fall between
# two readings: each key is typed again until the name column shows it.
sleep 1
game_runs || fail "the game ended after the game over: $(cat "$work/game.err")"

# The player's row pulses through colours (230 + 25 s, 180 + 50 s, 130 - 50 s) as the
# animation angle's sine s runs; nothing else on screen is drawn in them.
PLAYER_ROW_COLOUR='$4 + $5 == 310 && (2 * ($3 - 230) - ($4 - 180)) ^ 2 <= 4'

# How many character cells of the name column in the player's row (window y 210) are
# inked. Cells are 11 pixels wide (the table font) and the name starts after 14 of
# them. Only the middle of a cell counts: the blinking cursor stands on the border to
# the next.
name_cells() {
    awk "\$2 >= 210 && \$2 < 228 && \$1 >= 184 && \$1 < 448 && $PLAYER_ROW_COLOUR"' {
            offset = ($1 - 184) % 11
            if (offset >= 2 && offset <= 8) cell[int(($1 - 184) / 11)] = 1 }
        END { n = 0; for (c in cell) n++; print n }' "$work/pixels"
}

name_cells_are() {
    [ "$(name_cells)" -eq "$1" ]
}

# The player's row is drawn once the list around the score has come: its place and score.
player_row_shown() {
    local count
    count=$(awk "\$2 >= 210 && \$2 < 228 && \$1 >= 30 && \$1 < 184 && $PLAYER_ROW_COLOUR"' { n++ } END { print n + 0 }' \
        "$work/pixels")
    [ "$count" -gt 20 ]
}

# The keys of the name as typed so far ("keycode" or "keycode shift"), one inked cell
# of the name column each.
name_keys=()

# Polls until the name column holds as many cells as name_keys, for at most 5 s; gives up
# at once when it holds more, which waiting cannot mend.
name_cells_settle() {
    local cells deadline=$((SECONDS + 5))
    while look; do
        cells=$(name_cells)
        [ "$cells" -eq "${#name_keys[@]}" ] && return 0
        [ "$cells" -gt "${#name_keys[@]}" ] || [ "$SECONDS" -ge "$deadline" ] && return 1
    done
}

# Brings the name column to exactly name_keys. A busy machine may hold a key long enough
# for the game to repeat it, or let a tap fall between two of its keyboard readings: a
# surplus character is taken back with Backspace and a missing one typed again, always
# at the end of the name, where the cursor stands.
settle_name() {
    local attempt cells
    for attempt in 1 2 3 4 5 6 7 8 9 10; do
        name_cells_settle && return
        cells=$(name_cells)
        echo "name column: $cells cells, not ${#name_keys[@]}: mending" >&2
        if [ "$cells" -gt "${#name_keys[@]}" ]; then
            type_keycode 22
        else
            # shellcheck disable=SC2086 # keycode and the optional shift
            type_keycode ${name_keys[$cells]}
        fi
    done
    fail "the name column holds $(name_cells) cells, not ${#name_keys[@]}"
}

type_name_key() {  # keycode [shift]
    name_keys+=("$*")
    type_keycode "$@"
    settle_name
}

erase_name_key() {
    unset 'name_keys[-1]'
    type_keycode 22
    settle_name
}

wait_until "the player's row of the name entry" player_row_shown
name_cells_are 0 || fail "the name field does not start empty: $(name_cells) cells"
type_name_key 44 shift  # J
type_name_key 47        # ö
type_name_key 27        # r
type_name_key 53        # x
erase_name_key          # Backspace
type_name_key 42        # g
# Enter sends the name: the name entry closes, its row and prompt with it.
player_row_gone() {
    look && ! player_row_shown
}
for attempt in 1 2 3; do
    type_keycode 36  # Enter
    deadline=$((SECONDS + 10))
    until player_row_gone || [ "$SECONDS" -ge "$deadline" ]; do :; done
    player_row_shown || break
done
player_row_shown && fail "Enter did not close the name entry"
name_stored() {
    curl -fsS --max-time 2 "${ZORBLET_TEST_SERVER_URL%/}/BestOffSQL.php" >"$work/bestof.txt" &&
        grep -aq $'\tJ\xF6rg\t' "$work/bestof.txt"
}
deadline=$((SECONDS + POLL_SECONDS))
until name_stored; do
    game_runs || fail "the game ended before its name was stored: $(cat "$work/game.err")"
    [ "$SECONDS" -lt "$deadline" ] ||
        fail "no J\xF6rg in the service's best-of table: $(iconv -f CP1252 -t UTF-8 "$work/bestof.txt" | tr '\t' ' ')"
    sleep 0.2
done

# The demonstration goes on behind the menu, and ESC ends the program.
look
menu_shown || fail "the menu vanished after the game over"
[ -n "$(ball_centre)" ] || fail "no ball in the demonstration after the game"
end_with_escape

# The confirmed name is remembered, in UTF-8, and the next run's name entry starts with it.
grep -qx 'name = Jörg' "$settings_file" || fail "the name is not in the settings file: $(cat "$settings_file")"
start_game
wait_until "the menu of the next run" menu_shown
tap_until F2 "the countdown of the next run's game" countdown_looked_at
lose_every_ball
wait_until "the player's row of the next name entry" player_row_shown
name_cells_are 4 || fail "the next name entry does not start with J\xF6rg: $(name_cells) cells"
end_with_escape

echo "player game test passed"

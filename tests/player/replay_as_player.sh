#!/usr/bin/env bash
# A game played under Xvfb as a player would (F2, the paddle kept out of the ball's way
# until the three balls are lost), then found again as a player would look for it: its
# record in the games folder, named by the date, the time and the score, which
# --replay-info (without a display) gives as the score the game showed; then watched with
# --replay in the window: the game's pictures, F4 stopping them, the arrow keys' speeds in
# the title, the last picture staying at the end, and ESC leaving with exit code 0.
# Usage: replay_as_player.sh ZORBLET
set -euo pipefail

GAME=$1
FAILURE_SHOT=zorblet-replay-failure.png
# shellcheck source=SCRIPTDIR/lib.sh
source "$(dirname "$0")/lib.sh"

games="$XDG_DATA_HOME/zorblet/games"
REPLAY_TITLE='^Zorblet 1\.00 - Wiedergabe'
POLL_SECONDS=60  # the sanitizer builds draw fewer frames a second

# The window's picture, as its pixels, for comparing two looks.
picture_digest() {
    screenshot
    convert "$work/window.png" rgb:- | md5sum | cut -c1-32
}

window_title() {
    xdotool getwindowname "$window"
}

wait_for() {  # what is awaited, check command...
    local what=$1 deadline=$((SECONDS + POLL_SECONDS))
    shift
    until "$@"; do
        game_runs || fail "the game ended while waiting for $what: $(cat "$work/game.err")"
        [ "$SECONDS" -lt "$deadline" ] || fail "waited in vain for $what"
        sleep 0.2
    done
}

# The points the game showed at its end: the list around them is fetched at the game over.
shown_points() {
    sed -n 's/.*ListeSQL\.php?Punkte=\([-0-9]*\).*/\1/p' "$work/service.log" | tail -1
}

# The text colour's pixels in a box of the last screenshot: top, height, left, width.
ink_in() {
    local count
    read -r count _ _ < <(text_in_band "$@")
    echo "$count"
}

countdown_shown() {
    screenshot
    [ "$(ink_in 262 64 270 60)" -gt 50 ]
}

# The menu's lines are back, wide text where a pop-up is narrow: the game is over.
menu_back() {
    screenshot
    [ "$(text_width 350 30)" -gt 150 ] && [ "$(text_width 510 30)" -gt 150 ]
}

start_display
start_highscore_service
start_game
read_window_geometry
[ -z "$(ls -A "$games" 2>/dev/null)" ] || fail "games kept before any was played"

# A game: the paddle sent to the left wall, out of the ball's way, until the last ball is lost.
tap_until F2 "the countdown of a game" countdown_shown
deadline=$((SECONDS + 90))
until menu_back; do
    xdotool mousemove_relative -- -150 0
    game_runs || fail "the game ended during play: $(cat "$work/game.err")"
    [ "$SECONDS" -lt "$deadline" ] || fail "no game over with the paddle out of the ball's way"
done
wait_for "the game's record in $games" compgen -G "$games/*.zrec"
points=$(shown_points)
[ -n "$points" ] || fail "the game did not fetch the list around its score: $(cat "$work/service.log")"
end_with_escape  # the name entry, then the program

# The record is where a player looks for it, named by when the game ended and its score.
mapfile -t kept < <(ls "$games")
[ "${#kept[@]}" -eq 1 ] || fail "not one record in $games: ${kept[*]}"
[[ ${kept[0]} =~ ^20[0-9][0-9]-[01][0-9]-[0-3][0-9]_[0-2][0-9]-[0-5][0-9]-[0-5][0-9]_${points}-Punkte\.zrec$ ]] ||
    fail "the record's name ${kept[0]} does not say the date, the time and $points points"
record="$games/${kept[0]}"

# --replay-info needs no display, and replays the game to the points it showed.
code=0
env -u DISPLAY -u WAYLAND_DISPLAY "$GAME" --replay-info "$record" >"$work/info.txt" 2>"$work/info.err" || code=$?
[ "$code" -eq 0 ] || fail "--replay-info: exit code $code: $(cat "$work/info.txt" "$work/info.err")"
grep -qx "score: $points" "$work/info.txt" && grep -qx "replayed score: $points" "$work/info.txt" ||
    fail "--replay-info does not give the $points points shown: $(cat "$work/info.txt")"
grep -qx "end: game over" "$work/info.txt" || fail "--replay-info: $(cat "$work/info.txt")"

# --replay in the window: the game again, its HUD and its FPS reading.
SDL_AUDIODRIVER=dummy "$GAME" --replay "$record" 2>"$work/game.err" &
game_pid=$!
pids+=("$game_pid")
window=$(timeout 30 xdotool search --sync --name "$REPLAY_TITLE" | head -1) || fail "no replay window appeared"
xdotool windowfocus --sync "$window"
read_window_geometry
screenshot
cp "$work/window.png" "${TMPDIR:-/tmp}/zorblet-replay.png"
text_shown 570 30 || fail "no score and lives in the replay's picture"
[ "$(ink_in 3 12 0 60)" -gt 10 ] || fail "no FPS reading in the replay's picture"

# F4 stops the picture, and starts it again.
title_says() {
    [[ $(window_title) == *"$1"* ]]
}
tap_until F4 "the replay to stop" title_says angehalten
held=$(picture_digest)
sleep 0.5
[ "$(picture_digest)" = "$held" ] || fail "the picture changes while the replay is stopped"
tap_until F4 "the replay to go on" title_says "Wiedergabe 1x"
moving() {
    [ "$(picture_digest)" != "$held" ]
}
wait_for "the picture to move again" moving

# The arrow keys: twice, then four times as fast; at the end the last picture stays.
tap_until Right "the double speed" title_says "Wiedergabe 2x"
tap_until Up "the fourfold speed" title_says "Wiedergabe 4x"
wait_for "the end of the replay" title_says "zu Ende"
last=$(picture_digest)
sleep 0.5
[ "$(picture_digest)" = "$last" ] || fail "the last picture does not stay"
text_shown 570 30 || fail "no score and lives in the last picture"
end_with_escape

echo "player replay test passed"

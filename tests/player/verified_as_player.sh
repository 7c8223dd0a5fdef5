#!/usr/bin/env bash
# A game played under Xvfb as a player would, on a ticket the game fetched by itself at
# start, goes to the list as its record when the name is confirmed with Enter, and the list
# shows it verified at the points the game showed; no failure stands on the status line.
# Then zorblet --watch 1 plays it back in the window, and --watch 2 (no entry there) ends
# with one German line and exit code 2. The list is the real highscore service once it
# issues tickets (its --help names --game-key-file), and the test's stand-in until then.
# Usage: verified_as_player.sh ZORBLET STAND_IN
set -euo pipefail

GAME=$1
STAND_IN=$2
FAILURE_SHOT=zorblet-verified-failure.png
# shellcheck source=SCRIPTDIR/lib.sh
source "$(dirname "$0")/lib.sh"

games="$XDG_DATA_HOME/zorblet/games"
STATUS_COLOUR='#FF6969'

# Starts the list; sets list_url.
start_list() {
    if "$ZORBLET_TEST_SERVER_BIN" --help 2>/dev/null | grep -q -- --game-key-file; then
        list_url="http://127.0.0.1:$(free_port)/"
        start_local_service "$list_url" "$ZORBLET_TEST_SERVER_BIN" "$work/service.log" "$work/highscores.sqlite" \
            --game-key-file "$work/game.key" ||
            fail "the highscore service did not start at $list_url: $(cat "$work/service.log")"
        echo "the list: the highscore service at $list_url"
        return
    fi
    "$STAND_IN" >"$work/list.url" 2>"$work/service.log" &
    pids+=($!)
    for _ in $(seq 100); do [ -s "$work/list.url" ] && break; sleep 0.1; done
    list_url=$(head -1 "$work/list.url")
    [ -n "$list_url" ] || fail "the stand-in for the list did not start: $(cat "$work/service.log")"
    echo "the list: the stand-in at $list_url (this build's service issues no tickets)"
}

# The first entry of the list as its API gives it: "points verified", or nothing.
first_entry() {
    curl -fsS --max-time 5 "${list_url}api/v1/scores?from=1&count=1" 2>/dev/null |
        python3 -c 'import json, sys
entries = json.load(sys.stdin)["entries"]
if entries: print(entries[0]["points"], str(entries[0].get("verified")).lower())'
}

countdown_shown() {
    screenshot
    local count
    read -r count _ _ < <(text_in_band 262 64 270 60)
    [ "$count" -gt 50 ]
}

menu_back() {
    screenshot
    [ "$(text_width 350 30)" -gt 150 ] && [ "$(text_width 510 30)" -gt 150 ]
}

listed() {
    [ -n "$(first_entry)" ]
}

status_line_empty() {
    screenshot
    local count
    read -r count _ _ < <(TEXT_COLOUR=$STATUS_COLOUR text_in_band 315 30)
    [ "$count" -eq 0 ]
}

start_display
start_list
mkdir -p "$XDG_CONFIG_HOME/zorblet"
echo 'name = Anna' >"$settings_file"  # the name entry opens with it
start_game --server "$list_url"
read_window_geometry
sleep 2  # the ticket, asked for at start, arrives in the background

# A game: the paddle kept at the left wall, out of the ball's way, until the last ball is lost.
tap_until F2 "the countdown of a game" countdown_shown
deadline=$((SECONDS + 90))
until menu_back; do
    xdotool mousemove_relative -- -150 0
    game_runs || fail "the game ended during play: $(cat "$work/game.err")"
    [ "$SECONDS" -lt "$deadline" ] || fail "no game over with the paddle out of the ball's way"
done
for _ in $(seq 50); do compgen -G "$games/*.zrec" >/dev/null && break; sleep 0.2; done
record=$(compgen -G "$games/*.zrec" | head -1) || fail "no record of the game in $games"
env -u DISPLAY "$GAME" --replay-info "$record" >"$work/info.txt" 2>&1 || fail "--replay-info: $(cat "$work/info.txt")"
points=$(sed -n 's/^score: //p' "$work/info.txt")

# Enter confirms the name the entry opened with: the record goes, and is listed verified.
tap Return
deadline=$((SECONDS + 30))
until listed; do
    [ "$SECONDS" -lt "$deadline" ] || tap Return
    [ "$SECONDS" -lt $((deadline + 30)) ] || fail "nothing reached the list: $(cat "$work/service.log")"
    sleep 0.5
done
[ "$(first_entry)" = "$points true" ] ||
    fail "the list holds \"$(first_entry)\", not $points points verified: $(cat "$work/info.txt")"
deadline=$((SECONDS + 15))
until status_line_empty; do
    [ "$SECONDS" -lt "$deadline" ] || fail "a failure stands on the status line"
    sleep 0.5
done
cp "$work/window.png" "${TMPDIR:-/tmp}/zorblet-verified.png"
end_with_escape

# --watch 1: the game as the list keeps it, in the replay's window; ESC leaves with 0.
SDL_AUDIODRIVER=dummy "$GAME" --watch 1 --server "$list_url" 2>"$work/game.err" &
game_pid=$!
pids+=("$game_pid")
window=$(timeout 30 xdotool search --sync --name '^Zorblet 1\.00 - Wiedergabe' | head -1) ||
    fail "no replay window for --watch 1: $(cat "$work/game.err")"
xdotool windowfocus --sync "$window"
read_window_geometry
sleep 1
screenshot
cp "$work/window.png" "${TMPDIR:-/tmp}/zorblet-watch.png"
text_shown 570 30 || fail "no score and lives in the watched game's picture"
end_with_escape

# --watch 2: no entry there; one German line, exit code 2, no window.
code=0
"$GAME" --watch 2 --server "$list_url" >"$work/watch.out" 2>"$work/watch.err" || code=$?
[ "$code" -eq 2 ] || fail "--watch 2: exit code $code: $(cat "$work/watch.err")"
grep -qx 'zorblet: auf Platz 2 der Highscore-Liste steht kein Eintrag.' "$work/watch.err" ||
    fail "--watch 2 says: $(cat "$work/watch.err")"

echo "player verified test passed"

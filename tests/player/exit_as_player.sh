#!/usr/bin/env bash
# Ends the real game every way a player can, each within a second and with exit code 0
# (and, in the sanitizer builds, without a report): ESC in the menu, and the close box
# while a tone plays, while a transfer runs and while the start-up list is fetched.
# Usage: exit_as_player.sh GAME CLOSE_WINDOW SLOW_SERVICE
set -euo pipefail
GAME=$1
CLOSER=$2
SLOW_SERVICE=$3
FAILURE_SHOT=zorblet-exit-failure.png
source "$(dirname "$0")/lib.sh"

# The game ends within a second of now, with code 0 and nothing on stderr that a
# sanitizer or the game itself would say about a fault.
expect_exit_within_a_second() {
    local what=$1 code=0
    for _ in $(seq 20); do game_runs || break; sleep 0.05; done
    game_runs && fail "$what: the game still runs a second later"
    wait "$game_pid" || code=$?
    [ "$code" -eq 0 ] || fail "$what: exit code $code: $(cat "$work/game.err")"
    if grep -E "Sanitizer|runtime error|leak" "$work/game.err"; then fail "$what: a report on stderr"; fi
    echo "ok: $what"
}

# The game with a sound device that plays in real time (SDL's disk driver).
start_game_with_sound() {
    SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/sound.raw" "$GAME" 2>"$work/game.err" &
    game_pid=$!
    pids+=("$game_pid")
    window=$(timeout 30 xdotool search --sync --name '^Zorblet 1\.00$' | head -1) || fail "no window appeared"
    xdotool windowfocus --sync "$window"
}

# Waits (5 s at most) until the sound device plays a tone: the last samples written hold sound.
wait_for_a_tone() {
    for _ in $(seq 250); do
        if [ -s "$work/sound.raw" ] && tail -c 2048 "$work/sound.raw" | od -An -v -tf4 |
            awk '{ for (i = 1; i <= NF; i++) if ($i + 0 != 0) found = 1 } END { exit !found }'; then
            return 0
        fi
        sleep 0.02
    done
    fail "no tone played: $(cat "$work/game.err")"
}

# A key held long enough to be seen in the frames of a busy machine.
press() {
    xdotool keydown "$1"
    sleep 0.25
    xdotool keyup "$1"
}

slow_service_pid=
start_slow_service() {
    [[ $ZORBLET_TEST_SERVER_URL =~ :([0-9]+)/?$ ]] || fail "no port in $ZORBLET_TEST_SERVER_URL"
    "$SLOW_SERVICE" "${BASH_REMATCH[1]}" "$@" 2>>"$work/slow.log" &
    slow_service_pid=$!
    pids+=("$slow_service_pid")
    for _ in $(seq 50); do grep -q listening "$work/slow.log" 2>/dev/null && return; sleep 0.1; done
    fail "the slow service did not start: $(cat "$work/slow.log")"
}
stop_slow_service() {
    kill -TERM "$slow_service_pid" 2>/dev/null || true
    wait "$slow_service_pid" 2>/dev/null || true
}

start_display
start_highscore_service

start_game_with_sound
sleep 1
press Escape
expect_exit_within_a_second "ESC in the menu"

# F2 starts the countdown, whose beeps last 200 ms each.
start_game_with_sound
sleep 1
press F2
wait_for_a_tone
"$CLOSER" "$window"
expect_exit_within_a_second "the close box during a tone"
stop_local_service

# The best-of table trickles in for ten seconds: the window closes in the middle of it.
start_slow_service
start_game_with_sound
sleep 2
grep -q "trickling the best-of table" "$work/slow.log" || fail "no transfer runs: $(cat "$work/slow.log")"
"$CLOSER" "$window"
expect_exit_within_a_second "the close box during a transfer"
stop_slow_service

# The list the game waits for before its first frame trickles too.
start_slow_service --start-up
start_game_with_sound
sleep 1
"$CLOSER" "$window"
expect_exit_within_a_second "the close box during the start-up fetch"
stop_slow_service

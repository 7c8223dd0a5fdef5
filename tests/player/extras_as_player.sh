#!/usr/bin/env bash
# Watches the demonstration behind the menu of the real program under Xvfb, as a player
# waiting there would: the gate slides in after about 34 s, the bumper ring grows in after
# about 67 s. Both are told by their colours.
# Usage: extras_as_player.sh ZORBLET WINDOW_PIXELS
set -euo pipefail

GAME=$1
PIXELS=$2
FAILURE_SHOT=zorblet-extras-failure.png
# shellcheck source=SCRIPTDIR/lib.sh
source "$(dirname "$0")/lib.sh"

look() {
    "$PIXELS" "$window" "$work/window.ppm" >"$work/pixels" || fail "the window cannot be read"
}

# Pixels of the gate's posts: always (50, 100, 200).
gate_pixels() {
    awk '$3 == 50 && $4 == 100 && $5 == 200 { n++ } END { print n + 0 }' "$work/pixels"
}

# Pixels of the bumpers: a dark red that pulses as (150 - s, 25 - s, 25 - s).
ring_pixels() {
    awk '$3 - $4 == 125 && $4 == $5 && $4 <= 50 { n++ } END { print n + 0 }' "$work/pixels"
}

seconds_since_start() {
    echo $(($(date +%s) - started))
}

# Looks every half second until the counter finds pixels; prints the seconds since start.
wait_for() {
    local counter=$1 what=$2 limit=$3
    while [ "$(seconds_since_start)" -lt "$limit" ]; do
        look
        [ "$("$counter")" -gt 10 ] && { seconds_since_start; return; }
        game_runs || fail "the game ended while waiting for $what"
        sleep 0.5
    done
    fail "no $what on screen within $limit s"
}

start_display
start_highscore_service
started=$(date +%s)
start_game

look
[ "$(gate_pixels)" -eq 0 ] || fail "a gate at start-up"
[ "$(ring_pixels)" -eq 0 ] || fail "a bumper ring at start-up"

# The sanitizer builds on a busy machine may draw far fewer frames a second: the limits
# leave room for that,
# but nothing may show early.
gate_at=$(wait_for gate_pixels "gate" 240)
[ "$gate_at" -ge 31 ] || fail "the gate came after $gate_at s, expected about 34 s"
echo "gate on screen after $gate_at s"

ring_at=$(wait_for ring_pixels "bumper ring" 420)
[ "$ring_at" -ge 64 ] || fail "the ring came after $ring_at s, expected about 67 s"
echo "bumper ring on screen after $ring_at s"
cp "$work/window.ppm" "${TMPDIR:-/tmp}/zorblet-extras.ppm"

end_with_escape
echo "extras player test passed"

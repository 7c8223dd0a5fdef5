#!/usr/bin/env bash
# Takes the README's picture (docs/zorblet.png) the way the player tests take theirs: the
# real game under Xvfb with the real highscore service and a list of scores, a game started
# with F2 and played a moment with the mouse, and the window cut out of a screenshot.
# Usage: readme_picture.sh ZORBLET SERVER [PICTURE], e.g.
#   tests/player/readme_picture.sh build/debug/bin/zorblet build/debug/bin/zorblet-highscore-server
set -euo pipefail

GAME=$1
SERVER=$2
PICTURE=${3:-docs/zorblet.png}
FAILURE_SHOT=zorblet-picture-failure.png
# shellcheck source=SCRIPTDIR/lib.sh
source "$(dirname "$0")/lib.sh"

# A service of its own on a free port, which the game is told with --server.
url="http://127.0.0.1:$(free_port)/"
start_local_service "$url" "$SERVER" "$work/service.log" "$work/highscores.sqlite" --submit-rate 0 ||
    fail "the highscore service did not start at $url: $(cat "$work/service.log")"
seed_highscores "$url" 60 || fail "the scores could not be stored"

start_display
start_game --server "$url"
sleep 2
tap F2
# Past the countdown, the ball falling and the paddle under the mouse, a shot on its way.
sleep 4
read_window_geometry
xdotool mousemove --window "$window" 260 560
sleep 0.3
# The button is read once a frame: held long enough to be seen.
xdotool mousedown 1 sleep 0.1 mouseup 1
sleep 0.25
screenshot
cp "$work/window.png" "$PICTURE"
echo "$PICTURE"

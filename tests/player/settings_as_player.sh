#!/usr/bin/env bash
# The command line and the settings file as a player meets them in the real game under
# Xvfb: --help and bad options before any window, --server reaching a local service, F3
# remembered in the next run, --scale 2 enlarging the picture pixel for pixel, and F11
# switching fullscreen and back under a window manager, remembered in the next run.
# Usage: settings_as_player.sh ZORBLET
set -euo pipefail

GAME=$1
FAILURE_SHOT=zorblet-settings-failure.png
# shellcheck source=SCRIPTDIR/lib.sh
source "$(dirname "$0")/lib.sh"

SCREEN_WIDTH=2560
SCREEN_HEIGHT=1600

# --help and --version answer on stdout; bad input is one line on stderr and exit code 2,
# before any window: without a display the game would otherwise end with code 1.
code=0
env -u DISPLAY "$GAME" --help >"$work/help.txt" || code=$?
[ "$code" -eq 0 ] && grep -q -- '--scale N' "$work/help.txt" || fail "--help: exit code $code: $(cat "$work/help.txt")"
[ "$(env -u DISPLAY "$GAME" --version)" = "Zorblet 1.00" ] || fail "--version"
for bad in "--sound" "--server" "--server ftp://scores.example/" "--server http://" "--scale 0" "--scale 5" "--scale"; do
    code=0
    # shellcheck disable=SC2086 # the option and its value as two words
    env -u DISPLAY "$GAME" $bad >"$work/out.txt" 2>"$work/err.txt" || code=$?
    [ "$code" -eq 2 ] || fail "$bad: exit code $code, not 2: $(cat "$work/err.txt")"
    [ "$(wc -l <"$work/err.txt")" -eq 1 ] && [ ! -s "$work/out.txt" ] || fail "$bad: not one line on stderr"
done
code=0
env -u DISPLAY ZORBLET_HIGHSCORE_SERVER=gopher://scores.example/ "$GAME" 2>"$work/err.txt" || code=$?
[ "$code" -eq 2 ] || fail "a bad address in the environment: exit code $code"

start_display "${SCREEN_WIDTH}x$SCREEN_HEIGHT"

# --server: the game's requests go to a service at another address than the compiled one.
server_url="http://127.0.0.1:$(free_port)/"
code=0
start_local_service "$server_url" "$ZORBLET_TEST_SERVER_BIN" "$work/service.log" "$work/other.sqlite" || code=$?
[ "$code" -eq 0 ] || fail "the highscore service did not start at $server_url: $(cat "$work/service.log")"
mv "$work/service.log" "$work/other-service.log"
pids+=("$local_service_pid")
local_service_pid=
# The compiled address answers too, and is asked nothing.
start_highscore_service
start_game --server "$server_url"
requested() {
    grep -q 'GET /ListeSQL.php?Punkte=0 ' "$work/other-service.log" &&
        grep -q 'GET /BestOffSQL.php ' "$work/other-service.log"
}
for _ in $(seq 100); do requested && break; sleep 0.1; done
requested || fail "the game's requests did not reach $server_url: $(cat "$work/other-service.log")"
grep -q 'GET /ListeSQL' "$work/service.log" && fail "a request went to the compiled address: $(cat "$work/service.log")"
end_with_escape

# F3 in one run is the sound state of the next.
start_game
read_window_geometry
screenshot
sound_on_width=$(text_width 430 30)
[ "$sound_on_width" -gt 100 ] || fail "no F3 line"
sound_line_shorter() {
    screenshot && [ "$(text_width 430 30)" -lt "$sound_on_width" ]
}
tap_until F3 "\"[F3] Ton an\" after F3" sound_line_shorter
end_with_escape
grep -qx 'sound = off' "$settings_file" || fail "F3 is not in the settings file: $(cat "$settings_file")"
start_game
read_window_geometry
screenshot
sound_line_shorter || fail "the next run does not start with the sound off"
end_with_escape

# --scale 2: a window twice as large, centred, whose picture is the scale-1 picture with
# every pixel a 2 x 2 block. The menu's lines are compared, in the text colour only: the
# demonstration moves behind them.
menu_text() {  # picture, its scale, output
    local scale=$1 picture=$2 output=$3
    convert "$picture" -crop "$((600 * scale))x$((200 * scale))+0+$((345 * scale))" +repage \
        -fill black +opaque "$TEXT_COLOUR" "$output"
}
start_game
read_window_geometry
screenshot
menu_text 1 "$work/window.png" "$work/menu1.png"
convert "$work/menu1.png" -scale 200% "$work/menu1x2.png"
menu_pixels=$(convert "$work/menu1.png" -fill white +opaque black -format '%[fx:round(mean * w * h)]' info:)
[ "$menu_pixels" -gt 2000 ] || fail "the scale-1 menu has only $menu_pixels text pixels to compare"
end_with_escape
start_game --scale 2
read_window_geometry
[ "$width" = 1200 ] && [ "$height" = 1200 ] || fail "--scale 2: client area ${width}x$height"
[ "$win_x" = $(((SCREEN_WIDTH - 1200) / 2)) ] && [ "$win_y" = $(((SCREEN_HEIGHT - 1200) / 2)) ] ||
    fail "--scale 2: window at $win_x,$win_y, not centred"
same_menu() {
    screenshot 1200 && menu_text 2 "$work/window.png" "$work/menu2.png" &&
        [ "$(compare -metric AE "$work/menu1x2.png" "$work/menu2.png" null: 2>&1)" = 0 ]
}
for _ in 1 2 3 4 5; do same_menu && break; sleep 0.5; done
same_menu || fail "--scale 2: the menu is not the scale-1 menu enlarged ($(compare -metric AE "$work/menu1x2.png" \
    "$work/menu2.png" null: 2>&1) pixels differ)"
end_with_escape

# F11 under a window manager: fullscreen with the picture enlarged by the largest whole
# factor (2 on this screen) and centred on black, back to the window, remembered.
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
sleep 1
fullscreen_shown() {
    read_window_geometry && [ "$width" = "$SCREEN_WIDTH" ] && [ "$height" = "$SCREEN_HEIGHT" ]
}
window_shown() {
    read_window_geometry && [ "$width" = 600 ] && [ "$height" = 600 ]
}
# In fullscreen the menu's lines stand where the factor 2 puts them, and the left and
# right margins are black.
expect_enlarged_menu() {
    local left=$(((SCREEN_WIDTH - 1200) / 2)) top=$(((SCREEN_HEIGHT - 1200) / 2))
    import -window root "$work/root.png"
    convert "$work/root.png" -crop "1200x1200+$left+$top" +repage "$work/window.png"
    expect_text $((350 * 2)) 60 "the first menu line, enlarged"
    expect_text $((510 * 2)) 60 "the last menu line, enlarged"
    [ "$(convert "$work/root.png" -crop "${left}x$SCREEN_HEIGHT+0+0" +repage -format '%[fx:maxima]' info:)" = 0 ] ||
        fail "the margin left of the picture is not black"
}
start_game
window_shown || fail "the window does not start at 600 x 600 under the window manager"
tap_until F11 "fullscreen after F11" fullscreen_shown
expect_enlarged_menu
grep -qx 'fullscreen = yes' "$settings_file" || fail "F11 is not in the settings file: $(cat "$settings_file")"
end_with_escape
start_game
for _ in $(seq 50); do fullscreen_shown && break; sleep 0.1; done
fullscreen_shown || fail "the next run does not start in fullscreen: ${width}x$height"
tap_until F11 "the window after F11 in fullscreen" window_shown
grep -qx 'fullscreen = no' "$settings_file" || fail "F11 back is not in the settings file: $(cat "$settings_file")"
end_with_escape
grep -qx 'sound = off' "$settings_file" || fail "the other settings were lost: $(cat "$settings_file")"

echo "player settings test passed"

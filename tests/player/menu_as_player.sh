#!/usr/bin/env bash
# Plays the real game under Xvfb as a player would: looks at the window, presses
# the function keys, reads the screen, and ends it with ESC and with the close box.
# Usage: menu_as_player.sh ZORBLET CLOSE_WINDOW
set -euo pipefail

GAME=$1
CLOSER=$2
# shellcheck source=SCRIPTDIR/lib.sh
source "$(dirname "$0")/lib.sh"

start_display
start_highscore_service
start_game

read_window_geometry
[ "$width" = 600 ] && [ "$height" = 600 ] || fail "client area ${width}x$height"
[ "$win_x" = $((1280 / 2 - 300)) ] && [ "$win_y" = $((1024 / 2 - 300)) ] || fail "window at $win_x,$win_y"

screenshot
for y in 350 390 430 470 510; do expect_text "$y" 30 "the menu line at $y"; done
expect_text 0 16 "the FPS reading"
expect_text 570 30 "score and lives"
expect_text 30 20 "the highscore table's heading"
status_line=$(TEXT_COLOUR='#FF6969' text_in_band 315 30)
[ "${status_line%% *}" -eq 0 ] || fail "the status line is not empty: no transfer runs, none failed"

# F1 shows the help page instead of the table and the menu, and hides it again.
help_shown() {
    screenshot && text_shown 50 20 && text_shown 420 20 && no_text_shown 480 60
}
menu_back() {
    screenshot && text_shown 510 30
}
tap_until F1 "the help page (its title, its last line, no menu)" help_shown
tap_until F1 "the menu after the help page" menu_back

# F3 shortens "[F3] Ton aus" to "[F3] Ton an", and a second F3 brings it back.
read -r _ sound_on_min sound_on_max < <(text_in_band 430 30)
sound_line_shorter() {
    local min max
    screenshot && read -r _ min max < <(text_in_band 430 30) && [ $((max - min)) -lt $((sound_on_max - sound_on_min)) ]
}
sound_line_back() {
    local min max
    screenshot && read -r _ min max < <(text_in_band 430 30) && [ "$min $max" = "$sound_on_min $sound_on_max" ]
}
tap_until F3 "\"[F3] Ton an\" after F3" sound_line_shorter
tap_until F3 "\"[F3] Ton aus\" after a second F3" sound_line_back

tap F4
screenshot
expect_text 350 30 "the menu while paused"
tap F4

end_with_escape

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

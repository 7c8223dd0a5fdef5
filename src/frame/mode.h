#pragma once
// The program's own state around the game's: the help page and the name entry. The state
// of play (phase, pause, lives, countdown) is the game's rules' (world/rules.h); what a
// change of either calls for from the program is carried out in one place (effects.cpp).

#include "world/rules.h"

namespace zorblet::frame {

struct Mode {
    bool HelpShown = false;  // F1, on top of anything
    // After a game the name is typed into the table. A new game started meanwhile leaves
    // the entry open under it: it still takes keys, and leaving that game with ESC comes
    // back to it.
    bool NameEntryActive = false;
};

// The highscore table and the menu are up: no game runs and no help page covers them.
bool MenuShown(const world::PlayState& play, const Mode& mode);

// What a change of the state of play or of the mode calls for from the program.
enum Effect : unsigned {
    NoEffect = 0,
    EndProgram = 1 << 0,
    ReleaseMouse = 1 << 1,
    RestartTable = 1 << 2,  // the best-of table scrolls in from the bottom again
    GameOver = 1 << 3,      // the name entry with the last name, the date, the list around the score
    ToggleSound = 1 << 4,   // F3: the sound switch, and the settings remember it
};
using Effects = unsigned;

// ESC, as far as it is the program's: outside a game it ends the program, or cancels a
// name entry; in a game the rules abandon it.
Effects PressEscape(const world::PlayState& play, Mode& mode);
// F1 in any phase.
Effects PressHelp(Mode& mode);
// What the rules' step did, as the program sees it: an abandoned game brings the table
// back and frees the cursor, so does a pause; a game over opens the name entry.
Effects EffectsOf(const world::FrameEvents& events);

}  // namespace zorblet::frame

#pragma once

#include "record/game_record.h"

namespace zorblet::platform {

// Where the records of finished games are kept for the player to watch again.
class GameArchive {
public:
    virtual ~GameArchive() = default;
    // Takes a finished game's record and returns at once: the frame hands it over and
    // never waits for it to be written.
    virtual void KeepGame(record::GameRecord game) = 0;
};

}  // namespace zorblet::platform

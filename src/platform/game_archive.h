#pragma once

#include <memory>

#include "record/game_record.h"

namespace zorblet::platform {

// Where the records of finished games are kept for the player to watch again.
class GameArchive {
public:
    virtual ~GameArchive() = default;
    // Takes a finished game's record and returns at once: the frame hands it over and
    // never waits for it to be written. The record is shared, never copied: the highscore
    // client may send the same one.
    virtual void KeepGame(std::shared_ptr<const record::GameRecord> game) = 0;
};

}  // namespace zorblet::platform

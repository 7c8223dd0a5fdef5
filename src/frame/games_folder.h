#pragma once
// The records of finished games, kept as files in the player's games folder: encoded and
// written on a worker of their own, so that the frame never waits for the disk, and
// thinned out to the last games and the player's best.

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "highscore/transfer_worker.h"
#include "platform/clock.h"
#include "platform/folder.h"
#include "platform/game_archive.h"

namespace zorblet::frame {

// The folder keeps the records of the last games and of the best ones, however old.
inline constexpr std::size_t KeptLastGames = 50;
inline constexpr std::size_t KeptBestGames = 10;

inline constexpr std::string_view RecordFileExtension = ".zrec";

// A record's file name without its extension, from the local time its game ended and
// its score, so that a player finds a game: "2026-12-11_20-15-03_4617-Punkte". Sorted by
// name, the files of a folder are in the order the games ended.
std::string RecordFileStem(const std::tm& ended, std::int32_t score);

// What the name of a record's file says; nothing for a name the game does not give.
struct KeptGame {
    std::string Name;   // the whole file name
    std::string Ended;  // "2026-12-11_20-15-03"
    int Number = 1;     // n of a name ending "-n": games that ended with the same name
    std::int32_t Score = 0;
};
std::optional<KeptGame> ReadRecordFileName(std::string_view name);

// The names of the games to remove: all but the KeptLastGames that ended last and the
// KeptBestGames of the highest scores (of equal scores, those that ended first).
std::vector<std::string> GamesToRemove(std::vector<KeptGame> games);

class GamesFolder final : public platform::GameArchive {
public:
    using LocalTime = std::function<std::tm()>;

    // Writes into folder on a worker timed by clock; a game is named by the local time
    // now() gives when it is written.
    GamesFolder(platform::Folder& folder, platform::Clock& clock, LocalTime now = CurrentLocalTime);
    // Waits until the records handed over are written.
    ~GamesFolder() override;
    GamesFolder(const GamesFolder&) = delete;
    GamesFolder& operator=(const GamesFolder&) = delete;

    void KeepGame(std::shared_ptr<const record::GameRecord> game) override;
    // Waits until every record handed over so far is written (or has failed).
    void Flush();

    static std::tm CurrentLocalTime();

private:
    void Write(const record::GameRecord& game);
    void RemoveSurplusGames();

    platform::Folder& folder_;
    LocalTime now_;
    highscore::TransferWorker writer_;  // last: it ends first
};

}  // namespace zorblet::frame

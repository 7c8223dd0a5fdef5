#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "store/score_board.h"
#include "web/list_page.h"
#include "web/viewer_files.h"

namespace zorblet::server {

// An entry whose game can be watched: its record is kept.
struct WatchableEntry {
    std::int64_t id = 0;
    std::int32_t points = 0;
    std::string name;  // Windows-1252 bytes, as stored
    std::string date;  // as stored, "dd.MM.yy"
};

// Where the web service learns which games it can show: the entries whose records the
// store keeps, and the records come from the store's own route ({base}api/v1/games/{id}).
class WatchableGames {
public:
    virtual ~WatchableGames() = default;
    // Whether the record of the listed entry `id` is kept. Asked for each row of a page (a
    // hundred and ten at most) once the list's view is read, so it answers from memory.
    // Throws StorageError.
    virtual bool IsKept(std::int64_t id) const = 0;
    // IsKept for each of `ids` (a page's rows), which a store answers in one exchange.
    virtual std::vector<bool> AreKept(std::span<const std::int64_t> ids) const {
        std::vector<bool> kept;
        kept.reserve(ids.size());
        for (std::int64_t id : ids) kept.push_back(IsKept(id));
        return kept;
    }
    // The entry `id` when its record is kept; nullopt otherwise. Throws StorageError.
    virtual std::optional<WatchableEntry> FindKept(std::int64_t id) const = 0;
};

// The games the store keeps the records of.
class StoredGames final : public WatchableGames {
public:
    explicit StoredGames(const ScoreBoard& board) : board_(board) {}
    bool IsKept(std::int64_t id) const override;
    std::vector<bool> AreKept(std::span<const std::int64_t> ids) const override;
    std::optional<WatchableEntry> FindKept(std::int64_t id) const override;

private:
    const ScoreBoard& board_;
};

// The page of one game in German, UTF-8: its name, points and date, and the element the
// viewer's script builds its canvas and controls into, with the links to the record, the
// module and the atlas. Without scripts it says in one sentence that it needs them. It
// loads nothing but its files from this service and holds no inline script or style.
std::string RenderWatchPage(const WatchableEntry& entry, const PageLinks& links, const ViewerFiles& files);

// The page's link: "{base}partie/{id}".
std::string LinkToGame(const std::string& base, std::int64_t id);

// The id in a watch page's path after "partie/": digits alone, from 1 on, no leading zero.
std::optional<std::int64_t> ParseGameId(std::string_view text);

}  // namespace zorblet::server

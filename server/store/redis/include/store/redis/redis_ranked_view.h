#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "store/redis/redis_link.h"
#include "store/score_board.h"


namespace zorblet::server {

class RedisScoreBoard;

// The list in Redis as one request sees it. Each call asks for what it needs and for the
// rows a request usually wants next (the top, the bottom, the rows around a place), and
// keeps what came back: the game's two reads take one round trip of native commands.
// Calls after the first may see entries stored meanwhile. Throws StorageError.
class RedisRankedView final : public RankedView {
public:
    explicit RedisRankedView(const RedisScoreBoard& board) : board_(board) {}

    std::int64_t CountEntries() const override;
    std::int64_t FindPlace(std::int32_t points) const override;
    std::vector<std::int64_t> FindPlaces(std::span<const std::int32_t> points) const override;
    void VisitRanks(std::int64_t first, std::int64_t last, const EntryVisitor& visit) const override;
    void VisitFrom(std::int64_t first, const PlaceVisitor& visit) const override;
    std::int64_t PlaceOf(std::int32_t points, std::int64_t id) const override;
    std::uint64_t Version() const override;
    void VisitNewest(const PlaceVisitor& visit) const override;
    std::int64_t VisitNamesStartingWith(std::string_view prefix, std::size_t limit,
                                        const PlaceVisitor& visit) const override;

private:
    struct Row {
        std::int64_t id = 0;
        std::int32_t points = 0;
        std::string name;
        std::string date;
        std::int64_t stored_at = 0;

        RankedEntry Describe() const { return {id, points, name, date, stored_at}; }
    };

    // A reply of the read script or of ReadAtOnce: its results follow the count and the
    // version, which the first answer sets for the whole view.
    struct Answer;
    Answer Ask(std::vector<std::string> operations) const;
    Answer AskAtOnce(const std::vector<std::vector<std::string>>& reads) const;
    Answer Keep(RedisReply reply) const;
    void LoadHead() const;
    void LoadRanks(std::int64_t first, std::int64_t last) const;
    // Keeps the ranks set's members as the rows of ranks first, first + step, ...
    void KeepRows(const redisReply& members, std::int64_t first, std::int64_t step = 1) const;
    // Visits {place, member, entry} triples from `from` on while `visit` returns true.
    static void VisitPlaced(const redisReply& triples, std::size_t from, const PlaceVisitor& visit);

    const RedisScoreBoard& board_;
    mutable std::optional<std::int64_t> count_;
    mutable std::uint64_t version_ = 0;
    mutable std::map<std::int64_t, Row> ranks_;
    mutable std::map<std::int32_t, std::int64_t> places_;
};

}  // namespace zorblet::server

#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "store/list_backups.h"
#include "store/list_moderation.h"
#include "store/redis/redis_link.h"
#include "store/redis/redis_scripts.h"
#include "store/score_board.h"
#include "store/submit_gate.h"
#include "store/verified_game.h"

namespace zorblet::server {

// The list in one Redis server, shared by every instance of the service that uses it:
// the ranked entries, the removals and their log, the version, the allowances and the
// recent submissions. A submission's checks and its store are one script, so two
// instances decide exactly as one would; each read is one round trip: the game's reads
// and the rows of a range are native commands in one MULTI/EXEC, the rest one script call
// (a page, which asks for places that depend on other places, takes a few).
class RedisScoreBoard final : public ScoreBoard, public ListModeration, public ListBackups {
public:
    struct Settings {
        RedisLink::Settings link;
        // Replicas that must hold a write before it is answered; 0: the primary's word.
        int wait_replicas = 0;
        KeptGames kept = {};
    };

    explicit RedisScoreBoard(Settings settings);

    using ScoreBoard::ReadRanking;
    void ReadRanking(Listing listing, const ViewReader& read) const override;
    std::int64_t AddEntry(const ScoreEntry& entry) override;
    StoredGame AddGame(const VerifiedGame& game, std::int64_t repeat_of) override;
    std::optional<UsedTicket> FindUsedTicket(const std::string& id) const override;
    std::optional<ScoreEntry> ReadEntry(std::int64_t id) const override;
    std::optional<std::string> ReadKeptGame(std::int64_t id) const override;
    std::vector<bool> FindKeptGames(std::span<const std::int64_t> ids) const override;
    bool CheckHealth() const override;
    std::int64_t CountRemovedEntries() const override;

    std::vector<ModerationRecord> ReadModerationLog() const override;
    void VisitRemovedEntries(const RankedView::PlaceVisitor& visit) const override;
    BoardFigures ReadFigures(std::int64_t now) const override;
    // Redis keeps its own copies: backups are refused with how to take one there.
    BackupOffer OfferBackups() const override;
    void CopyList(const std::filesystem::path& target) const override;

    // The gate's two steps (see SubmitGate), with the allowance `per_minute` (0: none).
    bool TakeAllowance(const std::string& address, int per_minute);
    GateResult Submit(const std::string& address, const ScoreEntry& entry, int per_minute);
    // The ticket's check, the repeat check against `address` and the store, in one script.
    StoredGame SubmitGame(const std::string& address, const VerifiedGame& game);

    // One call of the read script with these operations (see redis_scripts.cpp).
    RedisReply Read(std::span<const std::string> operations, Listing listing = Listing::All) const;
    // The count, the version and the replies of these commands, as one snapshot
    // (MULTI/EXEC) in one round trip, laid out as the read script's reply. Native commands
    // cost Redis a fraction of a script call.
    RedisReply ReadAtOnce(std::span<const std::vector<std::string>> reads, Listing listing = Listing::All) const;
    RedisLink& link() const { return link_; }
    const redis::Keys& keys() const { return keys_; }
    // The ranks and names sets of `listing`.
    const std::string& RanksOf(Listing listing) const {
        return listing == Listing::Verified ? keys_.verified_ranks : keys_.ranks;
    }
    const std::string& NamesOf(Listing listing) const {
        return listing == Listing::Verified ? keys_.verified_names : keys_.names;
    }

private:
    struct Stored {
        GateResult result;
        std::int64_t id;
    };
    Stored Store(const std::string& address, const ScoreEntry& entry, int per_minute);
    ModerationOutcome Moderate(const ModerationChange& change) override;
    void AwaitReplicas() const;

    const redis::Keys keys_;
    const int wait_replicas_;
    const KeptGames kept_;
    mutable RedisLink link_;
};

// The gate of an instance that shares its list in Redis.
class RedisSubmitGate final : public SubmitGate {
public:
    RedisSubmitGate(RedisScoreBoard& board, int per_minute) : board_(board), per_minute_(per_minute) {}

    bool TakeAllowance(const std::string& address) override { return board_.TakeAllowance(address, per_minute_); }
    GateResult Submit(const std::string& address, const ScoreEntry& entry) override {
        return board_.Submit(address, entry, per_minute_);
    }
    StoredGame SubmitGame(const std::string& address, const VerifiedGame& game) override {
        return board_.SubmitGame(address, game);
    }
    std::optional<UsedTicket> FindUsedTicket(const std::string& id) override { return board_.FindUsedTicket(id); }

private:
    RedisScoreBoard& board_;
    const int per_minute_;
};

}  // namespace zorblet::server

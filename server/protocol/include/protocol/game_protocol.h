#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/clock.h"
#include "protocol/outcome.h"
#include "protocol/submission.h"
#include "store/score_board.h"
#include "store/submit_gate.h"

namespace zorblet::server {

class RefusedNames;

// The three scripts the game calls under the base path: the best-of table, the list
// around a score's place, and the submission of a score.
enum class GameRequest { BestOf, PlaceList, Submission };

// The submission changes the list; the other two only read it.
constexpr bool ChangesList(GameRequest request) {
    return request == GameRequest::Submission;
}

struct ProtocolSettings {
    std::string base_path = "/";  // starts and ends with '/'
    const RefusedNames* refused_names = nullptr;  // none: every valid name is taken
    // Told the outcome of every submission; may be empty.
    std::function<void(SubmissionOutcome)> report_submission = nullptr;
};

// The game's three requests, answered in the protocol's own terms: what a reply carries
// and how a request went wrong, but nothing of how the reply travels.
class GameProtocol {
public:
    // Reads `board`; submissions pass `gate`, which stores into it. Scores are dated by
    // `clock`.
    GameProtocol(const ScoreBoard& board, SubmitGate& gate, const ProtocolClock& clock, ProtocolSettings settings);

    // Which request `path` (a target without its query) names; nullopt for any other.
    std::optional<GameRequest> FindRequest(std::string_view path) const;
    // Answers one request: `query` is the target's part after the '?', exactly as sent;
    // `client` is what the client's allowance counts by.
    Outcome Answer(GameRequest request, std::string_view query, const std::string& client);

private:
    Outcome ReadBestOf() const;
    Outcome ReadPlaceList(std::string_view query) const;
    Outcome Submit(std::string_view query, const std::string& client);
    Outcome RefuseSubmission(const std::string& client, SubmissionOutcome outcome, std::string_view problem);
    Outcome RefuseOverLimit() const;
    Outcome RefuseUnstored(const StorageError& error) const;
    Outcome StoreSubmission(const Submission& submission, const std::string& client);
    void Report(SubmissionOutcome outcome) const;

    const ScoreBoard& board_;
    const std::string best_of_path_;
    const std::string place_list_path_;
    const std::string submission_path_;
    SubmitGate& gate_;
    const ProtocolClock& clock_;
    const RefusedNames* const refused_names_;
    const std::function<void(SubmissionOutcome)> report_submission_;
};

}  // namespace zorblet::server

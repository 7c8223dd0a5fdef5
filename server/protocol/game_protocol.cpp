#include "protocol/game_protocol.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <optional>

#include "highscore/local_date.h"
#include "protocol/refused_names.h"
#include "protocol/replies.h"
#include "protocol/submission.h"
#include "query/query.h"

namespace zorblet::server {

namespace {

constexpr std::string_view MalformedQuery = "malformed percent escape in query";

Outcome Refuse(std::string_view reason) {
    return {Outcome::Kind::Refused, std::string(reason)};
}

Outcome RefuseUnreadable(const StorageError& error) {
    std::fprintf(stderr, "zorblet-highscore-server: reading the list failed: %s\n", error.what());
    return {Outcome::Kind::StorageFault, "the highscore list cannot be read right now"};
}

}  // namespace

GameProtocol::GameProtocol(const ScoreBoard& board, SubmitGate& gate, const ProtocolClock& clock,
                           ProtocolSettings settings)
    : board_(board),
      best_of_path_(settings.base_path + "BestOffSQL.php"),
      place_list_path_(settings.base_path + "ListeSQL.php"),
      submission_path_(settings.base_path + "HighScoreSQL.php"),
      gate_(gate),
      clock_(clock),
      refused_names_(settings.refused_names),
      report_submission_(std::move(settings.report_submission)) {}

std::optional<GameRequest> GameProtocol::FindRequest(std::string_view path) const {
    if (path == best_of_path_) return GameRequest::BestOf;
    if (path == place_list_path_) return GameRequest::PlaceList;
    if (path == submission_path_) return GameRequest::Submission;
    return std::nullopt;
}

void GameProtocol::Report(SubmissionOutcome outcome) const {
    if (report_submission_) report_submission_(outcome);
}

Outcome GameProtocol::Answer(GameRequest request, std::string_view query, const std::string& client) {
    switch (request) {
        case GameRequest::BestOf:
            return ReadBestOf();
        case GameRequest::PlaceList:
            return ReadPlaceList(query);
        case GameRequest::Submission:
            break;
    }
    return Submit(query, client);
}

Outcome GameProtocol::ReadBestOf() const {
    Outcome found;
    try {
        board_.ReadRanking([&](const RankedView& view) { found.text = FormatBestOfReply(view); });
    } catch (const StorageError& error) {
        return RefuseUnreadable(error);
    }
    return found;
}

Outcome GameProtocol::ReadPlaceList(std::string_view query) const {
    const std::optional<QueryParameters> parameters = ParseQuery(query);
    if (!parameters) return Refuse(MalformedQuery);
    const SingleValue points_text = FindSingleValue(*parameters, "Punkte");
    if (!points_text.value) return Refuse(points_text.problem);
    const std::optional<std::int32_t> points = ParsePoints(*points_text.value);
    if (!points) return Refuse(PointsProblem);
    Outcome found;
    try {
        board_.ReadRanking([&](const RankedView& view) { found.text = FormatPlaceListReply(view, *points); });
    } catch (const StorageError& error) {
        return RefuseUnreadable(error);
    }
    return found;
}

Outcome GameProtocol::Submit(std::string_view query, const std::string& client) {
    const std::optional<QueryParameters> parameters = ParseQuery(query);
    const ValidatedSubmission validated =
        parameters ? ValidateSubmission(*parameters) : ValidatedSubmission{std::nullopt, std::string(MalformedQuery)};
    if (!validated.submission) return RefuseSubmission(client, SubmissionOutcome::Malformed, validated.problem);
    if (refused_names_ != nullptr && refused_names_->Refuses(validated.submission->name)) {
        return RefuseSubmission(client, SubmissionOutcome::RefusedName, "Name contains a word this list does not take");
    }
    return StoreSubmission(*validated.submission, client);
}

// Every attempt counts against the allowance, refused ones too: guessing check values
// costs as much as submitting. A used-up allowance is what the client hears first.
Outcome GameProtocol::RefuseSubmission(const std::string& client, SubmissionOutcome outcome,
                                       std::string_view problem) {
    try {
        if (!gate_.TakeAllowance(client)) return RefuseOverLimit();
    } catch (const StorageError& error) {
        return RefuseUnstored(error);
    }
    Report(outcome);
    return Refuse(problem);
}

Outcome GameProtocol::RefuseOverLimit() const {
    Report(SubmissionOutcome::RateLimited);
    return {Outcome::Kind::RateLimited, "too many submissions from this address, try again later"};
}

Outcome GameProtocol::RefuseUnstored(const StorageError& error) const {
    std::fprintf(stderr, "zorblet-highscore-server: storing a score failed: %s\n", error.what());
    Report(SubmissionOutcome::StorageError);
    return {Outcome::Kind::StorageFault, "the highscore list cannot store scores right now"};
}

Outcome GameProtocol::StoreSubmission(const Submission& submission, const std::string& client) {
    GateResult result = GateResult::Stored;
    try {
        const std::time_t now = std::chrono::system_clock::to_time_t(clock_.Wall());
        result = gate_.Submit(client, {submission.points, submission.name, highscore::FormatLocalDate(now)});
    } catch (const StorageError& error) {
        return RefuseUnstored(error);
    }
    if (result == GateResult::OverLimit) return RefuseOverLimit();
    // A repeat was stored a moment ago: the client hears what it heard then.
    Report(result == GateResult::Stored ? SubmissionOutcome::Stored : SubmissionOutcome::Duplicate);
    return {Outcome::Kind::Stored, "OK"};
}

}  // namespace zorblet::server

#include "protocol/game_protocol.h"

#include <chrono>
#include <cstdio>
#include <optional>

#include "highscore/local_date.h"
#include "protocol/refused_names.h"
#include "protocol/replies.h"
#include "protocol/submission.h"
#include "protocol/submit_guard.h"
#include "query/query.h"

namespace zorblet::server {

namespace {

constexpr std::string_view MalformedQuery = "malformed percent escape in query";

bool IsReadMethod(std::string_view method) {
    return method == "GET" || method == "HEAD";
}

Reply RefuseUnreadable(const StorageError& error) {
    std::fprintf(stderr, "zorblet-highscore-server: reading the list failed: %s\n", error.what());
    return RefuseRequest(503, "the highscore list cannot be read right now");
}

}  // namespace

Reply RefuseRequest(int status, std::string_view reason) {
    std::string body(reason);
    body += "\r\n";
    return {status, std::move(body), {}};
}

HighscoreService::HighscoreService(ScoreBoard& board, ServiceSettings settings)
    : HighscoreService(board, *new LocalSubmitGate(board, settings.submissions_per_minute), std::move(settings)) {
    own_gate_.reset(&gate_);
}

HighscoreService::HighscoreService(ScoreBoard& board, SubmitGate& gate, ServiceSettings settings)
    : board_(board),
      best_of_path_(settings.base_path + "BestOffSQL.php"),
      place_list_path_(settings.base_path + "ListeSQL.php"),
      submission_path_(settings.base_path + "HighScoreSQL.php"),
      gate_(gate),
      refused_names_(settings.refused_names),
      report_submission_(std::move(settings.report_submission)) {}

RequestKind HighscoreService::ClassifyRequest(std::string_view target) const {
    const std::string_view path = SplitTarget(target).path;
    if (path == best_of_path_) return RequestKind::BestOf;
    if (path == place_list_path_) return RequestKind::PlaceList;
    if (path == submission_path_) return RequestKind::Submission;
    return RequestKind::Other;
}

void HighscoreService::Report(SubmissionOutcome outcome) const {
    if (report_submission_) report_submission_(outcome);
}

Reply HighscoreService::Answer(std::string_view method, std::string_view target, const std::string& address) {
    const RequestTarget parts = SplitTarget(target);
    const bool reads = parts.path == best_of_path_ || parts.path == place_list_path_;
    if (!reads && parts.path != submission_path_) return RefuseRequest(404, "not found");
    // A submission changes the list, so it is a GET only; HEAD may probe the reads.
    if (reads ? !IsReadMethod(method) : method != "GET") {
        Reply refusal = RefuseRequest(405, "method not allowed");
        refusal.allow = reads ? "GET, HEAD" : "GET";
        return refusal;
    }
    if (parts.path == best_of_path_) return AnswerBestOf();
    if (parts.path == place_list_path_) return AnswerPlaceList(parts.query);
    return AnswerSubmission(parts.query, address);
}

Reply HighscoreService::AnswerBestOf() {
    Reply reply;
    try {
        board_.ReadRanking([&](const RankedView& view) { reply.body = FormatBestOfReply(view); });
    } catch (const StorageError& error) {
        return RefuseUnreadable(error);
    }
    return reply;
}

Reply HighscoreService::AnswerPlaceList(std::string_view query) {
    const std::optional<QueryParameters> parameters = ParseQuery(query);
    if (!parameters) return RefuseRequest(400, MalformedQuery);
    const SingleValue points_text = FindSingleValue(*parameters, "Punkte");
    if (!points_text.value) return RefuseRequest(400, points_text.problem);
    const std::optional<std::int32_t> points = ParsePoints(*points_text.value);
    if (!points) return RefuseRequest(400, PointsProblem);
    Reply reply;
    try {
        board_.ReadRanking([&](const RankedView& view) { reply.body = FormatPlaceListReply(view, *points); });
    } catch (const StorageError& error) {
        return RefuseUnreadable(error);
    }
    return reply;
}

Reply HighscoreService::AnswerSubmission(std::string_view query, const std::string& address) {
    const std::optional<QueryParameters> parameters = ParseQuery(query);
    const ValidatedSubmission validated =
        parameters ? ValidateSubmission(*parameters) : ValidatedSubmission{std::nullopt, std::string(MalformedQuery)};
    if (!validated.submission) return RefuseSubmission(address, SubmissionOutcome::Malformed, validated.problem);
    if (refused_names_ != nullptr && refused_names_->Refuses(validated.submission->name)) {
        return RefuseSubmission(address, SubmissionOutcome::RefusedName, "Name contains a word this list does not take");
    }
    return StoreSubmission(*validated.submission, address);
}

// Every attempt counts against the allowance, refused ones too: guessing check values
// costs as much as submitting. A used-up allowance is what the client hears first.
Reply HighscoreService::RefuseSubmission(const std::string& address, SubmissionOutcome outcome,
                                         std::string_view problem) {
    try {
        if (!gate_.TakeAllowance(address)) return RefuseOverLimit();
    } catch (const StorageError& error) {
        return RefuseUnstored(error);
    }
    Report(outcome);
    return RefuseRequest(400, problem);
}

Reply HighscoreService::RefuseOverLimit() const {
    Report(SubmissionOutcome::RateLimited);
    return RefuseRequest(429, "too many submissions from this address, try again later");
}

Reply HighscoreService::RefuseUnstored(const StorageError& error) const {
    std::fprintf(stderr, "zorblet-highscore-server: storing a score failed: %s\n", error.what());
    Report(SubmissionOutcome::StorageError);
    return RefuseRequest(503, "the highscore list cannot store scores right now");
}

Reply HighscoreService::StoreSubmission(const Submission& submission, const std::string& address) {
    GateResult result = GateResult::Stored;
    try {
        result = gate_.Submit(address, submission, highscore::FormatDate());
    } catch (const StorageError& error) {
        return RefuseUnstored(error);
    }
    if (result == GateResult::OverLimit) return RefuseOverLimit();
    // A repeat was stored a moment ago: the client hears what it heard then.
    Report(result == GateResult::Stored ? SubmissionOutcome::Stored : SubmissionOutcome::Duplicate);
    return {200, "OK", {}};
}

}  // namespace zorblet::server

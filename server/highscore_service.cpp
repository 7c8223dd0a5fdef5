#include "highscore_service.h"

#include <chrono>
#include <cstdio>
#include <optional>

#include "highscore/local_date.h"
#include "query.h"
#include "refused_names.h"
#include "replies.h"
#include "submission.h"

namespace zorblet::server {

namespace {

constexpr std::string_view MalformedQuery = "malformed percent escape in query";

bool IsReadMethod(std::string_view method) {
    return method == "GET" || method == "HEAD";
}

}  // namespace

Reply RefuseRequest(int status, std::string_view reason) {
    std::string body(reason);
    body += "\r\n";
    return {status, std::move(body), {}};
}

HighscoreService::HighscoreService(ScoreBoard& board, ServiceSettings settings)
    : board_(board),
      best_of_path_(settings.base_path + "BestOffSQL.php"),
      place_list_path_(settings.base_path + "ListeSQL.php"),
      submission_path_(settings.base_path + "HighScoreSQL.php"),
      guard_(settings.submissions_per_minute),
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
    board_.ReadRanking([&](const RankedView& view) { reply.body = FormatBestOfReply(view); });
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
    board_.ReadRanking([&](const RankedView& view) { reply.body = FormatPlaceListReply(view, *points); });
    return reply;
}

Reply HighscoreService::AnswerSubmission(std::string_view query, const std::string& address) {
    // Every attempt counts against the allowance, refused ones too: guessing check values
    // costs as much as submitting.
    if (!guard_.TakeAllowance(address, SubmitGuard::Clock::now())) {
        Report(SubmissionOutcome::RateLimited);
        return RefuseRequest(429, "too many submissions from this address, try again later");
    }
    const std::optional<QueryParameters> parameters = ParseQuery(query);
    const ValidatedSubmission validated =
        parameters ? ValidateSubmission(*parameters) : ValidatedSubmission{std::nullopt, std::string(MalformedQuery)};
    if (!validated.submission) {
        Report(SubmissionOutcome::Malformed);
        return RefuseRequest(400, validated.problem);
    }
    if (refused_names_ != nullptr && refused_names_->Refuses(validated.submission->name)) {
        Report(SubmissionOutcome::RefusedName);
        return RefuseRequest(400, "Name contains a word this list does not take");
    }
    return StoreSubmission(*validated.submission, address);
}

Reply HighscoreService::StoreSubmission(const Submission& submission, const std::string& address) {
    if (!guard_.ClaimFirst(address, submission, SubmitGuard::Clock::now())) {
        Report(SubmissionOutcome::Duplicate);
        return {200, "OK", {}};  // already stored a moment ago
    }
    try {
        board_.AddEntry({submission.points, submission.name, highscore::FormatDate()});
    } catch (const StorageError& error) {
        std::fprintf(stderr, "zorblet-highscore-server: storing a score failed: %s\n", error.what());
        guard_.ReleaseClaim(address, submission);
        Report(SubmissionOutcome::StorageError);
        return RefuseRequest(503, "the highscore list cannot store scores right now");
    }
    Report(SubmissionOutcome::Stored);
    return {200, "OK", {}};
}

}  // namespace zorblet::server

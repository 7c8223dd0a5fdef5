#include "highscore/highscore_client.h"

#include <utility>

#include "highscore/best_of_reply.h"
#include "highscore/place_list_reply.h"
#include "highscore/service_urls.h"

namespace zorblet::highscore {

std::string WithFinalSlash(std::string server) {
    if (server.empty() || server.back() != '/') server += '/';
    return server;
}

SubmissionFate FateOf(const FetchResult& result) {
    if (result.Outcome != FetchOutcome::Answered) return SubmissionFate::SendAgain;
    if (result.Status >= 200 && result.Status < 300) return SubmissionFate::Delivered;
    if (result.Status == 429 || result.Status >= 500) return SubmissionFate::SendAgain;
    return SubmissionFate::Refused;
}

HighscoreClient::HighscoreClient(platform::HttpTransport& http, platform::Clock& clock, std::string server)
    : http_(http), clock_(clock), server_(WithFinalSlash(std::move(server))), worker_(clock) {}

HighscoreClient::~HighscoreClient() {
    http_.Cancel();
    worker_.Stop();
    http_.Resume();  // for whoever uses the transport next
}

std::optional<std::string> HighscoreClient::Fetch(const std::string& url) {
    FetchResult result = FetchUrl(http_, clock_, url);
    if (!result.Failed()) return std::move(result.Body);
    board_.RecordFailure();
    return std::nullopt;
}

void HighscoreClient::FetchBestOf() {
    std::optional<std::string> replyText = Fetch(BestOfUrl(server_));
    // A failed fetch shows the last table received again (a place list may have written
    // over some of its rows since), or none at all.
    if (replyText) lastBestOf_ = ParseBestOf(*replyText).Rows;
    if (lastBestOf_.Rows.empty()) lastBestOf_.Rows.resize(BestOfRowCount);
    board_.PublishRows(lastBestOf_);
}

void HighscoreClient::FetchList(std::int32_t points) {
    board_.BeginTransfer();
    worker_.Post([this, points] {
        std::optional<std::string> replyText = Fetch(ListUrl(server_, points));
        // Without a reply the place is unknown (0) and no rows are written.
        PlaceListUpdate update;
        if (replyText) update = ParsePlaceList(*replyText);
        board_.PublishPlace(update.ScorePlace);
        board_.PublishRows(update.Rows);
        board_.EndTransfer();
    });
}

void HighscoreClient::SubmitThenRefresh(std::string submitUrl) {
    board_.BeginTransfer();
    worker_.Post([this, submitUrl = std::move(submitUrl)] {
        Submit(submitUrl);
        FetchBestOf();
        board_.EndTransfer();
    });
}

void HighscoreClient::RefreshBestOf() {
    board_.BeginTransfer();
    worker_.Post([this] {
        FetchBestOf();
        board_.EndTransfer();
    });
}

void HighscoreClient::Submit(std::string url) {
    kept_.push_back({std::move(url)});
    // A submission behind one still waiting waits too, so that they arrive in order.
    if (kept_.size() == 1) SendDueSubmissions();
    board_.PublishKept(static_cast<std::int32_t>(kept_.size()));
}

bool HighscoreClient::SendDueSubmissions() {
    bool delivered = false;
    while (!kept_.empty() && SendFirstKept(delivered)) {
    }
    return delivered;
}

bool HighscoreClient::SendFirstKept(bool& delivered) {
    KeptSubmission& first = kept_.front();
    if (first.Attempts == 0) first.FirstAttempt = clock_.Counter();
    ++first.Attempts;
    // Its failures are told as one, when it is given up.
    const SubmissionFate fate = FateOf(FetchUrl(http_, clock_, first.Url));
    if (fate == SubmissionFate::SendAgain && first.Attempts <= static_cast<int>(SubmissionResends.size())) {
        const auto resend = SubmissionResends[static_cast<std::size_t>(first.Attempts - 1)];
        worker_.PostAt(first.FirstAttempt + platform::TicksIn(clock_, resend), [this] { ResendKept(); });
        return false;
    }
    if (fate == SubmissionFate::Delivered) delivered = true;
    if (fate == SubmissionFate::SendAgain) board_.RecordFailure();
    kept_.pop_front();
    return true;
}

void HighscoreClient::ResendKept() {
    const bool delivered = SendDueSubmissions();
    board_.PublishKept(static_cast<std::int32_t>(kept_.size()));
    if (!delivered) return;
    // The new score is in the list: show it.
    board_.BeginTransfer();
    FetchBestOf();
    board_.EndTransfer();
}

}  // namespace zorblet::highscore

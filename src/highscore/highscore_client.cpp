#include "highscore/highscore_client.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "highscore/best_of_reply.h"
#include "highscore/check_text.h"
#include "highscore/place_list_reply.h"
#include "highscore/service_urls.h"
#include "record/record_format.h"

namespace zorblet::highscore {

namespace {

constexpr const char* RecordContentType = "application/octet-stream";

// The least time between two renewals of the ticket at hand.
constexpr std::chrono::minutes RenewalPause{1};

bool IsSuccess(int status) {
    return status >= 200 && status < 300;
}

// The seed's request for a score and a name, as the name entry builds it.
std::string SeedRequest(const std::string& server, std::int32_t points, const std::string& nameCp1252) {
    return SubmitUrl(server, points, nameCp1252, BuildCheckText(points, nameCp1252));
}

}  // namespace

std::string WithFinalSlash(std::string server) {
    if (server.empty() || server.back() != '/') server += '/';
    return server;
}

SubmissionFate FateOf(const FetchResult& result) {
    if (result.Outcome != FetchOutcome::Answered) return SubmissionFate::SendAgain;
    if (IsSuccess(result.Status)) return SubmissionFate::Delivered;
    if (result.Status == 429 || result.Status >= 500) return SubmissionFate::SendAgain;
    return SubmissionFate::Refused;
}

RecordFate RecordFateOf(const FetchResult& result) {
    if (result.Outcome != FetchOutcome::Answered) return RecordFate::SendAgain;
    const int status = result.Status;
    // A 2xx that is not the service's answer (a portal, a proxy's page) proves nothing:
    // the ticket makes a second arrival harmless.
    if (IsSuccess(status)) return ParseStoredAnswer(result.Body) ? RecordFate::Stored : RecordFate::SendAgain;
    if (status == 404 || status == 405) return RecordFate::NoApi;
    if (status == 408 || status == 429 || status >= 500) return RecordFate::SendAgain;
    return RecordFate::Refused;
}

HighscoreClient::HighscoreClient(platform::HttpTransport& http, platform::Clock& clock, std::string server,
                                 platform::Folder* outbox, WallClock now)
    : http_(http),
      clock_(clock),
      server_(WithFinalSlash(std::move(server))),
      now_(std::move(now)),
      outbox_(outbox),
      worker_(clock) {}

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
        Submit({submitUrl, std::nullopt});
        FetchBestOf();
        board_.EndTransfer();
    });
}

void HighscoreClient::SubmitThenRefresh(std::string submitUrl, PlayedGame game, std::string nameCp1252) {
    board_.BeginTransfer();
    worker_.Post([this, submitUrl = std::move(submitUrl), game = std::move(game),
                  name = std::move(nameCp1252)]() mutable {
        Submit(RecordSubmission(std::move(submitUrl), game, std::move(name)));
        FetchBestOf();
        board_.EndTransfer();
    });
}

HighscoreClient::KeptSubmission HighscoreClient::RecordSubmission(std::string submitUrl, const PlayedGame& game,
                                                                  std::string nameCp1252) {
    KeptSubmission submission{std::move(submitUrl), std::nullopt};
    std::vector<std::uint8_t> bytes;
    try {
        bytes = record::EncodeRecord(*game.Record);
    } catch (const std::exception&) {
        return submission;  // no record the service could read: the seed's request alone
    }
    if (bytes.size() > platform::HttpTransport::MaxUploadBytes) return submission;
    submission.Record = KeptRecord{std::move(nameCp1252), game.TicketExpires, std::string(bytes.begin(), bytes.end()),
                                   game.Record->Score, {}};
    outbox_.Keep(*submission.Record);
    return submission;
}

void HighscoreClient::SendKeptRecords() {
    worker_.Post([this] {
        for (KeptRecord& record : outbox_.TakeStock(now_())) {
            std::string url = SeedRequest(server_, record.Points, record.NameCp1252);
            kept_.push_back({std::move(url), std::move(record)});
        }
        if (kept_.empty()) return;
        PublishKept();
        if (kept_.front().Attempts == 0) ResendKept();
    });
}

void HighscoreClient::RefreshBestOf() {
    board_.BeginTransfer();
    worker_.Post([this] {
        FetchBestOf();
        board_.EndTransfer();
    });
}

void HighscoreClient::Submit(KeptSubmission submission) {
    RequeueParkedRecords();
    kept_.push_back(std::move(submission));
    // A submission behind one still waiting waits too, so that they arrive in order.
    // (Only the first can be waiting for a resend: the others have not been tried.)
    if (kept_.front().Attempts == 0) SendDueSubmissions();
    PublishKept();
}

void HighscoreClient::RequeueParkedRecords() {
    for (KeptSubmission& parked : parked_) {
        parked.Attempts = 0;
        kept_.push_back(std::move(parked));
    }
    parked_.clear();
}

void HighscoreClient::PublishKept() {
    board_.PublishKept(static_cast<std::int32_t>(kept_.size() + parked_.size()));
}

bool HighscoreClient::SendDueSubmissions() {
    bool delivered = false;
    while (!kept_.empty() && SendFirstKept(delivered)) {
    }
    return delivered;
}

bool HighscoreClient::SendFirstKept(bool& delivered) {
    KeptSubmission& first = kept_.front();
    if (first.Record && first.Record->Expires <= now_()) {
        outbox_.Expire(*first.Record);
        kept_.pop_front();
        return true;
    }
    if (first.Attempts == 0) first.FirstAttempt = clock_.Counter();
    ++first.Attempts;
    if (first.Record) {
        const RecordFate fate = SendRecord(first);
        if (fate == RecordFate::SendAgain) return PlanResend(first);
        delivered = delivered || fate == RecordFate::Stored;
        if (fate != RecordFate::NoApi) kept_.pop_front();
        return true;
    }
    // Its failures are told as one, when it is given up.
    const FetchResult result = FetchUrl(http_, clock_, first.Url);
    const SubmissionFate fate = FateOf(result);
    if (fate == SubmissionFate::SendAgain) return PlanResend(first);
    if (fate == SubmissionFate::Delivered) delivered = true;
    // A list that takes verified games only says why it refuses the points alone.
    if (result.Status == 403) board_.RecordFailure(ParseSeedRefusalText(result.Body).value_or(""));
    kept_.pop_front();
    return true;
}

RecordFate HighscoreClient::SendRecord(KeptSubmission& submission) {
    KeptRecord& record = *submission.Record;
    const FetchResult result = SendRequest(
        http_, clock_, platform::PostRequest(RecordSubmitUrl(server_, record.NameCp1252), RecordContentType, record.Bytes));
    const RecordFate fate = RecordFateOf(result);
    if (fate == RecordFate::SendAgain) return fate;
    outbox_.Remove(record);
    if (fate == RecordFate::Refused) board_.RecordFailure(ParseRefusalText(result.Body).value_or(""));
    if (fate == RecordFate::NoApi) {
        // The seed's request goes now, in its place, and on from there as any score.
        submission.Record.reset();
        submission.Attempts = 0;
    }
    return fate;
}

bool HighscoreClient::PlanResend(KeptSubmission& submission) {
    if (submission.Attempts <= static_cast<int>(SubmissionResends.size())) {
        const auto resend = SubmissionResends[static_cast<std::size_t>(submission.Attempts - 1)];
        worker_.PostAt(submission.FirstAttempt + platform::TicksIn(clock_, resend), [this] { ResendKept(); });
        return false;
    }
    board_.RecordFailure();
    // A record stays on disk for the next start, and goes first with the next submission.
    if (submission.Record) parked_.push_back(std::move(submission));
    kept_.pop_front();
    return true;
}

void HighscoreClient::ResendKept() {
    const bool delivered = SendDueSubmissions();
    PublishKept();
    if (!delivered) return;
    // The new score is in the list: show it.
    board_.BeginTransfer();
    FetchBestOf();
    board_.EndTransfer();
}

void HighscoreClient::RequestTicket() {
    {
        std::lock_guard lock(ticketMutex_);
        if (ticketAsked_ || (ticket_ && LivesForAGame(*ticket_))) return;
        ticketAsked_ = true;
    }
    worker_.Post([this] { FetchTicket(); });
}

std::optional<Ticket> HighscoreClient::TakeTicket() {
    std::optional<Ticket> taken;
    {
        std::lock_guard lock(ticketMutex_);
        if (ticket_ && LivesForAGame(*ticket_)) taken = std::move(ticket_);
        ticket_.reset();
    }
    RequestTicket();
    return taken;
}

void HighscoreClient::FetchTicket() {
    // One attempt, and no pause after it: the next game, or the next game's end, asks again.
    const platform::HttpAttempt answer =
        http_.Send(platform::PostRequest(TicketUrl(server_)), FetchBudgetMs);
    std::optional<Ticket> ticket;
    if (!answer.TimedOut && IsSuccess(answer.Status)) ticket = ParseTicketAnswer(answer.Body, now_());
    if (ticket && !LivesForAGame(*ticket)) ticket.reset();
    std::lock_guard lock(ticketMutex_);
    ticketAsked_ = false;
    if (!ticket) return;
    // Once it lives too short for a game, a new one is asked for in its place (not more
    // often than RenewalPause, whatever the service's tickets live).
    const auto renewal = std::max<std::chrono::system_clock::duration>(
        ticket->Expires - TicketLifeForAGame - now_() + std::chrono::seconds(1), RenewalPause);
    worker_.PostAt(clock_.Counter() + platform::TicksIn(clock_, std::chrono::ceil<std::chrono::milliseconds>(renewal)),
                   [this, text = ticket->Text] { DropTicketIfStale(text); });
    ticket_ = std::move(ticket);
}

void HighscoreClient::DropTicketIfStale(const std::string& text) {
    {
        std::lock_guard lock(ticketMutex_);
        if (!ticket_ || ticket_->Text != text || LivesForAGame(*ticket_) || ticketAsked_) return;
        ticket_.reset();
        ticketAsked_ = true;
    }
    FetchTicket();
}

}  // namespace zorblet::highscore

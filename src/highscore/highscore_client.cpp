#include "highscore/highscore_client.h"

#include <utility>

#include "highscore/best_of_reply.h"
#include "highscore/fetch_url.h"
#include "highscore/place_list_reply.h"
#include "highscore/service_urls.h"

namespace zorblet::highscore {

std::string WithFinalSlash(std::string server) {
    if (server.empty() || server.back() != '/') server += '/';
    return server;
}

HighscoreClient::HighscoreClient(platform::HttpTransport& http, platform::Clock& clock, std::string server)
    : http_(http), clock_(clock), server_(WithFinalSlash(std::move(server))) {}

std::string HighscoreClient::Fetch(const std::string& url) {
    FetchResult result = FetchUrl(http_, clock_, url);
    if (result.Failed()) board_.RecordFailure();
    return std::move(result.Body);
}

void HighscoreClient::FetchBestOf() {
    std::string replyText = Fetch(BestOfUrl(server_));
    board_.PublishRows(ParseBestOf(replyText).Rows);
}

void HighscoreClient::FetchList(std::int32_t points) {
    board_.BeginTransfer();
    worker_.Post([this, points] {
        std::string replyText = Fetch(ListUrl(server_, points));
        const PlaceListUpdate update = ParsePlaceList(replyText);
        board_.PublishPlace(update.ScorePlace);
        board_.PublishRows(update.Rows);
        board_.EndTransfer();
    });
}

void HighscoreClient::NetworkThread(std::int32_t mode, std::string submitUrl) {
    board_.BeginTransfer();
    worker_.Post([this, mode, submitUrl = std::move(submitUrl)] {
        if (mode == 1) Fetch(submitUrl);
        FetchBestOf();
        board_.EndTransfer();
    });
}

}  // namespace zorblet::highscore

// /metrics and /healthz on the metrics address: the counters follow the requests made,
// a real Prometheus parser takes the text, and health follows the database.

#include <array>
#include <cstdio>
#include <map>

#include "server_test.h"

namespace zorblet::server::testing {
namespace {

HttpReply AskMetricsListener(const ServerProcess& server, const std::string& target) {
    return GetFromPort(FindMetricsPort(server), target);
}

// Every sample as the Prometheus client library parses it: "name{labels}" to value.
std::map<std::string, double> ParseWithPrometheusClient(const std::string& text, const TempDir& directory) {
    const std::filesystem::path file = directory.path() / "metrics.txt";
    std::FILE* out = std::fopen(file.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), out);
    std::fclose(out);
    // Debian's interpreter, which has Debian's python3-prometheus-client.
    const std::string command = "/usr/bin/python3 " ZORBLET_TEST_SOURCE_DIR "/parse_metrics.py < " + file.string();
    std::FILE* parsed = popen(command.c_str(), "r");
    std::map<std::string, double> samples;
    std::array<char, 1024> line{};
    while (std::fgets(line.data(), line.size(), parsed) != nullptr) {
        const std::string sample(line.data());
        const std::size_t space = sample.rfind(' ');
        samples[sample.substr(0, space)] = std::stod(sample.substr(space + 1));
    }
    EXPECT_EQ(pclose(parsed), 0) << "the parser refused:\n" << text;
    return samples;
}

using MetricsTest = ServerTest;

TEST_F(MetricsTest, CountersFollowTheRequestsAndTheTextPassesThePrometheusParser) {
    StartServer({"--submit-rate", "2", "--metrics-bind", "127.0.0.1:0"});
    ASSERT_GT(FindMetricsPort(*server_), 0) << server_->ReadLog();
    for (const std::string target : {"/BestOffSQL.php", "/BestOffSQL.php", "/ListeSQL.php?Punkte=5",
                                     "/ListeSQL.php?Punkte=x", "/favicon.ico", "/", "/?ab=0", "/api/v1/scores",
                                     "/api/v1/place?points=x", "/zorblet.css"}) {
        server_->Get(target);
    }
    EXPECT_EQ(server_->Get(SubmitTarget(10, "Anna")).status, 200);
    EXPECT_EQ(server_->Get(SubmitTarget(10, "Anna")).status, 200);  // a repeat
    EXPECT_EQ(server_->Get(SubmitTarget(20, "Bert")).status, 429);

    const HttpReply reply = AskMetricsListener(*server_, "/metrics");
    ASSERT_EQ(reply.status, 200);
    EXPECT_EQ(reply.content_type, "text/plain; version=0.0.4; charset=utf-8");
    std::map<std::string, double> samples = ParseWithPrometheusClient(reply.body, directory_);
    const std::map<std::string, double> expected{
        {R"(zorblet_requests_total{code="200",request="best_of"})", 2},
        {R"(zorblet_requests_total{code="200",request="place_list"})", 1},
        {R"(zorblet_requests_total{code="400",request="place_list"})", 1},
        {R"(zorblet_requests_total{code="404",request="other"})", 1},
        {R"(zorblet_requests_total{code="200",request="page"})", 1},
        {R"(zorblet_requests_total{code="400",request="page"})", 1},
        {R"(zorblet_requests_total{code="200",request="api"})", 1},
        {R"(zorblet_requests_total{code="400",request="api"})", 1},
        {R"(zorblet_requests_total{code="200",request="static"})", 1},
        {R"(zorblet_request_duration_seconds_count{request="page"})", 2},
        {R"(zorblet_requests_total{code="200",request="submission"})", 2},
        {R"(zorblet_requests_total{code="429",request="submission"})", 1},
        {R"(zorblet_request_duration_seconds_count{request="best_of"})", 2},
        {R"(zorblet_request_duration_seconds_bucket{le="+Inf",request="submission"})", 3},
        {R"(zorblet_submissions_total{outcome="stored"})", 1},
        {R"(zorblet_submissions_total{outcome="duplicate"})", 1},
        {R"(zorblet_submissions_total{outcome="rate_limited"})", 1},
        {R"(zorblet_submissions_total{outcome="refused_name"})", 0},
        {R"(zorblet_submissions_total{outcome="malformed"})", 0},
        {R"(zorblet_submissions_total{outcome="storage_error"})", 0},
        {R"(zorblet_entries{})", 1},
        {R"(zorblet_removed_entries{})", 0},
        {R"(zorblet_connections_refused_total{reason="address_cap"})", 0},
        {R"(zorblet_connections_refused_total{reason="global_cap"})", 0},
    };
    for (const auto& [sample, value] : expected) {
        ASSERT_TRUE(samples.contains(sample)) << sample << " is missing from\n" << reply.body;
        EXPECT_EQ(samples[sample], value) << sample;
    }
    EXPECT_GT(samples["process_resident_memory_bytes{}"], 1e6);
    EXPECT_GT(samples["process_start_time_seconds{}"], 1.7e9);
    EXPECT_GE(samples["zorblet_open_connections{}"], 0);
    // The metrics address answers nothing else, and its own requests are not counted.
    EXPECT_EQ(AskMetricsListener(*server_, "/BestOffSQL.php").status, 404);
    EXPECT_EQ(ParseWithPrometheusClient(AskMetricsListener(*server_, "/metrics").body, directory_)
                  [R"(zorblet_requests_total{code="200",request="best_of"})"],
              2);
}

TEST_F(MetricsTest, HealthTurnsTo503WhenTheDiskIsFull) {
    StartServer({"--submit-rate", "0", "--metrics-bind", "127.0.0.1:0"}, 64 * 1024);
    const HttpReply healthy = AskMetricsListener(*server_, "/healthz");
    EXPECT_EQ(healthy.status, 200);
    EXPECT_EQ(healthy.body, "ok\n");
    int status = 200;
    for (int i = 0; i < 200 && status == 200; ++i) {
        status = server_->Get(SubmitTarget(i, "Spieler " + std::to_string(i))).status;
    }
    ASSERT_EQ(status, 503) << "the disk never filled up";
    EXPECT_EQ(AskMetricsListener(*server_, "/healthz").status, 503);
    EXPECT_EQ(server_->Get("/BestOffSQL.php").status, 200);  // reads go on
    EXPECT_EQ(AskMetricsListener(*server_, "/healthz").status, 503);
}

}  // namespace
}  // namespace zorblet::server::testing

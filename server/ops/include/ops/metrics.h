#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

#include "http/connection_registry.h"
#include "protocol/outcome.h"
#include "store/score_board.h"

namespace zorblet::server {

// Which of the service's requests a target asks for, as the metrics count them: the
// game's three, the pages for players, the JSON API, the files the pages load; Other for
// anything else.
enum class RequestKind { BestOf, PlaceList, Submission, Page, Api, Static, Other };

// What the service counts for operators, exported in the Prometheus text format.
// Counting takes relaxed atomic increments and no lock, so serving never waits on it.
class ServiceMetrics {
public:
    ServiceMetrics();

    void CountRequest(RequestKind kind, int status, std::chrono::nanoseconds duration);
    void CountSubmission(SubmissionOutcome outcome);

    // Every metric, with the board's and the registry's numbers read now.
    std::string Format(const ScoreBoard& board, const ConnectionRegistry& registry) const;

    // Upper bounds of the request duration histogram's buckets, in seconds.
    static constexpr std::array<double, 14> DurationBuckets{0.0001, 0.00025, 0.0005, 0.001, 0.0025, 0.005, 0.01,
                                                            0.025,  0.05,    0.1,    0.25,  0.5,    1,     5};

private:
    static constexpr std::size_t Kinds = 7;
    static constexpr std::size_t Outcomes = 6;
    static constexpr int LowestStatus = 100;
    static constexpr std::size_t Statuses = 500;  // 100..599

    struct Histogram {
        std::array<std::atomic<std::uint64_t>, DurationBuckets.size() + 1> buckets{};  // the last: beyond all
        std::atomic<std::uint64_t> nanoseconds{0};
    };

    void FormatRequests(std::string& text) const;
    void FormatDurations(std::string& text) const;
    void FormatListFigures(std::string& text, const ScoreBoard& board) const;
    void FormatSubmissions(std::string& text) const;

    std::array<std::array<std::atomic<std::uint64_t>, Statuses>, Kinds> requests_{};
    std::array<Histogram, Kinds> durations_{};
    std::array<std::atomic<std::uint64_t>, Outcomes> submissions_{};
    const double start_time_;  // seconds since the epoch
};

}  // namespace zorblet::server

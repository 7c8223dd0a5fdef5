#include "ops/metrics.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string_view>

namespace zorblet::server {

namespace {

constexpr std::array<std::string_view, 7> KindNames{"best_of", "place_list", "submission", "page",
                                                   "api",     "static",     "other"};
constexpr std::array<std::string_view, 6> OutcomeNames{"stored",    "duplicate", "rate_limited",
                                                       "refused_name", "malformed", "storage_error"};

// When the kernel started this process, in seconds since the epoch: its start in clock
// ticks after boot (/proc/self/stat) plus the boot time (/proc/stat). Now, if unreadable.
double ReadProcessStartTime() {
    std::ifstream stat("/proc/self/stat");
    std::string fields;
    std::getline(stat, fields);
    std::istringstream after_name(fields.substr(fields.rfind(')') + 2));  // the name may hold spaces
    std::string field;
    for (int i = 3; i < 22; ++i) after_name >> field;  // fields 3..21
    unsigned long long ticks = 0;
    after_name >> ticks;
    std::ifstream system("/proc/stat");
    unsigned long long boot = 0;
    for (std::string key; system >> key;) {
        if (key == "btime") {
            system >> boot;
            break;
        }
    }
    if (ticks == 0 || boot == 0) {
        return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    }
    return static_cast<double>(boot) + static_cast<double>(ticks) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

std::string FormatNumber(double value) {
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%.17g", value);
    return text.data();
}

void AppendHeader(std::string& text, std::string_view name, std::string_view type, std::string_view help) {
    text.append("# HELP ").append(name).append(" ").append(help).append("\n");
    text.append("# TYPE ").append(name).append(" ").append(type).append("\n");
}

void AppendSample(std::string& text, std::string_view name, std::string_view labels, const std::string& value) {
    text.append(name);
    if (!labels.empty()) text.append("{").append(labels).append("}");
    text.append(" ").append(value).append("\n");
}

std::string Label(std::string_view name, std::string_view value) {
    return std::string(name) + "=\"" + std::string(value) + "\"";
}

// Resident pages of this process, from the kernel.
std::uint64_t ReadResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    std::uint64_t size = 0;
    std::uint64_t resident = 0;
    statm >> size >> resident;
    return resident * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
}

}  // namespace

ServiceMetrics::ServiceMetrics() : start_time_(ReadProcessStartTime()) {}

void ServiceMetrics::CountRequest(RequestKind kind, int status, std::chrono::nanoseconds duration) {
    const auto k = static_cast<std::size_t>(kind);
    const int slot = std::clamp(status, LowestStatus, LowestStatus + static_cast<int>(Statuses) - 1) - LowestStatus;
    requests_[k][static_cast<std::size_t>(slot)].fetch_add(1, std::memory_order_relaxed);
    const double seconds = std::chrono::duration<double>(duration).count();
    const auto bucket = static_cast<std::size_t>(
        std::lower_bound(DurationBuckets.begin(), DurationBuckets.end(), seconds) - DurationBuckets.begin());
    durations_[k].buckets[bucket].fetch_add(1, std::memory_order_relaxed);
    durations_[k].nanoseconds.fetch_add(static_cast<std::uint64_t>(duration.count()), std::memory_order_relaxed);
}

void ServiceMetrics::CountSubmission(SubmissionOutcome outcome) {
    submissions_[static_cast<std::size_t>(outcome)].fetch_add(1, std::memory_order_relaxed);
}

void ServiceMetrics::FormatRequests(std::string& text) const {
    AppendHeader(text, "zorblet_requests_total", "counter", "Requests answered, by request and status code.");
    for (std::size_t k = 0; k < Kinds; ++k) {
        for (std::size_t slot = 0; slot < Statuses; ++slot) {
            const std::uint64_t count = requests_[k][slot].load(std::memory_order_relaxed);
            if (count == 0) continue;
            AppendSample(text, "zorblet_requests_total",
                         Label("request", KindNames[k]) + "," + Label("code", std::to_string(slot + LowestStatus)),
                         std::to_string(count));
        }
    }
}

void ServiceMetrics::FormatDurations(std::string& text) const {
    constexpr std::string_view name = "zorblet_request_duration_seconds";
    AppendHeader(text, name, "histogram", "Time from a request's head to its answer, by request.");
    for (std::size_t k = 0; k < Kinds; ++k) {
        const std::string kind = Label("request", KindNames[k]);
        std::uint64_t cumulative = 0;
        for (std::size_t b = 0; b <= DurationBuckets.size(); ++b) {
            cumulative += durations_[k].buckets[b].load(std::memory_order_relaxed);
            const std::string bound = b < DurationBuckets.size() ? FormatNumber(DurationBuckets[b]) : "+Inf";
            AppendSample(text, std::string(name) + "_bucket", kind + "," + Label("le", bound),
                         std::to_string(cumulative));
        }
        const double seconds = static_cast<double>(durations_[k].nanoseconds.load(std::memory_order_relaxed)) / 1e9;
        AppendSample(text, std::string(name) + "_sum", kind, FormatNumber(seconds));
        AppendSample(text, std::string(name) + "_count", kind, std::to_string(cumulative));
    }
}

void ServiceMetrics::FormatSubmissions(std::string& text) const {
    AppendHeader(text, "zorblet_submissions_total", "counter", "Submissions, by what became of them.");
    for (std::size_t o = 0; o < Outcomes; ++o) {
        AppendSample(text, "zorblet_submissions_total", Label("outcome", OutcomeNames[o]),
                     std::to_string(submissions_[o].load(std::memory_order_relaxed)));
    }
}

// A store that does not answer leaves the list's figures out; the rest is still told.
void ServiceMetrics::FormatListFigures(std::string& text, const ScoreBoard& board) const {
    std::int64_t entries = 0;
    std::int64_t removed = 0;
    try {
        board.ReadRanking([&](const RankedView& view) { entries = view.CountEntries(); });
        removed = board.CountRemovedEntries();
    } catch (const StorageError&) {
        return;
    }
    AppendHeader(text, "zorblet_entries", "gauge", "Entries on the highscore list.");
    AppendSample(text, "zorblet_entries", "", std::to_string(entries));
    AppendHeader(text, "zorblet_removed_entries", "gauge", "Entries removed from the list by operators.");
    AppendSample(text, "zorblet_removed_entries", "", std::to_string(removed));
}

std::string ServiceMetrics::Format(const ScoreBoard& board, const ConnectionRegistry& registry) const {
    std::string text;
    text.reserve(8192);
    FormatRequests(text);
    FormatDurations(text);
    FormatSubmissions(text);
    FormatListFigures(text, board);
    AppendHeader(text, "zorblet_open_connections", "gauge", "Open connections of players.");
    AppendSample(text, "zorblet_open_connections", "", std::to_string(registry.open()));
    AppendHeader(text, "zorblet_connections_refused_total", "counter",
                 "Connections closed unanswered at once, by the cap they met.");
    AppendSample(text, "zorblet_connections_refused_total", Label("reason", "address_cap"),
                 std::to_string(registry.CountEvents(ConnectionEvent::AddressCap)));
    AppendSample(text, "zorblet_connections_refused_total", Label("reason", "global_cap"),
                 std::to_string(registry.CountEvents(ConnectionEvent::GlobalCap)));
    AppendHeader(text, "zorblet_connections_evicted_total", "counter",
                 "Connections closed to make room, having sent no complete request for longest.");
    AppendSample(text, "zorblet_connections_evicted_total", "",
                 std::to_string(registry.CountEvents(ConnectionEvent::Evicted)));
    AppendHeader(text, "zorblet_connections_timed_out_total", "counter",
                 "Connections closed after staying silent for the whole time-out.");
    AppendSample(text, "zorblet_connections_timed_out_total", "",
                 std::to_string(registry.CountEvents(ConnectionEvent::TimedOut)));
    AppendHeader(text, "process_resident_memory_bytes", "gauge", "Resident memory size in bytes.");
    AppendSample(text, "process_resident_memory_bytes", "", std::to_string(ReadResidentBytes()));
    AppendHeader(text, "process_start_time_seconds", "gauge", "Start time of the process since the epoch in seconds.");
    AppendSample(text, "process_start_time_seconds", "", FormatNumber(start_time_));
    return text;
}

}  // namespace zorblet::server

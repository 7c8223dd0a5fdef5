// Runs the real program's menu for a while and reports its frame pacing, drawing
// time, CPU share, start-up time and memory. Needs a display (scripts/bench-frame).
// Usage: frame_bench PROBE [SECONDS]

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "frame/frame_record.h"

extern char** environ;

namespace {

using namespace zorblet::bench;
using Clock = std::chrono::steady_clock;

constexpr double FramePeriodMs = 1000.0 / 121.0;
constexpr double WarmUpSeconds = 2.0;

std::uint64_t NowNs() {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count());
}

// User plus system CPU time of a process, in seconds.
double CpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string field;
    double utime = 0, stime = 0;
    for (int i = 3; fields >> field; ++i) {
        if (i == 14) utime = std::stod(field);
        if (i == 15) {
            stime = std::stod(field);
            break;
        }
    }
    return (utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(std::ceil(p / 100.0 * static_cast<double>(values.size()))) - 1;
    return values[std::min(index, values.size() - 1)];
}

FrameLog* CreateLog(const std::string& path, std::uint64_t capacity) {
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    if (fd < 0 || ftruncate(fd, static_cast<off_t>(FrameLogBytes(capacity))) != 0) return nullptr;
    void* memory = mmap(nullptr, FrameLogBytes(capacity), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (memory == MAP_FAILED) return nullptr;
    auto* log = static_cast<FrameLog*>(memory);
    log->Capacity = capacity;
    return log;
}

struct Report {
    std::size_t Frames = 0;
    double MeanPeriodMs = 0, P99DeviationMs = 0, DrawP50Ms = 0, DrawP99Ms = 0;
};

Report Summarise(const FrameLog& log, std::uint64_t from, std::uint64_t to) {
    Report report;
    std::vector<double> periods, draws;
    std::uint64_t previousEnd = 0;
    for (std::uint64_t i = 0; i < log.Count; ++i) {
        const FrameTimes& frame = log.Frames[i];
        if (frame.WaitEnded < from || frame.WaitEnded > to) continue;
        ++report.Frames;
        draws.push_back(static_cast<double>(frame.Presented - frame.DrawingBegins) / 1e6);
        if (previousEnd != 0) periods.push_back(static_cast<double>(frame.WaitEnded - previousEnd) / 1e6);
        previousEnd = frame.WaitEnded;
    }
    double sum = 0;
    for (double p : periods) sum += p;
    report.MeanPeriodMs = periods.empty() ? 0 : sum / static_cast<double>(periods.size());
    std::vector<double> deviations;
    for (double p : periods) deviations.push_back(std::fabs(p - report.MeanPeriodMs));
    report.P99DeviationMs = Percentile(deviations, 99);
    report.DrawP50Ms = Percentile(draws, 50);
    report.DrawP99Ms = Percentile(draws, 99);
    return report;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: frame_bench PROBE [SECONDS]\n");
        return 2;
    }
    const double seconds = argc > 2 ? std::atof(argv[2]) : 10.0;
    const std::string logPath = "/tmp/zorblet-frame-log." + std::to_string(getpid());
    FrameLog* log = CreateLog(logPath, static_cast<std::uint64_t>((seconds + WarmUpSeconds + 5) * 130));
    if (log == nullptr) {
        std::perror("frame_bench: log file");
        return 1;
    }

    char* childArgs[] = {argv[1], const_cast<char*>(logPath.c_str()), nullptr};
    const std::uint64_t spawnedAt = NowNs();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[1], nullptr, nullptr, childArgs, environ) != 0) {
        std::perror("frame_bench: spawn");
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(WarmUpSeconds));
    const double cpuBefore = CpuSeconds(pid);
    const std::uint64_t from = NowNs();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double cpuAfter = CpuSeconds(pid);
    const std::uint64_t to = NowNs();
    kill(pid, SIGTERM);  // arrives as a close request
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    unlink(logPath.c_str());

    const Report report = Summarise(*log, from, to);
    const double window = static_cast<double>(to - from) / 1e9;
    const double cpuShare = 100.0 * (cpuAfter - cpuBefore) / window;
    const double firstFrameMs = log->FirstPresent == 0 ? -1 : static_cast<double>(log->FirstPresent - spawnedAt) / 1e6;
    std::printf("menu for %.1f s after %.0f s warm-up (exit status %d)\n", window, WarmUpSeconds,
                WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    std::printf("frames presented          %zu (%.1f per second)\n", report.Frames, report.Frames / window);
    std::printf("mean frame period         %.3f ms (target at least %.3f ms)\n", report.MeanPeriodMs, FramePeriodMs);
    std::printf("p99 period deviation      %.3f ms\n", report.P99DeviationMs);
    std::printf("CPU share of one core     %.1f %% (goal at most 10 %%)\n", cpuShare);
    std::printf("draw and present p50      %.3f ms (goal at most 0.8 ms)\n", report.DrawP50Ms);
    std::printf("draw and present p99      %.3f ms\n", report.DrawP99Ms);
    std::printf("exec to first frame       %.1f ms (goal at most 100 ms)\n", firstFrameMs);
    std::printf("peak RSS                  %.1f MB (goal at most 25 MB)\n", usage.ru_maxrss / 1024.0);
    return 0;
}

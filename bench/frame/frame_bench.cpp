// Runs the real program for a while and reports its frame pacing, drawing time, CPU
// share, start-up time and memory: in its menu once the highscore table fills its window
// (rows must stay on screen for the whole measurement), with --play in a game that the
// probe's bot plays (the game must run, without countdown or menu, for the whole
// measurement), or with --slow-service in the menu while a transfer hangs on a slow
// service (it must run for the whole measurement).
// With SDL's disk audio driver it also reports what the sound device wrote.
// Needs a display (scripts/bench-frame, scripts/bench-game, scripts/bench-slow-service).
// Usage: frame_bench [--play | --slow-service] PROBE [SECONDS] [-- GAME_OPTION...]
// (the game's options, such as --scale 2 or --fullscreen, go to the program in the probe)

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
#include <string_view>
#include <thread>
#include <vector>

#include "frame/frame_record.h"

extern char** environ;

namespace {

using namespace zorblet::bench;
using Clock = std::chrono::steady_clock;

constexpr double FramePeriodMs = 1000.0 / 121.0;
// Two of the game's 120 Hz periods: a frame that took longer has waited for something.
constexpr double LatePeriodMs = 2 * 1000.0 / 120.0;
constexpr double StartLimitSeconds = 30.0;
constexpr double PlaySettleSeconds = 1.0;
// The table's window holds 11 or 12 rows, and row 1 (under the count line) is blank.
constexpr std::int32_t FullTableRows = 10;
constexpr double DiskAudioBytesPerSecond = 48000.0 * sizeof(float);  // the game's float mono tones

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

enum class Mode { Menu, Play, SlowService };

struct Report {
    std::size_t Frames = 0;
    double MeanPeriodMs = 0, P99DeviationMs = 0, DrawP50Ms = 0, DrawP99Ms = 0;
    double PeriodP50Ms = 0, PeriodP99Ms = 0, LongestPeriodMs = 0;
    std::uint64_t LongestPeriodEnded = 0;
    // Where the longest period went: from the end of the previous frame's wait to the
    // drawing (the head sleep, the close check, the input and the update), drawing and
    // presenting, pacing wait.
    double LongestHeadMs = 0, LongestDrawMs = 0, LongestWaitMs = 0;
    std::size_t LatePeriods = 0;
    std::size_t FramesOutOfPlay = 0;  // in the menu or a countdown
    std::int32_t LastLives = 0, LastCountdown = 0;
    std::size_t FramesWithoutRows = 0, FramesWithTransfer = 0;
    std::int32_t FewestRows = 0, MostRows = 0;
    std::int64_t TableScrolled = 0;  // tenths of a pixel, restarts left out
};

bool InPlay(const FrameTimes& frame) {
    return frame.Lives > 0 && frame.Countdown == 0;
}

void CountTableAndTransfer(const FrameTimes& frame, const FrameTimes* previous, Report& report) {
    if (frame.TableRowsShown == 0) ++report.FramesWithoutRows;
    if (frame.TransferRunning != 0) ++report.FramesWithTransfer;
    report.FewestRows = report.Frames == 1 ? frame.TableRowsShown : std::min(report.FewestRows, frame.TableRowsShown);
    report.MostRows = std::max(report.MostRows, frame.TableRowsShown);
    if (previous != nullptr && frame.TableScroll > previous->TableScroll) {
        report.TableScrolled += frame.TableScroll - previous->TableScroll;
    }
}

void NotePeriod(const FrameTimes& frame, std::uint64_t previousEnd, Report& report) {
    const double periodMs = static_cast<double>(frame.WaitEnded - previousEnd) / 1e6;
    if (periodMs > LatePeriodMs) ++report.LatePeriods;
    if (periodMs > report.LongestPeriodMs) {
        report.LongestPeriodMs = periodMs;
        report.LongestPeriodEnded = frame.WaitEnded;
        report.LongestHeadMs = static_cast<double>(frame.DrawingBegins - previousEnd) / 1e6;
        report.LongestDrawMs = static_cast<double>(frame.Presented - frame.DrawingBegins) / 1e6;
        report.LongestWaitMs = static_cast<double>(frame.WaitEnded - frame.Presented) / 1e6;
    }
}

Report Summarise(const FrameLog& log, std::uint64_t from, std::uint64_t to) {
    Report report;
    std::vector<double> periods, draws;
    std::uint64_t previousEnd = 0;
    const FrameTimes* previous = nullptr;
    for (std::uint64_t i = 0; i < log.Count; ++i) {
        const FrameTimes& frame = log.Frames[i];
        if (frame.WaitEnded < from || frame.WaitEnded > to) continue;
        ++report.Frames;
        if (!InPlay(frame)) ++report.FramesOutOfPlay;
        report.LastLives = frame.Lives;
        report.LastCountdown = frame.Countdown;
        CountTableAndTransfer(frame, previous, report);
        previous = &frame;
        draws.push_back(static_cast<double>(frame.Presented - frame.DrawingBegins) / 1e6);
        if (previousEnd != 0) {
            periods.push_back(static_cast<double>(frame.WaitEnded - previousEnd) / 1e6);
            NotePeriod(frame, previousEnd, report);
        }
        previousEnd = frame.WaitEnded;
    }
    double sum = 0;
    for (double p : periods) sum += p;
    report.MeanPeriodMs = periods.empty() ? 0 : sum / static_cast<double>(periods.size());
    std::vector<double> deviations;
    for (double p : periods) deviations.push_back(std::fabs(p - report.MeanPeriodMs));
    report.P99DeviationMs = Percentile(deviations, 99);
    report.PeriodP50Ms = Percentile(periods, 50);
    report.PeriodP99Ms = Percentile(periods, 99);
    report.DrawP50Ms = Percentile(draws, 50);
    report.DrawP99Ms = Percentile(draws, 99);
    return report;
}

struct Options {
    Mode Measured = Mode::Menu;
    const char* Probe = nullptr;
    double Seconds = 10.0;
    std::vector<char*> GameOptions;
};

bool ParseOptions(int argc, char** argv, Options& options) {
    int next = 1;
    if (next < argc && std::string_view(argv[next]) == "--play") {
        options.Measured = Mode::Play;
        ++next;
    } else if (next < argc && std::string_view(argv[next]) == "--slow-service") {
        options.Measured = Mode::SlowService;
        ++next;
    }
    if (next >= argc) return false;
    options.Probe = argv[next++];
    if (next < argc && std::string_view(argv[next]) != "--") options.Seconds = std::atof(argv[next++]);
    if (next < argc && std::string_view(argv[next]) == "--") options.GameOptions.assign(argv + next + 1, argv + argc);
    return options.Seconds > 0 && (next == argc || std::string_view(argv[next]) == "--");
}

bool ProbeEnded(pid_t pid) {
    int status = 0;
    return waitpid(pid, &status, WNOHANG) == pid;
}

// Whether the latest frame shows what the mode measures: the bot's game past its
// countdown, the table filling its window, or a transfer running.
bool ReadyToMeasure(Mode mode, const FrameTimes& frame) {
    switch (mode) {
        case Mode::Play:
            return InPlay(frame);
        case Mode::Menu:
            return frame.TableRowsShown >= FullTableRows;
        case Mode::SlowService:
            return frame.TransferRunning != 0;
    }
    return false;
}

// Waits until the program shows what the mode measures (a played game a little longer);
// false when it does not get there in time. Sets mostRows to the fullest table seen.
bool WaitUntilReady(const FrameLog& log, pid_t pid, Mode mode, std::int32_t& mostRows) {
    const auto deadline = Clock::now() + std::chrono::duration<double>(StartLimitSeconds);
    while (Clock::now() < deadline) {
        const std::uint64_t count = log.Count;
        if (count > 0) mostRows = std::max(mostRows, log.Frames[count - 1].TableRowsShown);
        if (count > 0 && ReadyToMeasure(mode, log.Frames[count - 1])) {
            if (mode == Mode::Play) std::this_thread::sleep_for(std::chrono::duration<double>(PlaySettleSeconds));
            return true;
        }
        if (ProbeEnded(pid)) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

void PrintNotReady(Mode mode, std::int32_t mostRows) {
    switch (mode) {
        case Mode::Play:
            std::printf("FAILED: the bot's game did not get past its countdown within %.0f s\n", StartLimitSeconds);
            break;
        case Mode::Menu:
            std::printf(
                "FAILED: the highscore table did not fill its window within %.0f s (at most %d rows on screen); "
                "does the service at the game's address have entries?\n",
                StartLimitSeconds, mostRows);
            break;
        case Mode::SlowService:
            std::printf("FAILED: no transfer was seen running within %.0f s\n", StartLimitSeconds);
            break;
    }
}

struct Measurement {
    std::uint64_t From = 0, To = 0;
    double CpuSeconds = 0;
    int ExitStatus = -1;
    rusage Usage{};

    double Window() const { return static_cast<double>(To - From) / 1e9; }
};

Measurement MeasureAndEnd(pid_t pid, double seconds) {
    Measurement measurement;
    const double cpuBefore = CpuSeconds(pid);
    measurement.From = NowNs();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    measurement.CpuSeconds = CpuSeconds(pid) - cpuBefore;
    measurement.To = NowNs();
    kill(pid, SIGTERM);  // arrives as a close request
    int status = 0;
    wait4(pid, &status, 0, &measurement.Usage);
    if (WIFEXITED(status)) measurement.ExitStatus = WEXITSTATUS(status);
    return measurement;
}

void PrintFigures(const Options& options, const Report& report, const Measurement& measurement, double firstFrameMs) {
    const double window = measurement.Window();
    std::printf("frames presented          %zu (%.1f per second)\n", report.Frames, report.Frames / window);
    std::printf("mean frame period         %.3f ms (target at least %.3f ms)\n", report.MeanPeriodMs, FramePeriodMs);
    std::printf("p99 period deviation      %.3f ms\n", report.P99DeviationMs);
    std::printf("frame period p50 / p99    %.3f ms / %.3f ms\n", report.PeriodP50Ms, report.PeriodP99Ms);
    std::printf("longest frame period      %.3f ms (%.2f s into the measurement)\n", report.LongestPeriodMs,
                static_cast<double>(report.LongestPeriodEnded - measurement.From) / 1e9);
    std::printf("  of which                %.3f ms head, %.3f ms draw and present, %.3f ms pacing wait\n",
                report.LongestHeadMs, report.LongestDrawMs, report.LongestWaitMs);
    std::printf("periods over %.1f ms      %zu (goal none)\n", LatePeriodMs, report.LatePeriods);
    std::printf("CPU share of one core     %.1f %% (goal at most 10 %%)\n", 100.0 * measurement.CpuSeconds / window);
    std::printf("draw and present p50      %.3f ms (goal at most 0.8 ms)\n", report.DrawP50Ms);
    std::printf("draw and present p99      %.3f ms\n", report.DrawP99Ms);
    std::printf("exec to first frame       %.1f ms (goal at most 100 ms)\n", firstFrameMs);
    std::printf("peak RSS                  %.1f MB (goal at most %d MB)\n", measurement.Usage.ru_maxrss / 1024.0,
                options.Measured == Mode::Play ? 30 : 25);
}

// What SDL's disk audio driver wrote: its size, and how much of it was not silence.
void PrintDiskAudio() {
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    const char* path = std::getenv("SDL_DISKAUDIOFILE");
    if (driver == nullptr || std::string_view(driver) != "disk" || path == nullptr) return;
    std::ifstream file(path, std::ios::binary);
    std::size_t bytes = 0, sounding = 0;
    float sample = 0;
    while (file.read(reinterpret_cast<char*>(&sample), sizeof sample)) {
        bytes += sizeof sample;
        if (std::fabs(sample) > 1e-4f) ++sounding;
    }
    const double samples = static_cast<double>(bytes / sizeof sample);
    std::printf("disk audio file           %.2f MB (%.1f s of sound), %.1f %% of it not silent\n", bytes / 1e6,
                static_cast<double>(bytes) / DiskAudioBytesPerSecond, samples > 0 ? 100.0 * sounding / samples : 0.0);
}

// A played game must have run through the whole measurement: no menu, no countdown.
bool ReportGameRan(const Report& report) {
    const bool ran =
        report.Frames > 0 && report.FramesOutOfPlay == 0 && report.LastLives > 0 && report.LastCountdown == 0;
    if (ran) {
        std::printf("game running at the end   yes (%d lives, no countdown or menu in the measurement)\n",
                    report.LastLives);
    } else {
        std::printf(
            "FAILED: the game did not run through the measurement: %zu of %zu frames in a countdown or "
            "the menu, %d lives and countdown %d at the end\n",
            report.FramesOutOfPlay, report.Frames, report.LastLives, report.LastCountdown);
    }
    return ran;
}

// The menu's table must have had rows on screen in every measured frame.
bool ReportTableShown(const Report& report) {
    const bool shown = report.Frames > 0 && report.FramesWithoutRows == 0;
    if (shown) {
        std::printf("table rows on screen      %d to %d in every frame; the table scrolled %.1f px\n",
                    report.FewestRows, report.MostRows, static_cast<double>(report.TableScrolled) / 10.0);
    } else {
        std::printf("FAILED: %zu of %zu frames had no table row on screen\n", report.FramesWithoutRows, report.Frames);
    }
    return shown;
}

// A transfer must have been running through every measured frame.
bool ReportTransferRan(const Report& report) {
    const bool ran = report.Frames > 0 && report.FramesWithTransfer == report.Frames;
    if (ran) {
        std::printf("transfer running          in every frame (the status line told of it)\n");
    } else {
        std::printf("FAILED: a transfer ran in only %zu of %zu frames; measure for a shorter time\n",
                    report.FramesWithTransfer, report.Frames);
    }
    return ran;
}

bool ReportValid(Mode mode, const Report& report) {
    switch (mode) {
        case Mode::Play:
            return ReportGameRan(report);
        case Mode::Menu:
            return ReportTableShown(report);
        case Mode::SlowService:
            return ReportTransferRan(report);
    }
    return false;
}

const char* MeasuredWhat(Mode mode) {
    switch (mode) {
        case Mode::Play:
            return "game";
        case Mode::Menu:
            return "menu with the table";
        case Mode::SlowService:
            return "menu during a transfer";
    }
    return "";
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: frame_bench [--play | --slow-service] PROBE [SECONDS] [-- GAME_OPTION...]\n");
        return 2;
    }
    const bool play = options.Measured == Mode::Play;
    const std::string logPath = "/tmp/zorblet-frame-log." + std::to_string(getpid());
    const double runSeconds = options.Seconds + StartLimitSeconds + 5;
    FrameLog* log = CreateLog(logPath, static_cast<std::uint64_t>(runSeconds * 130));
    if (log == nullptr) {
        std::perror("frame_bench: log file");
        return 1;
    }

    char playArgument[] = "play";
    char optionsFollow[] = "--";
    std::vector<char*> childArgs = {const_cast<char*>(options.Probe), const_cast<char*>(logPath.c_str())};
    if (play) childArgs.push_back(playArgument);
    childArgs.push_back(optionsFollow);
    childArgs.insert(childArgs.end(), options.GameOptions.begin(), options.GameOptions.end());
    childArgs.push_back(nullptr);
    const std::uint64_t spawnedAt = NowNs();
    pid_t pid = 0;
    if (posix_spawn(&pid, options.Probe, nullptr, nullptr, childArgs.data(), environ) != 0) {
        std::perror("frame_bench: spawn");
        return 1;
    }
    std::int32_t mostRows = 0;
    if (!WaitUntilReady(*log, pid, options.Measured, mostRows)) {
        PrintNotReady(options.Measured, mostRows);
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        unlink(logPath.c_str());
        return 1;
    }
    const Measurement measurement = MeasureAndEnd(pid, options.Seconds);
    unlink(logPath.c_str());

    const Report report = Summarise(*log, measurement.From, measurement.To);
    const double firstFrameMs = log->FirstPresent == 0 ? -1 : static_cast<double>(log->FirstPresent - spawnedAt) / 1e6;
    std::printf("%s for %.1f s after %.1f s of start-up (exit status %d)\n", MeasuredWhat(options.Measured),
                measurement.Window(), static_cast<double>(measurement.From - spawnedAt) / 1e9, measurement.ExitStatus);
    PrintFigures(options, report, measurement, firstFrameMs);
    PrintDiskAudio();
    return ReportValid(options.Measured, report) ? 0 : 1;
}

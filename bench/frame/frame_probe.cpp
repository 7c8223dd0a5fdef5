// The real program with a stopwatch on its frames; frame_bench reads the times. With
// "play" a bot starts a game and plays it, standing in for the keyboard and the mouse.
// Usage: zorblet-frame-probe LOG_FILE [play] [-- GAME_OPTION...]
// (the log is made by frame_bench, sized for the run; the game's options follow "--")

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <span>
#include <string_view>

#include "frame/frame_record.h"
#include "frame/play_bot.h"
#include "frame/program.h"
#include "highscore/highscore_table.h"

namespace {

using zorblet::bench::FrameLog;

std::uint64_t NowNs() {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

// The best-of rows the menu showed in the last frame; none where a game, the help page,
// a running transfer or the name entry's place view hides them.
std::int32_t CountTableRowsShown(const zorblet::frame::Game& game) {
    const auto& screen = game.Screen;
    const bool placeView = game.Run.World.Score != 0 && game.Run.Mode.NameEntryActive;
    if (!MenuShown(game.Run.Play, game.Run.Mode) || !screen.Highscore.StatusText.empty() || placeView) return 0;
    return zorblet::highscore::CountBestOfRowsShown(screen.Highscore.HighscoreRows, screen.Table.TableScroll);
}

class FrameRecorder final : public zorblet::frame::FrameObserver {
public:
    FrameRecorder(FrameLog& log, zorblet::bench::SteeringBot* bot) : log_(log), bot_(bot) {}
    void DrawingBegins(const zorblet::frame::Game& game) override {
        current_.Lives = game.Run.Play.Lives;
        current_.Countdown = game.Run.Play.Countdown;
        current_.TableRowsShown = CountTableRowsShown(game);
        current_.TableScroll = game.Screen.Table.TableScroll;
        current_.TransferRunning = game.Screen.Highscore.StatusText.empty() ? 0 : 1;
        current_.DrawingBegins = NowNs();
        if (bot_ != nullptr) bot_->Plan(game);
    }
    void FramePresented() override {
        current_.Presented = NowNs();
        if (log_.FirstPresent == 0) log_.FirstPresent = current_.Presented;
    }
    void FrameWaitEnded() override {
        current_.WaitEnded = NowNs();
        if (current_.DrawingBegins != 0 && log_.Count < log_.Capacity) log_.Frames[log_.Count++] = current_;
        current_ = {};
    }

private:
    FrameLog& log_;
    zorblet::bench::SteeringBot* bot_;
    zorblet::bench::FrameTimes current_;
};

FrameLog* MapLog(const char* path) {
    const int fd = open(path, O_RDWR);
    if (fd < 0) return nullptr;
    struct stat info {};
    fstat(fd, &info);
    void* memory = mmap(nullptr, static_cast<std::size_t>(info.st_size), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    return memory == MAP_FAILED ? nullptr : static_cast<FrameLog*>(memory);
}

using GameOptions = std::span<const char* const>;

int RunMenu(FrameLog& log, GameOptions options) {
    FrameRecorder recorder(log, nullptr);
    return zorblet::frame::RunProgram(options, &recorder);
}

int RunPlayedGame(FrameLog& log, GameOptions options) {
    zorblet::bench::StartingKeyboard keyboard;
    zorblet::bench::SteeringBot bot;
    FrameRecorder recorder(log, &bot);
    return zorblet::frame::RunProgram(options, &recorder, {&keyboard, &bot});
}

}  // namespace

int main(int argc, char** argv) {
    int next = 2;
    const bool play = next < argc && std::string_view(argv[next]) == "play";
    if (play) ++next;
    const bool optionsFollow = next < argc && std::string_view(argv[next]) == "--";
    if (optionsFollow) ++next;
    FrameLog* log = argc >= 2 && (next == argc || optionsFollow) ? MapLog(argv[1]) : nullptr;
    if (log == nullptr) {
        std::fprintf(stderr,
                     "usage: zorblet-frame-probe LOG_FILE [play] [-- GAME_OPTION...] (a log made by frame_bench)\n");
        return 2;
    }
    const GameOptions options(argv + next, argv + argc);
    return play ? RunPlayedGame(*log, options) : RunMenu(*log, options);
}

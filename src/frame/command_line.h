#pragma once
// The game's command line and the choice of the highscore address.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zorblet::frame {

inline constexpr int SmallestScale = 1;
inline constexpr int LargestScale = 4;

// What a run does: the game, or a recorded game played back in the window, or a record's
// facts on standard output without a window, or the game at a place of the highscore list
// played back in the window.
enum class RunAction { Play, Replay, ReplayInfo, Watch };

// What the command line asks of this one run; nothing of it is remembered.
struct RunOptions {
    std::optional<std::string> Server;
    std::optional<int> Scale;
    bool Fullscreen = false;
    RunAction Action = RunAction::Play;
    std::string RecordFile;  // of --replay and --replay-info
    std::int32_t WatchPlace = 0;  // of --watch: from 1
};

// Either options to run with, or a text for stdout (--help, --version) with exit code 0,
// or a one-line message for stderr with exit code 2.
struct CommandLine {
    std::optional<RunOptions> Options;
    std::string Text;
    int ExitCode = 0;
};

// arguments without the program's name; compiledServer is named in the help text.
CommandLine ParseCommandLine(std::span<const char* const> arguments, std::string_view compiledServer);

// A whole number from 1 to 4, as --scale and the settings file take it.
std::optional<int> ParseScale(std::string_view text);

// A place of the list, as --watch takes it: a whole number from 1.
std::optional<std::int32_t> ParsePlace(std::string_view text);

// An http:// or https:// address with a host.
bool IsServerAddress(std::string_view address);

// The address to use, or a message (exit code 2) when the environment names a bad one.
struct ServerChoice {
    std::string Address;
    std::string Problem;
};

// In this order: the command line, the environment variable ZORBLET_HIGHSCORE_SERVER
// (unset or empty: none), the settings file, the compiled-in address.
ServerChoice ChooseServer(const std::optional<std::string>& fromCommandLine, const char* fromEnvironment,
                          const std::optional<std::string>& fromSettings, std::string_view compiledIn);

}  // namespace zorblet::frame

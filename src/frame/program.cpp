#include "frame/program.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "frame/command_line.h"
#include "frame/games_folder.h"
#include "frame/record_file.h"
#include "frame/replay_loop.h"
#include "frame/settings_file.h"
#include "frame/watched_game.h"
#include "highscore/highscore_client.h"
#include "platform/curl_http_transport.h"
#include "platform/disk_folder.h"
#include "platform/platform_error.h"
#include "platform/posix_clock.h"
#include "platform/random.h"
#include "platform/sdl_platform.h"
#include "platform/small_file.h"
#include "sound/tone_effects.h"

namespace zorblet::frame {

namespace {

// What this run starts with, from the command line, the environment and the settings.
struct StartChoices {
    std::string Server;
    platform::WindowShape Shape;
    Remembered Last;
};

platform::WindowShape ShapeOf(const RunOptions& options, const Settings& settings) {
    return {.Scale = options.Scale.value_or(settings.Scale.value_or(1)),
            .Fullscreen = options.Fullscreen || settings.Fullscreen.value_or(false)};
}

StartChoices ChooseStart(const RunOptions& options, const Settings& settings, std::string server) {
    StartChoices choices;
    choices.Server = std::move(server);
    choices.Shape = ShapeOf(options, settings);
    choices.Last.SoundOn = settings.SoundOn.value_or(true);
    choices.Last.PlayerName = settings.Name.value_or("");
    return choices;
}

// The records that wait to be sent to this service.
std::filesystem::path OutboxPath(const std::string& server) {
    return platform::OutboxFolderPath(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"),
                                      highscore::OutboxFolderName(highscore::WithFinalSlash(server)));
}

int Play(const StartChoices& choices, SettingsFile& settings, FrameObserver* observer,
         const InputOverrides& overrides) {
    // Made in this order, undone in the reverse: the transfers stop before the network
    // goes, and the platform shuts down last.
    std::unique_ptr<platform::SdlPlatform> platform = platform::StartSdlPlatform(choices.Shape);
    platform::SeededRandom random(platform::SystemSeed(platform->Clock.Ticks()));
    auto game = std::make_unique<Game>();
    auto canvas = std::make_unique<render::Canvas>();
    sound::ToneQueue tones(platform->Tones);
    platform::Keyboard& keyboard = overrides.Keyboard != nullptr ? *overrides.Keyboard : platform->Keyboard;
    platform::Mouse& mouse = overrides.Mouse != nullptr ? *overrides.Mouse : platform->Mouse;
    platform::CurlHttpTransport http;
    platform::DiskFolder outbox(OutboxPath(choices.Server));
    highscore::HighscoreClient highscore(http, platform->Clock, choices.Server,
                                         outbox.Path().empty() ? nullptr : &outbox);
    platform::DiskFolder gamesFolder(platform::GamesFolderPath(std::getenv("XDG_DATA_HOME"), std::getenv("HOME")));
    GamesFolder games(gamesFolder, platform->Clock);
    Devices devices{platform->Screen, *canvas, keyboard, mouse,     platform->Clock, *platform->Fonts,
                    random,           tones,   highscore, settings, games};
    if (StartUp(*game, devices, observer, choices.Last) == FrameOutcome::Continue) {
        RunMainLoop(*game, devices, observer);
    }
    return 0;
}

// A record checked before, played back in a window shaped as the game's.
int ShowReplay(const RunOptions& options, const record::GameRecord& game) {
    platform::PosixClock writerClock;
    SettingsFile settings(platform::SettingsFilePath(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME")), writerClock);
    std::unique_ptr<platform::SdlPlatform> platform = platform::StartSdlPlatform(ShapeOf(options, settings.Values()));
    auto canvas = std::make_unique<render::Canvas>();
    sound::ToneQueue tones(platform->Tones);
    ReplayDevices devices{platform->Screen, *canvas, platform->Keyboard, platform->Clock,
                          *platform->Fonts, tones,   settings};
    RunReplay(game, devices, settings.Values().SoundOn.value_or(true));
    return 0;
}

// --replay: the record is read and checked before any window opens.
int Replay(const RunOptions& options) {
    const LoadedRecord loaded = LoadRecordFile(options.RecordFile);
    if (!loaded.Problem.empty()) {
        std::fputs(loaded.Problem.c_str(), stderr);
        return 2;
    }
    if (!loaded.Verdict.ScoreMatches()) {
        std::fprintf(stderr, "zorblet: die Wiedergabe ergibt %d Punkte, die Aufzeichnung nennt %d.\n",
                     static_cast<int>(*loaded.Verdict.ReplayedScore), static_cast<int>(loaded.Verdict.Record->Score));
    }
    return ShowReplay(options, *loaded.Verdict.Record);
}

// --watch: the entry and its record are fetched and checked before any window opens.
int Watch(const RunOptions& options, const std::string& server) {
    LoadedRecord loaded;
    {
        platform::CurlHttpTransport http;
        platform::PosixClock clock;
        loaded = FetchWatchedGame(http, clock, highscore::WithFinalSlash(server), options.WatchPlace);
    }
    if (!loaded.Problem.empty()) {
        std::fputs(loaded.Problem.c_str(), stderr);
        return 2;
    }
    return ShowReplay(options, *loaded.Verdict.Record);
}

}  // namespace

int RunProgram(std::span<const char* const> arguments, FrameObserver* observer, const InputOverrides& overrides) {
    const CommandLine commandLine = ParseCommandLine(arguments, ZORBLET_HIGHSCORE_SERVER);
    if (!commandLine.Options) {
        std::fputs(commandLine.Text.c_str(), commandLine.ExitCode == 0 ? stdout : stderr);
        return commandLine.ExitCode;
    }
    const RunOptions& options = *commandLine.Options;
    if (options.Action == RunAction::ReplayInfo) return PrintRecordInfo(options.RecordFile, stdout, stderr);
    if (options.Action == RunAction::Replay) {
        try {
            return Replay(options);
        } catch (const platform::PlatformError& error) {
            std::fprintf(stderr, "Zorblet: %s\n", error.what());
            return 1;
        }
    }
    platform::PosixClock writerClock;
    SettingsFile settings(platform::SettingsFilePath(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME")), writerClock);
    const ServerChoice server = ChooseServer(commandLine.Options->Server, std::getenv("ZORBLET_HIGHSCORE_SERVER"),
                                             settings.Values().Server, ZORBLET_HIGHSCORE_SERVER);
    if (!server.Problem.empty()) {
        std::fputs(server.Problem.c_str(), stderr);
        return 2;
    }
    try {
        if (options.Action == RunAction::Watch) return Watch(options, server.Address);
        return Play(ChooseStart(*commandLine.Options, settings.Values(), server.Address), settings, observer,
                    overrides);
    } catch (const platform::PlatformError& error) {
        std::fprintf(stderr, "Zorblet: %s\n", error.what());
        return 1;
    }
}

}  // namespace zorblet::frame

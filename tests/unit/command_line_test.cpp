// The command line: every option, every bad input with its exit code, and the order in
// which the highscore address is chosen.

#include "frame/command_line.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace zorblet::frame {
namespace {

constexpr std::string_view Compiled = "http://127.0.0.1:8080/";

CommandLine Parse(std::vector<const char*> arguments) {
    return ParseCommandLine(arguments, Compiled);
}

struct RunCase {
    std::vector<const char*> Arguments;
    std::optional<std::string> Server;
    std::optional<int> Scale;
    bool Fullscreen;
};

TEST(CommandLine, OptionsToRunWith) {
    const RunCase cases[] = {
        {{}, std::nullopt, std::nullopt, false},
        {{"--server", "http://scores.example/zorblet/"}, "http://scores.example/zorblet/", std::nullopt, false},
        {{"--server=https://scores.example"}, "https://scores.example", std::nullopt, false},
        {{"--server", "http://[::1]:8080"}, "http://[::1]:8080", std::nullopt, false},
        {{"--server", "http://user@host:1/x?y"}, "http://user@host:1/x?y", std::nullopt, false},
        {{"--scale", "1"}, std::nullopt, 1, false},
        {{"--scale=4", "--fullscreen"}, std::nullopt, 4, true},
        {{"--fullscreen", "--scale", "2", "--server", "http://a", "--scale", "3"}, "http://a", 3, true},
    };
    for (const RunCase& c : cases) {
        const CommandLine line = Parse(c.Arguments);
        ASSERT_TRUE(line.Options) << line.Text;
        EXPECT_EQ(line.Options->Server, c.Server);
        EXPECT_EQ(line.Options->Scale, c.Scale);
        EXPECT_EQ(line.Options->Fullscreen, c.Fullscreen);
        EXPECT_EQ(line.ExitCode, 0);
    }
}

// --replay and --replay-info name a record file; the last one given counts, and the
// window's options go with --replay.
TEST(CommandLine, ARecordToReplayOrToTellAbout) {
    struct Case {
        std::vector<const char*> Arguments;
        RunAction Action;
        std::string File;
    };
    const Case cases[] = {
        {{}, RunAction::Play, ""},
        {{"--replay", "spiel.zrec"}, RunAction::Replay, "spiel.zrec"},
        {{"--replay=/tmp/a b.zrec"}, RunAction::Replay, "/tmp/a b.zrec"},
        {{"--replay-info", "spiel.zrec"}, RunAction::ReplayInfo, "spiel.zrec"},
        {{"--replay-info=--help"}, RunAction::ReplayInfo, "--help"},
        {{"--replay", "a", "--replay", "b"}, RunAction::Replay, "b"},
        {{"--scale", "2", "--replay", "a", "--fullscreen"}, RunAction::Replay, "a"},
    };
    for (const Case& c : cases) {
        const CommandLine line = Parse(c.Arguments);
        ASSERT_TRUE(line.Options) << line.Text;
        EXPECT_EQ(line.Options->Action, c.Action) << c.File;
        EXPECT_EQ(line.Options->RecordFile, c.File);
    }
    EXPECT_EQ(Parse({"--scale", "2", "--replay", "a", "--fullscreen"}).Options->Scale, 2);
}

// --watch names a place of the list, from 1; the window's options and --server go with it.
TEST(CommandLine, APlaceOfTheListToWatch) {
    struct Case {
        std::vector<const char*> Arguments;
        std::int32_t Place;
    };
    const Case cases[] = {
        {{"--watch", "1"}, 1},
        {{"--watch=17"}, 17},
        {{"--watch", "007"}, 7},
        {{"--watch", "3", "--watch", "2147483647"}, 2147483647},
        {{"--server", "http://scores.example/", "--watch", "4", "--scale", "2"}, 4},
    };
    for (const Case& c : cases) {
        const CommandLine line = Parse(c.Arguments);
        ASSERT_TRUE(line.Options) << line.Text;
        EXPECT_EQ(line.Options->Action, RunAction::Watch);
        EXPECT_EQ(line.Options->WatchPlace, c.Place);
    }
    EXPECT_EQ(Parse({"--server", "http://scores.example/", "--watch", "4"}).Options->Server, "http://scores.example/");
}

TEST(CommandLine, HelpAndVersionAnswerOnStdoutWithExitCodeZero) {
    const CommandLine help = Parse({"--scale", "2", "--help", "--bogus"});
    EXPECT_FALSE(help.Options);
    EXPECT_EQ(help.ExitCode, 0);
    for (const char* option : {"--server URL", "--scale N", "--fullscreen", "--replay DATEI", "--replay-info DATEI",
                               "--watch PLATZ", "--version", "--help"}) {
        EXPECT_NE(help.Text.find(std::string("  ") + option), std::string::npos) << option;
    }
    EXPECT_NE(help.Text.find("Aufruf: zorblet"), std::string::npos);
    EXPECT_NE(help.Text.find(Compiled), std::string::npos) << "the address compiled in";
    EXPECT_NE(help.Text.find("zorblet.conf"), std::string::npos);
    EXPECT_NE(help.Text.find("~/.local/share/zorblet/games/"), std::string::npos) << "where the records are kept";

    const CommandLine version = Parse({"--version"});
    EXPECT_FALSE(version.Options);
    EXPECT_EQ(version.Text, "Zorblet 1.00\n");
    EXPECT_EQ(version.ExitCode, 0);
}

struct BadCase {
    std::vector<const char*> Arguments;
    std::string Says;  // a part of the message
};

TEST(CommandLine, BadInputGetsOneGermanLineAndExitCodeTwo) {
    const BadCase cases[] = {
        {{"--sound"}, "unbekannte Option „--sound“"},
        {{"-h"}, "unbekannte Option „-h“"},
        {{"spiel"}, "unbekannte Option „spiel“"},
        {{"--fullscreen=yes"}, "unbekannte Option"},
        {{"--server"}, "der Option --server fehlt ihr Wert"},
        {{"--scale"}, "der Option --scale fehlt ihr Wert"},
        {{"--server", "ftp://scores.example/"}, "„ftp://scores.example/“ ist keine Adresse"},
        {{"--server", "scores.example"}, "keine Adresse"},
        {{"--server", "http://"}, "keine Adresse"},
        {{"--server", "https:///list/"}, "keine Adresse"},
        {{"--server", "http://:8080/"}, "keine Adresse"},
        {{"--server", "http://a b/"}, "keine Adresse"},
        {{"--server="}, "keine Adresse"},
        {{"--scale", "0"}, "die Vergrößerung „0“"},
        {{"--scale", "5"}, "die Vergrößerung „5“"},
        {{"--scale", "-1"}, "die Vergrößerung"},
        {{"--scale", "2x"}, "die Vergrößerung"},
        {{"--scale="}, "die Vergrößerung"},
        {{"--replay"}, "der Option --replay fehlt ihr Wert"},
        {{"--replay="}, "der Option --replay fehlt ihr Wert"},
        {{"--replay-info"}, "der Option --replay-info fehlt ihr Wert"},
        {{"--replay", "a", "--replay-info", "b"}, "--replay und --replay-info lassen sich nicht verbinden"},
        {{"--replay-info", "a", "--replay", "a"}, "lassen sich nicht verbinden"},
        {{"--replays", "a"}, "unbekannte Option „--replays“"},
        {{"--watch"}, "der Option --watch fehlt ihr Wert"},
        {{"--watch", "0"}, "der Platz „0“ ist keine ganze Zahl ab 1"},
        {{"--watch", "-3"}, "der Platz „-3“"},
        {{"--watch", "+3"}, "der Platz „+3“"},
        {{"--watch", "erster"}, "der Platz „erster“"},
        {{"--watch", "2147483648"}, "der Platz „2147483648“"},
        {{"--watch="}, "der Platz „“"},
        {{"--watch", "1", "--replay", "a"}, "--watch und --replay lassen sich nicht verbinden"},
        {{"--replay-info", "a", "--watch", "1"}, "--replay-info und --watch lassen sich nicht verbinden"},
    };
    for (const BadCase& c : cases) {
        const CommandLine line = Parse(c.Arguments);
        EXPECT_FALSE(line.Options) << c.Says;
        EXPECT_EQ(line.ExitCode, 2) << c.Says;
        EXPECT_NE(line.Text.find(c.Says), std::string::npos) << line.Text;
        EXPECT_TRUE(line.Text.starts_with("zorblet: ")) << line.Text;
        EXPECT_EQ(line.Text.find('\n'), line.Text.size() - 1) << "one line: " << line.Text;
    }
}

struct AddressCase {
    std::string Name;
    std::optional<std::string> CommandLine;
    const char* Environment;
    std::optional<std::string> Settings;
    std::string Chosen;  // empty: refused
};

TEST(CommandLine, TheAddressComesFromTheCommandLineTheEnvironmentTheSettingsThenTheBuild) {
    const AddressCase cases[] = {
        {"all four: the command line", "http://cli/", "http://env/", "http://file/", "http://cli/"},
        {"no option: the environment", std::nullopt, "http://env/", "http://file/", "http://env/"},
        {"an empty variable counts as unset", std::nullopt, "", "http://file/", "http://file/"},
        {"only the file", std::nullopt, nullptr, "http://file/", "http://file/"},
        {"nothing given: the build's", std::nullopt, nullptr, std::nullopt, std::string(Compiled)},
        {"a bad variable is refused", std::nullopt, "file:///etc/passwd", "http://file/", ""},
        {"the option wins over a bad variable", "https://cli/", "nonsense", std::nullopt, "https://cli/"},
    };
    for (const AddressCase& c : cases) {
        const ServerChoice choice = ChooseServer(c.CommandLine, c.Environment, c.Settings, Compiled);
        EXPECT_EQ(choice.Address, c.Chosen) << c.Name;
        if (c.Chosen.empty()) {
            EXPECT_NE(choice.Problem.find("ZORBLET_HIGHSCORE_SERVER"), std::string::npos) << c.Name;
        } else {
            EXPECT_EQ(choice.Problem, "") << c.Name;
        }
    }
}

}  // namespace
}  // namespace zorblet::frame

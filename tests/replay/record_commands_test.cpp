// The real program's --replay-info and --replay on a table of files, with no display at
// all (DISPLAY and WAYLAND_DISPLAY unset, so that SDL's video could not start): a good
// record, one whose claimed score was changed, and files that are no record this game can
// replay, each with its exit code and its lines; and --watch against a stand-in for the
// list, refusing what cannot be watched before any window.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "record/bytes.h"
#include "record/record_format.h"
#include "support/service_stand_in.h"

namespace zorblet::testing {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

const std::string Game = ZORBLET_GAME;

struct Outcome {
    int ExitCode = -1;
    std::string Out, Err;
};

class RecordCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("zorblet-record-commands-" + std::to_string(getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
        good = ReadBytes(std::string(ZORBLET_DETERMINISM_DIR) + "/bot-7.zrec");
        const record::DecodeResult decoded = record::DecodeRecord(good);
        ASSERT_TRUE(decoded.Record);
        game = *decoded.Record;
    }
    void TearDown() override { fs::remove_all(folder); }

    static Bytes ReadBytes(const fs::path& path) {
        std::ifstream file(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }
    static std::string ReadText(const fs::path& path) {
        std::ifstream file(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }
    fs::path Write(const std::string& name, const Bytes& bytes) {
        const fs::path path = folder / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    // The game with these arguments and no display of any kind.
    Outcome Run(const std::string& option, const fs::path& file) {
        const fs::path out = folder / "out", err = folder / "err";
        const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY HOME='" + folder.string() + "' '" + Game + "' " +
                                    option + " '" + file.string() + "' >'" + out.string() + "' 2>'" + err.string() +
                                    "'";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadText(out), ReadText(err)};
    }

    // --watch PLACE with the list at server, and no display of any kind.
    Outcome Watch(const std::string& place, const std::string& server) {
        const fs::path out = folder / "out", err = folder / "err";
        const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u ZORBLET_HIGHSCORE_SERVER HOME='" +
                                    folder.string() + "' '" + Game + "' --watch '" + place + "' --server '" + server +
                                    "' >'" + out.string() + "' 2>'" + err.string() + "'";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadText(out), ReadText(err)};
    }

    fs::path folder;
    Bytes good;
    record::GameRecord game;
};

// A file of the record's header with another format version, its checksum right.
Bytes FromLaterVersion(const Bytes& record) {
    Bytes file(record.begin(), record.end() - 4);
    file[4] = 2;
    record::PutFixed32(file, static_cast<std::uint32_t>(crc32_z(0, file.data(), file.size())));
    return file;
}

TEST_F(RecordCommandsTest, ReplayInfoTellsARecordsFactsAndWhetherItsScoreHolds) {
    const Outcome info = Run("--replay-info", Write("good.zrec", good));
    EXPECT_EQ(info.ExitCode, 0) << info.Err;
    EXPECT_EQ(info.Out,
              "version: 1\n"
              "rules version: 1\n"
              "seed: 7\n"
              "frames: 10841\n"
              "seconds: 89.60\n"
              "end: game over\n"
              "score: 3727\n"
              "replayed score: 3727\n");
    EXPECT_EQ(info.Err, "");

    // A game played on the list's ticket says so, the ticket's text as the service gave it.
    record::GameRecord ticketed = game;
    const std::string ticket = "v1.MTAwMA.c2ln-_~ \x01\\";
    ticketed.Ticket.assign(ticket.begin(), ticket.end());
    const Outcome withTicket = Run("--replay-info", Write("ticketed.zrec", record::EncodeRecord(ticketed)));
    EXPECT_EQ(withTicket.ExitCode, 0) << withTicket.Err;
    EXPECT_EQ(withTicket.Out, info.Out + "ticket: v1.MTAwMA.c2ln-_~\\x20\\x01\\x5c\n");

    record::GameRecord claimed = game;
    claimed.Score = 99999;
    const fs::path changed = Write("changed.zrec", record::EncodeRecord(claimed));
    const Outcome mismatch = Run("--replay-info", changed);
    EXPECT_EQ(mismatch.ExitCode, 1);
    EXPECT_NE(mismatch.Out.find("score: 99999\nreplayed score: 3727\n"), std::string::npos) << mismatch.Out;
    EXPECT_EQ(mismatch.Err, "zorblet: „" + changed.string() +
                                "“ ergibt nachgerechnet 3727 Punkte, nicht 99999 wie "
                                "aufgezeichnet.\n");
}

// Each file that is no record this game can replay: one German line, exit code 2, nothing
// on stdout, from --replay-info and from --replay alike (which thus opens no window).
TEST_F(RecordCommandsTest, FilesThatCannotBeReplayedGetOneGermanLineAndExitCodeTwo) {
    Bytes flipped = good;
    flipped[flipped.size() / 2] ^= 0x04;
    record::GameRecord otherRules = game;
    otherRules.RulesVersion = 2;
    record::GameRecord bigSeed = game;
    bigSeed.Seed = std::uint64_t{1} << 32;
    fs::create_directories(folder / "a-folder.zrec");
    struct Case {
        std::string Name;
        fs::path File;
        std::string Says;
    };
    const Case cases[] = {
        {"truncated", Write("truncated.zrec", Bytes(good.begin(), good.begin() + good.size() / 2)),
         "ist unvollständig: die Aufzeichnung bricht ab"},
        {"a bit flipped", Write("flipped.zrec", flipped), "ist beschädigt: die Prüfsumme stimmt nicht"},
        {"foreign", Write("foreign.zrec", Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13}),
         "ist keine Aufzeichnung einer Zorblet-Partie"},
        {"empty", Write("empty.zrec", {}), "ist leer, keine Aufzeichnung einer Partie"},
        {"a later format", Write("later.zrec", FromLaterVersion(good)),
         "stammt von einer neueren Zorblet-Version (Format 2); diese liest Format 1"},
        {"other rules", Write("rules.zrec", record::EncodeRecord(otherRules)),
         "wurde nach anderen Spielregeln gespielt (Version 2); diese Zorblet-Version spielt nach Version 1"},
        {"a seed of 33 bits", Write("seed.zrec", record::EncodeRecord(bigSeed)),
         "nennt einen Startwert (4294967296), den die Spielregeln der Version 1 nicht kennen"},
        {"missing", folder / "missing.zrec", "gibt es nicht"},
        {"a folder", folder / "a-folder.zrec", "lässt sich nicht lesen (keine gewöhnliche Datei)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string line = "zorblet: „" + c.File.string() + "“ " + c.Says + ".\n";
        for (const char* option : {"--replay-info", "--replay"}) {
            const Outcome outcome = Run(option, c.File);
            EXPECT_EQ(outcome.ExitCode, 2) << option;
            EXPECT_EQ(outcome.Err, line) << option;
            EXPECT_EQ(outcome.Out, "") << option;
        }
    }
}

TEST_F(RecordCommandsTest, WatchRefusesWhatCannotBeWatchedWithOneGermanLineBeforeAnyWindow) {
    Bytes flipped = good;
    flipped[flipped.size() / 2] ^= 0x04;
    const std::string kept(good.begin(), good.end());
    ServiceStandIn list;
    list.AddEntry({0, 9999, "Bert", true, kept, "t"});                                     // place 1
    list.AddEntry({0, 5000, "Anna", false, {}, {}});                                       // place 2
    list.AddEntry({0, 4000, "Carla", true, {}, "t"});                                      // place 3
    list.AddEntry({0, 3727, "Dora", true, std::string(flipped.begin(), flipped.end()), "t"});  // place 4
    ServiceStandIn::Options olderOptions;
    olderOptions.Api = false;
    ServiceStandIn older(olderOptions);
    older.AddEntry({0, 3727, "Dora", true, kept, "t"});
    const int unusedPort = [] {
        MisbehavingServer closed(Refuses());
        return closed.Port();
    }();
    const std::string nowhere = "http://127.0.0.1:" + std::to_string(unusedPort) + "/";
    struct Case {
        std::string Place;
        std::string Server;
        std::string Says;
    };
    const Case cases[] = {
        {"5", list.Url(), "auf Platz 5 der Highscore-Liste steht kein Eintrag"},
        {"2", list.Url(), "der Eintrag auf Platz 2 („Anna“, 5000 Punkte) ist nicht geprüft; nur geprüfte Partien lassen "
                          "sich ansehen"},
        {"3", list.Url(), "von der Partie auf Platz 3 („Carla“, 4000 Punkte) ist keine Aufzeichnung aufbewahrt"},
        {"4", list.Url(), "die Aufzeichnung von Platz 4 ist beschädigt: die Prüfsumme stimmt nicht"},
        {"1", list.Url(), "die Aufzeichnung von Platz 1 ergibt nachgerechnet 3727 Punkte, die Liste nennt 9999"},
        {"1", older.Url(), "die Highscore-Liste unter " + older.Url() + " bietet keine aufgezeichneten Partien an"},
        {"1", nowhere, "die Highscore-Liste unter " + nowhere + " ist nicht erreichbar"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Says);
        const Outcome outcome = Watch(c.Place, c.Server);
        EXPECT_EQ(outcome.ExitCode, 2);
        EXPECT_EQ(outcome.Err, "zorblet: " + c.Says + ".\n");
        EXPECT_EQ(outcome.Out, "");
    }

    // A game that can be watched gets as far as the window, which no display can show here.
    ServiceStandIn fine;
    fine.AddEntry({0, 3727, "Dora", true, kept, "t"});
    const Outcome watched = Watch("1", fine.Url());
    EXPECT_EQ(watched.ExitCode, 1) << watched.Err;
    EXPECT_NE(watched.Err.find("Zorblet: Kein Bildschirm gefunden"), std::string::npos) << watched.Err;
    EXPECT_EQ(watched.Err.find("zorblet: "), std::string::npos) << "no refusal: " << watched.Err;
}

}  // namespace
}  // namespace zorblet::testing

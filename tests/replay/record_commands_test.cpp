// The real program's --replay-info and --replay on a table of files, with no display at
// all (DISPLAY and WAYLAND_DISPLAY unset, so that SDL's video could not start): a good
// record, one whose claimed score was changed, and files that are no record this game can
// replay, each with its exit code and its lines.

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

}  // namespace
}  // namespace zorblet::testing

// The folder of kept games: every finished game is written whole under a name that says
// when it ended and what it scored, the folder keeps the last 50 and the best 10, the
// frame never waits for it, and a disk that fails costs one warning line a game.

#include "frame/games_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/disk_folder.h"
#include "platform/posix_clock.h"
#include "platform/small_file.h"
#include "support/memory_folder.h"
#include "record/record_format.h"

namespace zorblet::frame {
namespace {

namespace fs = std::filesystem;
using testing::MemoryFolder;

// Local times a second apart from 2026-12-11 20:15:00 on, one per game written.
class SecondsApart {
public:
    std::tm operator()() {
        std::tm time{};
        time.tm_year = 126, time.tm_mon = 11, time.tm_mday = 11, time.tm_hour = 20, time.tm_min = 15;
        const int second = next_++;
        time.tm_sec = second % 60;
        time.tm_min += second / 60;
        return time;
    }

private:
    std::atomic<int> next_ = 0;
};

record::GameRecord GameScoring(std::int32_t score, std::size_t frames = 3) {
    record::GameRecord game{.RulesVersion = 1, .Seed = static_cast<std::uint64_t>(score) + 7, .Score = score};
    game.Frames.resize(frames, {.DeltaX = score % 9});
    game.Frames.front().F2Released = true;
    return game;
}

std::shared_ptr<const record::GameRecord> Shared(record::GameRecord game) {
    return std::make_shared<const record::GameRecord>(std::move(game));
}

record::GameRecord ReadRecord(const std::string& bytes) {
    const record::DecodeResult result =
        record::DecodeRecord(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    EXPECT_TRUE(result.Record) << result.Message;
    return result.Record.value_or(record::GameRecord{});
}

TEST(GamesFolder, NamesSayWhenAGameEndedAndWhatItScored) {
    std::tm ended{};
    ended.tm_year = 126, ended.tm_mon = 0, ended.tm_mday = 2, ended.tm_hour = 3, ended.tm_min = 4, ended.tm_sec = 5;
    EXPECT_EQ(RecordFileStem(ended, 4617), "2026-01-02_03-04-05_4617-Punkte");
    EXPECT_EQ(RecordFileStem(ended, -30), "2026-01-02_03-04-05_-30-Punkte");

    const auto kept = ReadRecordFileName("2026-01-02_03-04-05_-30-Punkte-2.zrec");
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->Ended, "2026-01-02_03-04-05");
    EXPECT_EQ(kept->Score, -30);
    EXPECT_EQ(kept->Number, 2);
    EXPECT_EQ(ReadRecordFileName("2026-01-02_03-04-05_2147483647-Punkte.zrec")->Score, 2147483647);
    for (const char* foreign :
         {"notes.txt", "2026-01-02_03-04-05_12-Punkte.zrec.bak", ".2026-01-02_03-04-05_1-Punkte.zrec.Ab12Cd",
          "2026-01-02_03-04-05_1-Punkte-1.zrec", "2026-01-02_03-04-05_99999999999-Punkte.zrec",
          "mein-bestes-Spiel.zrec", "2026-01-02_03-04-05_12.zrec"}) {
        EXPECT_FALSE(ReadRecordFileName(foreign)) << foreign << " is not a name the game gives";
    }
}

TEST(GamesFolder, KeepsTheLastFiftyGamesAndTheBestTen) {
    MemoryFolder folder;
    folder.Files["notes.txt"] = "the player's own";
    folder.Files["mein-bestes-Spiel.zrec"] = "kept by hand";
    platform::PosixClock clock;
    SecondsApart seconds;
    std::vector<record::GameRecord> games;
    {
        GamesFolder kept(folder, clock, std::ref(seconds));
        for (int i = 0; i < 70; ++i) {
            // The best scores come early, two of them equal, so that age and rank disagree.
            const std::int32_t score = i < 12 ? 9000 - 100 * (i / 2) : (i * 37) % 101;
            games.push_back(GameScoring(score));
            kept.KeepGame(Shared(games.back()));
        }
    }  // waits for the writes

    std::set<std::size_t> expected;
    for (std::size_t i = 20; i < 70; ++i) expected.insert(i);  // the last 50
    std::vector<std::size_t> byScore(70);
    for (std::size_t i = 0; i < 70; ++i) byScore[i] = i;
    std::stable_sort(byScore.begin(), byScore.end(),
                     [&](std::size_t a, std::size_t b) { return games[a].Score > games[b].Score; });
    expected.insert(byScore.begin(), byScore.begin() + 10);  // the best 10, the earlier of equals first
    EXPECT_EQ(expected.size(), 60u);

    std::set<std::size_t> found;
    for (const auto& [name, bytes] : folder.Files) {
        if (name == "notes.txt" || name == "mein-bestes-Spiel.zrec") continue;
        const auto kept = ReadRecordFileName(name);
        ASSERT_TRUE(kept) << name;
        // Game i ended at second i: the name tells which game it holds.
        std::tm time{};
        ASSERT_NE(strptime(kept->Ended.c_str(), "%Y-%m-%d_%H-%M-%S", &time), nullptr);
        const std::size_t i = static_cast<std::size_t>((time.tm_min - 15) * 60 + time.tm_sec);
        ASSERT_LT(i, games.size());
        EXPECT_EQ(kept->Score, games[i].Score);
        EXPECT_TRUE(ReadRecord(bytes) == games[i]) << name;
        found.insert(i);
    }
    EXPECT_EQ(found, expected);
    EXPECT_EQ(folder.Files.at("notes.txt"), "the player's own") << "files the game did not name stay";
    EXPECT_TRUE(folder.Files.contains("mein-bestes-Spiel.zrec"));
}

// A full or read-only disk costs one line on stderr for each game it could not keep, and
// the games after it are kept once it works again.
TEST(GamesFolder, ADiskThatFailsCostsOneWarningAGame) {
    MemoryFolder folder;
    folder.Broken = true;
    platform::PosixClock clock;
    SecondsApart seconds;
    GamesFolder kept(folder, clock, std::ref(seconds));
    ::testing::internal::CaptureStderr();
    kept.KeepGame(Shared(GameScoring(10)));
    kept.KeepGame(Shared(GameScoring(20)));
    kept.Flush();
    const std::string warnings = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(warnings.begin(), warnings.end(), '\n'), 2) << warnings;
    EXPECT_NE(warnings.find("Zorblet: die Aufzeichnung der Partie lässt sich nicht speichern "
                            "(/home/spieler/.local/share/zorblet/games: No space left on device).\n"),
              std::string::npos)
        << warnings;
    EXPECT_TRUE(folder.Files.empty());

    folder.Broken = false;
    kept.KeepGame(Shared(GameScoring(30)));
    kept.Flush();
    EXPECT_EQ(folder.Files.size(), 1u);
}

// Handing a game over takes no longer than a move: the encoding and the disk are the
// worker's, and a slow disk never holds up the frame.
TEST(GamesFolder, HandingAGameOverNeverWaitsForTheDisk) {
    class SlowFolder final : public platform::Folder {
    public:
        std::atomic<bool> Open = false;
        std::atomic<int> Written = 0;
        std::vector<std::string> FileNames() override { return {}; }
        platform::NewFile WriteNew(std::string_view, std::string_view, std::string_view) override {
            while (!Open) usleep(1000);
            ++Written;
            return {"x", {}};
        }
        bool Remove(const std::string&) override { return true; }
        platform::FileStart Read(const std::string&, std::size_t) override { return {}; }
    } folder;
    platform::PosixClock clock;
    GamesFolder kept(folder, clock);
    for (int i = 0; i < 5; ++i) kept.KeepGame(Shared(GameScoring(i, 72'600)));  // ten minutes each
    EXPECT_EQ(folder.Written, 0) << "all five handed over while the disk hangs";
    folder.Open = true;
    kept.Flush();
    EXPECT_EQ(folder.Written, 5);
}

TEST(GamesFolder, TheFolderIsTheDataHomesAsTheSettingsAreTheConfigHomes) {
    EXPECT_EQ(platform::GamesFolderPath("/data", "/home/a"), fs::path("/data/zorblet/games"));
    EXPECT_EQ(platform::GamesFolderPath(nullptr, "/home/a"), fs::path("/home/a/.local/share/zorblet/games"));
    EXPECT_EQ(platform::GamesFolderPath("", "/home/a"), fs::path("/home/a/.local/share/zorblet/games"));
    EXPECT_EQ(platform::GamesFolderPath("data", "/home/a"), fs::path("/home/a/.local/share/zorblet/games"))
        << "a relative XDG_DATA_HOME is ignored";
    EXPECT_EQ(platform::GamesFolderPath(nullptr, nullptr), fs::path());
    EXPECT_EQ(platform::GamesFolderPath(nullptr, ""), fs::path());
}

class GamesOnDiskTest : public ::testing::Test {
protected:
    void SetUp() override {
        home = fs::temp_directory_path() / ("zorblet-games-" + std::to_string(getpid()));
        fs::remove_all(home);
        games = platform::GamesFolderPath(nullptr, home.c_str());
    }
    void TearDown() override { fs::remove_all(home); }

    static std::string Contents(const fs::path& path) {
        std::ifstream file(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(games)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path home, games;
    platform::PosixClock clock;
};

// Real files: the folder is made, each record is a whole file under its own name (a game
// that ended with the same name and score takes "-2"), no temporary file is left, and a
// file already there is never written over.
TEST_F(GamesOnDiskTest, RecordsAreWrittenWholeUnderNamesOfTheirOwn) {
    std::tm ended{};
    ended.tm_year = 126, ended.tm_mon = 11, ended.tm_mday = 11, ended.tm_hour = 20, ended.tm_min = 15;
    fs::create_directories(games);
    std::ofstream(games / "2026-12-11_20-15-00_300-Punkte.zrec") << "the player's copy";
    platform::DiskFolder folder(games);
    {
        GamesFolder kept(folder, clock, [&] { return ended; });
        kept.KeepGame(Shared(GameScoring(300, 5000)));
        kept.KeepGame(Shared(GameScoring(300, 10)));
    }
    EXPECT_EQ(Names(), (std::vector<std::string>{"2026-12-11_20-15-00_300-Punkte-2.zrec",
                                                 "2026-12-11_20-15-00_300-Punkte-3.zrec",
                                                 "2026-12-11_20-15-00_300-Punkte.zrec"}));
    EXPECT_EQ(Contents(games / "2026-12-11_20-15-00_300-Punkte.zrec"), "the player's copy");
    EXPECT_EQ(ReadRecord(Contents(games / "2026-12-11_20-15-00_300-Punkte-2.zrec")).Frames.size(), 5000u);
    EXPECT_EQ(ReadRecord(Contents(games / "2026-12-11_20-15-00_300-Punkte-3.zrec")).Frames.size(), 10u);
    struct stat info {};
    ASSERT_EQ(stat((games / "2026-12-11_20-15-00_300-Punkte-2.zrec").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u) << "the player's own";
}

TEST_F(GamesOnDiskTest, AFolderThatCannotBeMadeCostsOneWarning) {
    fs::create_directories(games.parent_path());
    std::ofstream(games) << "a file where the folder would be";
    platform::DiskFolder folder(games);
    GamesFolder kept(folder, clock);
    ::testing::internal::CaptureStderr();
    kept.KeepGame(Shared(GameScoring(5)));
    kept.Flush();
    const std::string warning = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(warning.begin(), warning.end(), '\n'), 1) << warning;
    EXPECT_TRUE(warning.starts_with("Zorblet: die Aufzeichnung der Partie lässt sich nicht speichern (" +
                                    games.string() + ": "))
        << warning;
    EXPECT_EQ(Contents(games), "a file where the folder would be");
}

}  // namespace
}  // namespace zorblet::frame

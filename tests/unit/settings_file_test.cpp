// The settings file: what the game remembers comes back in the next run, every other line
// stays as the player wrote it, hostile files give defaults and a short warning, and a
// write that fails leaves the old file.

#include "frame/settings_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/posix_clock.h"
#include "platform/small_file.h"

namespace zorblet::frame {
namespace {

namespace fs = std::filesystem;

const std::string FixtureDir = ZORBLET_SETTINGS_FIXTURE_DIR;

std::string ReadAll(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

void WriteAll(const fs::path& path, std::string_view text) {
    std::ofstream(path, std::ios::binary) << text;
}

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("zorblet-settings-" + std::to_string(getpid()));
        fs::remove_all(folder);
        path = folder / "zorblet" / "zorblet.conf";
    }
    void TearDown() override { fs::remove_all(folder); }

    fs::path folder, path;
    platform::PosixClock clock;  // the writes are real file operations
};

TEST_F(SettingsFileTest, ChoicesMadeInOneRunAreTheStartOfTheNextAndOtherLinesStay) {
    {
        ::testing::internal::CaptureStderr();
        SettingsFile missing(path, clock);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "") << "a missing file is no problem";
        EXPECT_FALSE(missing.Values().Name);
        EXPECT_FALSE(missing.Values().SoundOn);
        missing.RememberName("J\xF6rg \xDF#");  // Windows-1252, as typed
        missing.RememberSound(false);
    }
    EXPECT_EQ(ReadAll(path), "name = Jörg ß#\nsound = off\n") << "UTF-8 in the file";
    {
        SettingsFile next(path, clock);
        EXPECT_EQ(next.Values().Name, "J\xF6rg \xDF#");
        EXPECT_EQ(next.Values().SoundOn, false);
        next.RememberSound(true);
        next.RememberFullscreen(true);
    }
    EXPECT_EQ(ReadAll(path), "name = Jörg ß#\nsound = on\nfullscreen = yes\n");

    const std::string edited =
        "# my settings\r\nname = Old\r\n\n  colour = green\nserver = http://friends.example/\nsound=on\r\nsound = on\n";
    WriteAll(path, edited);
    ::testing::internal::CaptureStderr();
    {
        SettingsFile mine(path, clock);
        EXPECT_EQ(mine.Values().Server, "http://friends.example/");
        mine.RememberName("Anna");
        mine.RememberSound(false);
    }
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("colour"), std::string::npos);
    EXPECT_EQ(ReadAll(path),
              "# my settings\r\nname = Anna\r\n\n  colour = green\nserver = http://friends.example/\nsound=on\r\n"
              "sound = off\n")
        << "only the last line of a key changes; the unknown key and the comment stay";
    EXPECT_EQ(std::distance(fs::directory_iterator(path.parent_path()), fs::directory_iterator{}), 1)
        << "no temporary file is left";
}

struct HostileCase {
    std::string File;
    Settings Expected;
    std::size_t Problems;
};

TEST_F(SettingsFileTest, HostileFilesGiveTheDefaultForEachBadLineAndAShortWarning) {
    auto with = [](auto change) {
        Settings settings;
        change(settings);
        return settings;
    };
    const HostileCase cases[] = {
        {"unknown_keys.conf", with([](Settings& s) { s.Server = "http://scores.example/"; s.SoundOn = false; }), 2},
        {"overlong_line.conf", with([](Settings& s) { s.SoundOn = false; s.Scale = 2; }), 2},
        {"bad_names.conf", with([](Settings& s) { s.Fullscreen = true; }), 6},
        {"bad_values.conf", with([](Settings& s) { s.SoundOn = true; }), 7},
        {"binary_junk.conf", with([](Settings& s) { s.SoundOn = false; s.Scale = 3; }), 2},
    };
    for (const HostileCase& c : cases) {
        const std::string text = ReadAll(FixtureDir + "/" + c.File);
        ASSERT_FALSE(text.empty()) << c.File;
        const SettingsReading reading = ParseSettings(text);
        EXPECT_EQ(reading.Values.Server, c.Expected.Server) << c.File;
        EXPECT_EQ(reading.Values.SoundOn, c.Expected.SoundOn) << c.File;
        EXPECT_EQ(reading.Values.Name, c.Expected.Name) << c.File;
        EXPECT_EQ(reading.Values.Scale, c.Expected.Scale) << c.File;
        EXPECT_EQ(reading.Values.Fullscreen, c.Expected.Fullscreen) << c.File;
        EXPECT_GE(reading.Problems.size(), c.Problems) << c.File;

        fs::create_directories(path.parent_path());
        fs::copy_file(FixtureDir + "/" + c.File, path, fs::copy_options::overwrite_existing);
        ::testing::internal::CaptureStderr();
        const SettingsFile file(path, clock);
        const std::string warning = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(warning.find("zorblet.conf, Zeile "), std::string::npos) << c.File;
        EXPECT_LE(std::count(warning.begin(), warning.end(), '\n'), 4) << c.File << ": a short warning\n" << warning;
    }
}

TEST_F(SettingsFileTest, AGigabyteFileIsReadOnlyAsFarAsItsFirst64KiBAndNeverWrittenOver) {
    fs::create_directories(path.parent_path());
    WriteAll(path, "sound = off\nname = Riese\n");
    fs::resize_file(path, 1ull << 30);  // the rest reads as NUL bytes, without taking the disk
    const auto before = fs::last_write_time(path);
    ::testing::internal::CaptureStderr();
    const auto started = std::chrono::steady_clock::now();
    {
        SettingsFile huge(path, clock);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
        EXPECT_EQ(huge.Values().SoundOn, false);
        EXPECT_EQ(huge.Values().Name, "Riese");
        huge.RememberSound(true);
    }
    const std::string warning = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(warning.find("64 KiB"), std::string::npos) << warning;
    EXPECT_EQ(fs::file_size(path), 1ull << 30);
    EXPECT_EQ(fs::last_write_time(path), before);
}

TEST_F(SettingsFileTest, FilesThatAreNoFilesGiveDefaultsWithoutWaiting) {
    fs::create_directories(path.parent_path());
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0) << "a FIFO nobody writes to";
    ::testing::internal::CaptureStderr();
    {
        SettingsFile fifo(path, clock);
        EXPECT_FALSE(fifo.Values().SoundOn);
        fifo.RememberSound(false);
    }
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("keine gewöhnliche Datei"), std::string::npos);
    EXPECT_TRUE(fs::is_fifo(path)) << "and it is left alone";
    fs::remove(path);
    fs::create_directory(path);
    ::testing::internal::CaptureStderr();
    { SettingsFile folderInstead(path, clock); }
    EXPECT_NE(::testing::internal::GetCapturedStderr(), "");
}

// No more than `bytes` can be written while it lives (root ignores file modes, not this).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &old_);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, SIG_DFL);
    }

private:
    rlimit old_{};
};

TEST_F(SettingsFileTest, AFailedWriteLeavesTheOldFileAndTheGameGoesOn) {
    std::string old = "# kept\nname = Alt\n";
    for (int i = 0; i < 100; ++i) old += std::string(99, '#') + "\n";
    fs::create_directories(path.parent_path());
    WriteAll(path, old);
    ::testing::internal::CaptureStderr();
    {
        SettingsFile file(path, clock);
        const FileSizeLimit diskFull(4096);  // less than the file, more than the warning
        file.RememberName("Neu");
        file.Flush();
    }
    const std::string warning = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(warning.find("die alte Datei bleibt"), std::string::npos) << warning;
    EXPECT_EQ(ReadAll(path), old);
    EXPECT_EQ(std::distance(fs::directory_iterator(path.parent_path()), fs::directory_iterator{}), 1)
        << "the temporary file is gone";

    EXPECT_NE(platform::ReplaceFile("/proc/self/zorblet/zorblet.conf", "sound = on\n"), "")
        << "a folder that cannot be made";
}

TEST(SettingsFilePath, XdgConfigHomeWhenAbsoluteElseTheHomeFolder) {
    EXPECT_EQ(platform::SettingsFilePath("/x/config", "/home/p"), "/x/config/zorblet/zorblet.conf");
    EXPECT_EQ(platform::SettingsFilePath("", "/home/p"), "/home/p/.config/zorblet/zorblet.conf");
    EXPECT_EQ(platform::SettingsFilePath("relative", "/home/p"), "/home/p/.config/zorblet/zorblet.conf");
    EXPECT_EQ(platform::SettingsFilePath(nullptr, "/home/p"), "/home/p/.config/zorblet/zorblet.conf");
    EXPECT_EQ(platform::SettingsFilePath(nullptr, nullptr), "");
}

}  // namespace
}  // namespace zorblet::frame

// The list's files are the service user's alone: every row, the removed ones and the
// moderators' reasons are in them, and a lock other users could open could be held to
// keep the service from starting.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "fixture_boards.h"
#include "server_test.h"

namespace zorblet::server::testing {
namespace {

class FileModesTest : public ServerTest {
protected:
    std::filesystem::path File(const char* suffix) const {
        std::filesystem::path file = Database();
        file += suffix;
        return file;
    }

    // The permission bits of each of the list's files, as "suffix 0600" lines.
    std::string DescribeModes() const {
        std::string modes;
        for (const char* suffix : {"", "-wal", "-shm", ".lock"}) {
            struct stat status{};
            const bool found = ::stat(File(suffix).c_str(), &status) == 0;
            char mode[8];
            std::snprintf(mode, sizeof mode, "%04o", found ? static_cast<unsigned int>(status.st_mode & 07777) : 0u);
            modes += std::string(suffix) + " " + (found ? mode : "missing") + "\n";
        }
        return modes;
    }
};

const std::string AllPrivate = " 0600\n-wal 0600\n-shm 0600\n.lock 0600\n";

// Whatever the umask: none takes nothing (0666 for what is created by default), 0277 takes
// even the owner's right to write.
TEST_F(FileModesTest, TheFilesAre0600AfterAFirstStartAndARestartWhateverTheUmask) {
    for (const mode_t mask : {mode_t{0}, mode_t{0277}}) {
        for (const char* suffix : {"", "-wal", "-shm", ".lock"}) std::filesystem::remove(File(suffix));
        const mode_t before = ::umask(mask);
        StartServer();
        ASSERT_EQ(server_->Get(SubmitTarget(100, "Anna")).status, 200);
        EXPECT_EQ(DescribeModes(), AllPrivate) << "first start, umask " << mask;
        StartServer();  // a restart: SQLite makes the log and its index anew
        ASSERT_EQ(server_->Get(SubmitTarget(200, "Bert")).status, 200);
        EXPECT_EQ(DescribeModes(), AllPrivate) << "restart, umask " << mask;
        StopServer();
        ::umask(before);
    }
}

TEST_F(FileModesTest, AnExistingFileOpenToOthersIsNamedInTheLogAndStillServed) {
    SeedBoard(Database(), ThreeEntryBoard());
    std::filesystem::permissions(Database(), std::filesystem::perms::others_read | std::filesystem::perms::group_read,
                                 std::filesystem::perm_options::add);
    StartServer();
    EXPECT_EQ(CountEntries(), 3);
    const std::string log = server_->ReadLog();
    EXPECT_NE(log.find("warning: " + Database().string() + " is open to other users (mode 0644); chmod 600 it"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("scores.sqlite.lock is open"), std::string::npos) << log;
}

// Another user can neither read the database nor hold the lock: flock needs no more
// than a descriptor open for reading, which the mode denies. Run as root, the test tries
// it as "nobody", in a folder anyone may enter.
TEST_F(FileModesTest, AnotherUserCannotOpenTheDatabaseOrHoldTheLock) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    std::filesystem::permissions(directory_.path(), std::filesystem::perms::owner_all | std::filesystem::perms::group_exec |
                                                        std::filesystem::perms::others_exec);
    StartServer();
    ASSERT_EQ(server_->Get(SubmitTarget(100, "Anna")).status, 200);
    for (const char* suffix : {"", "-wal", ".lock"}) {
        const std::filesystem::path file = File(suffix);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            constexpr uid_t Nobody = 65534;
            if (::setgid(Nobody) != 0 || ::setuid(Nobody) != 0) ::_exit(2);
            const int opened = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
            if (opened < 0) ::_exit(errno == EACCES ? 0 : 3);
            ::_exit(::flock(opened, LOCK_SH | LOCK_NB) == 0 ? 1 : 4);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << file << ": 1 = opened and locked, 2 = cannot act as nobody, 3 = other error";
    }
    EXPECT_EQ(server_->Get("/BestOffSQL.php").status, 200);
}

}  // namespace
}  // namespace zorblet::server::testing

// The operators' Unix socket: its file, its guard against a second server, and the
// listener that hands requests to the admin handler.

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <fstream>

#include "client_socket.h"
#include "ops/admin_listener.h"
#include "server_test.h"
#include "store/sqlite/sqlite_score_board.h"

namespace zorblet::server::testing {
namespace {

std::string Ask(const std::string& method, const std::string& target, const std::string& body = "") {
    return method + " " + target + " HTTP/1.1\r\nHost: local\r\nConnection: close\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

HttpReply AskOverSocket(const std::filesystem::path& socket, const std::string& method, const std::string& target,
                        const std::string& body = "") {
    return ParseReply(ExchangeOverUnixSocket(socket, Ask(method, target, body)));
}

// A socket file as a server that was killed leaves it: bound, then closed, not removed.
void LeaveStaleSocket(const std::filesystem::path& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    close(socket);
}

class AdminSocketTest : public ServerTest {
protected:
    std::filesystem::path Socket() const { return directory_.path() / "admin.sock"; }
    ServerProcess& StartWithSocket() { return StartServer({"--submit-rate", "0", "--admin-socket", Socket()}); }
};

TEST_F(AdminSocketTest, IsASocketOfMode0660AnsweringTheOperatorPagesAndGoneAfterAStop) {
    StartWithSocket();
    struct stat status {};
    ASSERT_EQ(stat(Socket().c_str(), &status), 0);
    EXPECT_TRUE(S_ISSOCK(status.st_mode));
    EXPECT_EQ(status.st_mode & 07777, 0660u);

    const HttpReply health = AskOverSocket(Socket(), "GET", "/healthz");
    EXPECT_EQ(health.status, 200);
    EXPECT_EQ(health.body, "ok\n");
    ASSERT_EQ(server_->Get(SubmitTarget(10, "Anna")).status, 200);
    EXPECT_NE(AskOverSocket(Socket(), "GET", "/metrics").body.find("\nzorblet_entries 1\n"), std::string::npos);
    EXPECT_EQ(AskOverSocket(Socket(), "GET", "/BestOffSQL.php").status, 404);  // no game requests here
    EXPECT_NE(server_->ReadLog().find("local - - ["), std::string::npos);

    StopServer();
    EXPECT_FALSE(std::filesystem::exists(Socket()));
}

TEST_F(AdminSocketTest, ASecondServerOnTheSocketOfARunningOneEndsWithAnError) {
    StartWithSocket();
    const TempDir other;
    try {
        ServerProcess second(ServerLaunch{other.path() / "other.sqlite", {"--admin-socket", Socket()}});
        ADD_FAILURE() << "a second server started on the same admin socket";
    } catch (const std::runtime_error& ended) {
        EXPECT_NE(std::string(ended.what()).find(Socket().string() + " is answered by another running server"),
                  std::string::npos)
            << ended.what();
    }
    EXPECT_EQ(AskOverSocket(Socket(), "GET", "/healthz").status, 200);  // the first still answers
    EXPECT_FALSE(std::filesystem::exists(other.path() / "other.sqlite")) << "the second touched its database";
}

TEST_F(AdminSocketTest, AStaleSocketFileIsReplacedAndAnythingElseIsLeftAlone) {
    LeaveStaleSocket(Socket());
    StartWithSocket();
    EXPECT_EQ(AskOverSocket(Socket(), "GET", "/healthz").status, 200);
    StopServer();

    std::ofstream(Socket()) << "an operator's file";
    EXPECT_THROW(StartWithSocket(), std::runtime_error);
    std::ifstream kept(Socket());
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "an operator's file");
}

// The listener alone, with a handler that echoes what it was given.
TEST(AdminListener, HandsMethodTargetBodyAndAddressToItsHandlerAndBoundsTheBody) {
    const TempDir directory;
    SqliteScoreBoard board(directory.path() / "scores.sqlite");
    ServiceMetrics metrics;
    ConnectionRegistry registry(16, 0);
    UnixSocketFile socket(directory.path() / "admin.sock");
    const auto echo = [](const Request& request) {
        return Reply{201, std::string(request.method) + " " + std::string(request.target) + " [" +
                              std::string(request.body) + "] " + request.address,
                     {}, "text/plain; charset=utf-8"};
    };
    auto listener = StartAdminListener(socket, {metrics, board, registry}, echo);

    const HttpReply posted = AskOverSocket(socket.path(), "POST", "/remove?id=7", "reason: spam");
    EXPECT_EQ(posted.status, 201);
    EXPECT_EQ(posted.body, "POST /remove?id=7 [reason: spam] local");
    EXPECT_EQ(posted.content_type, "text/plain; charset=utf-8");
    EXPECT_EQ(AskOverSocket(socket.path(), "GET", "/list").body, "GET /list [] local");
    EXPECT_EQ(AskOverSocket(socket.path(), "POST", "/x", std::string(MaxAdminBodyBytes, 'b')).status, 201);
    EXPECT_EQ(AskOverSocket(socket.path(), "POST", "/x", std::string(MaxAdminBodyBytes + 1, 'b')).status, 413);
    EXPECT_EQ(AskOverSocket(socket.path(), "GET", "/healthz").body, "ok\n");  // the pages come first
}

}  // namespace
}  // namespace zorblet::server::testing

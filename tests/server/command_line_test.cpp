// What the server says about itself: --version, --help, option errors, the start line.

#include "server_test.h"

namespace zorblet::server::testing {
namespace {

const std::string Program = "zorblet-highscore-server " ZORBLET_VERSION;

TEST(CommandLine, PrintsTheVersionTheHelpAndOptionErrorsWithoutServing) {
    const CommandOutcome version = RunServerCommand({"--version"});
    EXPECT_EQ(version.exit_status, 0);
    EXPECT_EQ(version.out, Program + "\n");

    const CommandOutcome help = RunServerCommand({"--help"});
    EXPECT_EQ(help.exit_status, 0);
    for (const char* option :
         {"--max-connections-per-address N", "--metrics-bind ADDRESS:PORT", "--admin-socket PATH", "--version"}) {
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    }

    const std::string cap = "--max-connections-per-address";
    const std::string out_of_range = cap + " must be a number from 0 to 1000000";
    std::vector<std::pair<std::vector<std::string>, std::string>> refusals = {
        {{cap, "-1"}, out_of_range},
        {{cap, "64k"}, out_of_range},
        {{cap, "1000001"}, out_of_range},
        {{cap}, cap + " needs a value"},
    };
    const std::string metrics_bind = "--metrics-bind must be ADDRESS:PORT";
    for (const char* address : {"9100", "127.0.0.1", "::1:9100", "[::1]", "127.0.0.1:65536", ":9100"}) {
        refusals.push_back({{"--metrics-bind", address}, metrics_bind});
    }
    const std::vector<std::pair<std::vector<std::string>, std::string>> store_refusals = {
        {{"--store", "localhost:6379"}, "--store: the address must begin with redis:// or redis+unix://"},
        {{"--store", "redis://:6379"}, "--store: the address names no host"},
        {{"--store", "redis://host:0"}, "--store: the port must be a number from 1 to 65535"},
        {{"--store", "redis://host:6379/x"}, "--store: the database after '/' must be a number"},
        {{"--store", "redis://[::1:6379"}, "--store: an IPv6 host must end in ']'"},
        {{"--copy-to", "redis+unix://run/redis.sock"}, "--copy-to: the socket's path must be absolute"},
        {{"--store", "redis+unix:///run/redis.sock?database=1"}, "--store: the only parameter is db=N"},
        {{"--store", "redis://host:6379", "--db", "x.sqlite"}, "--store and --db name two lists"},
        {{"--store", "redis://host:6379", "--copy-to", "redis://host:6380"}, "--copy-to copies the list of --db"},
        {{"--redis-wait-replicas", "1"}, "--redis-wait-replicas needs --store"},
        {{"--store", "redis://host", "--redis-wait-replicas", "-1"}, "--redis-wait-replicas must be a number"},
    };
    refusals.insert(refusals.end(), store_refusals.begin(), store_refusals.end());
    for (const auto& [arguments, problem] : refusals) {
        const CommandOutcome refused = RunServerCommand(arguments);
        EXPECT_EQ(refused.exit_status, 2) << arguments.back();
        EXPECT_NE(refused.err.find(problem), std::string::npos) << refused.err;
    }
}

using StartLineTest = ServerTest;

TEST_F(StartLineTest, NamesTheVersionTheAddressAndTheDatabase) {
    StartServer();
    const std::string log = server_->ReadLog();
    EXPECT_EQ(log.substr(0, log.find('\n') + 1),
              Program + ": listening on http://127.0.0.1:" + std::to_string(server_->port()) + "/ (0 entries in " +
                  Database().string() + ")\n");
}

TEST_F(StartLineTest, ASecondServerCannotListenOnAPortInUse) {
    StartServer();
    const TempDir other;
    try {
        ServerProcess second(ServerLaunch{other.path() / "other.sqlite", {"--port", std::to_string(server_->port())}});
        ADD_FAILURE() << "a second server listens on port " << second.port();
    } catch (const std::runtime_error& ended) {
        EXPECT_NE(std::string(ended.what()).find("cannot listen on 127.0.0.1 port " + std::to_string(server_->port())),
                  std::string::npos)
            << ended.what();
    }
    EXPECT_EQ(server_->Get("/BestOffSQL.php").status, 200);
}

}  // namespace
}  // namespace zorblet::server::testing

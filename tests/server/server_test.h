#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "server_process.h"

namespace zorblet::server::testing {

// Runs the real server on a temporary database; a test fails unless the server ends
// cleanly (exit status 0, which a sanitizer report would change) when the test is over.
class ServerTest : public ::testing::Test {
protected:
    std::filesystem::path Database() const { return directory_.path() / "scores.sqlite"; }

    // Starts (or restarts) the server on Database(); the rate limit is off unless the
    // arguments set one.
    ServerProcess& StartServer(std::vector<std::string> arguments = {"--submit-rate", "0"},
                               std::optional<std::uint64_t> file_size_limit = std::nullopt) {
        StopServer();
        server_ = std::make_unique<ServerProcess>(ServerLaunch{Database(), std::move(arguments), file_size_limit});
        return *server_;
    }

    void StopServer() {
        if (!server_) return;
        const int status = server_->Stop();
        EXPECT_EQ(status, 0) << server_->ReadLog();
        server_.reset();
    }

    // The entry count the best-of reply reports.
    std::int64_t CountEntries() const { return FirstNumber(server_->Get("/BestOffSQL.php").body); }

    void TearDown() override { StopServer(); }

    TempDir directory_;
    std::unique_ptr<ServerProcess> server_;
};

}  // namespace zorblet::server::testing

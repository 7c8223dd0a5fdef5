#pragma once
// A stand-in for the highscore service on a loopback port, for the game's side of tickets
// and records until tests run against the real service: it answers the seed's three
// requests, issues tickets, takes a played game's record (refusing it as the service does
// when its ticket is not one it issued, was used, or its replay does not give its points),
// and gives the list's entries and kept records to --watch. As an older service it knows
// the seed's three requests alone.

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "support/misbehaving_server.h"

namespace zorblet::testing {

struct StandInEntry {
    std::int64_t Id = 0;
    std::int32_t Points = 0;
    std::string Name;  // UTF-8
    bool Verified = false;
    std::string Record;  // the record's bytes; empty when none is kept
    std::string Ticket;
};

class ServiceStandIn {
public:
    struct Options {
        bool Api = true;  // false: an older service, the seed's three requests alone
        std::uint32_t FirstSeed = 1000;
        std::chrono::seconds TicketLife = std::chrono::hours(24);
    };

    explicit ServiceStandIn(Options options);
    ServiceStandIn() : ServiceStandIn(Options{}) {}

    // The base address, ending in "/".
    std::string Url() const { return server_.Url("/"); }
    int Port() const { return server_.Port(); }
    // Every request as it arrived, head and body.
    std::vector<std::string> Requests() const { return server_.Requests(); }

    void AddEntry(StandInEntry entry);
    // Best first; among equal points the earlier entry first.
    std::vector<StandInEntry> Entries();

private:
    void Answer(FixtureConnection& connection);
    std::string AnswerRecord(const std::string& target, const std::string& body, int& status);
    std::string IssueTicket();
    std::optional<StandInEntry> EntryAt(std::int64_t place);

    Options options_;
    std::mutex mutex_;
    std::vector<StandInEntry> entries_;   // in the order they came
    std::vector<std::string> issued_;     // tickets handed out
    std::int64_t nextId_ = 1;
    MisbehavingServer server_;  // last: it stops before what its connections use goes away
};

}  // namespace zorblet::testing

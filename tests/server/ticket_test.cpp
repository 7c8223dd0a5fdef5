// The game's tickets: what the service signs, only its own key's signature reads back,
// every change to a ticket's text is found, and the key file is made and kept private.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <set>

#include "server_process.h"
#include "ticket/game_ticket.h"
#include "ticket/ticket_key_file.h"

namespace zorblet::server::testing {
namespace {

GameTicket SomeTicket() {
    GameTicket ticket = IssueTicket(1'700'000'000);
    ticket.seed = 4'000'000'000u;  // above 2^31: the seed is unsigned
    return ticket;
}

TEST(GameTicketTest, ASignedTicketReadsBackAsItWasAndIsUrlSafe) {
    const TicketKey key = TicketKey::Generate();
    const GameTicket ticket = SomeTicket();
    const std::string text = key.Sign(ticket);
    ASSERT_EQ(text.size(), TicketTextLength);
    EXPECT_EQ(text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_"),
              std::string::npos)
        << text;
    const TicketReading read = key.Read(text);
    ASSERT_TRUE(read.ticket);
    EXPECT_EQ(*read.ticket, ticket);
    EXPECT_EQ(read.ticket->expires - read.ticket->issued, TicketLifetimeSeconds);
    EXPECT_EQ(read.ticket->IdText().size(), 32u);
}

TEST(GameTicketTest, TicketsDifferInIdAndSeed) {
    std::set<std::string> ids;
    std::set<std::uint32_t> seeds;
    for (int i = 0; i < 64; ++i) {
        const GameTicket ticket = IssueTicket(1'700'000'000);
        ids.insert(ticket.IdText());
        seeds.insert(ticket.seed);
    }
    EXPECT_EQ(ids.size(), 64u);
    EXPECT_GT(seeds.size(), 60u);
}

// Every character of the text changed to every other of the alphabet: never read as a
// ticket. A change in the first characters may change the layout's version (malformed);
// any other is a signature that does not fit.
TEST(GameTicketTest, EveryChangedCharacterIsRefused) {
    const TicketKey key = TicketKey::Generate();
    const std::string text = key.Sign(SomeTicket());
    const std::string alphabet = "AZaz09-_Qg";
    int foreign = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        for (char c : alphabet) {
            if (text[i] == c) continue;
            std::string changed = text;
            changed[i] = c;
            const TicketReading read = key.Read(changed);
            ASSERT_FALSE(read.ticket) << "position " << i << ": " << changed;
            foreign += read.problem == TicketProblem::ForeignSignature;
        }
    }
    EXPECT_GT(foreign, 800);
}

TEST(GameTicketTest, TextsThatAreNoTicketAreMalformed) {
    const TicketKey key = TicketKey::Generate();
    const std::string text = key.Sign(SomeTicket());
    std::string standard_alphabet = text;
    for (char& c : standard_alphabet) c = c == '-' ? '+' : c == '_' ? '/' : c;
    const std::vector<std::pair<std::string, std::string>> cases{
        {"empty", ""},
        {"one short", text.substr(1)},
        {"one more", text + "A"},
        {"padded", text.substr(0, text.size() - 1) + "="},
        {"a blank", text.substr(0, 40) + " " + text.substr(41)},
        {"a NUL", text.substr(0, 40) + std::string(1, '\0') + text.substr(41)},
        {"a byte above ASCII", text.substr(0, 40) + "\xC3" + text.substr(41)},
        {"all A", std::string(TicketTextLength, 'A')},
    };
    for (const auto& [name, bad] : cases) {
        const TicketReading read = key.Read(bad);
        EXPECT_FALSE(read.ticket) << name;
        EXPECT_EQ(read.problem, TicketProblem::Malformed) << name;
    }
    if (standard_alphabet != text) {
        EXPECT_EQ(key.Read(standard_alphabet).problem, TicketProblem::Malformed);
    }
}

TEST(GameTicketTest, AnotherKeysTicketIsAForeignSignature) {
    const TicketKey ours = TicketKey::Generate();
    const TicketKey theirs = TicketKey::Generate();
    const TicketReading read = ours.Read(theirs.Sign(SomeTicket()));
    EXPECT_FALSE(read.ticket);
    EXPECT_EQ(read.problem, TicketProblem::ForeignSignature);
}

unsigned int ModeOf(const std::filesystem::path& file) {
    struct stat status{};
    EXPECT_EQ(::stat(file.c_str(), &status), 0) << file;
    return status.st_mode & 07777;
}

std::string RefusalOf(const std::filesystem::path& file) {
    try {
        LoadOrCreateTicketKey(file);
    } catch (const TicketKeyError& error) {
        return error.what();
    }
    return "accepted";
}

TEST(TicketKeyFileTest, AMissingFileIsMadePrivateWithAKeyThatLaterStartsRead) {
    TempDir directory;
    const std::filesystem::path file = directory.path() / "state" / "game-key";
    const mode_t before = ::umask(0);
    const TicketKey made = LoadOrCreateTicketKey(file);
    ::umask(before);
    EXPECT_EQ(ModeOf(file), 0600u);
    EXPECT_EQ(std::filesystem::file_size(file), TicketKey::Bytes);
    // Nothing of the making is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(file.parent_path()), {}), 1);
    const TicketKey read = LoadOrCreateTicketKey(file);
    const GameTicket ticket = SomeTicket();
    EXPECT_EQ(read.Read(made.Sign(ticket)).ticket, ticket);
}

TEST(TicketKeyFileTest, FilesThatCannotHoldTheKeyAreRefusedWithAClearReason) {
    TempDir directory;
    const std::filesystem::path file = directory.path() / "game-key";
    LoadOrCreateTicketKey(file);

    std::filesystem::permissions(file, std::filesystem::perms::group_read, std::filesystem::perm_options::add);
    const std::string wide = RefusalOf(file);
    EXPECT_NE(wide.find("0640"), std::string::npos) << wide;
    EXPECT_NE(wide.find("chmod 600"), std::string::npos) << wide;
    EXPECT_NE(wide.find(file.string()), std::string::npos) << wide;

    std::filesystem::permissions(file, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    std::filesystem::resize_file(file, 31);
    const std::string short_file = RefusalOf(file);
    EXPECT_NE(short_file.find("31 bytes, not the 32"), std::string::npos) << short_file;

    const std::filesystem::path folder = directory.path() / "a-folder";
    std::filesystem::create_directory(folder);
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all, std::filesystem::perm_options::replace);
    EXPECT_NE(RefusalOf(folder).find("not a regular file"), std::string::npos);
}

}  // namespace
}  // namespace zorblet::server::testing

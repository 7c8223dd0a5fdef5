// Names with words the operator refuses: answered 400 and never stored; the word list is
// read again on SIGHUP.

#include <signal.h>

#include <fstream>

#include "client_socket.h"
#include "server_test.h"

namespace zorblet::server::testing {
namespace {

class RefusedNamesTest : public ServerTest {
protected:
    std::filesystem::path WordFile() const { return directory_.path() / "refused.txt"; }
    void WriteWords(const std::string& text) const { std::ofstream(WordFile(), std::ios::binary) << text; }
    std::filesystem::path Socket() const { return directory_.path() / "admin.sock"; }
    void StartRefusing() {
        StartServer({"--submit-rate", "0", "--refuse-names", WordFile().string(), "--admin-socket", Socket().string()});
    }
    // SIGHUP, then waits for the server to say how the reading went.
    void Reload(const std::string& outcome) {
        const std::size_t seen = server_->ReadLog().size();
        server_->Signal(SIGHUP);
        ASSERT_TRUE(server_->AwaitLog(outcome, seen)) << server_->ReadLog();
    }
    int Submit(const std::string& name, std::int32_t points = 10) { return server_->Get(SubmitTarget(points, name)).status; }
};

TEST_F(RefusedNamesTest, ANameWithARefusedWordAnywhereIsAnswered400AndNotStored) {
    WriteWords("Arsch\n  \xC3\xA4rger \n\r\nschmutz\r\n");  // UTF-8, blanks and CR LF around the words
    StartRefusing();
    const std::vector<std::pair<std::string, int>> names{
        {"Arsch", 400},
        {"ARSCHLOCH", 400},
        {"Marschall", 400},           // inside a longer word counts too
        {"\xC4RGERLICH", 400},        // Ä matches ä
        {"sehr \xE4rgerlich!", 400},
        {"Argerlich", 200},           // a is not ä
        {"Schmutzfink", 400},
        {"Rasch", 200},               // shares letters with a word, contains none
        {"Sarah", 200},
        {"\xC4rge", 200},             // part of a word is not the word
    };
    int stored = 0;
    for (const auto& [name, status] : names) {
        const HttpReply reply = server_->Get(SubmitTarget(10, name));
        EXPECT_EQ(reply.status, status) << name;
        if (status == 400) {
            EXPECT_EQ(reply.body, "Name contains a word this list does not take\r\n") << name;
        } else {
            ++stored;
        }
    }
    EXPECT_EQ(CountEntries(), stored);
    const std::string metrics =
        ExchangeOverUnixSocket(Socket(), "GET /metrics HTTP/1.1\r\nHost: local\r\nConnection: close\r\n\r\n");
    EXPECT_NE(metrics.find("\nzorblet_submissions_total{outcome=\"refused_name\"} " +
                           std::to_string(names.size() - static_cast<std::size_t>(stored)) + "\n"),
              std::string::npos)
        << metrics;
}

// What looks the same in a browser is the same name: a soft hyphen or a no-break space
// between the letters, or punctuation and spaces splitting the word into whole parts of
// the name, do not walk around a word; two words that merely meet across a space do not
// make one. A file that starts with a byte order mark is read.
TEST_F(RefusedNamesTest, AWordIsFoundAsAReaderSeesItAcrossInvisibleCharactersAndPunctuation) {
    WriteWords("\xEF\xBB\xBF" "Arsch\nschmutz\n");
    StartRefusing();
    ASSERT_NE(server_->ReadLog().find("listening on"), std::string::npos);
    const std::vector<std::pair<std::string, int>> names{
        {"Ar\xADsch", 400},         // a soft hyphen, which shows nothing
        {"A\xA0rsch", 400},         // a no-break space
        {"Ar.sch", 400},
        {"A r s c h", 400},
        {"Dr. Schmutz-Fink", 400},  // inside one part, as before
        {"S.chmutz.fink", 400},     // "S" and "chmutz": whole parts
        {"Klar Schiff", 200},       // "...ar" and "Sch..." are parts of two words
        {"Max Arschin", 400},
        {"Gar.sch", 200},
        {"Anna", 200},
    };
    int stored = 0;
    for (const auto& [name, status] : names) {
        EXPECT_EQ(Submit(name, 10 + stored), status) << name;
        if (status == 200) ++stored;
    }
    EXPECT_EQ(CountEntries(), stored);
    Reload("2 refused words from");  // the mark is not taken for part of the first word
}

TEST_F(RefusedNamesTest, SighupReadsTheWordsAgainAndABrokenFileKeepsTheOldOnes) {
    WriteWords("eins\n");
    StartRefusing();
    EXPECT_EQ(Submit("Eins"), 400);
    EXPECT_EQ(Submit("Zwei"), 200);

    WriteWords("zwei\ndrei\n");
    Reload("2 refused words from");
    EXPECT_EQ(Submit("Eins"), 200);
    EXPECT_EQ(Submit("Zwei", 20), 400);

    for (const std::string broken : {"vier\n\xFF\xFE\n", ""}) {
        if (broken.empty()) {
            std::filesystem::remove(WordFile());
        } else {
            WriteWords(broken);
        }
        Reload("warning: keeping the refused words");
        EXPECT_EQ(Submit("Drei", 30), 400);
        EXPECT_EQ(Submit("Vier", 40 + static_cast<std::int32_t>(broken.size())), 200);
    }
    EXPECT_EQ(CountEntries(), 4);
}

TEST_F(RefusedNamesTest, AMissingOrBrokenFileAtStartIsAnError) {
    const std::vector<std::pair<std::string, std::string>> files{
        {"", "cannot read " + WordFile().string()},
        {"gut\n\xC3(\n", WordFile().string() + " line 2: not UTF-8"},
    };
    for (const auto& [text, problem] : files) {
        if (!text.empty()) WriteWords(text);
        const CommandOutcome outcome = RunServerCommand(
            {"--port", "0", "--db", Database().string(), "--refuse-names", WordFile().string()});
        EXPECT_EQ(outcome.exit_status, 1);
        EXPECT_NE(outcome.err.find(problem), std::string::npos) << outcome.err;
    }
}

}  // namespace
}  // namespace zorblet::server::testing

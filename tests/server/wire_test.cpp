// Whole answers on the wire, status line, headers (but Date) and body, to representative
// requests: the front may change, what a client receives may not. Headers are compared
// in alphabetical order, as the order carries no meaning. With ZORBLET_WRITE_FIXTURES=1
// it rewrites tests/fixtures/server_wire, and the requests as the seeds of the fuzzer over
// request heads, tests/fuzz/request_heads. Each exchange is one request (a pipeline where
// the table says so) on a new connection, read until the server closes: a request gets
// exactly one answer, and what a refused request hides is never answered.

#include <cstdlib>
#include <fstream>
#include <algorithm>
#include <sstream>

#include "client_socket.h"
#include "fixture_boards.h"
#include "server_test.h"

namespace zorblet::server::testing {
namespace {

struct WireCase {
    std::string file;
    std::string request;  // raw bytes, sent at once on a new connection
};

std::string Head(const std::string& method, const std::string& target, const std::string& extra = "") {
    return method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extra + "Connection: close\r\n\r\n";
}

std::string KeptHead(const std::string& target) {
    return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
}

// A query of `count` short parameters, as many as fit in no more than a few kilobytes.
std::string ManyParameters(int count) {
    std::string query = "a0=1";
    for (int i = 1; i < count; ++i) query += "&a" + std::to_string(i) + "=1";
    return query;
}

// A request that must never be answered: it follows one that is refused, or hides in one.
const std::string Hidden = "GET /BestOffSQL.php HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";

// Heads that a proxy in front could read differently from the library: each is refused
// with one 400, on any listener.
std::vector<WireCase> AmbiguousHeads() {
    using namespace std::string_literals;
    const std::string length_zero = "Content-Length: 0\r\n";
    return {
        {"two_content_lengths_400.txt",
         Head("GET", "/BestOffSQL.php", length_zero + "Content-Length: " + std::to_string(Hidden.size()) + "\r\n") +
             Hidden},
        {"length_and_chunked_400.txt",
         Head("GET", "/BestOffSQL.php", "Transfer-Encoding: chunked\r\n" + length_zero) + "0\r\n\r\n" + Hidden},
        {"bare_cr_in_target_400.txt", Head("GET", "/ListeSQL.php?Punkte=1&x=\rSet-Cookie:a=b")},
        {"nul_in_target_400.txt", Head("GET", "/ListeSQL.php?Punkte=1\0zz"s)},
        {"nul_before_version_400.txt", Head("GET", "/ListeSQL.php?Punkte=1\0"s)},
        {"bare_cr_in_field_400.txt", Head("GET", "/BestOffSQL.php", "X-Note: a\rSet-Cookie: b\r\n")},
        {"nul_in_field_400.txt", Head("GET", "/BestOffSQL.php", "Content-Length: 0\0 5\r\n"s)},
    };
}

// On the three-entry board with a submission rate of 2 a minute: the third submission is refused.
std::vector<WireCase> WireCases() {
    std::vector<WireCase> cases = AmbiguousHeads();
    std::vector<WireCase> game{
        {"best_of.txt", Head("GET", "/BestOffSQL.php")},
        {"place_list.txt", Head("GET", "/ListeSQL.php?Punkte=300")},
        {"head.txt", Head("HEAD", "/BestOffSQL.php")},
        {"bad_points_400.txt", Head("GET", "/ListeSQL.php?Punkte=abc")},
        {"bad_escape_400.txt", Head("GET", "/ListeSQL.php?Punkte=%zz")},
        {"not_found_404.txt", Head("GET", "/index.html")},
        {"post_405.txt", Head("POST", "/BestOffSQL.php")},
        {"head_submission_405.txt", Head("HEAD", SubmitTarget(5, "Max"))},
        {"delete_405.txt", Head("DELETE", "/ListeSQL.php?Punkte=1")},
        {"long_target_414.txt", Head("GET", SubmitTarget(1000, std::string(9000, 'A')))},
        {"body_413.txt", "GET /BestOffSQL.php HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\n\r\nhello"},
        {"keep_alive.txt", KeptHead("/ListeSQL.php?Punkte=1000") + Head("GET", "/ListeSQL.php?Punkte=0")},
        {"pipelined.txt", KeptHead("/ListeSQL.php?Punkte=500") + KeptHead("/ListeSQL.php?Punkte=x") +
                              Head("GET", "/ListeSQL.php?Punkte=-1")},
        {"http_1_0.txt", "GET /ListeSQL.php?Punkte=1 HTTP/1.0\r\n\r\n"},
        {"no_host.txt", "GET /ListeSQL.php?Punkte=2 HTTP/1.1\r\nConnection: close\r\n\r\n"},
        // Too many parameters for the library's own list of them: answered by the service.
        {"many_parameters_400.txt", Head("GET", "/ListeSQL.php?" + ManyParameters(800))},
        {"many_empty_parameters_400.txt", Head("GET", "/ListeSQL.php?" + std::string(4000, '&'))},
        // Last, so that no read shows today's date.
        {"submission.txt", Head("GET", SubmitTarget(1000, "Max"))},
        {"submission_repeated.txt", Head("GET", SubmitTarget(1000, "Max"))},
        {"rate_limited_429.txt", Head("GET", SubmitTarget(1001, "Max"))},
    };
    cases.insert(cases.end(), game.begin(), game.end());
    return cases;
}

// The pages under a base path: the way to the page without its slash, and a 304.
std::vector<WireCase> PageCases(const std::string& tag) {
    return {
        {"moved_301.txt", Head("GET", "/zorblet?name=<b>\"x\"</b>&x=%41\xFC")},
        {"moved_post_405.txt", Head("POST", "/zorblet?x=1")},
        {"unchanged_304.txt", Head("GET", "/zorblet/?ab=1", "If-None-Match: " + tag + "\r\n")},
        {"unchanged_head_304.txt", Head("HEAD", "/zorblet/", "If-None-Match: " + tag + "\r\n")},
        {"not_found_404_under_base.txt", Head("GET", "/zorblet/index.html")},
    };
}

std::filesystem::path WireFile(const std::string& name) {
    return std::filesystem::path(ZORBLET_FIXTURE_DIR) / ".." / "server_wire" / name;
}

std::string ReadFile(const std::filesystem::path& file) {
    std::ifstream stream(file, std::ios::binary);
    std::ostringstream text;
    text << stream.rdbuf();
    return text.str();
}

// Each answer in `received` with its header lines sorted and without Date, which says
// when, not what.
std::string Normalize(const std::string& received) {
    std::string normal;
    for (std::size_t at = 0; at < received.size();) {
        const std::size_t head_end = received.find("\r\n\r\n", at);
        if (head_end == std::string::npos) return normal + received.substr(at);
        std::vector<std::string> lines;
        std::size_t body = 0;
        for (std::size_t line = received.find("\r\n", at) + 2; line < head_end + 2;) {
            const std::size_t end = received.find("\r\n", line);
            const std::string header = received.substr(line, end - line);
            if (header.starts_with("Content-Length: ")) body = std::stoul(header.substr(16));
            // The list's version starts anew with every run.
            if (header.starts_with("ETag: ")) {
                lines.push_back("ETag: (the list's version)");
            } else if (!header.starts_with("Date: ")) {
                lines.push_back(header);
            }
            line = end + 2;
        }
        std::sort(lines.begin(), lines.end());
        normal += received.substr(at, received.find("\r\n", at) + 2 - at);
        for (const std::string& line : lines) normal += line + "\r\n";
        normal += "\r\n";
        // A HEAD answer and a 304 name the length of a body they do not send.
        body = std::min(body, received.size() - head_end - 4);
        normal += received.substr(head_end + 4, body);
        at = head_end + 4 + body;
    }
    return normal;
}

bool WritingFixtures() {
    const char* flag = std::getenv("ZORBLET_WRITE_FIXTURES");
    return flag != nullptr && std::string(flag) == "1";
}

class WireTest : public ServerTest {
protected:
    void CheckAnswer(const std::string& file, const std::string& answer) {
        const std::string received = Normalize(answer);
        if (WritingFixtures()) {
            std::ofstream(WireFile(file), std::ios::binary) << received;
        } else {
            EXPECT_EQ(received, ReadFile(WireFile(file))) << file << " is answered differently";
        }
    }

    void Check(const WireCase& c, const std::string& answer) {
        if (WritingFixtures()) {
            const std::filesystem::path seeds = std::filesystem::path(ZORBLET_TEST_SOURCE_DIR) / ".." / "fuzz" / "request_heads";
            std::ofstream(seeds / std::filesystem::path(c.file).stem(), std::ios::binary) << c.request;
        }
        CheckAnswer(c.file, answer);
    }
};

TEST_F(WireTest, AnswersStayTheSameByteForByte) {
    SeedBoard(Database(), ThreeEntryBoard());
    StartServer({"--submit-rate", "2"});
    for (const WireCase& c : WireCases()) Check(c, server_->Exchange(c.request));
}

TEST_F(WireTest, PagesUnderABasePathAreAnsweredTheSameByteForByte) {
    SeedBoard(Database(), ThreeEntryBoard());
    StartServer({"--submit-rate", "0", "--base-path", "/zorblet/"});
    const std::string page = server_->Exchange(Head("GET", "/zorblet/"));
    const std::size_t tag_at = page.find("ETag: ");
    ASSERT_NE(tag_at, std::string::npos) << page;
    const std::string tag = page.substr(tag_at + 6, page.find("\r\n", tag_at) - tag_at - 6);
    for (const WireCase& c : PageCases(tag)) Check(c, server_->Exchange(c.request));
}

// The operators' socket reads requests with the same front, bodies allowed.
TEST_F(WireTest, TheAdminSocketRefusesAmbiguousHeadsWithOneAnswer) {
    const std::filesystem::path socket = directory_.path() / "admin.sock";
    StartServer({"--submit-rate", "0", "--admin-socket", socket.string()});
    for (const WireCase& c : AmbiguousHeads()) {
        const std::string answer = ExchangeOverUnixSocket(socket, c.request);
        EXPECT_TRUE(answer.starts_with("HTTP/1.1 400 Bad Request\r\n")) << c.file << ": " << answer;
        EXPECT_EQ(answer.find("HTTP/1.1", 1), std::string::npos) << c.file << " answered twice: " << answer;
    }
}

// The library itself refuses a Content-Length that is no number, before the service sees
// the request, and sends its header block twice (see the README). Kept here, not run,
// until the service reads the bytes before the library does.
TEST_F(WireTest, DISABLED_AMalformedContentLengthGetsOneAnswer) {
    StartServer();
    for (const std::string length : {"abc", "-1", "12345678901234567890123"}) {
        const std::string answer = server_->Exchange(Head("GET", "/BestOffSQL.php", "Content-Length: " + length + "\r\n"));
        EXPECT_TRUE(answer.starts_with("HTTP/1.1 400 Bad Request\r\n")) << answer;
        EXPECT_EQ(answer.find("HTTP/1.1", 1), std::string::npos) << length << " answered twice: " << answer;
    }
}

TEST_F(WireTest, AStorageFailureIsAnsweredTheSameByteForByte) {
    SeedBoard(Database(), ThreeEntryBoard());
    StartServer({"--submit-rate", "0"}, 64 * 1024);
    for (int i = 0; i < 100; ++i) {
        const std::string answer = server_->Exchange(Head("GET", SubmitTarget(i, "Spieler " + std::to_string(i))));
        if (ParseReply(answer).status == 503) return CheckAnswer("storage_error_503.txt", answer);
    }
    FAIL() << "the disk never filled up";
}

}  // namespace
}  // namespace zorblet::server::testing

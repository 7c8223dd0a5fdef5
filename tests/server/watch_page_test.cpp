// The watch pages, answered by WebService on a real database with the viewer's files from
// a folder: a kept game's page (its entry as escaped text, the viewer's markup and links,
// the viewer's policy), the list's German 404 page for every id that is no kept game, the
// viewer's files under their versions, the list's links to kept games, and a service
// without the files (in process and the real server) running as before.

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <stdexcept>

#include "server_process.h"
#include "store/sqlite/sqlite_score_board.h"
#include "web/web_service.h"

namespace zorblet::server::testing::watch {
namespace {

// The viewer's files as the test writes them, with the start of their SHA-256 as computed
// apart from the service.
struct FileCase {
    std::string name;
    std::string body;
    std::string content_type;
    std::string version;
};
const std::vector<FileCase>& ViewerFileCases() {
    static const std::vector<FileCase> cases{
        {"zorblet-viewer.js", "viewer script", "text/javascript; charset=utf-8", "6d5c077d6ac8f3d9"},
        {"zorblet-viewer.css", "viewer style", "text/css; charset=utf-8", "9657fab4cb21d1b5"},
        {"zorblet-viewer-module.js", "module glue", "text/javascript; charset=utf-8", "4d96559ca74ecea1"},
        {"zorblet-viewer-module.wasm", std::string("\0asm wasm", 9), "application/wasm", "df33fa3bd00c6828"},
        {"zorblet-glyphs.bin", "atlas", "application/octet-stream", "7c82602500857aa6"},
    };
    return cases;
}

void WriteFile(const std::filesystem::path& path, const std::string& body) {
    std::ofstream(path, std::ios::binary) << body;
}

void WriteViewerFiles(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    for (const FileCase& file : ViewerFileCases()) WriteFile(folder / file.name, file.body);
}

std::string HeaderOf(const Reply& reply, const std::string& name) {
    for (const auto& [key, value] : reply.headers) {
        if (key == name) return value;
    }
    return {};
}

std::size_t CountOf(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

constexpr std::string_view GamePagePolicy =
    "default-src 'none'; script-src 'self' 'wasm-unsafe-eval'; style-src 'self'; img-src 'self'; "
    "connect-src 'self'; base-uri 'none'; form-action 'self'; frame-ancestors 'none'";
constexpr std::string_view NotWatchable =
    "Diese Partie ist hier nicht zu sehen: Es gibt sie nicht, oder ihre Aufzeichnung ist nicht mehr gespeichert.";
constexpr std::string_view NotSetUp = "Auf diesem Server lassen sich keine Partien ansehen.";

// The entries of a real store, with their records kept as the test says: by id.
class KeptInTest final : public WatchableGames {
public:
    explicit KeptInTest(const ScoreBoard& board) : board_(board) {}

    bool IsKept(std::int64_t id) const override {
        if (failing) throw StorageError("the disk is gone");
        return kept.contains(id);
    }
    std::optional<WatchableEntry> FindKept(std::int64_t id) const override {
        if (failing) throw StorageError("the disk is gone");
        std::optional<WatchableEntry> found;
        if (!kept.contains(id)) return found;
        board_.ReadRanking([&](const RankedView& view) {
            view.VisitFrom(1, [&](std::int64_t, const RankedEntry& entry) {
                if (entry.id == id) found = WatchableEntry{id, entry.points, std::string(entry.name), std::string(entry.date)};
                return !found;
            });
        });
        return found;
    }

    std::set<std::int64_t> kept;
    bool failing = false;

private:
    const ScoreBoard& board_;
};

// Ids 1..4 in this order; ranked 1 (2400 points), 2, 4, 3.
std::vector<ScoreEntry> WatchBoard() {
    return {{2400, "M\xFCller <b>&\"Co\"", "07.05.26"},
            {1200, "Bert", "08.05.26"},
            {1, "Cleo", "09.05.26"},
            {800, "Dora", "10.05.26"}};
}

class WatchPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        SeedBoard(Database(), WatchBoard());
        board_ = std::make_unique<SqliteScoreBoard>(Database());
        games_ = std::make_unique<KeptInTest>(*board_);
        games_->kept = {1, 3};
        WriteViewerFiles(Folder());
        std::string problem;
        files_ = ViewerFiles::Load(Folder(), problem);
        ASSERT_TRUE(files_) << problem;
        web_ = std::make_unique<WebService>(*board_, "/", WatchSetup{&*files_, games_.get()});
    }
    std::filesystem::path Database() const { return directory_.path() / "scores.sqlite"; }
    std::filesystem::path Folder() const { return directory_.path() / "viewer"; }

    static Reply Get(const WebService& web, const std::string& target, const std::string& if_none_match = "") {
        std::optional<Reply> reply = web.Answer({"GET", target, {}, "127.0.0.1", if_none_match});
        EXPECT_TRUE(reply.has_value()) << target;
        return reply.value_or(Reply{});
    }
    Reply Get(const std::string& target, const std::string& if_none_match = "") const {
        return Get(*web_, target, if_none_match);
    }

    TempDir directory_;
    std::unique_ptr<SqliteScoreBoard> board_;
    std::unique_ptr<KeptInTest> games_;
    std::optional<ViewerFiles> files_;
    std::unique_ptr<WebService> web_;
};

TEST_F(WatchPageTest, AKeptGamesPageShowsItsEntryAndTheViewerUnderTheViewersPolicy) {
    const Reply reply = Get("/partie/1");
    ASSERT_EQ(reply.status, 200) << reply.body;
    EXPECT_EQ(reply.content_type, "text/html; charset=utf-8");
    EXPECT_EQ(HeaderOf(reply, "Content-Security-Policy"), GamePagePolicy);
    EXPECT_EQ(HeaderOf(reply, "X-Content-Type-Options"), "nosniff");
    EXPECT_EQ(HeaderOf(reply, "Cache-Control"), "max-age=10");
    const std::string& body = reply.body;
    // The name as text, escaped, in the title and the heading; points and the German date.
    const std::string name = "Müller &lt;b&gt;&amp;&quot;Co&quot;";
    EXPECT_NE(body.find("<title>Zorblet – Partie von " + name + "</title>"), std::string::npos) << body;
    EXPECT_NE(body.find("<h2>Partie von " + name + "</h2>"), std::string::npos) << body;
    EXPECT_EQ(body.find("<b>"), std::string::npos);
    EXPECT_NE(body.find("2400 Punkte am 07.05.2026"), std::string::npos) << body;
    EXPECT_NE(body.find("<html lang=\"de\">"), std::string::npos);
    // The list's look, then the viewer's stylesheet, its module's glue and its script, in
    // this order, deferred, under their versions.
    const std::size_t list_style = body.find("<link rel=\"stylesheet\" href=\"/zorblet.css?v=");
    const std::size_t viewer_style = body.find("<link rel=\"stylesheet\" href=\"/zorblet-viewer.css?v=9657fab4cb21d1b5\">");
    const std::size_t glue = body.find("<script src=\"/zorblet-viewer-module.js?v=4d96559ca74ecea1\" defer></script>");
    const std::size_t script = body.find("<script src=\"/zorblet-viewer.js?v=6d5c077d6ac8f3d9\" defer></script>");
    ASSERT_NE(list_style, std::string::npos) << body;
    ASSERT_NE(viewer_style, std::string::npos) << body;
    ASSERT_NE(glue, std::string::npos) << body;
    ASSERT_NE(script, std::string::npos) << body;
    EXPECT_LT(list_style, viewer_style);
    EXPECT_LT(glue, script);
    EXPECT_LT(script, body.find("</head>"));
    EXPECT_NE(body.find("<div class=\"partie\" data-record=\"/api/v1/games/1\" "
                        "data-wasm=\"/zorblet-viewer-module.wasm?v=df33fa3bd00c6828\" "
                        "data-atlas=\"/zorblet-glyphs.bin?v=7c82602500857aa6\">\n"
                        "<noscript><p>Diese Seite braucht JavaScript, um die Partie abzuspielen.</p></noscript>\n"
                        "</div>"),
              std::string::npos)
        << body;
    // Nothing inline: every script has its source, and no style is written into the page.
    EXPECT_EQ(CountOf(body, "<script"), 2u);
    EXPECT_EQ(CountOf(body, "<script src=\"/"), 2u);
    EXPECT_EQ(body.find("<style"), std::string::npos);
    EXPECT_EQ(body.find("style="), std::string::npos);
    EXPECT_EQ(body.find(" on"), std::string::npos);  // no event handler attributes
    EXPECT_EQ(CountOf(body, "<canvas"), 0u);         // the script builds it
    EXPECT_EQ(Get("/partie/3").status, 200);
    EXPECT_NE(Get("/partie/3").body.find("1 Punkt am 09.05.2026"), std::string::npos);
    EXPECT_EQ(web_->Answer({"HEAD", "/partie/1", {}, "127.0.0.1"}).value().status, 200);
    const Reply posted = web_->Answer({"POST", "/partie/1", {}, "127.0.0.1"}).value();
    EXPECT_EQ(posted.status, 405);
    EXPECT_EQ(posted.allow, "GET, HEAD");
}

TEST_F(WatchPageTest, UnderABasePathEveryLinkKeepsIt) {
    const WebService under(*board_, "/zorblet/", WatchSetup{&*files_, games_.get()});
    const std::string body = Get(under, "/zorblet/partie/1").body;
    EXPECT_NE(body.find("data-record=\"/zorblet/api/v1/games/1\""), std::string::npos) << body;
    EXPECT_NE(body.find("data-wasm=\"/zorblet/zorblet-viewer-module.wasm?v="), std::string::npos);
    EXPECT_NE(body.find("src=\"/zorblet/zorblet-viewer-module.js?v="), std::string::npos);
    EXPECT_NE(body.find("href=\"/zorblet/\">Zur Bestenliste</a>"), std::string::npos);
    EXPECT_NE(Get(under, "/zorblet/").body.find("href=\"/zorblet/partie/1\""), std::string::npos);
    EXPECT_EQ(Get(under, "/zorblet/zorblet-viewer.js").body, "viewer script");
    EXPECT_FALSE(under.Answer({"GET", "/partie/1", {}, "127.0.0.1"}).has_value());
    EXPECT_FALSE(under.Answer({"GET", "/zorblet-viewer.js", {}, "127.0.0.1"}).has_value());
    EXPECT_EQ(under.FindRequest("/zorblet/partie/1"), WebRequest::Page);
    EXPECT_EQ(under.FindRequest("/zorblet/zorblet-glyphs.bin"), WebRequest::Static);
}

TEST_F(WatchPageTest, AnIdThatIsNoKeptGameGetsTheListsGerman404PageAndAStorageFaultA503) {
    games_->kept.insert(99);  // kept, yet no entry has it
    for (const std::string target :
         {"/partie/2", "/partie/4", "/partie/99", "/partie/5", "/partie/", "/partie/0", "/partie/01", "/partie/-1",
          "/partie/+1", "/partie/1/", "/partie/1x", "/partie/abc", "/partie/99999999999999999999",
          "/partie/%31"}) {
        const Reply reply = Get(target);
        EXPECT_EQ(reply.status, 404) << target;
        EXPECT_EQ(reply.content_type, "text/html; charset=utf-8") << target;
        EXPECT_NE(reply.body.find(std::string(NotWatchable)), std::string::npos) << target << reply.body;
        EXPECT_NE(reply.body.find("<a href=\"/\">Zur Bestenliste</a>"), std::string::npos) << target;
        EXPECT_NE(reply.body.find("href=\"/zorblet.css?v="), std::string::npos) << target;
        EXPECT_EQ(reply.body.find("<script"), std::string::npos) << target;
        EXPECT_EQ(HeaderOf(reply, "Content-Security-Policy").find("script-src"), std::string::npos) << target;
    }
    games_->failing = true;
    const Reply failed = Get("/partie/1");
    EXPECT_EQ(failed.status, 503);
    EXPECT_NE(failed.body.find("Die Bestenliste ist gerade nicht zu lesen."), std::string::npos);
    EXPECT_EQ(Get("/").status, 503);
}

TEST_F(WatchPageTest, TheViewersFilesAreCachedLongUnderTheirVersionAndAsTheirOwnType) {
    for (const FileCase& file : ViewerFileCases()) {
        const std::string path = "/" + file.name;
        const Reply versioned = Get(path + "?v=" + file.version);
        EXPECT_EQ(versioned.status, 200) << path;
        EXPECT_EQ(versioned.body, file.body) << path;
        EXPECT_EQ(versioned.content_type, file.content_type) << path;
        EXPECT_EQ(HeaderOf(versioned, "Cache-Control"), "public, max-age=31536000, immutable") << path;
        EXPECT_EQ(HeaderOf(versioned, "ETag"), "\"" + file.version + "\"") << path;
        EXPECT_EQ(HeaderOf(versioned, "X-Content-Type-Options"), "nosniff") << path;
        EXPECT_EQ(HeaderOf(versioned, "Content-Security-Policy"), "default-src 'none'; frame-ancestors 'none'") << path;
        EXPECT_EQ(HeaderOf(Get(path + "?v=0123456789abcdef"), "Cache-Control"), "public, max-age=86400") << path;
        EXPECT_EQ(HeaderOf(Get(path), "Cache-Control"), "public, max-age=86400") << path;
        EXPECT_EQ(Get(path, "\"" + file.version + "\"").status, 304) << path;
        EXPECT_EQ(web_->Answer({"POST", path, {}, "127.0.0.1"}).value().status, 405) << path;
        EXPECT_EQ(web_->FindRequest(path), WebRequest::Static) << path;
    }
    for (const std::string target : {"/zorblet-viewer", "/viewer/zorblet-viewer.js", "/zorblet-viewer.js/x"}) {
        EXPECT_FALSE(web_->Answer({"GET", target, {}, "127.0.0.1"}).has_value()) << target;
    }
    // A changed file is a new version once the service reads the folder again.
    WriteFile(Folder() / "zorblet-glyphs.bin", "atlas 2");
    std::string problem;
    const std::optional<ViewerFiles> changed = ViewerFiles::Load(Folder(), problem);
    ASSERT_TRUE(changed);
    EXPECT_EQ(changed->LinkTo("/", ViewerFiles::Atlas), "/zorblet-glyphs.bin?v=c0f077124f7e64fa");
}

TEST_F(WatchPageTest, TheListLinksToTheGamesWhoseRecordsAreKeptInItsRowsAndAmongTheNewest) {
    const std::string body = Get("/").body;
    EXPECT_EQ(CountOf(body, "class=\"ansehen\""), 4u) << body;  // games 1 and 3, each in both tables
    EXPECT_EQ(CountOf(body, "<a class=\"ansehen\" href=\"/partie/1\" "
                            "aria-label=\"Partie von Müller &lt;b&gt;&amp;&quot;Co&quot; ansehen\">ansehen</a>"),
              2u)
        << body;
    EXPECT_EQ(CountOf(body, "href=\"/partie/3\""), 2u);
    EXPECT_EQ(CountOf(body, "href=\"/partie/2\""), 0u);
    EXPECT_EQ(CountOf(body, "href=\"/partie/4\""), 0u);
    EXPECT_EQ(body.find("<script"), std::string::npos);  // the list needs no script still
    // A score asked about is no game: its row links nowhere.
    const std::string around = Get("/?punkte=2400").body;
    EXPECT_NE(around.find("<td class=\"name\">deine Punkte</td>"), std::string::npos);
    EXPECT_EQ(CountOf(around, "class=\"ansehen\""), 4u) << around;
}

TEST_F(WatchPageTest, WithoutAllTheViewersFilesTheServiceRunsAsBeforeAndSaysSo) {
    // Each file missing in turn, or empty: the folder is refused, naming it.
    for (const FileCase& file : ViewerFileCases()) {
        std::filesystem::remove(Folder() / file.name);
        std::string problem;
        EXPECT_FALSE(ViewerFiles::Load(Folder(), problem)) << file.name;
        EXPECT_NE(problem.find(file.name), std::string::npos) << problem;
        WriteFile(Folder() / file.name, "");
        EXPECT_FALSE(ViewerFiles::Load(Folder(), problem)) << file.name;
        WriteFile(Folder() / file.name, file.body);
    }
    std::string problem;
    EXPECT_FALSE(ViewerFiles::Load(directory_.path() / "nowhere", problem));
    // Games kept, but no files: no links, and a game's page says watching is not set up.
    const WebService plain(*board_, "/", WatchSetup{nullptr, games_.get()});
    EXPECT_EQ(Get(plain, "/").body.find("ansehen"), std::string::npos);
    for (const std::string target : {"/partie/1", "/partie/2", "/partie/x"}) {
        const Reply reply = Get(plain, target);
        EXPECT_EQ(reply.status, 404) << target;
        EXPECT_NE(reply.body.find(std::string(NotSetUp)), std::string::npos) << target;
    }
    EXPECT_FALSE(plain.Answer({"GET", "/zorblet-viewer.js", {}, "127.0.0.1"}).has_value());
    // Files, but no games kept: every game's page is the 404 page.
    const WebService nothing_kept(*board_, "/", WatchSetup{&*files_, nullptr});
    EXPECT_EQ(Get(nothing_kept, "/partie/1").status, 404);
    EXPECT_EQ(Get(nothing_kept, "/").body.find("ansehen"), std::string::npos);
}

// The real server: the viewer's files from --viewer-dir, and without them (a folder given
// that lacks one, or the default folder, absent here) it starts, serves the list and warns
// only about the folder given.
TEST(WatchPageServer, ServesTheViewersFilesFromItsFolderAndRunsWithoutThem) {
    const TempDir directory;
    WriteViewerFiles(directory.path() / "viewer");
    {
        ServerProcess server({directory.path() / "a.sqlite",
                              {"--viewer-dir", (directory.path() / "viewer").string()}});
        const HttpReply module = server.Get("/zorblet-viewer-module.wasm?v=df33fa3bd00c6828");
        EXPECT_EQ(module.status, 200);
        EXPECT_EQ(module.content_type, "application/wasm");
        EXPECT_EQ(module.body, std::string("\0asm wasm", 9));
        const HttpReply page = server.Get("/partie/1");
        EXPECT_EQ(page.status, 404);
        EXPECT_NE(page.body.find(std::string(NotWatchable)), std::string::npos) << page.body;
        EXPECT_EQ(server.ReadLog().find("warning"), std::string::npos) << server.ReadLog();
    }
    std::filesystem::remove(directory.path() / "viewer" / "zorblet-viewer-module.wasm");
    ServerProcess incomplete({directory.path() / "b.sqlite", {"--viewer-dir", (directory.path() / "viewer").string()}});
    EXPECT_TRUE(incomplete.AwaitLog("warning: games cannot be watched: "));
    EXPECT_NE(incomplete.ReadLog().find("zorblet-viewer-module.wasm is missing"), std::string::npos);
    EXPECT_EQ(incomplete.Get("/").status, 200);
    EXPECT_EQ(incomplete.Get("/zorblet-viewer.js").status, 404);
    const HttpReply page = incomplete.Get("/partie/1");
    EXPECT_EQ(page.status, 404);
    EXPECT_NE(page.body.find(std::string(NotSetUp)), std::string::npos) << page.body;
    ServerProcess by_default({directory.path() / "c.sqlite", {}});
    EXPECT_EQ(by_default.Get("/").status, 200);
    EXPECT_EQ(by_default.ReadLog().find("warning"), std::string::npos) << by_default.ReadLog();
}

}  // namespace
}  // namespace zorblet::server::testing::watch

#include "web/watch_page.h"

#include "query/values.h"
#include "web/web_text.h"

namespace zorblet::server {

namespace {

void AppendLinkAttribute(std::string& html, std::string_view attribute, const std::string& link) {
    html.append(" ").append(attribute).append("=\"");
    AppendHtmlText(html, link);
    html += "\"";
}

// The viewer's stylesheet, then the module's glue before the viewer's script, which
// calls it: both deferred, so they run in this order once the page is read.
std::string ViewerHead(const std::string& base, const ViewerFiles& files) {
    std::string head = "<link rel=\"stylesheet\"";
    AppendLinkAttribute(head, "href", files.LinkTo(base, ViewerFiles::Stylesheet));
    head += ">\n<script";
    AppendLinkAttribute(head, "src", files.LinkTo(base, ViewerFiles::ModuleScript));
    head += " defer></script>\n<script";
    AppendLinkAttribute(head, "src", files.LinkTo(base, ViewerFiles::Script));
    head += " defer></script>\n";
    return head;
}

std::string DescribePoints(std::int32_t points) {
    return std::to_string(points) + (points == 1 || points == -1 ? " Punkt" : " Punkte");
}

}  // namespace

bool StoredGames::IsKept(std::int64_t id) const {
    return AreKept(std::span(&id, 1)).front();
}

std::vector<bool> StoredGames::AreKept(std::span<const std::int64_t> ids) const {
    return board_.FindKeptGames(ids);
}

std::optional<WatchableEntry> StoredGames::FindKept(std::int64_t id) const {
    if (!IsKept(id)) return std::nullopt;
    const std::optional<ScoreEntry> entry = board_.ReadEntry(id);
    if (!entry) return std::nullopt;
    return WatchableEntry{id, entry->points, entry->name, entry->date};
}

std::string LinkToGame(const std::string& base, std::int64_t id) {
    return base + "partie/" + std::to_string(id);
}

std::optional<std::int64_t> ParseGameId(std::string_view text) {
    if (text.starts_with('0')) return std::nullopt;
    return ParseWholeNumber(text, 1);
}

std::string RenderWatchPage(const WatchableEntry& entry, const PageLinks& links, const ViewerFiles& files) {
    const std::string name = NameToUtf8(entry.name);
    std::string html;
    html.reserve(2048);
    AppendPageHead(html, "Zorblet – Partie von " + name, links, ViewerHead(links.base, files));
    html += "</header>\n<main>\n<h2>Partie von ";
    AppendHtmlText(html, name);
    html += "</h2>\n<p class=\"partie-eintrag\">" + DescribePoints(entry.points) + " am ";
    AppendHtmlText(html, GermanDateOf(entry.date));
    html += "</p>\n<div class=\"partie\"";
    AppendLinkAttribute(html, "data-record", links.base + "api/v1/games/" + std::to_string(entry.id));
    AppendLinkAttribute(html, "data-wasm", files.LinkTo(links.base, ViewerFiles::Module));
    AppendLinkAttribute(html, "data-atlas", files.LinkTo(links.base, ViewerFiles::Atlas));
    html += ">\n<noscript><p>Diese Seite braucht JavaScript, um die Partie abzuspielen.</p></noscript>\n</div>\n"
            "<p><a href=\"";
    AppendHtmlText(html, links.base);
    html += "\">Zur Bestenliste</a></p>\n</main>\n</body>\n</html>\n";
    return html;
}

}  // namespace zorblet::server

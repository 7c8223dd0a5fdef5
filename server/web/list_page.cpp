#include "web/list_page.h"

#include <limits>

#include "web/watch_page.h"
#include "web/web_text.h"

namespace zorblet::server {

namespace {

constexpr std::string_view Title = "Zorblet – Bestenliste";
constexpr std::string_view TableHead =
    "<thead><tr><th scope=\"col\">Platz</th><th scope=\"col\">Punkte</th><th scope=\"col\">Name</th>"
    "<th scope=\"col\">Datum</th><th scope=\"col\">Geprüft</th></tr></thead>\n";
// What the mark means, on every page.
constexpr std::string_view VerifiedMeaning =
    "Geprüft heißt: Der Dienst hat das aufgezeichnete Spiel nach den Regeln des Spiels "
    "wiederholt, und die Punkte folgen aus den Eingaben. Ob ein Mensch die Eingaben "
    "selbst gemacht hat, zeigt die Prüfung nicht.";

void AppendHead(std::string& html, std::string_view title, const PageLinks& links) {
    AppendPageHead(html, title, links, {});
}

// The two searches, each a form of its own, filled with what the page shows.
void AppendForms(std::string& html, const ListPage& page, const PageLinks& links) {
    std::string action = "<form action=\"";
    AppendHtmlText(action, links.base);
    action += "\" method=\"get\" role=\"search\">";
    html += "<div class=\"suchen\">\n" + action +
            "<label for=\"punkte\">Punkte</label> <input id=\"punkte\" name=\"punkte\" type=\"number\" min=\"" +
            std::to_string(std::numeric_limits<std::int32_t>::min()) + "\" max=\"" +
            std::to_string(std::numeric_limits<std::int32_t>::max()) + "\" step=\"1\" required";
    if (page.view == PageView::Score) html += " value=\"" + std::to_string(page.points) + "\"";
    html += "> <button type=\"submit\">Platz zeigen</button></form>\n" + action +
            "<label for=\"name\">Name</label> <input id=\"name\" name=\"name\" type=\"search\" maxlength=\"24\" required";
    if (page.view == PageView::Names) {
        html += " value=\"";
        AppendHtmlText(html, page.name);
        html += "\"";
    }
    html += "> <button type=\"submit\">Suchen</button></form>\n</div>\n";
}

// A game whose record is kept gets a link to its page beside the name.
void AppendWatchLink(std::string& html, const ListRow& row, const PageLinks& links) {
    html += " <a class=\"ansehen\" href=\"";
    AppendHtmlText(html, LinkToGame(links.base, row.id));
    html += "\" aria-label=\"Partie von ";
    AppendHtmlText(html, row.name);
    html += " ansehen\">ansehen</a>";
}

void AppendRow(std::string& html, const ListRow& row, const PageLinks& links) {
    if (row.provisional) {
        html += "<tr class=\"neu\" aria-current=\"true\"><td>" + std::to_string(row.place) + "</td><td>" +
                std::to_string(row.points) + "</td><td class=\"name\">deine Punkte</td><td></td><td></td></tr>\n";
        return;
    }
    html += "<tr><td>" + std::to_string(row.place) + "</td><td>" + std::to_string(row.points) + "</td><td class=\"name\">";
    AppendHtmlText(html, row.name);
    if (row.watchable) AppendWatchLink(html, row, links);
    html += "</td><td>";
    AppendHtmlText(html, GermanDateOf(row.date));
    // The mark is a word, not a colour: readers and screen readers see it alike. The cell
    // has room for a link to watch the kept game.
    html += row.verified ? "</td><td class=\"geprueft\" data-id=\"" + std::to_string(row.id) +
                               "\"><span aria-hidden=\"true\">✓</span> geprüft</td></tr>\n"
                         : "</td><td></td></tr>\n";
}

void AppendTable(std::string& html, std::string_view attributes, const std::vector<ListRow>& rows,
                 const PageLinks& links) {
    html.append("<table ").append(attributes).append(">\n").append(TableHead).append("<tbody>\n");
    for (const ListRow& row : rows) AppendRow(html, row, links);
    html += "</tbody>\n</table>\n";
}

std::string Quoted(std::string_view text) {
    std::string quoted = "„";
    AppendHtmlText(quoted, text);
    return quoted + "“";
}

std::string DescribeNameMatches(const ListPage& page) {
    const std::string name = Quoted(page.name);
    if (page.matches == 0) return "Kein Name beginnt mit " + name;
    if (page.matches == 1) return "Ein Name beginnt mit " + name;
    const std::string count = std::to_string(page.matches);
    if (page.matches == static_cast<std::int64_t>(page.rows.size())) return count + " Namen beginnen mit " + name;
    return "Die ersten " + std::to_string(page.rows.size()) + " von " + count + " Namen, die mit " + name + " beginnen";
}

// What the table shows, as its heading.
std::string DescribeRows(const ListPage& page) {
    switch (page.view) {
        case PageView::Score:
            return std::to_string(page.points) + " Punkte kämen auf Platz " + std::to_string(page.place);
        case PageView::Names:
            return DescribeNameMatches(page);
        case PageView::Places:
            break;
    }
    if (page.total == 0) return "Noch keine Einträge";
    if (page.rows.empty()) return "Die Liste hat nur " + std::to_string(page.total) + " Einträge";
    return "Plätze " + std::to_string(page.rows.front().place) + " bis " + std::to_string(page.rows.back().place);
}

// A link to the places from `first` on, within the verified entries where the page shows
// those alone.
std::string LinkWithin(const ListPage& page, const std::string& base, std::int64_t first) {
    std::string link = LinkToPlace(base, first);
    if (page.verified_only) link += link == base ? "?geprueft=1" : "&geprueft=1";
    return link;
}

void AppendPaging(std::string& html, const ListPage& page, const PageLinks& links) {
    html += "<nav class=\"blaettern\" aria-label=\"Blättern\"><a href=\"";
    AppendHtmlText(html, LinkWithin(page, links.base, 1));
    html += "\">Anfang</a>";
    if (page.previous) {
        html += " <a rel=\"prev\" href=\"";
        AppendHtmlText(html, LinkWithin(page, links.base, *page.previous));
        html += "\">vorige 100</a>";
    }
    if (page.next) {
        html += " <a rel=\"next\" href=\"";
        AppendHtmlText(html, LinkWithin(page, links.base, *page.next));
        html += "\">nächste 100</a>";
    }
    html += "</nav>\n";
}

// What the mark means, and the way to the other listing.
void AppendVerifiedNote(std::string& html, const ListPage& page, const PageLinks& links) {
    html += "<p class=\"geprueft-hinweis\">";
    html += VerifiedMeaning;
    html += " <a href=\"";
    AppendHtmlText(html, page.verified_only ? links.base : links.base + "?geprueft=1");
    html += page.verified_only ? "\">Alle Einträge zeigen</a></p>\n" : "\">Nur geprüfte Einträge zeigen</a></p>\n";
}

void AppendFooter(std::string& html, const PageLinks& links) {
    html += "<footer><p>Die Liste für Programme: <a href=\"";
    AppendHtmlText(html, links.base);
    html += "api/v1/scores\">JSON</a></p></footer>\n</body>\n</html>\n";
}

}  // namespace

void AppendPageHead(std::string& html, std::string_view title, const PageLinks& links, std::string_view more_head) {
    html += "<!DOCTYPE html>\n<html lang=\"de\">\n<head>\n<meta charset=\"utf-8\">\n"
            "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
    AppendHtmlText(html, title);
    html += "</title>\n<link rel=\"stylesheet\" href=\"";
    AppendHtmlText(html, links.stylesheet);
    html += "\">\n<link rel=\"icon\" type=\"image/svg+xml\" href=\"";
    AppendHtmlText(html, links.icon);
    html += "\">\n";
    html += more_head;
    html += "</head>\n<body>\n<header>\n<h1><a href=\"";
    AppendHtmlText(html, links.base);
    html += "\">";
    html += Title;
    html += "</a></h1>\n";
}

std::string LinkToPlace(const std::string& base, std::int64_t first) {
    return first <= 1 ? base : base + "?ab=" + std::to_string(first);
}

std::string RenderListPage(const ListPage& page, const PageLinks& links) {
    std::string html;
    html.reserve(16384 + page.rows.size() * 120);
    AppendHead(html, Title, links);
    html += "<p class=\"gesamt\">" + std::to_string(page.total) +
            (page.total == 1 ? " Eintrag" : " Einträge") + (page.verified_only ? ", nur geprüfte" : "") +
            "</p>\n</header>\n";
    AppendForms(html, page, links);
    AppendVerifiedNote(html, page, links);
    html += "<main>\n<h2>" + DescribeRows(page) + "</h2>\n";
    AppendTable(html, "id=\"liste\"", page.rows, links);
    AppendPaging(html, page, links);
    html += "<section aria-labelledby=\"verteilung\">\n<h2 id=\"verteilung\">Verteilung der Punkte</h2>\n";
    AppendScoreChart(html, page.distribution, page.mark);
    html += "\n</section>\n<section aria-labelledby=\"neueste\">\n<h2 id=\"neueste\">Neueste Einträge</h2>\n";
    AppendTable(html, "class=\"neueste\"", page.newest, links);
    html += "</section>\n</main>\n";
    AppendFooter(html, links);
    return html;
}

std::string RenderErrorPage(std::string_view message, const PageLinks& links) {
    std::string html;
    AppendHead(html, std::string(Title) + ": Fehler", links);
    html += "</header>\n<main>\n<p class=\"fehler\">";
    AppendHtmlText(html, message);
    html += "</p>\n<p><a href=\"";
    AppendHtmlText(html, links.base);
    html += "\">Zur Bestenliste</a></p>\n</main>\n</body>\n</html>\n";
    return html;
}

}  // namespace zorblet::server

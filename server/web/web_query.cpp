#include "web/web_query.h"

#include <algorithm>
#include <limits>

#include "platform/cp1252.h"
#include "query/query.h"
#include "query/values.h"
#include "store/score_board.h"

namespace zorblet::server {

namespace {

constexpr std::int64_t LargestPlace = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t LowestPoints = std::numeric_limits<std::int32_t>::min();

enum class Language { German, English };

std::string Phrase(Language language, std::string german, std::string english) {
    return language == Language::German ? std::move(german) : std::move(english);
}

std::string Quote(Language language, std::string_view name) {
    return language == Language::German ? "„" + std::string(name) + "“" : std::string(name);
}

// The value of a parameter given at most once: nullopt when absent; `problem` set when twice.
std::optional<std::string> FindOnce(const QueryParameters& parameters, std::string_view name, Language language,
                                    std::string& problem) {
    std::optional<std::string> found;
    for (const auto& [key, value] : parameters) {
        if (key != name) continue;
        if (found && problem.empty()) {
            problem = Phrase(language, Quote(language, name) + " ist mehrfach angegeben.",
                             "parameter " + std::string(name) + " is given twice");
        }
        found = value;
    }
    return found;
}

// A whole number from `lowest` to `highest`: an optional '-' and at most ten digits.
std::optional<std::int64_t> CheckNumber(const std::string& text, std::string_view name, std::int64_t lowest,
                                        std::int64_t highest, Language language, std::string& problem) {
    const std::optional<std::int32_t> number = ParsePoints(text);
    if (number && *number >= lowest && *number <= highest) return *number;
    if (problem.empty()) {
        const std::string range = std::to_string(lowest) + (language == Language::German ? " bis " : " to ") +
                                  std::to_string(highest);
        problem = Phrase(language, Quote(language, name) + " muss eine ganze Zahl von " + range + " sein.",
                         std::string(name) + " must be a whole number from " + range);
    }
    return std::nullopt;
}

std::optional<NameSearch> CheckName(const std::string& typed, Language language, std::string& problem) {
    const std::optional<std::size_t> characters = platform::CountUtf8Characters(typed);
    std::string found;
    if (!characters) {
        found = Phrase(language, "Der Name ist kein gültiges UTF-8.", "name is not valid UTF-8");
    } else if (*characters > MaxNameLength) {
        found = Phrase(language, "Ein Name hat höchstens 24 Zeichen.", "name must be at most 24 characters");
    } else if (std::any_of(typed.begin(), typed.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; })) {
        found = Phrase(language, "Der Name enthält ein Steuerzeichen.", "name contains a control character");
    }
    if (!found.empty()) {
        if (problem.empty()) problem = std::move(found);
        return std::nullopt;
    }
    return NameSearch{typed, platform::Utf8ToCp1252(typed)};
}

std::optional<QueryParameters> Decode(std::string_view query, Language language, std::string& problem) {
    std::optional<QueryParameters> parameters = ParseQuery(query);
    if (!parameters) {
        problem = Phrase(language, "Die Anfrage enthält ein %-Zeichen ohne zwei Hexadezimalziffern dahinter.",
                         "malformed percent escape in query");
    }
    return parameters;
}

// Decodes the query and lets `read` fill a Query from its parameters, noting the first
// problem it finds.
template <typename Query, typename Read>
Checked<Query> CheckQuery(std::string_view raw, Language language, Read read) {
    std::string problem;
    const std::optional<QueryParameters> parameters = Decode(raw, language, problem);
    if (!parameters) return {std::nullopt, std::move(problem)};
    Query query;
    read(*parameters, query, problem);
    if (!problem.empty()) return {std::nullopt, std::move(problem)};
    return {std::move(query), {}};
}

}  // namespace

Checked<PageQuery> CheckPageQuery(std::string_view raw) {
    constexpr Language German = Language::German;
    return CheckQuery<PageQuery>(raw, German, [](const QueryParameters& parameters, PageQuery& query,
                                                 std::string& problem) {
        const std::optional<std::string> ab = FindOnce(parameters, "ab", German, problem);
        const std::optional<std::string> punkte = FindOnce(parameters, "punkte", German, problem);
        std::optional<std::string> name = FindOnce(parameters, "name", German, problem);
        if (name && name->empty()) name.reset();  // an empty search form
        if (ab.has_value() + punkte.has_value() + name.has_value() > 1 && problem.empty()) {
            problem = "Bitte nur eines von „ab“, „punkte“ und „name“ angeben.";
        }
        if (ab) {
            query.first = CheckNumber(*ab, "ab", 1, LargestPlace, German, problem).value_or(1);
        } else if (punkte) {
            query.view = PageView::Score;
            query.points = static_cast<std::int32_t>(
                CheckNumber(*punkte, "punkte", LowestPoints, LargestPlace, German, problem).value_or(0));
        } else if (name) {
            query.view = PageView::Names;
            query.name = CheckName(*name, German, problem).value_or(NameSearch{});
        }
    });
}

Checked<ScoresQuery> CheckScoresQuery(std::string_view raw) {
    constexpr Language English = Language::English;
    return CheckQuery<ScoresQuery>(raw, English, [](const QueryParameters& parameters, ScoresQuery& query,
                                                    std::string& problem) {
        if (const auto from = FindOnce(parameters, "from", English, problem)) {
            query.from = CheckNumber(*from, "from", 1, LargestPlace, English, problem).value_or(1);
        }
        if (const auto count = FindOnce(parameters, "count", English, problem)) {
            query.count = CheckNumber(*count, "count", 1, MaxScoresCount, English, problem).value_or(1);
        }
    });
}

Checked<PlaceQuery> CheckPlaceQuery(std::string_view raw) {
    constexpr Language English = Language::English;
    return CheckQuery<PlaceQuery>(raw, English, [](const QueryParameters& parameters, PlaceQuery& query,
                                                   std::string& problem) {
        const std::optional<std::string> points = FindOnce(parameters, "points", English, problem);
        if (!points) {
            if (problem.empty()) problem = "parameter points is missing";
            return;
        }
        query.points = static_cast<std::int32_t>(
            CheckNumber(*points, "points", LowestPoints, LargestPlace, English, problem).value_or(0));
    });
}

Checked<SearchQuery> CheckSearchQuery(std::string_view raw) {
    constexpr Language English = Language::English;
    return CheckQuery<SearchQuery>(raw, English, [](const QueryParameters& parameters, SearchQuery& query,
                                                    std::string& problem) {
        const std::optional<std::string> name = FindOnce(parameters, "name", English, problem);
        if ((!name || name->empty()) && problem.empty()) problem = "parameter name is missing or empty";
        if (name) query.name = CheckName(*name, English, problem).value_or(NameSearch{});
    });
}

}  // namespace zorblet::server

#include "highscore/service_api.h"

#include <charconv>
#include <limits>

#include <nlohmann/json.hpp>

#include "highscore/url_encoding.h"
#include "platform/cp1252.h"
#include "record/game_record.h"

namespace zorblet::highscore {

namespace {

using nlohmann::json;

// The body as a JSON object; a discarded value for anything else (the parser throws nothing).
json ParseObject(std::string_view body, std::size_t limit) {
    if (body.size() > limit) return json(json::value_t::discarded);
    json value = json::parse(body.begin(), body.end(), nullptr, false);
    if (!value.is_object()) return json(json::value_t::discarded);
    return value;
}

const json* Field(const json& object, const char* name) {
    const auto found = object.find(name);
    return found == object.end() ? nullptr : &*found;
}

// A whole number in JSON's integer form (never 1.0 or 1e3) within the type's range.
template <typename Integer>
std::optional<Integer> WholeNumber(const json* value) {
    if (value == nullptr) return std::nullopt;
    if (value->is_number_unsigned()) {
        const auto number = value->get<std::uint64_t>();
        if (number > static_cast<std::uint64_t>(std::numeric_limits<Integer>::max())) return std::nullopt;
        return static_cast<Integer>(number);
    }
    if (value->is_number_integer()) {
        const auto number = value->get<std::int64_t>();
        if (number < static_cast<std::int64_t>(std::numeric_limits<Integer>::min())) return std::nullopt;
        if (number > 0 && static_cast<std::uint64_t>(number) > std::numeric_limits<Integer>::max()) return std::nullopt;
        return static_cast<Integer>(number);
    }
    return std::nullopt;
}

const std::string* Text(const json* value) {
    return value != nullptr && value->is_string() ? &value->get_ref<const std::string&>() : nullptr;
}

// Reads digits digits of text from at into value; false when they are not all digits.
bool ReadDigits(std::string_view text, std::size_t at, std::size_t digits, int& value) {
    if (at + digits > text.size()) return false;
    for (std::size_t i = at; i < at + digits; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
    }
    std::from_chars(text.data() + at, text.data() + at + digits, value);
    return true;
}

bool IsAt(std::string_view text, std::size_t at, char expected) {
    return at < text.size() && text[at] == expected;
}

// The offset from UTC that ends an RFC 3339 time: "Z" or "+hh:mm" / "-hh:mm".
std::optional<std::chrono::minutes> ReadOffset(std::string_view rest) {
    if (rest == "Z" || rest == "z") return std::chrono::minutes(0);
    int hours = 0, minutes = 0;
    if (rest.size() != 6 || (rest[0] != '+' && rest[0] != '-') || !ReadDigits(rest, 1, 2, hours) ||
        !IsAt(rest, 3, ':') || !ReadDigits(rest, 4, 2, minutes) || hours > 23 || minutes > 59) {
        return std::nullopt;
    }
    const std::chrono::minutes offset(hours * 60 + minutes);
    return rest[0] == '+' ? offset : -offset;
}

// A sentence shortened to the status line: cut at a word where one is near the end, and
// "…" (Windows-1252 0x85) said where it was cut.
std::string ShortenedToStatusLine(std::string text) {
    if (text.size() <= MaxRefusalCharacters) return text;
    std::size_t cut = MaxRefusalCharacters - 1;
    const std::size_t space = text.rfind(' ', cut);
    if (space != std::string::npos && space >= MaxRefusalCharacters / 2) cut = space;
    while (cut > 0 && text[cut - 1] == ' ') --cut;
    return text.substr(0, cut) + '\x85';
}

}  // namespace

// The service's UTF-8 sentence as the game's fonts draw it: nothing when it is empty, or
// has a character outside Windows-1252 or a control character (a line break too).
std::optional<std::string> ShownSentence(std::string_view utf8) {
    std::optional<std::string> shown = platform::Utf8ToCp1252(utf8);
    if (!shown || shown->empty()) return std::nullopt;
    for (char c : *shown) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) return std::nullopt;
    }
    return ShortenedToStatusLine(std::move(*shown));
}

std::optional<WallTime> ParseIsoTime(std::string_view text) {
    using namespace std::chrono;
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    const bool fields = ReadDigits(text, 0, 4, y) && IsAt(text, 4, '-') && ReadDigits(text, 5, 2, mo) &&
                        IsAt(text, 7, '-') && ReadDigits(text, 8, 2, d) && (IsAt(text, 10, 'T') || IsAt(text, 10, 't')) &&
                        ReadDigits(text, 11, 2, h) && IsAt(text, 13, ':') && ReadDigits(text, 14, 2, mi) &&
                        IsAt(text, 16, ':') && ReadDigits(text, 17, 2, s);
    if (!fields || h > 23 || mi > 59 || s > 60) return std::nullopt;
    const year_month_day day{year(y), month(static_cast<unsigned>(mo)), std::chrono::day(static_cast<unsigned>(d))};
    if (!day.ok()) return std::nullopt;
    std::size_t at = 19;
    if (IsAt(text, at, '.')) {  // a fraction of a second: at least one digit, and dropped
        const std::size_t first = ++at;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
        if (at == first) return std::nullopt;
    }
    const std::optional<minutes> offset = ReadOffset(text.substr(at));
    if (!offset) return std::nullopt;
    return WallTime(sys_days(day).time_since_epoch() + hours(h) + minutes(mi) + seconds(s) - *offset);
}

std::optional<Ticket> ParseTicketAnswer(std::string_view body, WallTime now) {
    const json answer = ParseObject(body, MaxTicketAnswerBytes);
    if (answer.is_discarded()) return std::nullopt;
    const std::string* text = Text(Field(answer, "ticket"));
    const std::optional<std::uint64_t> seed = WholeNumber<std::uint64_t>(Field(answer, "seed"));
    const std::string* expires = Text(Field(answer, "expires"));
    if (text == nullptr || text->empty() || text->size() > record::MaxTicketBytes) return std::nullopt;
    if (!seed || *seed >= TicketSeedLimit || expires == nullptr) return std::nullopt;
    const std::optional<WallTime> until = ParseIsoTime(*expires);
    if (!until || *until <= now) return std::nullopt;
    return Ticket{*text, static_cast<std::uint32_t>(*seed), *until};
}

std::optional<StoredRecord> ParseStoredAnswer(std::string_view body) {
    const json answer = ParseObject(body, MaxSubmissionAnswerBytes);
    if (answer.is_discarded()) return std::nullopt;
    const auto id = WholeNumber<std::int64_t>(Field(answer, "id"));
    const auto place = WholeNumber<std::int64_t>(Field(answer, "place"));
    const auto points = WholeNumber<std::int32_t>(Field(answer, "points"));
    const json* verified = Field(answer, "verified");
    if (!id || !place || !points || verified == nullptr || !verified->is_boolean()) return std::nullopt;
    return StoredRecord{*id, *place, *points, verified->get<bool>()};
}

std::optional<std::string> ParseRefusalText(std::string_view body) {
    const json answer = ParseObject(body, MaxSubmissionAnswerBytes);
    if (answer.is_discarded()) return std::nullopt;
    const std::string* text = Text(Field(answer, "text"));
    if (text == nullptr) return std::nullopt;
    return ShownSentence(*text);
}

std::optional<std::string> ParseSeedRefusalText(std::string_view body) {
    if (body.size() > MaxSubmissionAnswerBytes) return std::nullopt;
    if (!ParseObject(body, MaxSubmissionAnswerBytes).is_discarded()) return ParseRefusalText(body);
    // A plain line: UTF-8 as the service's texts are, or else the game's own code page.
    std::string_view line = body.substr(0, body.find_first_of("\r\n"));
    while (!line.empty() && line.back() == ' ') line.remove_suffix(1);
    if (line.starts_with('<')) return std::nullopt;  // a page of a proxy on the way, not the list's words
    if (platform::CountUtf8Characters(line)) return ShownSentence(line);
    return ShownSentence(platform::Cp1252ToUtf8(line));
}

EntryAnswer ParseEntryAnswer(std::string_view body) {
    const json answer = ParseObject(body, MaxEntryAnswerBytes);
    const json* entries = answer.is_discarded() ? nullptr : Field(answer, "entries");
    if (entries == nullptr || !entries->is_array()) return {};
    EntryAnswer read{.Readable = true, .Entry = std::nullopt};
    if (entries->empty()) return read;
    const json& first = entries->front();
    if (!first.is_object()) return {};
    const auto place = WholeNumber<std::int64_t>(Field(first, "place"));
    const auto points = WholeNumber<std::int32_t>(Field(first, "points"));
    const std::string* name = Text(Field(first, "name"));
    if (!place || !points || name == nullptr) return {};
    ListedEntry entry{.Place = *place, .Points = *points, .Name = *name, .Verified = false, .Id = std::nullopt,
                      .HasVerifiedField = false};
    const json* verified = Field(first, "verified");
    entry.HasVerifiedField = verified != nullptr && verified->is_boolean();
    entry.Verified = entry.HasVerifiedField && verified->get<bool>();
    if (const json* id = Field(first, "id"); id != nullptr) {
        entry.Id = WholeNumber<std::int64_t>(id);
        if (!entry.Id) return {};
    }
    read.Entry = std::move(entry);
    return read;
}

std::string TicketUrl(std::string_view server) {
    return std::string(server) + "api/v1/games/new";
}

std::string RecordSubmitUrl(std::string_view server, std::string_view nameCp1252) {
    return std::string(server) + "api/v1/games?name=" + PercentEncode(platform::Cp1252ToUtf8(nameCp1252));
}

std::string EntryUrl(std::string_view server, std::int64_t place) {
    return std::string(server) + "api/v1/scores?from=" + std::to_string(place) + "&count=1";
}

std::string KeptRecordUrl(std::string_view server, std::int64_t id) {
    return std::string(server) + "api/v1/games/" + std::to_string(id);
}

}  // namespace zorblet::highscore

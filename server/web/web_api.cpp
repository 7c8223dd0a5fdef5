#include "web/web_api.h"

#include <optional>

#include "query/values.h"
#include "web/web_text.h"

namespace zorblet::server {

namespace {

void AppendEntries(std::string& json, const std::vector<ListRow>& rows) {
    json += "\"entries\": [";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const ListRow& row = rows[i];
        json += i == 0 ? "\n" : ",\n";
        json += "{\"place\": " + std::to_string(row.place) + ", \"points\": " + std::to_string(row.points) +
                ", \"name\": ";
        AppendJsonString(json, row.name);
        json += ", \"date\": ";
        const std::optional<std::string> date = IsoDateOf(row.date);
        if (date) {
            AppendJsonString(json, *date);
        } else {
            json += "null";
        }
        json += "}";
    }
    json += rows.empty() ? "]" : "\n]";
}

}  // namespace

std::string FormatScoresJson(std::int64_t total, const std::vector<ListRow>& rows) {
    std::string json;
    json.reserve(64 + rows.size() * 80);
    json += "{\"total\": " + std::to_string(total) + ", ";
    AppendEntries(json, rows);
    json += "}\n";
    return json;
}

std::string FormatPlaceJson(std::int32_t points, std::int64_t place, std::int64_t total) {
    return "{\"points\": " + std::to_string(points) + ", \"place\": " + std::to_string(place) +
           ", \"total\": " + std::to_string(total) + "}\n";
}

std::string FormatEntriesJson(const std::vector<ListRow>& rows) {
    std::string json = "{";
    AppendEntries(json, rows);
    json += "}\n";
    return json;
}

std::string FormatErrorJson(std::string_view message) {
    std::string json = "{\"error\": ";
    AppendJsonString(json, message);
    json += "}\n";
    return json;
}

}  // namespace zorblet::server

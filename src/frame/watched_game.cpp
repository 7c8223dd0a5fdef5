#include "frame/watched_game.h"

#include <optional>
#include <span>

#include "highscore/fetch_url.h"
#include "highscore/service_api.h"

namespace zorblet::frame {

namespace {

std::string Line(const std::string& says) {
    return "zorblet: " + says + ".\n";
}

// The list's words as the terminal shows them: no control character reaches it.
std::string Printable(std::string text) {
    for (char& c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) c = '?';
    }
    return text;
}

std::string ListAt(const std::string& server) {
    return "die Highscore-Liste unter " + Printable(server);
}

std::string Unexpected(const std::string& server, int status) {
    return Line(ListAt(server) + " antwortet nicht wie erwartet (Status " + std::to_string(status) + ")");
}

std::string NoRecords(const std::string& server) {
    return Line(ListAt(server) + " bietet keine aufgezeichneten Partien an");
}

std::string EntryName(const highscore::ListedEntry& entry) {
    return "„" + Printable(entry.Name) + "“, " + std::to_string(entry.Points) + " Punkte";
}

// The entry at the place, or why there is none to watch.
struct EntryLookup {
    std::optional<highscore::ListedEntry> Entry;
    std::string Problem;
};

EntryLookup LookUpEntry(platform::HttpTransport& http, platform::Clock& clock, const std::string& server,
                        std::int32_t place) {
    const highscore::FetchResult reply = highscore::FetchUrl(http, clock, highscore::EntryUrl(server, place));
    if (reply.Failed()) return {std::nullopt, Line(ListAt(server) + " ist nicht erreichbar")};
    if (reply.Status == 404 || reply.Status == 405) return {std::nullopt, NoRecords(server)};
    if (reply.Status != 200) return {std::nullopt, Unexpected(server, reply.Status)};
    const highscore::EntryAnswer answer = highscore::ParseEntryAnswer(reply.Body);
    if (!answer.Readable) return {std::nullopt, Unexpected(server, reply.Status)};
    const std::string at = "Platz " + std::to_string(place);
    if (!answer.Entry || answer.Entry->Place != place) {
        return {std::nullopt, Line("auf " + at + " der Highscore-Liste steht kein Eintrag")};
    }
    const highscore::ListedEntry& entry = *answer.Entry;
    if (!entry.HasVerifiedField || !entry.Id || *entry.Id < 1) return {std::nullopt, NoRecords(server)};
    if (!entry.Verified) {
        return {std::nullopt, Line("der Eintrag auf " + at + " (" + EntryName(entry) +
                                   ") ist nicht geprüft; nur geprüfte Partien lassen sich ansehen")};
    }
    return {entry, {}};
}

}  // namespace

LoadedRecord FetchWatchedGame(platform::HttpTransport& http, platform::Clock& clock, const std::string& server,
                              std::int32_t place) {
    LoadedRecord loaded;
    const EntryLookup lookup = LookUpEntry(http, clock, server, place);
    if (!lookup.Entry) {
        loaded.Problem = lookup.Problem;
        return loaded;
    }
    const highscore::ListedEntry& entry = *lookup.Entry;
    const std::string at = "Platz " + std::to_string(place);
    const highscore::FetchResult reply = highscore::SendRequest(
        http, clock, platform::GetRequest(highscore::KeptRecordUrl(server, *entry.Id), /*binaryReply=*/true));
    if (reply.Failed()) {
        loaded.Problem = Line(ListAt(server) + " ist nicht erreichbar");
    } else if (reply.Status == 404) {
        loaded.Problem = Line("von der Partie auf " + at + " (" + EntryName(entry) + ") ist keine Aufzeichnung aufbewahrt");
    } else if (reply.Status != 200) {
        loaded.Problem = Unexpected(server, reply.Status);
    }
    if (!loaded.Problem.empty()) return loaded;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(reply.Body.data());
    loaded = LoadRecordBytes(std::span(bytes, reply.Body.size()), "die Aufzeichnung von " + at);
    if (!loaded.Problem.empty()) return loaded;
    const std::int32_t replayed = *loaded.Verdict.ReplayedScore;
    if (!loaded.Verdict.ScoreMatches() || replayed != entry.Points) {
        loaded.Problem = Line("die Aufzeichnung von " + at + " ergibt nachgerechnet " + std::to_string(replayed) +
                              " Punkte, die Liste nennt " + std::to_string(entry.Points));
    }
    return loaded;
}

}  // namespace zorblet::frame

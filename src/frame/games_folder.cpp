#include "frame/games_folder.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <regex>
#include <set>
#include <thread>

#include "platform/small_file.h"
#include "record/record_format.h"

namespace zorblet::frame {

namespace {

void Warn(const std::string& text) {
    std::fputs(text.c_str(), stderr);
}

// The later game first: by the time it ended, then by its number among equal names.
bool EndedLater(const KeptGame& a, const KeptGame& b) {
    return std::tie(a.Ended, a.Number) > std::tie(b.Ended, b.Number);
}

// The higher score first; of equal scores the one that ended first.
bool ScoredHigher(const KeptGame& a, const KeptGame& b) {
    if (a.Score != b.Score) return a.Score > b.Score;
    return EndedLater(b, a);
}

}  // namespace

std::string RecordFileStem(const std::tm& ended, std::int32_t score) {
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H-%M-%S", &ended);
    return std::string(stamp) + "_" + std::to_string(score) + "-Punkte";
}

std::optional<KeptGame> ReadRecordFileName(std::string_view name) {
    static const std::regex Pattern(
        R"(^(\d{4}-\d\d-\d\d_\d\d-\d\d-\d\d)_(-?\d{1,10})-Punkte(-([2-9]|[1-9]\d))?\.zrec$)");
    std::match_results<std::string_view::const_iterator> match;
    if (!std::regex_match(name.begin(), name.end(), match, Pattern)) return std::nullopt;
    const long long score = std::stoll(match[2].str());
    if (score < INT32_MIN || score > INT32_MAX) return std::nullopt;
    return KeptGame{.Name = std::string(name),
                    .Ended = match[1].str(),
                    .Number = match[4].matched ? std::stoi(match[4].str()) : 1,
                    .Score = static_cast<std::int32_t>(score)};
}

std::vector<std::string> GamesToRemove(std::vector<KeptGame> games) {
    std::set<std::string> kept;
    std::sort(games.begin(), games.end(), EndedLater);
    for (std::size_t i = 0; i < games.size() && i < KeptLastGames; ++i) kept.insert(games[i].Name);
    std::sort(games.begin(), games.end(), ScoredHigher);
    for (std::size_t i = 0; i < games.size() && i < KeptBestGames; ++i) kept.insert(games[i].Name);
    std::vector<std::string> removed;
    for (const KeptGame& game : games) {
        if (!kept.contains(game.Name)) removed.push_back(game.Name);
    }
    std::sort(removed.begin(), removed.end());
    return removed;
}

GamesFolder::GamesFolder(platform::Folder& folder, platform::Clock& clock, LocalTime now)
    : folder_(folder), now_(std::move(now)), writer_(clock) {}

GamesFolder::~GamesFolder() {
    Flush();
}

void GamesFolder::Flush() {
    while (writer_.Busy()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

std::tm GamesFolder::CurrentLocalTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

void GamesFolder::KeepGame(std::shared_ptr<const record::GameRecord> game) {
    writer_.Post([this, game = std::move(game)] { Write(*game); });
}

void GamesFolder::Write(const record::GameRecord& game) {
    std::vector<std::uint8_t> bytes;
    try {
        bytes = record::EncodeRecord(game);
    } catch (const std::exception& error) {
        Warn(std::string("Zorblet: die Aufzeichnung der Partie lässt sich nicht speichern (") + error.what() + ").\n");
        return;
    }
    const platform::NewFile file =
        folder_.WriteNew(RecordFileStem(now_(), game.Score), RecordFileExtension,
                         std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    if (!file.Error.empty()) {
        Warn("Zorblet: die Aufzeichnung der Partie lässt sich nicht speichern (" + file.Error + ").\n");
        return;
    }
    RemoveSurplusGames();
}

// Only files the game named are ever removed: whatever else the player puts there stays.
void GamesFolder::RemoveSurplusGames() {
    std::vector<KeptGame> games;
    for (const std::string& name : folder_.FileNames()) {
        if (std::optional<KeptGame> game = ReadRecordFileName(name)) games.push_back(std::move(*game));
    }
    for (const std::string& name : GamesToRemove(std::move(games))) folder_.Remove(name);
}

}  // namespace zorblet::frame

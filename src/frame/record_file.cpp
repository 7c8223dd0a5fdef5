#include "frame/record_file.h"

#include <span>

#include "platform/small_file.h"
#include "record/game_record.h"

namespace zorblet::frame {

namespace {

std::string Quoted(const std::filesystem::path& path) {
    return "„" + path.string() + "“";
}

std::string ProblemLine(std::string_view what, const std::string& says) {
    return "zorblet: " + std::string(what) + " " + says + ".\n";
}

std::string ProblemLine(const std::filesystem::path& path, const std::string& says) {
    return ProblemLine(std::string_view(Quoted(path)), says);
}

// The format version a later writer put at offset 4, for the line that names it.
unsigned FormatVersionOf(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 6 ? static_cast<unsigned>(bytes[4] | bytes[5] << 8) : 0;
}

std::string DecodeProblem(record::DecodeError error, std::span<const std::uint8_t> bytes) {
    switch (error) {
        case record::DecodeError::None:
            break;
        case record::DecodeError::Empty:
            return "ist leer, keine Aufzeichnung einer Partie";
        case record::DecodeError::ForeignFile:
            return "ist keine Aufzeichnung einer Zorblet-Partie";
        case record::DecodeError::Truncated:
            return "ist unvollständig: die Aufzeichnung bricht ab";
        case record::DecodeError::TrailingData:
            return "ist beschädigt: hinter dem Ende der Aufzeichnung folgen weitere Daten";
        case record::DecodeError::ChecksumMismatch:
            return "ist beschädigt: die Prüfsumme stimmt nicht";
        case record::DecodeError::FutureVersion:
            return "stammt von einer neueren Zorblet-Version (Format " + std::to_string(FormatVersionOf(bytes)) +
                   "); diese liest Format " + std::to_string(record::CurrentFormatVersion);
        case record::DecodeError::TooManyFrames:
            return "ist beschädigt: die Partie wäre länger als drei Stunden";
        case record::DecodeError::PayloadTooLarge:
        case record::DecodeError::Corrupt:
            return "ist beschädigt: ihr Inhalt ist keine lesbare Partie";
    }
    return {};
}

std::string RulesProblem(const replay::RecordVerdict& verdict) {
    const record::GameRecord& game = *verdict.Record;
    switch (verdict.Rules) {
        case replay::RulesProblem::None:
            break;
        case replay::RulesProblem::OtherRules:
            return "wurde nach anderen Spielregeln gespielt (Version " + std::to_string(game.RulesVersion) +
                   "); diese Zorblet-Version spielt nach Version " + std::to_string(world::RulesVersion);
        case replay::RulesProblem::SeedOutOfRange:
            return "nennt einen Startwert (" + std::to_string(game.Seed) + "), den die Spielregeln der Version " +
                   std::to_string(world::RulesVersion) + " nicht kennen";
    }
    return {};
}

const char* EndName(record::GameEnd end) {
    switch (end) {
        case record::GameEnd::GameOver:
            return "game over";
        case record::GameEnd::Abandoned:
            return "abandoned";
        case record::GameEnd::NewGame:
            return "new game";
    }
    return "?";
}

}  // namespace

LoadedRecord LoadRecordFile(const std::filesystem::path& path) {
    LoadedRecord loaded;
    const platform::FileStart file = platform::ReadFileStart(path, RecordFileLimit);
    if (file.Missing) {
        loaded.Problem = ProblemLine(path, "gibt es nicht");
    } else if (!file.Error.empty()) {
        loaded.Problem = ProblemLine(path, "lässt sich nicht lesen (" + file.Error + ")");
    } else if (file.Truncated) {
        loaded.Problem = ProblemLine(path, "ist zu groß für die Aufzeichnung einer Partie");
    }
    if (!loaded.Problem.empty()) return loaded;
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(file.Text.data()),
                                              file.Text.size());
    return LoadRecordBytes(bytes, Quoted(path));
}

namespace {

// The service's ticket as it was issued, a text; a byte no terminal should get as \xHH.
std::string ShownTicket(const std::vector<std::uint8_t>& ticket) {
    static constexpr char HexDigits[] = "0123456789abcdef";
    std::string shown;
    for (const std::uint8_t byte : ticket) {
        if (byte >= 0x21 && byte < 0x7F && byte != '\\') {
            shown += static_cast<char>(byte);
        } else {
            shown += "\\x";
            shown += HexDigits[byte >> 4];
            shown += HexDigits[byte & 0x0F];
        }
    }
    return shown;
}

}  // namespace

LoadedRecord LoadRecordBytes(std::span<const std::uint8_t> bytes, std::string_view what) {
    LoadedRecord loaded;
    loaded.Verdict = replay::VerifyRecord(bytes);
    if (!loaded.Verdict.Record) {
        loaded.Problem = ProblemLine(what, DecodeProblem(loaded.Verdict.Decoding, bytes));
    } else if (loaded.Verdict.Rules != replay::RulesProblem::None) {
        loaded.Problem = ProblemLine(what, RulesProblem(loaded.Verdict));
    }
    return loaded;
}

int PrintRecordInfo(const std::filesystem::path& path, std::FILE* out, std::FILE* err) {
    const LoadedRecord loaded = LoadRecordFile(path);
    if (!loaded.Problem.empty()) {
        std::fputs(loaded.Problem.c_str(), err);
        return 2;
    }
    const record::GameRecord& game = *loaded.Verdict.Record;
    const std::int32_t replayed = *loaded.Verdict.ReplayedScore;
    std::fprintf(out,
                 "version: %u\nrules version: %u\nseed: %llu\nframes: %zu\nseconds: %.2f\nend: %s\nscore: %d\n"
                 "replayed score: %d\n",
                 static_cast<unsigned>(game.FormatVersion), static_cast<unsigned>(game.RulesVersion),
                 static_cast<unsigned long long>(game.Seed), game.Frames.size(),
                 static_cast<double>(game.Frames.size()) / record::FramesPerSecond, EndName(game.End),
                 static_cast<int>(game.Score), static_cast<int>(replayed));
    if (!game.Ticket.empty()) std::fprintf(out, "ticket: %s\n", ShownTicket(game.Ticket).c_str());
    if (loaded.Verdict.ScoreMatches()) return 0;
    std::fprintf(err, "zorblet: %s ergibt nachgerechnet %d Punkte, nicht %d wie aufgezeichnet.\n", Quoted(path).c_str(),
                 static_cast<int>(replayed), static_cast<int>(game.Score));
    return 1;
}

}  // namespace zorblet::frame

#include "highscore/record_outbox.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <regex>
#include <span>

#include "highscore/url_encoding.h"
#include "platform/cp1252.h"
#include "platform/http_transport.h"
#include "platform/small_file.h"
#include "record/record_format.h"

namespace zorblet::highscore {

namespace {

// A folder's name holds at most 255 bytes; a long address is cut and told apart by a hash.
constexpr std::size_t LongestFolderName = 200;

void Warn(const std::string& text) {
    std::fputs(text.c_str(), stderr);
}

// Every byte but the letters and digits as %XX; keep also lets dots through.
std::string EncodeForFileName(std::string_view bytes, std::string_view keep = {}) {
    static constexpr char HexDigits[] = "0123456789ABCDEF";
    std::string encoded;
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
            keep.find(c) != std::string_view::npos) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += HexDigits[byte >> 4];
            encoded += HexDigits[byte & 0x0F];
        }
    }
    return encoded;
}

std::string ExpiryStamp(WallTime expires) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(expires);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
    return stamp;
}

std::optional<WallTime> ReadExpiryStamp(const std::string& stamp) {
    // 20261212T201503Z as the ISO form the service writes.
    const std::string iso = stamp.substr(0, 4) + "-" + stamp.substr(4, 2) + "-" + stamp.substr(6, 2) + "T" +
                            stamp.substr(9, 2) + ":" + stamp.substr(11, 2) + ":" + stamp.substr(13, 2) + "Z";
    return ParseIsoTime(iso);
}

std::uint64_t Fnv1a(std::string_view text) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ull;
    }
    return hash;
}

// The name in UTF-8 for a line on the terminal.
std::string Described(const KeptRecord& record) {
    return "„" + platform::Cp1252ToUtf8(record.NameCp1252) + "“ (" + std::to_string(record.Points) + " Punkte)";
}

}  // namespace

std::string OutboxFileStem(WallTime expires, std::string_view nameCp1252) {
    return ExpiryStamp(expires) + "_" + EncodeForFileName(platform::Cp1252ToUtf8(nameCp1252));
}

std::optional<OutboxFileName> ReadOutboxFileName(std::string_view fileName) {
    static const std::regex Pattern(R"(^(\d{8}T\d{6}Z)_((?:[A-Za-z0-9]|%[0-9A-F]{2})+)(-([2-9]|[1-9]\d))?\.zrec$)");
    std::match_results<std::string_view::const_iterator> match;
    if (!std::regex_match(fileName.begin(), fileName.end(), match, Pattern)) return std::nullopt;
    const std::optional<WallTime> expires = ReadExpiryStamp(match[1].str());
    const std::optional<std::string> utf8 = PercentDecode(match[2].str());
    if (!expires || !utf8) return std::nullopt;
    std::optional<std::string> name = platform::Utf8ToCp1252(*utf8);
    if (!name) return std::nullopt;
    return OutboxFileName{*expires, std::move(*name)};
}

std::string OutboxFolderName(std::string_view server) {
    std::string name = EncodeForFileName(server, ".");
    if (name.size() <= LongestFolderName) return name;
    char hash[20];
    std::snprintf(hash, sizeof hash, "~%016llx", static_cast<unsigned long long>(Fnv1a(server)));
    return name.substr(0, LongestFolderName - 17) + hash;
}

void RecordOutbox::Keep(KeptRecord& record) {
    if (folder_ == nullptr) return;
    const platform::NewFile file =
        folder_->WriteNew(OutboxFileStem(record.Expires, record.NameCp1252), OutboxFileExtension, record.Bytes);
    if (!file.Error.empty()) {
        Warn("Zorblet: die Partie von " + Described(record) + " lässt sich nicht zum Nachsenden aufbewahren (" +
             file.Error + ").\n");
        return;
    }
    record.FileName = file.Path.filename().string();
}

void RecordOutbox::Remove(KeptRecord& record) {
    if (folder_ != nullptr && !record.FileName.empty()) folder_->Remove(record.FileName);
    record.FileName.clear();
}

void RecordOutbox::Expire(KeptRecord& record) {
    Warn("Zorblet: die Partie von " + Described(record) +
         " wurde nicht rechtzeitig gesendet; ihr Ticket ist abgelaufen, sie wird verworfen.\n");
    Remove(record);
}

std::optional<KeptRecord> RecordOutbox::ReadKept(const std::string& fileName, const OutboxFileName& named) {
    const platform::FileStart file = folder_->Read(fileName, platform::HttpTransport::MaxUploadBytes);
    if (file.Missing) return std::nullopt;
    if (!file.Error.empty()) {
        Warn("Zorblet: die aufbewahrte Partie " + fileName + " lässt sich nicht lesen (" + file.Error + ").\n");
        return std::nullopt;
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(file.Text.data());
    const record::DecodeResult decoded = record::DecodeRecord(std::span(bytes, file.Text.size()));
    if (file.Truncated || !decoded.Record) {
        Warn("Zorblet: die aufbewahrte Partie " + fileName + " ist beschädigt und wird verworfen.\n");
        folder_->Remove(fileName);
        return std::nullopt;
    }
    return KeptRecord{named.NameCp1252, named.Expires, file.Text, decoded.Record->Score, fileName};
}

std::vector<KeptRecord> RecordOutbox::TakeStock(WallTime now) {
    std::vector<KeptRecord> kept;
    if (folder_ == nullptr) return kept;
    std::vector<std::string> names = folder_->FileNames();
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        const std::optional<OutboxFileName> named = ReadOutboxFileName(name);
        if (!named) continue;
        std::optional<KeptRecord> record = ReadKept(name, *named);
        if (!record) continue;
        if (record->Expires <= now) {
            Expire(*record);
        } else {
            kept.push_back(std::move(*record));
        }
    }
    return kept;
}

}  // namespace zorblet::highscore

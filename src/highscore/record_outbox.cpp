#include "highscore/record_outbox.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
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

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsLetterOrDigit(char c) {
    return IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsCapitalHex(char c) {
    return IsDigit(c) || (c >= 'A' && c <= 'F');
}

// 20261212T201503Z: eight digits, T, six digits, Z.
bool IsStamp(std::string_view stamp) {
    for (std::size_t i = 0; i < stamp.size(); ++i) {
        const bool ok = i == 8 ? stamp[i] == 'T' : i == 15 ? stamp[i] == 'Z' : IsDigit(stamp[i]);
        if (!ok) return false;
    }
    return stamp.size() == 16;
}

// The number WriteNew gives a second file of the same stem: 2 to 99, no leading zero.
bool IsSecondFileNumber(std::string_view number) {
    if (number.empty() || number.size() > 2 || !std::all_of(number.begin(), number.end(), IsDigit)) return false;
    return number.size() == 2 ? number[0] != '0' : number[0] >= '2';
}

// Letters, digits and %XX, at least one of them: as EncodeForFileName writes a name.
bool IsEncodedName(std::string_view name) {
    if (name.empty()) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (IsLetterOrDigit(name[i])) continue;
        if (name[i] != '%' || i + 2 >= name.size() || !IsCapitalHex(name[i + 1]) || !IsCapitalHex(name[i + 2])) {
            return false;
        }
        i += 2;
    }
    return true;
}

}  // namespace

std::string OutboxFileStem(WallTime expires, std::string_view nameCp1252) {
    return ExpiryStamp(expires) + "_" + EncodeForFileName(platform::Cp1252ToUtf8(nameCp1252));
}

std::optional<OutboxFileName> ReadOutboxFileName(std::string_view fileName) {
    // STAMP "_" NAME [ "-" 2..99 ] ".zrec", STAMP as 20261212T201503Z, NAME letters, digits
    // and %XX with capital hex digits.
    if (!fileName.ends_with(OutboxFileExtension)) return std::nullopt;
    std::string_view rest = fileName.substr(0, fileName.size() - OutboxFileExtension.size());
    if (rest.size() < 18 || rest[16] != '_') return std::nullopt;
    const std::string stamp(rest.substr(0, 16));
    if (!IsStamp(stamp)) return std::nullopt;
    std::string_view name = rest.substr(17);
    if (const std::size_t dash = name.rfind('-'); dash != std::string_view::npos) {
        if (!IsSecondFileNumber(name.substr(dash + 1))) return std::nullopt;
        name = name.substr(0, dash);
    }
    if (!IsEncodedName(name)) return std::nullopt;
    const std::optional<WallTime> expires = ReadExpiryStamp(stamp);
    const std::optional<std::string> utf8 = PercentDecode(name);
    if (!expires || !utf8) return std::nullopt;
    std::optional<std::string> cp1252 = platform::Utf8ToCp1252(*utf8);
    if (!cp1252) return std::nullopt;
    return OutboxFileName{*expires, std::move(*cp1252)};
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

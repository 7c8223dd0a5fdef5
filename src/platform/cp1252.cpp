#include "platform/cp1252.h"

#include <algorithm>
#include <array>

namespace zorblet::platform {

namespace {

// 0x80 to 0x9F, where Windows-1252 differs from Latin-1.
constexpr char32_t HighControlRange[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178,
};

void AppendUtf8(std::string& out, char32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

// Decodes one UTF-8 sequence at text[at], moving `at` past it; nothing when malformed.
std::optional<char32_t> DecodeUtf8(std::string_view text, std::size_t& at) {
    const auto lead = static_cast<std::uint8_t>(text[at]);
    int length = 0;
    char32_t codePoint = 0;
    if (lead < 0x80) {
        ++at;
        return lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, codePoint = lead & 0x07;
    } else {
        return std::nullopt;
    }
    if (text.size() - at < static_cast<std::size_t>(length)) return std::nullopt;
    for (int k = 1; k < length; ++k) {
        const auto next = static_cast<std::uint8_t>(text[at + k]);
        if ((next & 0xC0) != 0x80) return std::nullopt;
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    constexpr std::array<char32_t, 5> Smallest = {0, 0, 0x80, 0x800, 0x10000};
    if (codePoint < Smallest[length] || codePoint > 0x10FFFF) return std::nullopt;  // overlong or too large
    if (codePoint >= 0xD800 && codePoint <= 0xDFFF) return std::nullopt;          // surrogate
    at += length;
    return codePoint;
}

}  // namespace

char32_t UnicodeOfCp1252(std::uint8_t byte) {
    if (byte >= 0x80 && byte <= 0x9F) return HighControlRange[byte - 0x80];
    return byte;
}

std::optional<std::uint8_t> Cp1252OfUnicode(char32_t codePoint) {
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) return static_cast<std::uint8_t>(codePoint);
    if (codePoint == 0xFFFD) return std::nullopt;
    const auto* found = std::find(std::begin(HighControlRange), std::end(HighControlRange), codePoint);
    if (found == std::end(HighControlRange)) return std::nullopt;
    return static_cast<std::uint8_t>(0x80 + (found - std::begin(HighControlRange)));
}

std::string Cp1252ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (const char byte : text) AppendUtf8(out, UnicodeOfCp1252(static_cast<std::uint8_t>(byte)));
    return out;
}

std::optional<std::string> Utf8ToCp1252(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const std::optional<char32_t> codePoint = DecodeUtf8(text, at);
        if (!codePoint) return std::nullopt;
        const std::optional<std::uint8_t> byte = Cp1252OfUnicode(*codePoint);
        if (!byte) return std::nullopt;
        out += static_cast<char>(*byte);
    }
    return out;
}

std::optional<std::size_t> CountUtf8Characters(std::string_view text) {
    std::size_t characters = 0;
    for (std::size_t at = 0; at < text.size(); ++characters) {
        if (!DecodeUtf8(text, at)) return std::nullopt;
    }
    return characters;
}

char LowerCp1252(char byte) {
    const auto code = static_cast<std::uint8_t>(byte);
    if (code >= 'A' && code <= 'Z') return static_cast<char>(code + 0x20);
    // À..Þ but ×: their small letters stand 0x20 higher.
    if (code >= 0xC0 && code <= 0xDE && code != 0xD7) return static_cast<char>(code + 0x20);
    switch (code) {
        case 0x8A: return static_cast<char>(0x9A);  // Š
        case 0x8C: return static_cast<char>(0x9C);  // Œ
        case 0x8E: return static_cast<char>(0x9E);  // Ž
        case 0x9F: return static_cast<char>(0xFF);  // Ÿ
        default: return byte;
    }
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (prefix.size() > text.size()) return false;
    return std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [](char a, char b) { return LowerCp1252(a) == LowerCp1252(b); });
}

bool ContainsIgnoringCase(std::string_view text, std::string_view needle) {
    const auto found = std::search(text.begin(), text.end(), needle.begin(), needle.end(),
                                   [](char a, char b) { return LowerCp1252(a) == LowerCp1252(b); });
    return found != text.end() || needle.empty();
}

}  // namespace zorblet::platform

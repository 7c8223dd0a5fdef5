#include "web/web_text.h"

#include <array>

#include "platform/cp1252.h"
#include "query/values.h"

namespace zorblet::server {

std::string NameToUtf8(std::string_view name) {
    std::string text = platform::Cp1252ToUtf8(name);
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    }
    return text;
}

std::string GermanDateOf(std::string_view stored) {
    if (!IsoDateOf(stored)) return NameToUtf8(stored);
    std::string german(stored.substr(0, 6));
    return german.append("20").append(stored.substr(6, 2));
}

void AppendHtmlText(std::string& out, std::string_view text) {
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += c;
        }
    }
}

void AppendJsonString(std::string& out, std::string_view text) {
    static constexpr std::array<char, 16> Hex{'0', '1', '2', '3', '4', '5', '6', '7',
                                              '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};
    out += '"';
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            out += "\\u00";
            out += Hex[byte >> 4];
            out += Hex[byte & 0xF];
        } else {
            out += c;
        }
    }
    out += '"';
}

std::string EncodeQueryForUri(std::string_view query) {
    constexpr std::string_view Kept = "-._~!$&'()*+,;=:@/?%";
    constexpr char Hex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(query.size());
    for (const char c : query) {
        const auto byte = static_cast<unsigned char>(c);
        const bool alphanumeric = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (alphanumeric || Kept.find(c) != std::string_view::npos) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += Hex[byte >> 4];
            encoded += Hex[byte & 0x0F];
        }
    }
    return encoded;
}

}  // namespace zorblet::server

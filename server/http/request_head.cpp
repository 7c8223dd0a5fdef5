#include "http/request_head.h"

#include <algorithm>
#include <cctype>

namespace zorblet::server {

namespace {

bool IsControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

bool HasControl(std::string_view text, bool tab_allowed) {
    return std::any_of(text.begin(), text.end(), [tab_allowed](char c) { return IsControl(c) && !(tab_allowed && c == '\t'); });
}

bool NameIs(std::string_view name, std::string_view wanted) {
    return std::equal(name.begin(), name.end(), wanted.begin(), wanted.end(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
}

std::size_t CountFields(const RequestHead& head, std::string_view name) {
    return static_cast<std::size_t>(std::count_if(head.fields.begin(), head.fields.end(),
                                                  [name](const HeadField& field) { return NameIs(field.name, name); }));
}

}  // namespace

std::optional<HeadRefusal> CheckRequestHead(const RequestHead& head) {
    if (head.sent_target_size != head.target.size() || HasControl(head.target, false)) {
        return HeadRefusal{400, "control character in the request target"};
    }
    for (const HeadField& field : head.fields) {
        if (field.hides_bytes || HasControl(field.name, false) || HasControl(field.value, true)) {
            return HeadRefusal{400, "control character in a header field"};
        }
    }
    const std::size_t lengths = CountFields(head, "Content-Length");
    if (lengths > 1) return HeadRefusal{400, "more than one Content-Length"};
    if (lengths == 1 && CountFields(head, "Transfer-Encoding") > 0) {
        return HeadRefusal{400, "both Content-Length and Transfer-Encoding"};
    }
    return std::nullopt;
}

}  // namespace zorblet::server

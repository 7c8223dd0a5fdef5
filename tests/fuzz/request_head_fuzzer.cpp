// libFuzzer over the check of a request's head: the input is the raw bytes of a request,
// read the way the HTTP library reads a head (lines end at LF, the target lies between
// the first and the last space of the request line, names and values are C strings that
// a NUL ends early) and handed to CheckRequestHead. Whatever the bytes, the check keeps
// its promises, checked below: what a proxy could read differently is refused, a plain
// head is not.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "http/request_head.h"

namespace {

using namespace zorblet::server;

#define REQUIRE(condition)                                                               \
    do {                                                                                 \
        if (!(condition)) {                                                              \
            std::fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                \
        }                                                                                \
    } while (false)

std::string_view UpToNul(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

bool IsControl(char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
}

bool HasControl(std::string_view text, bool tab_allowed) {
    for (const char c : text) {
        if (IsControl(c) && !(tab_allowed && c == '\t')) return true;
    }
    return false;
}

bool IsNamed(std::string_view name, std::string_view wanted) {
    if (name.size() != wanted.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char lower = name[i] >= 'A' && name[i] <= 'Z' ? static_cast<char>(name[i] + 32) : name[i];
        if (lower != wanted[i]) return false;
    }
    return true;
}

// The head's lines, each without its LF and a CR right before it; up to the empty line.
std::vector<std::string_view> SplitLines(std::string_view bytes) {
    std::vector<std::string_view> lines;
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        if (end == std::string_view::npos) break;
        std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(end + 1);
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (line.empty()) break;
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string_view> lines = SplitLines(bytes);
    if (lines.empty()) return 0;
    const std::string_view request_line = lines.front();
    const std::size_t first = request_line.find(' ');
    const std::size_t last = request_line.rfind(' ');
    if (first == std::string_view::npos || last <= first) return 0;
    const std::string_view sent_target = request_line.substr(first + 1, last - first - 1);

    RequestHead head;
    head.target = UpToNul(sent_target);
    head.sent_target_size = sent_target.size();
    bool bare_control = HasControl(sent_target, false);
    std::size_t lengths = 0;
    bool chunked = false;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        const std::size_t colon = UpToNul(line).find(':');
        if (colon == std::string_view::npos) return 0;  // the library refuses it itself
        std::string_view value = line.substr(colon + 1);
        while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
        const std::string_view shown = UpToNul(value);
        const bool hides = value.find_first_not_of('\0', shown.size()) != std::string_view::npos;
        head.fields.push_back({line.substr(0, colon), shown, hides});
        bare_control = bare_control || hides || HasControl(line.substr(0, colon), false) || HasControl(shown, true);
        lengths += IsNamed(line.substr(0, colon), "content-length") ? 1 : 0;
        chunked = chunked || IsNamed(line.substr(0, colon), "transfer-encoding");
    }

    const std::optional<HeadRefusal> refusal = CheckRequestHead(head);
    if (refusal) REQUIRE(refusal->status == 400 && !refusal->reason.empty());
    const bool ambiguous = bare_control || lengths > 1 || (lengths == 1 && chunked);
    REQUIRE(refusal.has_value() == ambiguous);
    return 0;
}

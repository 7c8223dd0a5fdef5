#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace zorblet::server {

// One header field as the HTTP library hands it over. The library reads names and values
// as C strings: a NUL ends them early, and the bytes after it are not seen by anyone but
// a proxy in front, which may read them differently.
struct HeadField {
    std::string_view name;
    std::string_view value;
    bool hides_bytes = false;  // the line went on after a NUL
};

// What is known of a request's head once the library has read it.
struct RequestHead {
    std::string_view target;           // up to the first NUL
    std::size_t sent_target_size = 0;  // bytes sent as the target, NULs included
    std::vector<HeadField> fields;
};

struct HeadRefusal {
    int status = 400;
    std::string_view reason;
};

// Whether a head may be answered at all: one that a proxy in front could frame or read
// differently (a NUL or a bare CR in the request line or a field, two Content-Lengths, a
// Content-Length beside a Transfer-Encoding) is refused, and its connection closed, so
// that no request hidden in it is ever served.
std::optional<HeadRefusal> CheckRequestHead(const RequestHead& head);

}  // namespace zorblet::server

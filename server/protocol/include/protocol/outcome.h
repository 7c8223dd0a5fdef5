#pragma once

#include <string>

namespace zorblet::server {

// What the protocol made of a request, in its own terms; whatever carries the request
// to the protocol turns this into its reply.
struct Outcome {
    enum class Kind {
        Found,         // a read: `text` is what was asked for
        Stored,        // a submission was taken (or was a repeat of one taken): `text` says so
        Refused,       // the request is wrong: `text` says why, in one line
        RateLimited,   // the client's allowance is used up: `text` says so
        StorageFault,  // the list cannot be read or written right now: `text` says so
    };
    Kind kind = Kind::Found;
    std::string text;
};

// What became of one submission, for the metrics.
enum class SubmissionOutcome { Stored, Duplicate, RateLimited, RefusedName, Malformed, StorageError };

}  // namespace zorblet::server

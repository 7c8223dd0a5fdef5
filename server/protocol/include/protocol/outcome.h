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
        Forbidden,     // the service takes no request of this kind: `text` says so
        RateLimited,   // the client's allowance is used up: `text` says so
        StorageFault,  // the list cannot be read or written right now: `text` says so
    };
    Kind kind = Kind::Found;
    std::string text;
};

// What became of one submission, for the metrics.
// The seed's request stores unverified; a recorded game is stored verified or refused for
// what its check found, or waits no longer when the replays' queue is full.
enum class SubmissionOutcome {
    Stored,
    Duplicate,
    RateLimited,
    RefusedName,
    Malformed,
    StorageError,
    Verified,
    ReplayMismatch,
    TicketInvalid,
    TicketExpired,
    TicketReused,
    RecordMalformed,
    QueueFull,
    Unverified,  // the seed's request, refused since unverified scores are not taken
};

}  // namespace zorblet::server

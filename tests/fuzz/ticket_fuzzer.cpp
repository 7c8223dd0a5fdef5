// libFuzzer over the reading of the games' tickets, as the service meets them: the bytes
// are taken as a ticket's text, and as a record whose ticket is read the same way. Whatever
// they are, the reader answers with a ticket or a problem, never reads outside them
// (AddressSanitizer) and never overflows (UBSan); a ticket it takes is one the key signs to
// the very same text, so that each ticket has one text only.
//
// The seeds (tests/fuzz/tickets) are tickets signed with the key below, so that the
// mutator starts inside the layout and reaches the signature's check.

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string_view>

#include "record/record_format.h"
#include "ticket/game_ticket.h"

namespace {

using zorblet::server::TicketKey;

#define REQUIRE(condition)                                                               \
    do {                                                                                 \
        if (!(condition)) {                                                              \
            std::fprintf(stderr, "ticket_fuzzer: %s failed at line %d\n", #condition, __LINE__); \
            std::abort();                                                                \
        }                                                                                \
    } while (false)

// The key the seeds were signed with: bytes 0, 1, ..., 31.
const TicketKey& FuzzKey() {
    static const TicketKey key = [] {
        std::array<std::uint8_t, TicketKey::Bytes> bytes{};
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i);
        return TicketKey(bytes);
    }();
    return key;
}

void CheckText(std::string_view text) {
    const zorblet::server::TicketReading reading = FuzzKey().Read(text);
    REQUIRE(reading.ticket.has_value() == (reading.problem == zorblet::server::TicketProblem::None));
    if (reading.ticket) REQUIRE(FuzzKey().Sign(*reading.ticket) == text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CheckText({reinterpret_cast<const char*>(data), size});
    const zorblet::record::DecodeResult decoded = zorblet::record::DecodeRecord(std::span(data, size));
    if (decoded.Record) {
        const auto& ticket = decoded.Record->Ticket;
        CheckText({reinterpret_cast<const char*>(ticket.data()), ticket.size()});
    }
    return 0;
}

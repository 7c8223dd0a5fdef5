#pragma once

#include <string>

#include "store/score_board.h"

namespace zorblet::server {

// What became of a valid submission at the gate.
enum class GateResult { Stored, Repeat, OverLimit };

// Where the per-address allowance and the repeat check meet the store. Every attempt
// takes one submission of its address's allowance; a valid one that repeats a score the
// same address stored within the last minute is not stored again. A store that several
// instances share keeps both in itself, so that they decide as one; a store one service
// has to itself leaves them to that service's memory.
class SubmitGate {
public:
    virtual ~SubmitGate() = default;
    // Takes one submission of the address's allowance for an attempt that is refused
    // anyway; false when the allowance is used up. Throws StorageError.
    virtual bool TakeAllowance(const std::string& address) = 0;
    // Takes the allowance, checks for a repeat and stores the entry, as one step; returns
    // once the entry is stored durably. Throws StorageError, and then a retry is not taken
    // for a repeat of this one unless it was stored after all.
    virtual GateResult Submit(const std::string& address, const ScoreEntry& entry) = 0;
};

}  // namespace zorblet::server

#pragma once
// A record file named on the command line: read, checked that this game can replay it,
// and told in one German line when it cannot; and --replay-info's facts.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "replay/record_player.h"

namespace zorblet::frame {

// No record is longer: the longest game's payload, stored without compression, and room.
inline constexpr std::size_t RecordFileLimit = 16 * 1024 * 1024;

struct LoadedRecord {
    replay::RecordVerdict Verdict;  // the file as a record; replayed when it could be
    std::string Problem;            // one German line for stderr when it cannot be replayed
};

// Reads and verifies the file: a record whose rules this game plays is replayed once,
// without drawing, to the points its inputs give.
LoadedRecord LoadRecordFile(const std::filesystem::path& path);

// The same for bytes from elsewhere; `what` names them in the German line, as the subject
// of its sentence ("die Aufzeichnung von Platz 3").
LoadedRecord LoadRecordBytes(std::span<const std::uint8_t> bytes, std::string_view what);

// --replay-info: the record's facts on out, one "key: value" line each; 0 when its
// replay gives the score it claims, 1 when not (and a German line on err), 2 when it
// cannot be replayed (only the German line, on err).
int PrintRecordInfo(const std::filesystem::path& path, std::FILE* out, std::FILE* err);

}  // namespace zorblet::frame

#pragma once
// The records of games played on a ticket that wait to be sent: each one file in a folder
// of the player's own per highscore service, the record itself (so it replays with
// --replay, and curl can post it), named by its ticket's expiry and the player's name.
// Written whole before the first attempt and removed once the service has answered for
// good, so that a game killed meanwhile sends it at its next start; dropped, with one line
// on standard error, once its ticket has expired. Used on the transfer worker only.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "highscore/service_api.h"
#include "platform/folder.h"

namespace zorblet::highscore {

inline constexpr std::string_view OutboxFileExtension = ".zrec";

// A record on its way to the service.
struct KeptRecord {
    std::string NameCp1252;   // the name it is sent under
    WallTime Expires;         // its ticket's end: no use sending it after that
    std::string Bytes;        // the encoded record, the request's body
    std::int32_t Points = 0;  // the score it claims, for the seed's request to an older service
    std::string FileName;     // its file in the outbox; empty while it has none
};

// "20261212T201503Z_J%C3%BCrgen": the ticket's expiry in UTC, and the name in UTF-8 with
// every byte but a letter or digit percent-encoded (so "_" and a final "-2" of a second
// file of the same stem stay apart from it). Sorted by name, files go by their tickets'
// age, which is the order their games were played in.
std::string OutboxFileStem(WallTime expires, std::string_view nameCp1252);

// What a name the outbox gives says; nothing for any other name.
struct OutboxFileName {
    WallTime Expires;
    std::string NameCp1252;
};
std::optional<OutboxFileName> ReadOutboxFileName(std::string_view fileName);

// The folder's name for a service's records: its base address, percent-encoded as above
// but for dots (long ones shortened, with a hash of the whole).
std::string OutboxFolderName(std::string_view server);

class RecordOutbox {
public:
    // nullptr keeps nothing on disk: records wait in memory only.
    explicit RecordOutbox(platform::Folder* folder) : folder_(folder) {}

    // Writes the record's file and notes its name in it; a record that cannot be written
    // costs a warning line, and is sent all the same.
    void Keep(KeptRecord& record);
    // The service has answered for good: the file goes.
    void Remove(KeptRecord& record);
    // Its ticket has expired: the file goes, with a line on standard error.
    void Expire(KeptRecord& record);
    // The records the folder holds, in the order they were played, each read whole and
    // checked to be a record; an expired one is dropped as by Expire, a damaged one with a
    // line too. Files of names the outbox does not give are left alone.
    std::vector<KeptRecord> TakeStock(WallTime now);

private:
    std::optional<KeptRecord> ReadKept(const std::string& fileName, const OutboxFileName& named);

    platform::Folder* folder_;
};

}  // namespace zorblet::highscore

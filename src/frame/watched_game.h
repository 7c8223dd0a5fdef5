#pragma once
// --watch: the game at a place of the highscore list, fetched from the service (the entry,
// then its kept record) and checked as --replay checks a file, all before any window
// opens; what stands in the way is told in one German line.

#include <cstdint>
#include <string>

#include "frame/record_file.h"
#include "platform/clock.h"
#include "platform/http_transport.h"

namespace zorblet::frame {

// server is the service's base address, ending in "/". The record is replayed once without
// drawing: it must give the points the list shows.
LoadedRecord FetchWatchedGame(platform::HttpTransport& http, platform::Clock& clock, const std::string& server,
                              std::int32_t place);

}  // namespace zorblet::frame

#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "http/request.h"
#include "ops/backup_copies.h"
#include "query/query.h"
#include "store/list_backups.h"
#include "store/list_moderation.h"
#include "store/score_board.h"

namespace zorblet::server {

// The operators' requests on the admin socket (paths in admin_protocol.h): list entries,
// remove and restore them, read the moderation log and the figures, fetch a backup.
// Replies are UTF-8 text, one item a line, fields separated by TAB; refusals are one line.
class AdminService {
public:
    // Backups are copies of the list where `backups` offers them, and otherwise refused
    // with the store's word on how to take one there.
    AdminService(const ScoreBoard& board, ListModeration& moderation, const ListBackups& backups);

    Reply Answer(const Request& request);

private:
    Reply Route(const Request& request);
    Reply AnswerEntries(const QueryParameters& parameters);
    Reply AnswerModeration(bool remove, const QueryParameters& parameters);
    Reply AnswerLog();
    Reply AnswerStats();
    Reply AnswerBackup(std::string_view method, std::string_view token, const QueryParameters& parameters);

    const ScoreBoard& board_;
    ListModeration& moderation_;
    std::unique_ptr<BackupCopies> backups_;  // none: backup_advice_ answers
    std::string backup_advice_;
    const std::chrono::steady_clock::time_point started_;
};

}  // namespace zorblet::server

#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "protocol/submit_gate.h"
#include "store/score_board.h"

namespace zorblet::server {

class RefusedNames;
// What became of one submission, for the metrics.
enum class SubmissionOutcome { Stored, Duplicate, RateLimited, RefusedName, Malformed, StorageError };

// Which of the service's requests a target asks for: the game's three, the pages for
// players, the JSON API, the files the pages load; Other for anything else.
enum class RequestKind { BestOf, PlaceList, Submission, Page, Api, Static, Other };

struct ServiceSettings {
    std::string base_path = "/";      // starts and ends with '/'
    int submissions_per_minute = 10;  // per address; 0 switches the limit off
    const RefusedNames* refused_names = nullptr;  // none: every valid name is taken
    // Told the outcome of every submission; may be empty.
    std::function<void(SubmissionOutcome)> report_submission = nullptr;
};

// What to send back: the status and a body, by default Windows-1252 text.
struct Reply {
    int status = 200;
    std::string body;
    std::string allow;  // the methods a 405 names
    std::string content_type = "text/plain; charset=windows-1252";
    std::vector<std::pair<std::string, std::string>> headers = {};  // any others, name and value
};

// The three scripts the game calls under the base path: the best-of table, the list
// around a score's place, and the submission of a score.
class HighscoreService {
public:
    // Alone on `board`: the allowance and the repeat check kept in this process.
    HighscoreService(ScoreBoard& board, ServiceSettings settings);
    // Sharing the list with other instances through `gate`, which stores into `board`;
    // the settings' allowance is the gate's.
    HighscoreService(ScoreBoard& board, SubmitGate& gate, ServiceSettings settings);

    // Answers one request; `target` is the request target exactly as sent.
    Reply Answer(std::string_view method, std::string_view target, const std::string& address);
    // Which request `target` is, as Answer would take it.
    RequestKind ClassifyRequest(std::string_view target) const;

private:
    Reply AnswerBestOf();
    Reply AnswerPlaceList(std::string_view query);
    Reply AnswerSubmission(std::string_view query, const std::string& address);
    Reply RefuseSubmission(const std::string& address, SubmissionOutcome outcome, std::string_view problem);
    Reply RefuseOverLimit() const;
    Reply RefuseUnstored(const StorageError& error) const;
    Reply StoreSubmission(const Submission& submission, const std::string& address);
    void Report(SubmissionOutcome outcome) const;

    ScoreBoard& board_;
    const std::string best_of_path_;
    const std::string place_list_path_;
    const std::string submission_path_;
    std::unique_ptr<SubmitGate> own_gate_;
    SubmitGate& gate_;
    const RefusedNames* const refused_names_;
    const std::function<void(SubmissionOutcome)> report_submission_;
};

// One line of plain text naming the problem, with the status it goes with.
Reply RefuseRequest(int status, std::string_view reason);

}  // namespace zorblet::server

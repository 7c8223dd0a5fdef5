#pragma once
// A stand-in for the HTTP transport: plays back scripted attempts on a fake clock.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/http_transport.h"
#include "support/fakes.h"

namespace zorblet::testing {

class ScriptedHttpTransport final : public platform::HttpTransport {
public:
    struct Step {
        platform::HttpAttempt Attempt;
        std::uint64_t TakesMs = 0;  // how long the attempt runs when the budget allows
    };
    struct Call {
        std::string Url;
        int BudgetMs = 0;
        std::uint64_t AtMs = 0;  // the fake clock's time when the attempt began
    };

    explicit ScriptedHttpTransport(SharedFakeClock& clock) : clock_(clock) {}

    std::vector<Step> Steps;  // one per attempt; the last one repeats
    std::vector<Call> Calls;

    // Like the real transport, an attempt that would outrun its budget ends when the
    // budget does, timed out if it had connected.
    platform::HttpAttempt Get(const std::string& url, int budgetMs) override {
        Calls.push_back({url, budgetMs, clock_.NowMs()});
        const Step& step = Steps[std::min(Calls.size(), Steps.size()) - 1];
        platform::HttpAttempt attempt = step.Attempt;
        const auto budget = static_cast<std::uint64_t>(budgetMs);
        if (step.TakesMs > budget) attempt.TimedOut = attempt.Connected;
        clock_.AdvanceMs(std::min(step.TakesMs, budget));
        return attempt;
    }

private:
    SharedFakeClock& clock_;
};

// Answers every GET at once with 200 and the body of the first rule whose text the URL
// holds (empty without one), or refuses it when the rule says so; records the URLs.
// Safe on any thread.
class AnsweringTransport final : public platform::HttpTransport {
public:
    struct Rule {
        std::string UrlPart;
        std::string Body;
        bool Refused = false;  // no connection instead of an answer
    };
    explicit AnsweringTransport(std::vector<Rule> rules = {}) : rules_(std::move(rules)) {}

    platform::HttpAttempt Get(const std::string& url, int) override {
        std::lock_guard lock(mutex_);
        urls_.push_back(url);
        for (const Rule& rule : rules_) {
            if (url.find(rule.UrlPart) == std::string::npos) continue;
            if (rule.Refused) return {};
            return {true, 200, rule.Body, false};
        }
        return {true, 200, "", false};
    }
    std::vector<std::string> Urls() {
        std::lock_guard lock(mutex_);
        return urls_;
    }

private:
    std::mutex mutex_;
    std::vector<Rule> rules_;
    std::vector<std::string> urls_;
};

// A transport that holds every GET until released, and counts how many run at once.
class HeldTransport final : public platform::HttpTransport {
public:
    platform::HttpAttempt Get(const std::string& url, int) override {
        std::unique_lock lock(mutex_);
        urls_.push_back(url);
        maxAtOnce_ = std::max(maxAtOnce_, ++running_);
        changed_.notify_all();
        changed_.wait_for(lock, std::chrono::seconds(20), [&] { return released_; });
        --running_;
        return {true, 200, "1\r\n", false};
    }
    void WaitForCalls(std::size_t count) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::seconds(20), [&] { return urls_.size() >= count; });
    }
    void Release() {
        std::lock_guard lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }
    int MaxAtOnce() {
        std::lock_guard lock(mutex_);
        return maxAtOnce_;
    }
    std::vector<std::string> Urls() {
        std::lock_guard lock(mutex_);
        return urls_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> urls_;
    int running_ = 0, maxAtOnce_ = 0;
    bool released_ = false;
};

// Answers every request, GET or POST, as its Answer says, at once and on any thread, and
// keeps every request; a request it has no answer for gets no connection.
class RoutingTransport final : public platform::HttpTransport {
public:
    using Answerer = std::function<platform::HttpAttempt(const platform::HttpRequest&)>;
    explicit RoutingTransport(Answerer answer = {}) : answer_(std::move(answer)) {}

    platform::HttpAttempt Get(const std::string& url, int budgetMs) override {
        return Send(platform::GetRequest(url), budgetMs);
    }
    platform::HttpAttempt Send(const platform::HttpRequest& request, int) override {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
        return answer_ ? answer_(request) : platform::HttpAttempt{};
    }
    void SetAnswer(Answerer answer) {
        std::lock_guard lock(mutex_);
        answer_ = std::move(answer);
    }
    std::vector<platform::HttpRequest> Requests() {
        std::lock_guard lock(mutex_);
        return requests_;
    }
    // The requests whose URL holds the text, and of the method.
    std::vector<platform::HttpRequest> Requests(const std::string& urlPart, platform::HttpMethod method) {
        std::vector<platform::HttpRequest> found;
        for (platform::HttpRequest& request : Requests()) {
            if (request.Method == method && request.Url.find(urlPart) != std::string::npos) found.push_back(request);
        }
        return found;
    }

private:
    std::mutex mutex_;
    Answerer answer_;
    std::vector<platform::HttpRequest> requests_;
};

// An answer as the service gives it.
inline platform::HttpAttempt Answer(int status, std::string body = {}) {
    return {true, status, std::move(body), false};
}

}  // namespace zorblet::testing

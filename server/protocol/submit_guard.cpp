#include "protocol/submit_guard.h"

#include <algorithm>

namespace zorblet::server {

namespace {

constexpr SubmitGuard::Clock::duration Minute = std::chrono::minutes(1);

// Names hold no TAB, so the joined key is unambiguous.
std::string RecentKey(const std::string& address, const Submission& submission) {
    return address + '\t' + submission.name + '\t' + std::to_string(submission.points);
}

}  // namespace

SubmitGuard::SubmitGuard(int per_minute)
    : per_minute_(per_minute), interval_(per_minute > 0 ? Minute / per_minute : Minute) {
    recent_until_.reserve(MaxRecentClaims);  // never rehashed while the lock is held
}

bool SubmitGuard::TakeAllowance(const std::string& address, Clock::time_point now) {
    if (per_minute_ <= 0) return true;
    std::lock_guard lock(mutex_);
    ForgetFullAllowances(now);
    // Each submission moves the "full again" time one interval on; the allowance is used
    // up when that time would lie a whole minute ahead.
    Clock::time_point& full_at = allowance_full_at_[address];
    const Clock::time_point next = std::max(full_at, now) + interval_;
    if (next - now > Minute) return false;
    full_at = next;
    return true;
}

bool SubmitGuard::ClaimFirst(const std::string& address, const Submission& submission, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    ForgetOldClaims(now);
    std::string key = RecentKey(address, submission);
    const auto [entry, inserted] = recent_until_.try_emplace(key, now + Minute);
    if (!inserted) return false;  // what is still here is recent
    claims_in_order_.emplace_back(std::move(key), now + Minute);
    return true;
}

void SubmitGuard::ReleaseClaim(const std::string& address, const Submission& submission) {
    std::lock_guard lock(mutex_);
    recent_until_.erase(RecentKey(address, submission));  // its queue entry expires harmlessly
}

void SubmitGuard::ForgetOldClaims(Clock::time_point now) {
    while (!claims_in_order_.empty() &&
           (claims_in_order_.front().second <= now || claims_in_order_.size() >= MaxRecentClaims)) {
        const auto& [key, until] = claims_in_order_.front();
        const auto found = recent_until_.find(key);
        if (found != recent_until_.end() && found->second == until) recent_until_.erase(found);
        claims_in_order_.pop_front();
    }
}

// Once a minute, drops allowances that are full again, so memory follows recent traffic.
void SubmitGuard::ForgetFullAllowances(Clock::time_point now) {
    if (now < next_sweep_) return;
    next_sweep_ = now + Minute;
    std::erase_if(allowance_full_at_, [now](const auto& item) { return item.second <= now; });
}

bool LocalSubmitGate::TakeAllowance(const std::string& address) {
    return guard_.TakeAllowance(address, clock_.Steady());
}

GateResult LocalSubmitGate::Submit(const std::string& address, const ScoreEntry& entry) {
    const SubmitGuard::Clock::time_point now = clock_.Steady();
    if (!guard_.TakeAllowance(address, now)) return GateResult::OverLimit;
    const Submission claim{entry.points, entry.name};
    if (!guard_.ClaimFirst(address, claim, now)) return GateResult::Repeat;
    try {
        board_.AddEntry(entry);
    } catch (const StorageError&) {
        guard_.ReleaseClaim(address, claim);
        throw;
    }
    return GateResult::Stored;
}

}  // namespace zorblet::server

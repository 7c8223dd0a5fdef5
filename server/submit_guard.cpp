#include "submit_guard.h"

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
    : per_minute_(per_minute), interval_(per_minute > 0 ? Minute / per_minute : Minute) {}

bool SubmitGuard::TakeAllowance(const std::string& address, Clock::time_point now) {
  if (per_minute_ <= 0) return true;
  std::lock_guard lock(mutex_);
  ForgetExpired(now);
  // Each submission moves the "full again" time one interval on; the allowance is used
  // up when that time would lie a whole minute ahead.
  Clock::time_point& full_at = allowance_full_at_[address];
  const Clock::time_point next = std::max(full_at, now) + interval_;
  if (next - now > Minute) return false;
  full_at = next;
  return true;
}

bool SubmitGuard::ClaimFirst(const std::string& address, const Submission& submission,
                             Clock::time_point now) {
  std::lock_guard lock(mutex_);
  ForgetExpired(now);
  auto [entry, inserted] = recent_until_.try_emplace(RecentKey(address, submission), now + Minute);
  if (inserted) return true;
  if (entry->second > now) return false;
  entry->second = now + Minute;
  return true;
}

void SubmitGuard::ReleaseClaim(const std::string& address, const Submission& submission) {
  std::lock_guard lock(mutex_);
  recent_until_.erase(RecentKey(address, submission));
}

// Once a minute, drops what no longer matters, so memory follows recent traffic only.
void SubmitGuard::ForgetExpired(Clock::time_point now) {
  if (now < next_sweep_) return;
  next_sweep_ = now + Minute;
  std::erase_if(allowance_full_at_, [now](const auto& item) { return item.second <= now; });
  std::erase_if(recent_until_, [now](const auto& item) { return item.second <= now; });
}

}  // namespace zorblet::server

#include "cloud/rate_limit.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <thread>

namespace tavrin {

namespace {

constexpr int64_t kWaitStepMs = 100;

}  // namespace

int64_t SystemRateClock::NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

void SystemRateClock::SleepMs(int64_t ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

RateClock& TheSystemRateClock() {
  static SystemRateClock clock;
  return clock;
}

RateLimiter::RateLimiter(RateClock& clock, RateLimits limits) : clock_(clock) { SetLimits(limits); }

void RateLimiter::SetLimits(RateLimits limits) {
  limits.perMinute = std::max(limits.perMinute, 1);
  limits.perDay = std::max(limits.perDay, 0);
  limits.windowMs = std::max<int64_t>(limits.windowMs, 1);
  limits_ = limits;
}

void RateLimiter::Restore(int64_t day, int used) {
  const int64_t now = clock_.NowMs();
  if (day != DayOf(now)) return;
  RollDay(now);
  used_ = std::max(used_, used);
}

std::vector<int64_t> RateLimiter::RecentRequests() const {
  const int64_t now = clock_.NowMs();
  std::vector<int64_t> recent;
  for (int64_t t : sent_)
    if (t > now - limits_.windowMs) recent.push_back(t);
  return recent;
}

void RateLimiter::RestoreRecent(const std::vector<int64_t>& times) {
  const int64_t now = clock_.NowMs();
  // Requests of one millisecond are several requests: of each time, the
  // larger of the two counts holds, so a list this run wrote and reads back
  // counts once.
  std::map<int64_t, int> ours, theirs;
  for (int64_t t : sent_) ++ours[t];
  for (int64_t t : times)
    if (t <= now && t > now - limits_.windowMs) ++theirs[t];
  for (const auto& [t, count] : theirs) ours[t] = std::max(ours[t], count);
  sent_.clear();
  for (const auto& [t, count] : ours) sent_.insert(sent_.end(), size_t(count), t);
  while (sent_.size() > size_t(limits_.perMinute)) sent_.pop_front();
}

void RateLimiter::RollDay(int64_t now) {
  const int64_t today = DayOf(now);
  if (today != day_) {
    day_ = today;
    used_ = 0;
  }
}

int64_t RateLimiter::NextSlot(int64_t now) const {
  int64_t next = std::max(now, holdUntil_);
  // The oldest of a full window's requests has to leave the window first.
  const size_t limit = size_t(limits_.perMinute);
  if (sent_.size() >= limit) next = std::max(next, sent_[sent_.size() - limit] + limits_.windowMs);
  return next;
}

RateGrant RateLimiter::Acquire(const std::function<bool()>& stopped, const std::function<void()>& waiting) {
  bool announced = false;
  for (;;) {
    if (stopped && stopped()) return RateGrant::Stopped;
    const int64_t now = clock_.NowMs();
    RollDay(now);
    if (used_ >= limits_.perDay) return RateGrant::DailyQuota;
    const int64_t next = NextSlot(now);
    if (next <= now) {
      sent_.push_back(now);
      while (sent_.size() > size_t(limits_.perMinute)) sent_.pop_front();
      ++used_;
      return RateGrant::Granted;
    }
    if (!announced && waiting) waiting();
    announced = true;
    clock_.SleepMs(std::min(next - now, kWaitStepMs));
  }
}

void RateLimiter::HoldOff() { holdUntil_ = clock_.NowMs() + limits_.windowMs; }

}  // namespace tavrin

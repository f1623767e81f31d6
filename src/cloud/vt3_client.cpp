#include "cloud/vt3_client.h"

#include <windows.h>

#include <cstdint>
#include <cwctype>
#include <set>

#include "cloud/virustotal_client.h"
#include "cloud/vt3_report.h"
#include "platform/registry.h"
#include "platform/strings.h"

namespace tavrin {

namespace {

constexpr wchar_t kKeyRefused[] = L"VirusTotal did not accept the API key: no more look-ups in this run.";
constexpr wchar_t kTooMany[] = L"VirusTotal refuses more look-ups for now (rate limit): no more look-ups in this scan.";

std::wstring Progress(size_t at, size_t of, bool waiting) {
  return L"Looking up file reports: " + std::to_wstring(at) + L" of " + std::to_wstring(of) +
         (waiting ? L" (waiting for the rate limit)" : L"");
}

void Show(ProgressSink* status, const std::wstring& text) {
  if (status) status->SetStatus(text);
}

std::vector<int64_t> ParseTimes(const std::wstring& text) {
  std::vector<int64_t> times;
  int64_t value = 0;
  bool digits = false;
  for (size_t i = 0; i <= text.size(); ++i) {
    const wchar_t c = i < text.size() ? text[i] : L',';
    if (c >= L'0' && c <= L'9' && value < (INT64_MAX - 9) / 10) {
      value = value * 10 + (c - L'0');
      digits = true;
    } else if (c == L',') {
      if (digits) times.push_back(value);
      value = 0;
      digits = false;
    } else {
      return {};  // not a list this program wrote
    }
  }
  return times;
}

std::wstring TimesText(const std::vector<int64_t>& times) {
  std::wstring text;
  for (int64_t t : times) text += (text.empty() ? L"" : L",") + std::to_wstring(t);
  return text;
}

}  // namespace

std::wstring FileObjectPath(const std::wstring& hash) {
  if (hash.empty() || hash.size() > 128) return {};
  for (wchar_t c : hash) {
    if (!std::iswxdigit(c)) return {};
  }
  return L"/api/v3/files/" + hash;
}

PersonalLookups::PersonalLookups(RateClock& clock) : limiter_(clock) {}

void PersonalLookups::Configure(const RateLimits& limits, const std::wstring& countKey,
                                const std::wstring& siteAddress) {
  limiter_.SetLimits(limits);
  countKey_ = countKey;
  siteAddress_ = siteAddress;
  keyRefused_ = false;
}

RateGrant PersonalLookups::Acquire(const std::function<bool()>& stopped, const std::function<void()>& waiting) {
  // Another run may have counted since: the larger count of today holds.
  DWORD day = 0, used = 0;
  if (!countKey_.empty() && ReadDwordAt(countKey_, kLookupDayValue, day) &&
      ReadDwordAt(countKey_, kLookupCountValue, used))
    limiter_.Restore(int64_t(day), int(used));
  // Likewise its requests of the last minute: two quick runs share the
  // per-minute limit as they share the day's.
  if (!countKey_.empty()) {
    if (const auto recent = ReadStringAt(countKey_, kLookupRecentValue)) limiter_.RestoreRecent(ParseTimes(*recent));
  }
  const RateGrant grant = limiter_.Acquire(stopped, waiting);
  if (grant == RateGrant::Granted && !countKey_.empty()) {
    WriteDwordAt(countKey_, kLookupDayValue, DWORD(limiter_.Day()));
    WriteDwordAt(countKey_, kLookupCountValue, DWORD(limiter_.UsedToday()));
    WriteStringAt(countKey_, kLookupRecentValue, TimesText(limiter_.RecentRequests()));
  }
  return grant;
}

RateGrant PersonalLookups::AcquireSlot(const std::function<bool()>& stopped) {
  if (keyRefused_) return RateGrant::Stopped;
  return Acquire(stopped, {});
}

int PersonalLookups::Run(const std::vector<std::wstring>& hashes, const Fetch& fetch, const Store& store,
                         const std::function<bool()>& stopped, ProgressSink* status) {
  int result = -5;
  std::set<std::wstring> asked;  // two files of one content are one look-up
  for (size_t i = 0; i < hashes.size() && !keyRefused_; ++i) {
    const std::wstring& hash = hashes[i];
    const std::wstring path = FileObjectPath(hash);
    if (path.empty() || !asked.insert(ToLower(hash)).second) continue;
    for (int tooMany = 0;;) {
      Show(status, Progress(i + 1, hashes.size(), false));
      const RateGrant grant = Acquire(stopped, [&] { Show(status, Progress(i + 1, hashes.size(), true)); });
      if (grant == RateGrant::Stopped) return -3;
      if (grant == RateGrant::DailyQuota) {
        Show(status, L"VirusTotal's daily quota of " + std::to_wstring(limiter_.Limits().perDay) +
                         L" look-ups is used up: no more look-ups today.");
        return result;
      }
      const HttpAnswer answer = fetch(path);
      if (answer.outcome == HttpOutcome::Cancelled) return -3;
      // The service cannot be reached: the other hashes would only wait
      // for their turn to fail as well.
      if (answer.outcome == HttpOutcome::NoAnswer) return result == 1 ? 1 : 0;
      if (answer.outcome != HttpOutcome::Answered) break;  // not a whole answer (or too large)

      if (answer.status == 429) {
        if (++tooMany > kTooManyRetries) {
          Show(status, kTooMany);
          return result;
        }
        limiter_.HoldOff();
        continue;
      }
      if (answer.status == 401 || answer.status == 403) {
        keyRefused_ = true;
        Show(status, kKeyRefused);
        break;
      }
      std::wstring json;
      if (answer.status == 404) {
        std::wstring text;
        if (StrictUtf8ToWide(answer.body, text) && IsNotFoundError(text)) json = NotKnownForm(hash);
      } else if (answer.status == 200) {
        std::wstring text;
        FileObjectStats stats;
        if (StrictUtf8ToWide(answer.body, text) && ReadFileObject(text, stats))
          json = CachedFormOf(hash, stats, siteAddress_);
      }
      if (!json.empty() && store(hash, json)) result = 1;
      break;
    }
  }
  return result;
}

}  // namespace tavrin

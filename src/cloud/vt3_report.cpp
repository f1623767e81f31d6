#include "cloud/vt3_report.h"

#include "browsers/preference_document.h"
#include "cloud/escaping.h"
#include "cloud/vt_report.h"

namespace tavrin {

namespace {

// Counts far beyond any engine count or date are no counts.
constexpr long long kLargestCount = 1000000000000LL;
// 9999-12-31 23:59:59 UTC.
constexpr long long kLatestDate = 253402300799LL;

// A whole non-negative JSON integer, or -1.
long long Count(const PreferenceDocument& document, const PreferenceNode* parent, std::wstring_view key) {
  std::wstring text;
  if (document.GetMemberString(parent, key, text) != PreferenceKind::Integer || text.empty()) return -1;
  long long value = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return -1;
    value = value * 10 + (c - L'0');
    if (value > kLargestCount) return -1;
  }
  return value;
}

bool IsHex(const std::wstring& text) {
  if (text.empty() || text.size() > 128) return false;
  for (wchar_t c : text) {
    if (!((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F'))) return false;
  }
  return true;
}

std::wstring TwoDigits(long long n) { return std::wstring(1, wchar_t(L'0' + n / 10)) + wchar_t(L'0' + n % 10); }

// UTC "YYYY-MM-DD HH:MM:SS" of seconds since 1970.
std::wstring DateText(long long seconds) {
  const long long days = seconds / 86400;
  const long long rest = seconds % 86400;
  // Civil date from days since 1970, with years starting in March.
  const long long z = days + 719468;
  const long long era = z / 146097;
  const long long doe = z - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  const long long day = doy - (153 * mp + 2) / 5 + 1;
  const long long month = mp < 10 ? mp + 3 : mp - 9;
  const long long year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  return std::to_wstring(year) + L"-" + TwoDigits(month) + L"-" + TwoDigits(day) + L" " + TwoDigits(rest / 3600) +
         L":" + TwoDigits(rest / 60 % 60) + L":" + TwoDigits(rest % 60);
}

void Append(std::wstring& object, const wchar_t* name, const std::wstring& value, bool quoted) {
  object += object.size() > 1 ? L", \"" : L"\"";
  object += name;
  object += L"\": ";
  object += quoted ? L"\"" + JsonEscape(value) + L"\"" : value;
}

}  // namespace

bool ReadFileObject(std::wstring_view text, FileObjectStats& stats) {
  stats = FileObjectStats{};
  const PreferenceDocument document{std::wstring(text)};
  PreferenceNode root, data, attributes, counts;
  if (!ReadWholeRoot(document, root) || root.kind != PreferenceKind::Object) return false;
  if (!document.GetMember(&root, L"data", data) || data.kind != PreferenceKind::Object) return false;
  if (!document.GetMember(&data, L"attributes", attributes) || attributes.kind != PreferenceKind::Object) return false;
  if (!document.GetMember(&attributes, L"last_analysis_stats", counts) || counts.kind != PreferenceKind::Object)
    return false;

  for (const wchar_t* judged : {L"malicious", L"suspicious", L"undetected", L"harmless"}) {
    PreferenceNode member;
    if (!document.GetMember(&counts, judged, member)) continue;
    const long long n = Count(document, &counts, judged);
    if (n < 0) return false;
    stats.engines += n;
    if (judged == std::wstring_view(L"malicious")) stats.positives = n;
  }
  const long long date = Count(document, &attributes, L"last_analysis_date");
  if (date >= 0 && date <= kLatestDate) stats.analysisDate = date;
  std::wstring id;
  if (document.GetMemberString(&data, L"id", id) == PreferenceKind::String && IsHex(id)) stats.id = id;
  return true;
}

namespace {

// The string at root -> `outer` -> `inner`, or empty.
std::wstring NestedString(std::wstring_view text, std::wstring_view outer, std::wstring_view inner) {
  const PreferenceDocument document{std::wstring(text)};
  PreferenceNode root, object;
  std::wstring value;
  if (!ReadWholeRoot(document, root) || root.kind != PreferenceKind::Object) return {};
  if (!document.GetMember(&root, outer, object) || object.kind != PreferenceKind::Object) return {};
  if (document.GetMemberString(&object, inner, value) != PreferenceKind::String) return {};
  return value;
}

}  // namespace

bool IsNotFoundError(std::wstring_view text) { return NestedString(text, L"error", L"code") == L"NotFoundError"; }

bool IsQueuedAnalysis(std::wstring_view text) { return NestedString(text, L"data", L"type") == L"analysis"; }

std::wstring CachedFormOf(const std::wstring& hash, const FileObjectStats& stats, const std::wstring& siteAddress) {
  std::wstring site = siteAddress;
  while (!site.empty() && site.back() == L'/') site.pop_back();
  const std::wstring permalink = site + L"/gui/file/" + (stats.id.empty() ? hash : stats.id);
  std::wstring object = L"{";
  Append(object, L"hash", hash, true);
  Append(object, L"found", L"true", false);
  if (stats.engines > 0 && stats.analysisDate >= 0) {
    const std::wstring positives = std::to_wstring(stats.positives);
    const std::wstring total = std::to_wstring(stats.engines);
    Append(object, L"positives", positives, false);
    Append(object, L"total", total, false);
    Append(object, L"detection_ratio", positives + L"/" + total, true);
    Append(object, L"scan_date", DateText(stats.analysisDate), true);
  } else {
    Append(object, L"positives", L"0", false);
    Append(object, L"total", L"0", false);
  }
  Append(object, L"permalink", permalink, true);
  return object + L"}";
}

std::wstring NotKnownForm(const std::wstring& hash) {
  std::wstring object = L"{";
  Append(object, L"hash", hash, true);
  Append(object, L"found", L"false", false);
  return object + L"}";
}

}  // namespace tavrin

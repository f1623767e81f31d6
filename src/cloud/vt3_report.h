#pragma once
// The answers of the current public API (a file object: "data" with "id"
// and "attributes") turned into the cached report form the partner
// endpoint answers in, so that the cache and the verdict rules read them
// as they read every other report. Only text goes in: no platform calls,
// so the fuzzer builds it natively.
#include <string>
#include <string_view>

namespace tavrin {

// What a file object says about the file's last analysis. Positives are
// the engines that called it "malicious"; "suspicious" alone is no
// detection, as it was none in the partner reports. Engines are the ones
// that gave a verdict: "malicious", "suspicious", "undetected" and
// "harmless"; engines that could not judge it ("type-unsupported",
// "timeout", "confirmed-timeout", "failure") are not counted.
struct FileObjectStats {
  long long positives = 0;
  long long engines = 0;
  long long analysisDate = -1;  // seconds since 1970; -1 without one
  std::wstring id;              // the object's "id" (its SHA-256) when hexadecimal
};

// False when the text is not one JSON object with "data" -> "attributes"
// -> "last_analysis_stats" holding whole non-negative counts.
bool ReadFileObject(std::wstring_view text, FileObjectStats& stats);

// The report to cache for `hash`: with engines and an analysis date, the
// partner form of a found file ("hash", "found": true, "positives",
// "total", "detection_ratio", "scan_date" as UTC "YYYY-MM-DD HH:MM:SS" and
// "permalink"); without them, the form of a file still waiting for its
// analysis (engines 0, a permalink and no scan date), which gives no
// verdict. `siteAddress` is the service's base address for the permalink.
std::wstring CachedFormOf(const std::wstring& hash, const FileObjectStats& stats, const std::wstring& siteAddress);

// True when the text is the service's own answer for an unknown object:
// one JSON object with "error" -> "code" equal to "NotFoundError". A 404
// of anything else (a proxy, a moved address) says nothing about the file.
bool IsNotFoundError(std::wstring_view text);

// True when the text is the answer to an upload: "data" -> "type" equal
// to "analysis" (the queued analysis of the file sent).
bool IsQueuedAnalysis(std::wstring_view text);

// The report to cache for a hash the service does not know.
std::wstring NotKnownForm(const std::wstring& hash);

}  // namespace tavrin

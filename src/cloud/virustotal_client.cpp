#include "cloud/virustotal_client.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>

#include "browsers/preference_document.h"
#include "cloud/escaping.h"
#include "cloud/vt3_report.h"
#include "filetrust/file_hash.h"
#include "platform/file_system.h"
#include "platform/mapped_file.h"
#include "platform/strings.h"
#include "platform/time_text.h"

namespace tavrin {

namespace {

constexpr unsigned long long kLargestLookup = 134217728;
constexpr unsigned long long kLargestUpload = 33554432;
// A file object of the public API is far larger than a partner report (it
// holds every engine's result and the file's properties); beyond this it is
// not read.
constexpr size_t kLargestFileObject = 4u << 20;
constexpr unsigned long long kFileTimePerDay = 864000000000ULL;
constexpr long long kFreshDays = 10;

constexpr wchar_t kUploadFilter[] =
    L"\\.(exe|com|pif|paf|bat|cmd|bin|dll|ocx|cpl|sys|gadget|msi|msp|mst|reg|ax|node|ps1|psc1|chm|inx|ins|inf|job|"
    L"ws|wsf|js|jse|icl|isu|msc|rgs|scr|sct|scf|shb|shs|u3p|vb|vbs|vbe|vbscript|ws|wsf|wsh|application|hta|jar|"
    L"ps1xml|msh2|mshxml|msh2xml|appx|appxbundle|tsp|mui|efi|drv|acm)$";
constexpr wchar_t kStatusCaption[] = L"Looking up files at VirusTotal...";
constexpr char kBoundary[] = "----------HalvoretBound1";

unsigned long long Now(bool local) {
  FILETIME utc;
  GetSystemTimeAsFileTime(&utc);
  FILETIME out = utc;
  if (local) FileTimeToLocalFileTime(&utc, &out);
  return (static_cast<unsigned long long>(out.dwHighDateTime) << 32) | out.dwLowDateTime;
}

long long LocalToday() { return static_cast<long long>(Now(true) / kFileTimePerDay); }

std::wstring FileNameOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// The creation time the file system reports (UTC), or nothing.
std::wstring CreationTimeText(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(LongPath(path).c_str(), GetFileExInfoStandard, &data)) return {};
  const unsigned long long time =
      (static_cast<unsigned long long>(data.ftCreationTime.dwHighDateTime) << 32) | data.ftCreationTime.dwLowDateTime;
  return time ? ReportTimeText(time) : std::wstring();
}

std::string CodePage437(const std::wstring& text) {
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(437, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(size_t(std::max(n, 0)), '\0');
  if (n > 0) WideCharToMultiByte(437, 0, text.data(), int(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

bool Asked(const RequestBatch& batch, const std::wstring& hash, std::wstring& asked) {
  for (const std::wstring& name : batch.asked) {
    if (EqualsNoCase(name, hash)) {
      asked = name;
      return true;
    }
  }
  return false;
}

// A cache key is named by one hash: never a path of keys.
bool UsableKeyName(const std::wstring& hash) {
  return hash.size() >= 10 && hash.find(L'\\') == std::wstring::npos;
}

}  // namespace

bool StrictUtf8ToWide(const std::string& bytes, std::wstring& out) {
  out.clear();
  if (bytes.empty()) return true;
  const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), int(bytes.size()), nullptr, 0);
  if (n <= 0) return false;
  out.resize(size_t(n));
  return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), int(bytes.size()), out.data(), n) == n;
}

std::wstring NormalizeApiKey(const std::wstring& text) {
  const std::wstring key = Trim(text);
  if (key.size() != 64) return {};
  for (wchar_t c : key) {
    if (!std::iswxdigit(c)) return {};
  }
  return ToLower(key);
}

void MigrateReportCache(const std::wstring& cacheRoot) {
  if (KeyExists(kOldReportCacheRoot)) CopyKey(kOldReportCacheRoot, cacheRoot, true);
}

VirusTotalClient::VirusTotalClient()
    : today_(LocalToday()), uploadFilter_(kUploadFilter), hashForm_(L"^[A-Fa-f0-9]{32,64}$") {
  uploads_.reserve(20);
}

VirusTotalClient::~VirusTotalClient() {
  StopUploads();
  workKey_.Close();
  if (!workKeyPath_.empty()) DeleteKeyTree(workKeyPath_);
}

void VirusTotalClient::Configure(const VirusTotalSettings& settings, RateClock& clock) {
  settings_ = settings;
  uploadSwitch_ = settings.upload;
  personal_ = std::make_unique<PersonalLookups>(clock);
  personal_->Configure(settings.limits, settings.cacheRoot, settings.address);
}

void VirusTotalClient::ResetForScan() {
  StopUploads();
  workKey_.Close();
  if (!workKeyPath_.empty()) DeleteKeyTree(workKeyPath_);
  workKeyPath_ = settings_.cacheRoot + L"\\" + std::to_wstring(Now(true));
  workKey_ = OpenKey(workKeyPath_, kRegCreateOrOpen);
  uploads_.clear();
  ResetBatch(fileReports_);
  ResetBatch(uploadBatch_);
  today_ = LocalToday();
  stop = false;

  connection_.Close();
  HttpTarget target;
  if (settings_.apiKey.empty() || !ParseBaseAddress(settings_.address, target)) return;
  connection_.Open(L"VirusTotal", {10000, 10000, 120000, 30000}, target);
}

int VirusTotalClient::QueueLookup(const std::wstring& path, RequestBatch& batch, const std::wstring& autostartText,
                                  const std::wstring& suppliedHash) {
  const bool scan = batch.kind == RequestKind::FileScan;
  std::wstring hash;
  if (suppliedHash.size() >= 32 && hashForm_.Matches(suppliedHash)) hash = suppliedHash;

  const unsigned long long size = FileSize(path);
  if (size > kLargestLookup || (scan && size > kLargestUpload)) return 1;
  if (scan) {
    hash = path;
  } else if (hash.empty() && !Md5OfFile(path, hash)) {
    return 0;
  }

  if (path.size() >= 4 && !EqualsNoCase(path, hash) && workKey_) WriteString(workKey_, path.c_str(), hash);

  std::wstring cached;
  if (GetCachedReport(hash, cached) && cached.size() > 10) {
    PreferenceDocument report(cached);
    std::wstring ratio, code, date, permalink;
    report.GetString(L"detection_ratio", ratio);
    report.GetString(L"response_code", code);
    report.GetString(L"scan_date", date);
    if (ratio.size() > 3 || (code == L"1" && date.size() > 10)) return 2;
    if (scan && report.GetString(L"permalink", permalink) != PreferenceKind::None && permalink.size() > 10)
      return 254;
  }

  if (scan) {
    if (!batch.text.empty()) batch.text += L"\n";
    batch.text += path;
    batch.asked.push_back(path);
  } else {
    ReportItem item;
    item.hash = hash;
    item.autostartText = autostartText;
    item.imagePath = path;
    item.creationTime = CreationTimeText(path);
    AppendReportItem(batch, item);
    batch.asked.push_back(hash);
  }
  // A personal key's look-ups wait for the end of the phase: they go out
  // one at a time anyway, and the progress then counts them all.
  const bool personalReports = settings_.personalKey && !scan;
  if (++batch.count >= ItemsPerRequest(batch.kind) && !personalReports) {
    ShowStatus(scan ? L"Uploading " + FileNameOf(path) + L" to VirusTotal..." : std::wstring(kStatusCaption));
    Flush(batch);
    ResetBatch(batch);
  }
  return 1;
}

int VirusTotalClient::Flush(RequestBatch& batch) {
  if (batch.count == 0 || batch.text.size() < 10) return -5;
  if (!connection_.IsOpen()) return -5;
  if (settings_.personalKey && batch.kind == RequestKind::FileReports) return FlushPersonal(batch);
  const unsigned long long started = Now(false);

  HttpRequest request;
  RequestBatch answered = batch;  // what this request asks, whatever happens to the batch
  if (batch.kind == RequestKind::FileReports) {
    request.path = L"/partners/sysinternals/file-reports?apikey=" + Utf8ToWide(PercentEncode(settings_.apiKey));
    request.headers = L"Content-Type: application/json; charset=utf-8\r\n";
    request.body = WideToUtf8(FileReportsBody(batch));
    request.timeouts = {5000, 5000, 20000, 25000};
  } else {
    const std::wstring path = batch.asked.empty() ? std::wstring() : batch.asked.front();
    if (path.empty() || !FileExists(path)) return -5;
    MappedFile file(path);
    if (!file && FileSize(path) != 0) return -5;
    const auto bytes = file.Bytes();
    // The answer names the file by its MD5: that is what this request asked about.
    std::wstring md5;
    Md5OfBytes(bytes.data(), bytes.size(), md5);
    answered.asked = {md5};
    request.headers = L"Content-Type: multipart/form-data; boundary=--------HalvoretBound1\r\n";
    std::string& body = request.body;
    if (settings_.personalKey) {
      // The public API takes the key in its header; the form holds the file alone.
      request.path = L"/api/v3/files";
      request.headers += L"x-apikey: " + settings_.apiKey + L"\r\n";
    } else {
      request.path = L"/vtapi/v2/file/scan";
      body = std::string(kBoundary) + "\r\nContent-Disposition: form-data; name=\"apikey\"\r\n\r\n" +
             PercentEncode(settings_.apiKey) + "\r\n";
    }
    body += std::string(kBoundary) + "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"" +
           CodePage437(FormFileName(FileNameOf(path))) + "\"\r\nContent-Type: application/x-msdownload\r\n\r\n";
    body.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    // The delimiter lines are "--" + the header's boundary; so is the
    // closing one, followed by "--".
    body += std::string("\r\n") + kBoundary + "--";
    request.timeouts = {5000, 5000, 900000, 60000};
  }

  if (settings_.personalKey) {
    // An upload counts against the same limits as the look-ups.
    const RateGrant grant = personal_->AcquireSlot([this] { return Stopped(); });
    if (grant != RateGrant::Granted) return grant == RateGrant::Stopped && Stopped() ? -3 : -5;
  }
  const HttpAnswer answer = SendHttpRequest(connection_, request, [this] { return Stopped(); });
  switch (answer.outcome) {
    case HttpOutcome::Cancelled:
      return -3;
    case HttpOutcome::NoAnswer:
      return 0;
    case HttpOutcome::Cut:
      // Half an answer is no answer: nothing of it is stored.
      return 0;
    case HttpOutcome::Answered:
      break;
  }
  if (answer.status == 200) WriteLastRequestTime(started / 10000000ULL);
  if (answer.body.empty()) return 0;
  std::wstring text;
  if (!StrictUtf8ToWide(answer.body, text)) return -5;
  if (settings_.personalKey) {
    // The answer names the queued analysis, not the file: the file is kept
    // as one waiting for its analysis, so it is not sent again.
    if (answer.status != 200 || !IsQueuedAnalysis(text) || answered.asked.empty()) return -5;
    const std::wstring& md5 = answered.asked.front();
    return StoreReport(md5, CachedFormOf(md5, FileObjectStats{}, settings_.address)) ? 1 : -5;
  }
  return StoreResponse(text, answered);
}

int VirusTotalClient::StoreResponse(const std::wstring& json, const RequestBatch& batch) {
  std::vector<AnsweredReport> reports;
  if (ReadAnswer(json, reports) == AnswerShape::Invalid) return -5;
  int result = -5;
  for (const AnsweredReport& report : reports) {
    if (Stopped()) return -3;
    std::wstring name;
    if (!Asked(batch, report.hash, name) || !UsableKeyName(name)) continue;
    if (StoreReport(name, report.json)) result = 1;
  }
  return result;
}

bool VirusTotalClient::StoreReport(const std::wstring& name, const std::wstring& json) {
  return UsableKeyName(name) && WriteStringAt(settings_.cacheRoot + L"\\" + name, L"", json);
}

int VirusTotalClient::FlushPersonal(const RequestBatch& batch) {
  const std::wstring header = L"x-apikey: " + settings_.apiKey + L"\r\n";
  auto fetch = [this, &header](const std::wstring& path) {
    HttpRequest request;
    request.verb = L"GET";
    request.path = path;
    request.headers = header;
    request.timeouts = {5000, 5000, 20000, 25000};
    request.bodyLimit = kLargestFileObject;
    const unsigned long long started = Now(false);
    HttpAnswer answer = SendHttpRequest(connection_, request, [this] { return Stopped(); });
    if (answer.outcome == HttpOutcome::Answered && answer.status == 200) WriteLastRequestTime(started / 10000000ULL);
    return answer;
  };
  auto store = [this, &batch](const std::wstring& hash, const std::wstring& json) {
    std::wstring name;
    return Asked(batch, hash, name) && StoreReport(name, json);
  };
  return personal_->Run(batch.asked, fetch, store, [this] { return Stopped(); }, status_);
}

bool VirusTotalClient::GetCachedReport(const std::wstring& hash, std::wstring& json) {
  json.clear();
  if (!UsableKeyName(hash)) return false;
  RegKey key = OpenKey(settings_.cacheRoot + L"\\" + hash, kRegRead);
  if (!key) return false;
  if (Online()) {
    FILETIME written{};
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, &written) == ERROR_SUCCESS) {
      FILETIME local = written;
      FileTimeToLocalFileTime(&written, &local);
      const long long day = static_cast<long long>(
          ((static_cast<unsigned long long>(local.dwHighDateTime) << 32) | local.dwLowDateTime) / kFileTimePerDay);
      if (today_ - day > kFreshDays) {
        key.Close();
        // Touching the key marks it; the fresh answer replaces it.
        const std::wstring path = settings_.cacheRoot + L"\\" + hash;
        WriteDwordAt(path, L"Expired", 1);
        DeleteValueAt(path, L"Expired");
        return false;
      }
    }
  }
  return ReadString(key, L"", json);
}

int VirusTotalClient::ParseReport(const std::wstring& json, VtReport& report) const {
  return tavrin::ParseReport(json, today_, report);
}

size_t VirusTotalClient::AddUpload(const std::wstring& path) {
  if (!uploadSwitch_ || !FileExists(path) || FileSize(path) > kLargestUpload) return 0;
  for (size_t i = 0; i < uploads_.size(); ++i) {
    if (EqualsNoCase(uploads_[i], path)) return i + 1;
  }
  MappedFile file(path);
  const auto bytes = file.Bytes();
  const bool dosImage = bytes.size() >= 2 && bytes[0] == 'M' && bytes[1] == 'Z';
  if (!dosImage && !uploadFilter_.Matches(path)) return 0;
  uploads_.push_back(path);
  return uploads_.size();
}

int VirusTotalClient::UploadAll() {
  int sum = 0;
  if (!uploadSwitch_) return sum;
  for (size_t i = 0; i < uploads_.size(); ++i) {
    if (Stopped()) break;
    sum += QueueLookup(uploads_[i], uploadBatch_, L"", L"");
  }
  return sum;
}

void VirusTotalClient::StartUploads() {
  StopUploads();
  if (uploads_.empty() || !Online()) return;
  uploadThread_ = std::thread([this] { UploadAll(); });
}

void VirusTotalClient::StopUploads() {
  if (!uploadThread_.joinable()) return;
  stop = true;
  uploadThread_.join();
  stop = false;
}

void VirusTotalClient::ShowStatus(const std::wstring& text) {
  if (status_) status_->SetStatus(text);
}

void VirusTotalClient::WriteLastRequestTime(unsigned long long seconds) {
  RegKey root = OpenKey(settings_.cacheRoot, kRegCreateOrOpen);
  if (root) WriteValue(root, L"LastRequestTS", REG_QWORD, &seconds, sizeof seconds);
}

}  // namespace tavrin

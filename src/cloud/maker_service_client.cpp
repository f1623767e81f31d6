#include "cloud/maker_service_client.h"

#include <windows.h>

#include <shlwapi.h>

#include <algorithm>
#include <system_error>

#include "filetrust/file_identity.h"
#include "filetrust/file_trust.h"
#include "filetrust/version_info.h"
#include "platform/https_request.h"
#include "platform/strings.h"

namespace tavrin {

namespace {

constexpr DWORD kEscapeCapacity = 4096;
constexpr wchar_t kReferer[] = L"https://www.google.com/";
constexpr wchar_t kAgent[] =
    L"Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/130.0.0.0 "
    L"Safari/537.36";
constexpr size_t kShortestHashList = 35;

// Known folders replaced by their environment variables.
std::wstring GeneralizedPath(const std::wstring& path) {
  std::vector<wchar_t> buffer(1024);
  if (PathUnExpandEnvStringsW(path.c_str(), buffer.data(), UINT(buffer.size()))) return buffer.data();
  return path;
}

}  // namespace

std::wstring HashListBody(const std::vector<std::wstring>& lines) {
  std::wstring body;
  std::vector<std::wstring> seen;
  for (const std::wstring& line : lines) {
    const std::wstring folded = ToUpper(line);
    if (std::find(seen.begin(), seen.end(), folded) != seen.end()) continue;
    seen.push_back(folded);
    body += line + L"\r\n";
  }
  return body;
}

std::optional<std::wstring> FoundProgramsUrl(const std::wstring& serverAddress, const std::wstring& list) {
  if (list.size() <= 6 || serverAddress.empty()) return std::nullopt;
  std::vector<wchar_t> buffer(kEscapeCapacity);
  DWORD length = kEscapeCapacity;
  if (FAILED(UrlEscapeW(list.c_str(), buffer.data(), &length, URL_ESCAPE_SEGMENT_ONLY | URL_ESCAPE_PERCENT)))
    return std::nullopt;
  std::wstring escaped(buffer.data(), std::min<DWORD>(length, kEscapeCapacity - 1));
  // The shell leaves these alone; in a query they would end the value or
  // start another.
  std::wstring query;
  for (wchar_t c : escaped) {
    switch (c) {
      case L'&': query += L"%26"; break;
      case L'+': query += L"%2B"; break;
      case L'=': query += L"%3D"; break;
      case L'#': query += L"%23"; break;
      case L'?': query += L"%3F"; break;
      default: query += c;
    }
  }
  if (query.size() >= kEscapeCapacity) return std::nullopt;
  std::wstring base = serverAddress;
  while (!base.empty() && base.back() == L'/') base.pop_back();
  return base + kFoundProgramsPath + query;
}

std::wstring FalsePositiveRecord(const std::wstring& path) {
  std::wstring publisher;
  const TrustCode code = VerifyFileTrust(path, publisher);
  const VersionInfo version = ReadVersionInfo(path);
  const std::wstring description = VersionString(version, L"FileDescription");
  if (publisher.empty()) publisher = VersionString(version, L"CompanyName");
  const std::wstring hash = IdentityHash(path);
  std::wstring label = publisher;
  DescribeTrust(code, label);
  return GeneralizedPath(path) + L"|||" + hash + L"|||" + label + L"|||" + description;
}

MakerServiceClient::~MakerServiceClient() {
  stop_ = true;
  Wait();
}

void MakerServiceClient::Configure(const std::wstring& baseAddress) {
  std::lock_guard<std::mutex> hold(lock_);
  address_ = baseAddress;
}

std::wstring MakerServiceClient::Address() const {
  std::lock_guard<std::mutex> hold(lock_);
  return address_;
}

unsigned MakerServiceClient::Post(const std::wstring& path, const std::string& body) {
  HttpTarget target;
  if (!ParseBaseAddress(Address(), target)) return 0;
  HttpConnection connection;
  const HttpTimeouts timeouts{5000, 10000, 60000, 60000};
  if (!connection.Open(kAgent, timeouts, target)) return 0;
  HttpRequest request;
  request.path = path;
  request.headers = L"Content-Type: application/json; charset=utf-8\r\n";
  request.body = body;
  request.timeouts = timeouts;
  request.bypassCache = true;
  const HttpAnswer answer = SendHttpRequest(connection, request, [this] { return stop_.load(); });
  return answer.outcome == HttpOutcome::Answered || answer.outcome == HttpOutcome::Cut ? answer.status : 0;
}

bool MakerServiceClient::SendHashList(const std::vector<std::wstring>& lines) {
  const std::string body = WideToUtf8(HashListBody(lines));
  if (body.size() < kShortestHashList) return false;
  return Post(kHashListPath, body) == 200;
}

void MakerServiceClient::StartHashListSend(std::vector<std::wstring> lines) {
  std::lock_guard<std::mutex> hold(lock_);
  // Senders that have ended are let go here, so that a long run does not
  // collect them.
  for (auto it = hashListSenders_.begin(); it != hashListSenders_.end();) {
    if (it->done->load()) {
      it->thread.join();
      it = hashListSenders_.erase(it);
    } else {
      ++it;
    }
  }
  auto done = std::make_shared<std::atomic<bool>>(false);
  try {
    std::thread thread([this, done, lines = std::move(lines)] {
      SendHashList(lines);
      *done = true;
    });
    hashListSenders_.push_back({std::move(thread), done});
  } catch (const std::system_error&) {
    // No thread: the lines are dropped, as a failed send would drop them.
  }
}

int MakerServiceClient::StartFalsePositiveReport(const std::wstring& path) {
  std::lock_guard<std::mutex> hold(lock_);
  if (falsePositiveRunning_.load()) return 3;
  if (falsePositive_.joinable()) falsePositive_.join();
  falsePositiveRunning_ = true;
  try {
    falsePositive_ = std::thread([this, path] {
      SendFalsePositive(path);
      falsePositiveRunning_ = false;
    });
  } catch (const std::system_error&) {
    falsePositiveRunning_ = false;
    return 0;
  }
  return 1;
}

bool MakerServiceClient::SendFalsePositive(const std::wstring& path) {
  if (path.empty()) return false;
  return Post(kFalsePositivePath, WideToUtf8(FalsePositiveRecord(path))) == 200;
}

DownloadJobPtr MakerServiceClient::SendFoundPrograms(const std::wstring& list) const {
  std::optional<std::wstring> url = FoundProgramsUrl(Address(), list);
  if (!url) return {};
  return StartDownload(*url, L"", DownloadReload | DownloadToMemory, kReferer);
}

void MakerServiceClient::Wait() {
  std::vector<Sender> senders;
  std::thread falsePositive;
  {
    std::lock_guard<std::mutex> hold(lock_);
    senders.swap(hashListSenders_);
    falsePositive.swap(falsePositive_);
  }
  for (Sender& sender : senders) sender.thread.join();
  if (falsePositive.joinable()) falsePositive.join();
}

}  // namespace tavrin

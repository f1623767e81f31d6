#include "platform/download_job.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>

#include "platform/file_system.h"
#include "platform/message_pump.h"
#include "platform/strings.h"
#include "platform/unique_handle.h"

namespace tavrin {

namespace {

constexpr wchar_t kUserAgent[] =
    L"Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
    L"Chrome/130.0.0.0 Safari/537.36";
constexpr uint64_t kAssumedTotal = 1048576;
constexpr uint64_t kMemoryMinimum = 65535;

struct FreeDeleter {
  void operator()(char* p) const { std::free(p); }
};

struct InternetHandleTraits {
  using Type = HINTERNET;
  static Type Invalid() { return nullptr; }
  static bool IsFailure(Type value) { return value == nullptr; }
  static void Close(Type value) { InternetCloseHandle(value); }
};
using UniqueInternet = UniqueHandle<InternetHandleTraits>;

}  // namespace

struct DownloadJob {
  std::wstring url;
  std::wstring destination;
  unsigned flags = 0;
  std::wstring referer;
  std::wstring extraHeaders;

  // Declared in the order they are opened, so that they close in reverse.
  UniqueInternet session;
  UniqueInternet request;
  UniqueInternet ftpConnection;
  UniqueInternet ftpFile;

  std::atomic<uint64_t> total{0};
  std::atomic<uint64_t> received{0};
  std::atomic<uint32_t> percent{0};
  std::atomic<uint32_t> state{DownloadCreated};
  // Also the stop request: the worker and the writer stop once it is set.
  std::atomic<uint32_t> error{DownloadNoError};

  // Memory mode.
  std::unique_ptr<char, FreeDeleter> body;
  size_t bodyLength = 0;

  // File mode: the reader hands a buffer over by setting its byte count, the
  // writer hands it back by clearing it.
  uint32_t chunk = 0;
  std::unique_ptr<char, FreeDeleter> buffers[2];
  std::atomic<uint32_t> filled[2] = {0, 0};
  std::atomic<bool> readerFinished{false};

  // The closer waits for it to end before the job and its handles go.
  UniqueThread worker;
};

namespace {

bool Stopped(const DownloadJob& job) { return job.error.load() != DownloadNoError; }

// Sets the error unless one is already set, so that the first cause stays.
void Fail(DownloadJob& job, DownloadError error) {
  uint32_t none = DownloadNoError;
  job.error.compare_exchange_strong(none, error);
}

void UpdatePercent(DownloadJob& job) {
  const uint64_t received = job.received.load();
  if (received > job.total.load()) job.total = received;
  const uint64_t total = job.total.load();
  if (total > 0) job.percent = uint32_t((received * 1000 + 4) / (total * 10));
}

bool ExistingFileSize(const std::wstring& path, uint64_t& size) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  size = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

DWORD WINAPI WriterThread(void* parameter) {
  DownloadJob& job = *static_cast<DownloadJob*>(parameter);
  UniqueFile file = CreateFileReplacing(job.destination, FILE_SHARE_READ);
  if (!file) {
    Fail(job, DownloadCreateFailed);
    return 0;
  }
  int next = 0;
  for (;;) {
    if (Stopped(job)) break;
    const uint32_t count = job.filled[next].load();
    if (count > 0) {
      DWORD written = 0;
      if (!WriteFile(file.get(), job.buffers[next].get(), count, &written, nullptr) || written != count) {
        Fail(job, DownloadTransferFailed);
        break;
      }
      job.filled[next] = 0;
      next ^= 1;
      continue;
    }
    // The reader raises its flag only once both buffers are empty.
    if (job.readerFinished.load()) break;
    Sleep(10);
  }
  file.reset();
  if (Stopped(job)) {
    DeleteFileW(job.destination.c_str());
  } else {
    job.state = DownloadComplete;
  }
  return 0;
}

void ReceiveToFile(DownloadJob& job, bool announced) {
  job.buffers[0].reset(static_cast<char*>(std::malloc(job.chunk)));
  job.buffers[1].reset(static_cast<char*>(std::malloc(job.chunk)));
  if (!job.buffers[0] || !job.buffers[1]) {
    Fail(job, DownloadOutOfMemory);
    return;
  }
  UniqueThread writer(CreateThread(nullptr, 0, WriterThread, &job, 0, nullptr));
  if (!writer) {
    Fail(job, DownloadOutOfMemory);
    return;
  }
  int index = 0;
  for (;;) {
    while (job.filled[index].load() != 0 && !Stopped(job)) Sleep(10);
    if (Stopped(job)) break;
    DWORD got = 0;
    if (!InternetReadFile(job.request.get(), job.buffers[index].get(), job.chunk, &got)) {
      Fail(job, DownloadTransferFailed);
      break;
    }
    if (got == 0) break;
    job.received += got;
    UpdatePercent(job);
    job.filled[index] = got;
    index ^= 1;
  }
  // A connection that ends before the announced length is a failed
  // transfer, never a complete file.
  if (announced && job.received.load() < job.total.load()) Fail(job, DownloadTransferFailed);
  if (!Stopped(job)) {
    while ((job.filled[0].load() != 0 || job.filled[1].load() != 0) && !Stopped(job)) Sleep(10);
    job.total = job.received.load();
    job.readerFinished = true;
  }
  WaitForSingleObject(writer.get(), INFINITE);
}

void ReceiveToMemory(DownloadJob& job, bool announced) {
  uint64_t total = job.total.load();
  uint64_t capacity = std::min(std::max(kMemoryMinimum, total), kDownloadMemoryCap);
  job.total = std::min(std::max(total, kMemoryMinimum), kDownloadMemoryCap);
  job.body.reset(static_cast<char*>(std::malloc(size_t(capacity) + 2)));
  if (!job.body) {
    Fail(job, DownloadOutOfMemory);
    return;
  }
  uint64_t received = 0;
  for (;;) {
    if (Stopped(job)) return;
    if (announced && received >= job.total.load()) break;
    if (received == capacity) {
      // Without an announced length the body may be longer than the
      // assumed total; it grows up to the cap instead of being cut there.
      if (announced || capacity >= kDownloadMemoryCap) break;
      const uint64_t grown = std::min(capacity * 2, kDownloadMemoryCap);
      char* larger = static_cast<char*>(std::realloc(job.body.get(), size_t(grown) + 2));
      if (!larger) {
        Fail(job, DownloadOutOfMemory);
        return;
      }
      job.body.release();
      job.body.reset(larger);
      capacity = grown;
    }
    const DWORD want = DWORD(std::min<uint64_t>(job.chunk, capacity - received));
    DWORD got = 0;
    if (!InternetReadFile(job.request.get(), job.body.get() + received, want, &got) || got == 0) break;
    received += got;
    job.received = received;
    UpdatePercent(job);
  }
  // A connection that ends before the announced length (up to the cap) is
  // a failed transfer, never a complete body.
  if (received == 0 || (announced && received < std::min(total, kDownloadMemoryCap))) {
    Fail(job, DownloadTransferFailed);
    return;
  }
  job.body.get()[received] = 0;
  job.body.get()[received + 1] = 0;
  job.bodyLength = size_t(received);
  if (!Stopped(job)) job.state = DownloadComplete;
}

uint64_t AnnouncedLength(HINTERNET request) {
  wchar_t text[64] = {};
  DWORD length = sizeof text;
  if (HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH, text, &length, nullptr)) {
    long long value = 0;
    if (ParseDecimal(Trim(text), value) && value > 0) return uint64_t(value);
  }
  DWORD number = 0;
  length = sizeof number;
  if (HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &number, &length, nullptr)) {
    return number;
  }
  return 0;
}

struct UrlParts {
  wchar_t host[INTERNET_MAX_HOST_NAME_LENGTH + 1] = {};
  wchar_t user[INTERNET_MAX_USER_NAME_LENGTH + 1] = {};
  wchar_t password[INTERNET_MAX_PASSWORD_LENGTH + 1] = {};
  std::wstring path;
  INTERNET_PORT port = 0;
};

// False when the URL has no host or no path to ask a server for.
bool SplitUrl(const std::wstring& url, UrlParts& out) {
  out.path.assign(url.size() + 1, L'\0');
  URL_COMPONENTSW parts = {};
  parts.dwStructSize = sizeof parts;
  parts.lpszHostName = out.host;
  parts.dwHostNameLength = ARRAYSIZE(out.host);
  parts.lpszUserName = out.user;
  parts.dwUserNameLength = ARRAYSIZE(out.user);
  parts.lpszPassword = out.password;
  parts.dwPasswordLength = ARRAYSIZE(out.password);
  parts.lpszUrlPath = out.path.data();
  parts.dwUrlPathLength = DWORD(out.path.size());
  if (!InternetCrackUrlW(url.c_str(), DWORD(url.size()), 0, &parts)) return false;
  out.path.resize(parts.dwUrlPathLength);
  out.port = parts.nPort;
  return out.host[0] != 0;
}

// An FTP server tells the size only through its own session.
bool FtpLength(DownloadJob& job, uint64_t& size) {
  UrlParts url;
  if (!SplitUrl(job.url, url) || url.path.empty()) return false;
  const bool secure = StartsWithNoCase(job.url, L"ftps");
  job.ftpConnection.reset(InternetConnectW(job.session.get(), url.host, url.port, url.user[0] ? url.user : nullptr,
                                       url.password[0] ? url.password : nullptr, INTERNET_SERVICE_FTP,
                                             secure ? INTERNET_FLAG_SECURE : 0, 0));
  if (!job.ftpConnection) return false;
  job.ftpFile.reset(FtpOpenFileW(job.ftpConnection.get(), url.path.c_str(), GENERIC_READ, FTP_TRANSFER_TYPE_BINARY, 0));
  if (!job.ftpFile) return false;
  DWORD high = 0;
  const DWORD low = FtpGetFileSize(job.ftpFile.get(), &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return false;
  size = (uint64_t(high) << 32) | low;
  return true;
}

DWORD WINAPI WorkerThread(void* parameter) {
  DownloadJob& job = *static_cast<DownloadJob*>(parameter);
  DWORD connection = 0;
  if (!InternetGetConnectedState(&connection, 0)) {
    Fail(job, DownloadNoConnection);
    return 0;
  }
  job.session.reset(InternetOpenW(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!job.session) {
    Fail(job, DownloadOpenFailed);
    return 0;
  }
  DWORD timeout = 20000;
  InternetSetOptionW(job.session.get(), INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof timeout);
  DWORD retries = 2;
  InternetSetOptionW(job.session.get(), INTERNET_OPTION_CONNECT_RETRIES, &retries, sizeof retries);
  job.state = DownloadSessionOpen;

  const std::wstring headers = BuildRequestHeaders(job.extraHeaders, job.referer);
  if (headers.find(L"Accept-Encoding: gzip, deflate\r\n") != std::wstring::npos) {
    BOOL decode = TRUE;
    InternetSetOptionW(job.session.get(), INTERNET_OPTION_HTTP_DECODING, &decode, sizeof decode);
  }
  if (Stopped(job)) return 0;

  // A URL without a host cannot be opened anywhere; some WinINet versions
  // fault on one instead of failing.
  UrlParts parts;
  if (!SplitUrl(job.url, parts)) {
    Fail(job, DownloadOpenFailed);
    return 0;
  }
  DWORD openFlags = INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_RESYNCHRONIZE;
  if (job.flags & DownloadReload) openFlags |= INTERNET_FLAG_RELOAD;
  job.request.reset(InternetOpenUrlW(job.session.get(), job.url.c_str(), headers.empty() ? nullptr : headers.c_str(),
                                       headers.empty() ? 0 : DWORD(headers.size()), openFlags, 0));
  if (!job.request) {
    Fail(job, DownloadOpenFailed);
    return 0;
  }

  uint64_t total = AnnouncedLength(job.request.get());
  if (total == 0 && StartsWithNoCase(job.url, L"ftp")) {
    // A URL that cannot be split or a file the server will not open ends
    // the job here, so that a caller polling for the end sees it.
    if (!FtpLength(job, total)) {
      Fail(job, DownloadOpenFailed);
      return 0;
    }
  }
  const bool announced = total > 0;
  job.total = total;

  if ((job.flags & DownloadSkipIfPresent) && announced && !(job.flags & DownloadToMemory)) {
    uint64_t existing = 0;
    if (ExistingFileSize(job.destination, existing) && existing == total) {
      job.percent = 100;
      job.state = DownloadPresent;
      return 0;
    }
  }
  if (Stopped(job)) return 0;

  job.state = DownloadTransferring;
  job.chunk = DownloadChunkSize(total);
  if (!announced) job.total = kAssumedTotal;
  if (job.flags & DownloadToMemory) {
    ReceiveToMemory(job, announced);
  } else {
    ReceiveToFile(job, announced);
  }
  return 0;
}

void WaitForWorker(HANDLE worker, DWORD pause) {
  while (WaitForSingleObject(worker, 0) == WAIT_TIMEOUT) {
    DispatchPendingMessages();
    Sleep(pause);
  }
}

}  // namespace

std::wstring BuildRequestHeaders(const std::wstring& extraHeaders, const std::wstring& referer) {
  std::wstring headers = extraHeaders;
  if (!referer.empty() && !StartsWithNoCase(headers, L"Referer:")) headers += L"Referer: " + referer + L"\r\n";
  headers += L"\r\n";
  for (size_t pos = headers.find(L"\r\n\r\n"); pos != std::wstring::npos; pos = headers.find(L"\r\n\r\n", pos)) {
    headers.replace(pos, 4, L"\r\n");
  }
  if (headers.size() < 10) headers.clear();
  return headers;
}

uint32_t DownloadChunkSize(uint64_t total) {
  if (total == 0) return 100000;
  if (total >= 10000000) return 200000;
  if (total >= 500000) return 100000;
  if (total < 100000) return 20000;
  return uint32_t(total / 5);
}

DownloadJobPtr StartDownload(const std::wstring& url, const std::wstring& destination, unsigned flags,
                             const std::wstring& referer, const std::wstring& extraHeaders) {
  DownloadJobPtr job(new DownloadJob);
  job->url = url;
  job->destination = destination;
  if (destination.empty()) flags |= DownloadToMemory;
  job->flags = flags;
  job->referer = referer;
  job->extraHeaders = extraHeaders;
  job->worker.reset(CreateThread(nullptr, 0, WorkerThread, job.get(), 0, nullptr));
  if (!job->worker) return nullptr;
  if (flags & DownloadWait) WaitForWorker(job->worker.get(), 5);
  return job;
}

uint32_t QueryDownload(DownloadJob& job, DownloadQuery what) {
  const uint32_t error = job.error.load();
  // The share of a failed transfer stays readable: it tells how far it got.
  if (error != DownloadNoError && what != QueryPermille) {
    job.state = DownloadCreated;
    job.received = 0;
  }
  switch (what) {
    case QueryTotalSize:
      return uint32_t(job.total.load());
    case QueryReceived:
      return uint32_t(job.received.load());
    case QueryPercent:
      return job.percent.load();
    case QueryState:
      return job.state.load();
    case QueryError:
      return error;
    case QueryFinished: {
      const uint32_t state = job.state.load();
      return (error != DownloadNoError || state == DownloadComplete || state == DownloadPresent) ? 1 : 0;
    }
    case QueryPermille: {
      const uint64_t total = job.total.load();
      return total == 0 ? 0 : uint32_t(job.received.load() * 1000 / total);
    }
  }
  return 0;
}

std::string_view DownloadBody(const DownloadJob& job) {
  if (!(job.flags & DownloadToMemory) || job.state.load() != DownloadComplete || !job.body) return {};
  return std::string_view(job.body.get(), job.bodyLength);
}

void DownloadJobCloser::operator()(DownloadJob* job) const {
  if (!job) return;
  if (job->worker) {
    Fail(*job, DownloadCancelled);
    WaitForWorker(job->worker.get(), 10);
  }
  delete job;
}

}  // namespace tavrin

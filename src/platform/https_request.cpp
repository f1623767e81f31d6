#include "platform/https_request.h"

#include <windows.h>
#include <winhttp.h>

#include <atomic>
#include <memory>
#include <system_error>
#include <thread>

#include "platform/strings.h"

namespace tavrin {

bool ParseBaseAddress(const std::wstring& address, HttpTarget& target) {
  std::wstring rest = Trim(address);
  target = HttpTarget{};
  const size_t scheme = rest.find(L"://");
  if (scheme != std::wstring::npos) {
    const std::wstring name = rest.substr(0, scheme);
    if (EqualsNoCase(name, L"http")) {
      target.secure = false;
      target.port = 80;
    } else if (!EqualsNoCase(name, L"https")) {
      return false;
    }
    rest.erase(0, scheme + 3);
  }
  rest = rest.substr(0, rest.find_first_of(L"/?#"));
  const size_t colon = rest.rfind(L':');
  if (colon != std::wstring::npos && rest.find(L']') == std::wstring::npos) {
    long long port = 0;
    if (!ParseDecimal(rest.substr(colon + 1), port) || port < 1 || port > 65535) return false;
    target.port = uint16_t(port);
    rest.erase(colon);
  }
  target.host = rest;
  return !target.host.empty();
}

HttpConnection::~HttpConnection() { Close(); }

bool HttpConnection::Open(const std::wstring& agent, const HttpTimeouts& timeouts, const HttpTarget& target) {
  Close();
  session_ = WinHttpOpen(agent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                         WINHTTP_NO_PROXY_BYPASS, 0);
  if (!session_) return false;
  WinHttpSetTimeouts(session_, timeouts.resolve, timeouts.connect, timeouts.send, timeouts.receive);
  connection_ = WinHttpConnect(session_, target.host.c_str(), target.port, 0);
  if (!connection_) {
    Close();
    return false;
  }
  target_ = target;
  return true;
}

void HttpConnection::Close() {
  if (connection_) WinHttpCloseHandle(connection_);
  if (session_) WinHttpCloseHandle(session_);
  connection_ = nullptr;
  session_ = nullptr;
}

namespace {

// How long a stopped request may take to let go of its send thread.
constexpr int kStopWaitMs = 500;

// The part of a request that runs on the send thread: send, receive, and
// read the body to its end.
void ExchangeOn(HINTERNET handle, const HttpRequest& request, HttpAnswer& answer) {
  const wchar_t* headers = request.headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : request.headers.c_str();
  void* body = request.body.empty() ? WINHTTP_NO_REQUEST_DATA : const_cast<char*>(request.body.data());
  const DWORD length = DWORD(request.body.size());
  if (!WinHttpSendRequest(handle, headers, DWORD(-1L), body, length, length, 0)) return;
  if (!WinHttpReceiveResponse(handle, nullptr)) return;

  DWORD status = 0;
  DWORD size = sizeof status;
  if (!WinHttpQueryHeaders(handle, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                           &status, &size, WINHTTP_NO_HEADER_INDEX))
    return;
  answer.status = status;
  answer.outcome = HttpOutcome::Cut;

  DWORD announced = 0;
  size = sizeof announced;
  const bool hasLength =
      WinHttpQueryHeaders(handle, WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER,
                          WINHTTP_HEADER_NAME_BY_INDEX, &announced, &size, WINHTTP_NO_HEADER_INDEX) != FALSE;
  if (hasLength && announced > request.bodyLimit) return;

  char chunk[16384];
  for (;;) {
    DWORD read = 0;
    if (!WinHttpReadData(handle, chunk, sizeof chunk, &read)) return;
    if (read == 0) break;
    if (answer.body.size() + read > request.bodyLimit) return;
    answer.body.append(chunk, read);
  }
  if (hasLength && answer.body.size() != announced) return;
  answer.outcome = HttpOutcome::Answered;
}

}  // namespace

HttpAnswer SendHttpRequest(const HttpConnection& connection, const HttpRequest& request,
                           const std::function<bool()>& stopped) {
  HttpAnswer answer;
  if (!connection.IsOpen()) return answer;
  DWORD flags = connection.Target().secure ? WINHTTP_FLAG_SECURE : 0;
  if (request.bypassCache) flags |= WINHTTP_FLAG_REFRESH;
  HINTERNET handle = WinHttpOpenRequest(connection.Handle(), request.verb.c_str(), request.path.c_str(), nullptr,
                                        WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, flags);
  if (!handle) return answer;
  const HttpTimeouts& t = request.timeouts;
  WinHttpSetTimeouts(handle, t.resolve, t.connect, t.send, t.receive);

  // Owned jointly by this call and the send thread, so that whichever ends
  // last releases it.
  struct Exchange {
    HttpRequest request;
    HttpAnswer answer;
    std::atomic<bool> done{false};
  };
  auto exchange = std::make_shared<Exchange>();
  exchange->request = request;
  std::thread sender;
  try {
    sender = std::thread([exchange, handle] {
      Exchange& e = *exchange;
      ExchangeOn(handle, e.request, e.answer);
      e.done = true;
    });
  } catch (const std::system_error&) {
    WinHttpCloseHandle(handle);
    return answer;
  }
  bool cancelled = false;
  while (!exchange->done.load()) {
    if (stopped && stopped()) {
      cancelled = true;
      break;
    }
    Sleep(10);
  }
  // Closing the handle makes the blocked call on the send thread return,
  // and only then is the thread waited for. A platform that finishes the
  // blocked call regardless (Wine waits for its time-out) gets a bounded
  // wait; the thread then ends by itself on the state it shares.
  WinHttpCloseHandle(handle);
  for (int waited = 0; !exchange->done.load() && waited < kStopWaitMs; waited += 10) Sleep(10);
  if (exchange->done.load()) {
    sender.join();
  } else {
    sender.detach();
  }
  if (cancelled) {
    answer.outcome = HttpOutcome::Cancelled;
    return answer;
  }
  return exchange->answer;
}

}  // namespace tavrin

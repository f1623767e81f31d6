#pragma once
// Requests to a web service over WinHTTP: one session and connection per
// client, each request sent on a short-lived thread while the caller polls
// its stop flag. A stop closes the request handle, which ends the blocked
// send or read, and then waits for the thread (at most half a second: past
// that the thread finishes on its own at its time-out); no thread is ever
// killed.
#include <cstdint>
#include <functional>
#include <string>

namespace tavrin {

// Where a base address ("https://host:port/anything") points.
struct HttpTarget {
  std::wstring host;
  uint16_t port = 443;
  bool secure = true;
};

// Scheme "https" (or none) is secure with default port 443, "http" plain
// with 80; a port after the host replaces the default. False for an empty
// host, another scheme or a port that is not a number from 1 to 65535.
bool ParseBaseAddress(const std::wstring& address, HttpTarget& target);

// WinHTTP's four time-outs, in milliseconds.
struct HttpTimeouts {
  int resolve = 0;
  int connect = 0;
  int send = 0;
  int receive = 0;
};

// A session and its connection to one host.
class HttpConnection {
 public:
  HttpConnection() = default;
  ~HttpConnection();
  HttpConnection(const HttpConnection&) = delete;
  HttpConnection& operator=(const HttpConnection&) = delete;

  // Opens the session (default proxy) and the connection; closes what was
  // open first. False when either fails.
  bool Open(const std::wstring& agent, const HttpTimeouts& timeouts, const HttpTarget& target);
  void Close();
  bool IsOpen() const { return connection_ != nullptr; }
  const HttpTarget& Target() const { return target_; }
  void* Handle() const { return connection_; }

 private:
  void* session_ = nullptr;
  void* connection_ = nullptr;
  HttpTarget target_;
};

struct HttpRequest {
  std::wstring verb = L"POST";
  std::wstring path;       // with its query
  std::wstring headers;    // lines ending in "\r\n"
  std::string body;
  HttpTimeouts timeouts;
  bool bypassCache = false;
  // A body longer than this is not an answer the caller can use: reading
  // stops and the answer counts as incomplete.
  size_t bodyLimit = 16u << 20;
};

enum class HttpOutcome {
  Answered,   // status and the whole body read
  Cut,        // status read, body shorter than announced, broken or too long
  NoAnswer,   // the request could not be opened, sent or answered
  Cancelled,  // the stop flag was raised
};

struct HttpAnswer {
  HttpOutcome outcome = HttpOutcome::NoAnswer;
  unsigned status = 0;
  std::string body;
};

// Sends the request on its own thread; the calling thread asks `stopped`
// (may be empty) every 10 ms.
HttpAnswer SendHttpRequest(const HttpConnection& connection, const HttpRequest& request,
                           const std::function<bool()>& stopped);

}  // namespace tavrin

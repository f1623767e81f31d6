#pragma once
// The loopback file server that the test fixture starts (tests/support/
// loopback_server). Tests write the files it serves under Root() and read
// back which paths were requested.
#include <string>
#include <vector>

namespace tavrin::test {

struct Loopback {
  bool running = false;
  std::wstring root;  // the served folder, as a Windows path
  int httpPort = 0;
  int httpsPort = 0;
  std::wstring stateFolder;

  // "http://127.0.0.1:port" + path; the HTTPS form uses the host name
  // "localhost" that the test certificate is made out to.
  std::wstring HttpUrl(const std::wstring& path = {}) const;
  std::wstring HttpsUrl(const std::wstring& path = {}) const;
  // The request lines logged so far ("http GET /path").
  std::vector<std::string> Requests() const;
  // How many logged requests ended with this path.
  int RequestCount(const std::string& path) const;
  // The test authority's certificate (DER).
  std::string AuthorityCertificate() const;
};

// Read once from the environment variable TAVRIN_LOOPBACK (the server's
// state folder as a host path); `running` is false without it.
const Loopback& TheLoopback();

// A port on 127.0.0.1 that nothing listens on.
int ClosedPort();

// Adds a certificate to the machine's "Root" store for the object's lifetime.
class TrustedAuthority {
 public:
  explicit TrustedAuthority(const std::string& der);
  ~TrustedAuthority();
  TrustedAuthority(const TrustedAuthority&) = delete;
  TrustedAuthority& operator=(const TrustedAuthority&) = delete;
  bool Added() const { return added_; }

 private:
  bool added_ = false;
  std::string der_;
};

}  // namespace tavrin::test

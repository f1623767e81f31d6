#include "support/loopback.h"

#include <winsock2.h>
#include <windows.h>
#include <wincrypt.h>

#include <cstdlib>

#include "support/scratch.h"

namespace tavrin::test {

namespace {

std::wstring HostPathToWindows(const std::string& hostPath) {
  std::wstring path = L"Z:";
  for (char c : hostPath) path += c == '/' ? L'\\' : wchar_t(static_cast<unsigned char>(c));
  while (path.size() > 3 && path.back() == L'\\') path.pop_back();
  return path;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    if (end > start) lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

Loopback Load() {
  Loopback server;
  const char* state = std::getenv("TAVRIN_LOOPBACK");
  if (!state || !*state) return server;
  server.stateFolder = HostPathToWindows(state);
  server.root = server.stateFolder + L"\\www";
  for (const std::string& line : Lines(ReadBytes(server.stateFolder + L"\\ports"))) {
    if (line.rfind("http=", 0) == 0) server.httpPort = std::atoi(line.c_str() + 5);
    if (line.rfind("https=", 0) == 0) server.httpsPort = std::atoi(line.c_str() + 6);
  }
  server.running = server.httpPort > 0;
  return server;
}

}  // namespace

std::wstring Loopback::HttpUrl(const std::wstring& path) const {
  return L"http://127.0.0.1:" + std::to_wstring(httpPort) + path;
}

std::wstring Loopback::HttpsUrl(const std::wstring& path) const {
  return L"https://localhost:" + std::to_wstring(httpsPort) + path;
}

std::vector<std::string> Loopback::Requests() const { return Lines(ReadBytes(stateFolder + L"\\requests.log")); }

int Loopback::RequestCount(const std::string& path) const {
  int count = 0;
  for (const std::string& line : Requests()) {
    if (line.size() >= path.size() && line.compare(line.size() - path.size(), path.size(), path) == 0) ++count;
  }
  return count;
}

std::string Loopback::AuthorityCertificate() const { return ReadBytes(stateFolder + L"\\ca.der"); }

const Loopback& TheLoopback() {
  static const Loopback server = Load();
  return server;
}

int ClosedPort() {
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int port = 0;
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
    int length = sizeof address;
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
  }
  // Bound but never listening, then released: connections to it are refused.
  closesocket(s);
  return port;
}

TrustedAuthority::TrustedAuthority(const std::string& der) : der_(der) {
  HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
  if (!store) return;
  added_ = !der.empty() && CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING,
                                                            reinterpret_cast<const BYTE*>(der.data()),
                                                            DWORD(der.size()), CERT_STORE_ADD_REPLACE_EXISTING,
                                                            nullptr);
  CertCloseStore(store, 0);
}

TrustedAuthority::~TrustedAuthority() {
  if (!added_) return;
  HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
  if (!store) return;
  PCCERT_CONTEXT wanted = CertCreateCertificateContext(X509_ASN_ENCODING,
                                                       reinterpret_cast<const BYTE*>(der_.data()), DWORD(der_.size()));
  if (wanted) {
    PCCERT_CONTEXT found = CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, wanted, nullptr);
    if (found) CertDeleteCertificateFromStore(found);  // frees `found`
    CertFreeCertificateContext(wanted);
  }
  CertCloseStore(store, 0);
}

}  // namespace tavrin::test

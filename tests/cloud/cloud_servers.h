#pragma once
// The tests' side of the two service stand-ins (cloud_servers.py): where
// they listen, what the file-report service is to answer, and what both
// received.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/loopback.h"

namespace tavrin::test {

struct ReceivedRequest {
  std::map<std::string, std::string> fields;  // "server", "method", "path", "item.0.hash", ...
  std::string body;
  std::string Field(const std::string& name) const {
    auto found = fields.find(name);
    return found == fields.end() ? std::string() : found->second;
  }
};

struct CloudServers {
  bool running = false;
  std::wstring stateFolder;
  int virusTotalPort = 0;
  int makerPort = 0;

  std::wstring VirusTotalAddress() const { return L"https://localhost:" + std::to_wstring(virusTotalPort); }
  std::wstring MakerAddress() const { return L"https://localhost:" + std::to_wstring(makerPort); }
  // Replaces the answer table (JSON text, see cloud_servers.py).
  void SetAnswers(const std::string& json) const;
  // Every request recorded so far, oldest first; ClearReceived forgets them.
  std::vector<ReceivedRequest> Received() const;
  void ClearReceived() const;
};

// From the environment variable TAVRIN_CLOUD_SERVERS; `running` is false without it.
const CloudServers& TheCloudServers();

// Tests that talk to the stand-ins: the test authority trusted for the
// suite, and each test starting with nothing received.
class CloudServerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { authority = new TrustedAuthority(TheLoopback().AuthorityCertificate()); }
  static void TearDownTestSuite() {
    delete authority;
    authority = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(servers.running) << "the cloud server fixture is not running";
    ASSERT_TRUE(authority->Added());
    servers.ClearReceived();
    servers.SetAnswers("{}");
  }

  static inline TrustedAuthority* authority = nullptr;
  const CloudServers& servers = TheCloudServers();
};

}  // namespace tavrin::test

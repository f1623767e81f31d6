#include "cloud/cloud_servers.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>

#include "support/scratch.h"

namespace tavrin::test {

namespace {

std::wstring WindowsPath(const std::string& hostPath) {
  std::wstring path = L"Z:";
  for (char c : hostPath) path += c == '/' ? L'\\' : wchar_t(static_cast<unsigned char>(c));
  return path;
}

std::vector<std::wstring> RecordFiles(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((folder + L"\\*.txt").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do names.push_back(data.cFileName);
  while (FindNextFileW(find, &data));
  FindClose(find);
  std::sort(names.begin(), names.end());
  return names;
}

CloudServers Load() {
  CloudServers servers;
  const char* state = std::getenv("TAVRIN_CLOUD_SERVERS");
  if (!state || !*state) return servers;
  servers.stateFolder = WindowsPath(state);
  const std::string ports = ReadBytes(servers.stateFolder + L"\\ports");
  size_t at = ports.find("virustotal=");
  if (at != std::string::npos) servers.virusTotalPort = std::atoi(ports.c_str() + at + 11);
  at = ports.find("maker=");
  if (at != std::string::npos) servers.makerPort = std::atoi(ports.c_str() + at + 6);
  servers.running = servers.virusTotalPort > 0 && servers.makerPort > 0;
  return servers;
}

}  // namespace

void CloudServers::SetAnswers(const std::string& json) const { WriteBytes(stateFolder + L"\\answers.json", json); }

std::vector<ReceivedRequest> CloudServers::Received() const {
  std::vector<ReceivedRequest> requests;
  const std::wstring folder = stateFolder + L"\\received";
  for (const std::wstring& name : RecordFiles(folder)) {
    const std::string text = ReadBytes(folder + L"\\" + name);
    ReceivedRequest request;
    size_t start = 0;
    while (start < text.size()) {
      if (text.compare(start, 5, "body=") == 0) {
        request.body = text.substr(start + 5);
        break;
      }
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      const std::string line = text.substr(start, end - start);
      const size_t equals = line.find('=');
      if (equals != std::string::npos) request.fields[line.substr(0, equals)] = line.substr(equals + 1);
      start = end + 1;
    }
    requests.push_back(std::move(request));
  }
  return requests;
}

void CloudServers::ClearReceived() const {
  const std::wstring folder = stateFolder + L"\\received";
  for (const std::wstring& name : RecordFiles(folder)) DeleteFileW((folder + L"\\" + name).c_str());
}

const CloudServers& TheCloudServers() {
  static const CloudServers servers = Load();
  return servers;
}

}  // namespace tavrin::test

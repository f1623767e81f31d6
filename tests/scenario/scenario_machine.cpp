#include "scenario/scenario_machine.h"

#include <vector>

#include "app/settings.h"
#include "definitions_builder.h"
#include "definitions_source.h"
#include "platform/find_files.h"
#include "platform/ini_document.h"
#include "platform/text_file.h"
#include "support/child_process.h"
#include "support/loopback.h"

namespace tavrin::scenario {

std::wstring ServeDefinitions(const std::wstring& sourceText) {
  const test::Loopback& loopback = test::TheLoopback();
  if (!loopback.running) return L"no loopback server";
  definitions_tool::DefinitionsSource source;
  std::vector<std::wstring> errors;
  if (!definitions_tool::ParseDefinitions(sourceText, L"scenario", source, errors))
    return errors.empty() ? L"unreadable definitions" : errors.front();
  static int served = 0;
  const std::wstring folder = L"scenario-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++served);
  std::wstring error;
  if (!definitions_tool::BuildUpdateFolder(source, loopback.root + L"\\" + folder, error)) return error;

  const std::wstring settingsPath = SettingsFilePath(PrepareDataFolder());
  EnsureSettingsFile(settingsPath);
  IniDocument settings(settingsPath);
  settings.SetString(L"Settings", L"DefinitionsServer", loopback.HttpUrl(L"/" + folder));
  return settings.Save() ? std::wstring() : L"settings not saved";
}

DWORD RunTavrin(const std::wstring& arguments, DWORD ms) {
  test::ChildProcess program;
  if (!program.Start(L"\"" + test::TestBuildPath(L"..\\..\\src\\ui\\tavrin.exe") + L"\" " + arguments, SW_HIDE))
    return ~0u;
  return program.Wait(ms);
}

std::wstring LatestScanReport() { return LatestReport(L"tvnScan*.txt"); }
std::wstring LatestRemovalReport() { return LatestReport(L"TVNrem*.txt"); }

std::wstring LatestReport(const std::wstring& pattern) {
  const std::wstring folder = PrepareDataFolder();
  std::wstring newest;
  FILETIME newestTime{};
  FindFiles reports(folder + L"\\" + pattern);
  while (reports.Next()) {
    if (reports.IsFolder() || CompareFileTime(&reports.Entry().ftLastWriteTime, &newestTime) < 0) continue;
    newestTime = reports.Entry().ftLastWriteTime;
    newest = folder + L"\\" + reports.Name();
  }
  std::wstring text;
  if (!newest.empty()) ReadTextFile(newest, text);
  return text;
}

std::wstring ProjectFile(const char* relative) {
  std::wstring path = L"Z:";
  for (char c : std::string(TAVRIN_SOURCE_DIR) + "/" + relative) path += c == '/' ? L'\\' : wchar_t(c);
  return path;
}

std::wstring ReportSection(const std::wstring& report, const std::wstring& title) {
  const size_t start = report.find(L"\r\n" + title);
  if (start == std::wstring::npos) return {};
  const size_t end = report.find(L"\r\n->", start + 2);
  return report.substr(start + 2, end == std::wstring::npos ? std::wstring::npos : end - start - 2);
}

std::wstring Subsection(const std::wstring& section, const std::wstring& title) {
  const std::wstring head = L"\r\n\t" + title + L":\r\n";
  const size_t start = section.find(head);
  if (start == std::wstring::npos) return {};
  for (size_t at = start + head.size();;) {
    const size_t next = section.find(L"\r\n\t", at);
    if (next == std::wstring::npos) return section.substr(start);
    if (next + 3 >= section.size() || section[next + 3] != L'\t') return section.substr(start, next - start);
    at = next + 3;
  }
}

}  // namespace tavrin::scenario

#pragma once
// What a scan runs with, for tests that run the session or its phases in
// their own process: a scratch data folder and the objects the scan thread
// works with, and the environment that points at them. A fixture derives
// from it; the scratch folder is made first and removed last.
#include <string>
#include <string_view>
#include <vector>

#include "definitions/definitions_db.h"
#include "definitions_builder.h"
#include "definitions_source.h"
#include "platform/hives.h"
#include "platform/registry.h"
#include "platform/run_control.h"
#include "platform/text_file.h"
#include "platform/users.h"
#include "results/details_files.h"
#include "results/result_set.h"
#include "results/whitelist.h"
#include "scan/scan_session.h"
#include "support/scratch.h"

namespace tavrin::test {

// ASCII for test messages; anything else as "?".
inline std::string NarrowText(std::wstring_view text) {
  std::string out;
  for (wchar_t c : text) out += c < 128 ? char(c) : '?';
  return out;
}

// The report from a phase's title up to the next phase's.
inline std::wstring ReportBlock(const std::wstring& report, const std::wstring& title) {
  const size_t start = report.find(title);
  if (start == std::wstring::npos) return {};
  const size_t end = report.find(L"\r\n\r\n->", start + title.size());
  return report.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
}

// A row of the "Internet browsers" tab as the browser tests look at it.
struct BrowserRow {
  int group;
  std::wstring name, user, column2;
  bool checked;
  int key;
};

// An empty hive of the test's own, mounted under HKEY_USERS as a user's
// ("HKU\" + sid) until the object goes.
struct TestUserHive {
  std::wstring sid;
  bool mounted = false;
  bool Mount(const std::wstring& userSid, const std::wstring& scratchKey, const std::wstring& file) {
    sid = userSid;
    if (!CreateKey(scratchKey + L"\\Software") || !SaveKeyToHive(scratchKey, file)) return false;
    DeleteKeyTree(scratchKey);
    mounted = LoadHive(HiveRoot::Users, sid, file);
    return mounted;
  }
  std::wstring Root() const { return L"HKU\\" + sid; }
  ~TestUserHive() {
    if (mounted) UnloadHive(HiveRoot::Users, sid);
  }
};

struct ScanParts {
  ScratchFolder scratch;
  ScanSession session;
  ResultSet results;
  WhiteList whitelist;
  InteractiveUser interactiveUser;
  DefinitionsDb definitions;
  CancelFlags cancel;
  ScanEnvironment scan;

  // The whitelist from the scratch folder's settings, and `scan` pointed at
  // the parts, the scratch folder as the data folder and the definitions
  // server at `definitionsServer`.
  void WireScan(const std::wstring& definitionsServer) {
    LoadWhiteList(whitelist, scratch / L"Settings\\WhiteList.ini");
    scan.session = &session;
    scan.results = &results;
    scan.whitelist = &whitelist;
    scan.interactiveUser = &interactiveUser;
    scan.definitions = &definitions;
    scan.cancel = &cancel;
    scan.dataFolder = scratch.Path();
    scan.definitionsServer = definitionsServer;
  }

#ifdef TAVRIN_SOURCE_DIR
  // The project's own definitions (data/definitions) compiled, through the
  // scratch key, into the scratch folder, where a scan mounts them as it
  // mounts a downloaded update. Empty on success, otherwise what failed.
  std::wstring CompileProjectDefinitions(const std::wstring& scratchKey) {
    std::wstring folder = L"Z:";
    for (char c : std::string(TAVRIN_SOURCE_DIR) + "/data/definitions") folder += c == '/' ? L'\\' : wchar_t(c);
    definitions_tool::DefinitionsSource source;
    std::vector<std::wstring> errors;
    if (!definitions_tool::ReadDefinitionsFolder(folder, source, errors))
      return errors.empty() ? L"unreadable definitions" : errors.front();
    std::wstring error;
    if (!definitions_tool::BuildDefinitionsHive(source, scratchKey, scratch / L"TVNdb2.dat", error)) return error;
    return WriteTextFile(scratch / L"TVNdb.txt", std::to_wstring(source.number), TextEncoding::Ansi)
               ? std::wstring()
               : L"TVNdb.txt not written";
  }
#endif

  std::vector<BrowserRow> BrowserRows(int group) {
    std::vector<BrowserRow> rows;
    ResultList list = TabList(results, kBrowsersTab);
    for (int row = 0; row < RowCount(list); ++row)
      if (GetGroup(list, row) == group)
        rows.push_back({group, GetColumnText(list, row, 0), GetColumnText(list, row, 1), GetColumnText(list, row, 2),
                        IsChecked(list, row), GetRowKey(list, row)});
    return rows;
  }
  std::wstring BrowserDetail(const BrowserRow& row, const wchar_t* key) {
    return GetDetail(TabList(results, kBrowsersTab), row.key, key);
  }
};

}  // namespace tavrin::test

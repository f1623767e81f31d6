#include "scan/file_objects.h"

#include <vector>

#include "definitions/adware_definitions.h"
#include "platform/registry.h"
#include "platform/strings.h"
#include "results/details_files.h"
#include "results/whitelist.h"
#include "scan/folder_guard.h"
#include "scan/folder_listing.h"
#include "scan/scan_session.h"

namespace tavrin {

namespace {

constexpr wchar_t kProgramsSection[] = L"Programs";
constexpr wchar_t kProductsFound[] = L"_TVN_PRODUCTS_FOUND_";

struct Candidate {
  std::wstring parent;
  std::wstring userName;
};

// The machine's three folders, then each user's roaming and local
// application data; a folder met twice (one profile scanned under two
// names) is looked in once.
std::vector<Candidate> CandidateFolders(const ScanSession& session) {
  std::vector<Candidate> candidates;
  std::vector<std::wstring> seen;
  auto add = [&](const std::wstring& parent, const std::wstring& userName) {
    if (parent.empty()) return;
    const std::wstring key = ToLower(parent);
    for (const std::wstring& other : seen)
      if (other == key) return;
    seen.push_back(key);
    candidates.push_back({parent, userName});
  };
  for (const std::wstring* folder :
       {&session.folders.programFiles64, &session.folders.programFiles32, &session.folders.commonAppData})
    add(*folder, L"(All users)");
  const UserFolders& relative = session.folders.userRelative;
  for (size_t i = 0; i < session.users.size(); ++i) {
    const UserProfile& user = session.users[i];
    if (user.profileFolder.empty()) continue;
    const std::wstring& name = i < session.userDisplayNames.size() ? session.userDisplayNames[i] : user.accountName;
    if (!relative.appData.empty()) add(user.profileFolder + relative.appData, name);
    if (!relative.localAppData.empty()) add(user.profileFolder + relative.localAppData, name);
  }
  return candidates;
}

}  // namespace

void ScanFileObjects(ScanEnvironment& scan, const AdwareNames& definitions, const std::wstring& foundNames,
                     const FolderGuard& guard, FolderListings& listings) {
  ScanSession& session = *scan.session;
  const std::wstring& root = definitions.Root();
  ResultList list = TabList(*scan.results, kProgramsTab);
  const std::vector<Candidate> candidates = CandidateFolders(session);
  const std::wstring foundLowered = ToLower(foundNames);

  for (const std::wstring& name : definitions.Names()) {
    if (scan.Cancelled()) return;
    if (foundLowered.find(L"|" + ToLower(name) + L"|") != std::wstring::npos) continue;
    if (scan.whitelist && IsWhitelisted(*scan.whitelist, name, kProgramsSection, false)) continue;
    if (!IsPathSafeName(name)) continue;
    // "Software" alone would be any vendor's folder of that name and more.
    const bool exact = EqualsNoCase(name, L"Software");
    int added = 0;
    for (const Candidate& candidate : candidates) {
      std::optional<std::wstring> folder = FindSubfolder(listings, candidate.parent, name, exact);
      if (!folder || !IsStorableFolder(guard, *folder)) continue;
      if (!ReadDetail(list, kProductsFound, name).empty()) break;
      const std::wstring rowName = folder->substr(folder->rfind(L'\\') + 1);
      if (scan.whitelist && IsWhitelisted(*scan.whitelist, rowName, kProgramsSection, false)) continue;
      const bool checked = DefaultCheckState(root, name);
      const int position = AddRow(list, kNoGroup, rowName, L"(not set)", candidate.userName, checked);
      if (position < 0) continue;
      ScanItemDetails details;
      details.path = *folder;
      details.userName = candidate.userName;
      details.dbName = name;
      StoreDetails(list, GetRowKey(list, position), details);
      session.report.Write(L"\r\n\tDetected file object: " + rowName + L"\r\n\t\tPath: " + *folder +
                           L"\r\n\t\tUser name : " + candidate.userName + L"\r\n\t\tItem state: " +
                           (checked ? L"Checked" : L"Unchecked") + L"\r\n");
      ++added;
    }
    if (added > 0) WriteDetail(list, kProductsFound, name, L"1");
  }
}

}  // namespace tavrin

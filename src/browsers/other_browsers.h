#pragma once
// Chromium-based and Firefox-based browsers other than Chrome, Edge and
// Firefox, found on the fly in each scanned account's application data.
#include <string>
#include <vector>

#include "browsers/user_folder_fragments.h"
#include "platform/users.h"

namespace tavrin {

struct OtherChromiumBrowser {
  std::wstring userDataFolder;
  std::wstring policyKeyName;  // "N" or "N\S", below "\Software\Policies"
  std::wstring displayName;    // "N" or "N S"
  int userIndex = 0;
  std::wstring executablePath;  // from "Last Browser"; empty when missing
};

struct OtherFirefoxBrowser {
  std::wstring dataFolder;  // holds its profiles.ini
  std::wstring installFolder;
  std::wstring executableName;  // in the install folder
  int userIndex = 0;
  std::wstring displayName;
};

inline constexpr wchar_t kOperaDisplayName[] = L"Opera Browser";

// Accounts without a profile folder (LocalSystem as the scan lists it) have
// no browser folders and are skipped.
void DiscoverOtherChromiumBrowsers(const UserList& users, const UserFolderFragments& fragments,
                                   std::vector<OtherChromiumBrowser>& out);
void DiscoverOtherFirefoxBrowsers(const UserList& users, const UserFolderFragments& fragments,
                                  std::vector<OtherFirefoxBrowser>& out);

// Appends the browser whose profiles.ini is in `dataFolder` when one of its
// profiles names the install folder; `ownerProfile` bounds the profile paths.
bool RegisterFirefoxFamilyBrowser(const std::wstring& dataFolder, const std::wstring& displayName, int userIndex,
                                  const std::wstring& ownerProfile, std::vector<OtherFirefoxBrowser>& out);

}  // namespace tavrin

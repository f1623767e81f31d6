#include "platform/user_environment.h"

#include <windows.h>

#include <array>

#include "platform/registry.h"
#include "platform/strings.h"

namespace tavrin {

namespace {

// The names Windows sets per user at logon; any other reference is taken
// from the machine (or from the user's own "Environment" key).
constexpr std::array<std::wstring_view, 8> kPerUserNames = {
    L"USERPROFILE", L"HOMEDRIVE", L"HOMEPATH", L"USERNAME", L"APPDATA", L"LOCALAPPDATA", L"TEMP", L"TMP",
};

bool IsPerUserName(std::wstring_view upperName) {
  for (std::wstring_view name : kPerUserNames)
    if (name == upperName) return true;
  return false;
}

const std::wstring* Lookup(const UserEnvironment& environment, std::wstring_view upperName) {
  for (const auto& [name, value] : environment.variables)
    if (name == upperName) return &value;
  return nullptr;
}

void Set(UserEnvironment& environment, std::wstring_view name, const std::wstring& value) {
  if (value.empty() || Lookup(environment, ToUpper(name))) return;
  environment.variables.emplace_back(ToUpper(name), value);
}

// A value of the hive's "Environment" key may refer to the user's own
// variables ("%USERPROFILE%\AppData\Local\Temp"); the machine's references
// in it are expanded by whoever uses the result.
std::wstring ExpandedForUser(std::wstring text, const UserEnvironment& environment) {
  return ExpandUserReferences(text, environment) ? text : std::wstring();
}

}  // namespace

UserEnvironment UserEnvironmentOf(const UserProfile& user) {
  UserEnvironment environment;
  const std::wstring profile = user.profileFolder.empty() ? ProfileFolderOf(user.sid) : user.profileFolder;
  if (!profile.empty()) {
    Set(environment, L"USERPROFILE", profile);
    if (profile.size() > 2 && profile[1] == L':') {
      Set(environment, L"HOMEDRIVE", profile.substr(0, 2));
      Set(environment, L"HOMEPATH", profile.substr(2));
    }
  }
  Set(environment, L"USERNAME", user.accountName);
  if (user.sid.empty() || profile.empty()) return environment;
  Set(environment, L"APPDATA", UserFolder(user.sid, L"AppData", profile));
  Set(environment, L"LOCALAPPDATA", UserFolder(user.sid, L"Local AppData", profile));

  RegKey key = OpenKey(L"HKU\\" + user.sid + L"\\Environment", kRegRead);
  if (!key) return environment;
  std::vector<std::pair<std::wstring, std::wstring>> own;
  std::wstring name, value;
  DWORD type = 0, length = 0;
  for (DWORD i = 0; EnumValue(key, i, name, type, length); ++i) {
    if (length > 2 * 32768 || !ReadString(key, name.c_str(), value)) continue;
    own.emplace_back(name, value);
  }
  // TEMP and TMP first: other variables may be built on them.
  for (const auto& [ownName, ownValue] : own)
    if (EqualsNoCase(ownName, L"TEMP") || EqualsNoCase(ownName, L"TMP"))
      Set(environment, ownName, ExpandedForUser(ownValue, environment));
  for (const auto& [ownName, ownValue] : own) Set(environment, ownName, ExpandedForUser(ownValue, environment));
  return environment;
}

bool ExpandUserReferences(std::wstring& text, const UserEnvironment& environment) {
  std::wstring result;
  size_t at = 0;
  while (at < text.size()) {
    const size_t open = text.find(L'%', at);
    const size_t close = open == std::wstring::npos ? std::wstring::npos : text.find(L'%', open + 1);
    if (close == std::wstring::npos) {
      result.append(text, at, std::wstring::npos);
      break;
    }
    result.append(text, at, open - at);
    const std::wstring name = ToUpper(std::wstring_view(text).substr(open + 1, close - open - 1));
    if (const std::wstring* value = name.empty() ? nullptr : Lookup(environment, name)) {
      result += *value;
      at = close + 1;
    } else if (IsPerUserName(name)) {
      return false;
    } else {
      // Not ours: kept, and its closing "%" may open the next reference.
      result.append(text, open, close - open);
      at = close;
    }
  }
  text = std::move(result);
  return true;
}

}  // namespace tavrin

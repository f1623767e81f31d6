#include "scan/ie_scan_addons.h"

#include <windows.h>

#include "filetrust/command_target.h"
#include "filetrust/file_trust.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/strings.h"

namespace tavrin {

namespace {

// The class keys that may register `clsid`, in the order they are tried.
std::wstring FindClassKey(const std::wstring& root, const std::wstring& clsid) {
  std::wstring candidates[3];
  int count = 0;
  if (StartsWithNoCase(root, L"HKU\\")) candidates[count++] = root + L"\\Software\\Classes\\CLSID\\" + clsid;
  candidates[count++] = L"HKCR64\\CLSID\\" + clsid;
  candidates[count++] = L"HKCR32\\CLSID\\" + clsid;
  for (int i = 0; i < count; ++i)
    if (KeyExists(candidates[i])) return candidates[i];
  return {};
}

bool ServerFile(const std::wstring& classKey, const SystemFolders& folders, std::wstring& file) {
  const struct {
    const wchar_t* subkey;
    unsigned flags;
  } servers[] = {
      {L"\\InprocServer32", 0},
      {L"\\LocalServer32", ResolveCommandLine},
      {L"\\InprocHandler32", 0},
  };
  for (const auto& server : servers) {
    std::wstring text;
    if (!ReadStringAt(classKey + server.subkey, L"", text) || Trim(text).empty()) continue;
    file = Trim(text);
    // Unresolved, the expanded text still tells the user what is named.
    ResolveCommandTarget(file, folders, server.flags);
    return true;
  }
  return false;
}

}  // namespace

AddOnClass LookUpAddOnClass(const std::wstring& root, const std::wstring& clsid, const SystemFolders& folders) {
  AddOnClass result;
  result.name = clsid;
  const std::wstring classKey = FindClassKey(root, clsid);
  if (classKey.empty()) return result;
  result.found = true;
  std::wstring name;
  if (ReadStringAt(classKey, L"", name) && !Trim(name).empty()) result.name = Trim(name);
  if (ServerFile(classKey, folders, result.file)) return result;
  // One step of "TreatAs" only: a chain of them is nothing a browser follows
  // for an add-on, and a loop of them must not keep the scan busy.
  std::wstring other;
  if (ReadStringAt(classKey + L"\\TreatAs", L"", other) && IsGuidKeyName(Trim(other))) {
    const std::wstring otherKey = FindClassKey(root, Trim(other));
    if (!otherKey.empty()) ServerFile(otherKey, folders, result.file);
  }
  return result;
}

bool IsSignedByCompany(const std::wstring& file, const wchar_t* const* companies) {
  if (!IsAbsolutePath(file) || !FileExists(file)) return false;
  std::wstring publisher;
  if (VerifyFileTrust(file, publisher) != TrustValid) return false;
  for (const wchar_t* const* company = companies; *company; ++company)
    if (StartsWithNoCase(publisher, *company)) return true;
  return false;
}

}  // namespace tavrin

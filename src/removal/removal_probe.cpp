#include "removal/removal_probe.h"

#include <windows.h>

#include "browsers/firefox_addons.h"
#include "browsers/hijack_values.h"
#include "browsers/preference_document.h"
#include "browsers/preference_file.h"
#include "filetrust/shortcut.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/registry_unlock.h"
#include "platform/strings.h"
#include "results/details_files.h"

namespace tavrin {

namespace {

bool SameAsFiled(std::wstring_view live, std::wstring_view filed) { return !filed.empty() && FiledText(live) == filed; }

// Anything at the path, a link or a folder included; only "not there"
// counts as absence.
bool ObjectPresent(const std::wstring& path) {
  if (path.empty()) return false;
  if (GetFileAttributesW(LongPath(path).c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  const DWORD error = GetLastError();
  return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

// A key that exists but refuses to be read holds whatever it held.
bool KeyUnreadable(const std::wstring& key) { return KeyExists(key) && !OpenKey(key, kRegRead); }

// The document as the scans load it; false when the file is there but
// could not be read.
bool LoadAsScanned(const std::wstring& file, PreferenceDocument& document) {
  document.Load(file, PreferenceReadMode::Utf8);
  return document.WasRead();
}

bool ChromiumUrlPresent(const RowProbe& probe) {
  if (!FileExists(probe.place)) return ObjectPresent(probe.place);
  PreferenceDocument document;
  if (!LoadAsScanned(probe.place, document)) return true;
  if (EqualsNoCase(probe.name, kChromiumStartupUrlsPath)) {
    for (const std::wstring& url : ReadChromiumStartupUrls(document))
      if (SameAsFiled(url, probe.text)) return true;
    return false;
  }
  std::wstring url;
  return ReadChromiumUrl(document, probe.name, url) && SameAsFiled(url, probe.text);
}

bool ChromiumEntryPresent(const RowProbe& probe) {
  if (!probe.text.empty() && ObjectPresent(probe.text)) return true;
  if (!FileExists(probe.place)) return ObjectPresent(probe.place);
  PreferenceDocument document;
  if (!LoadAsScanned(probe.place, document)) return true;
  PreferenceNode node;
  return document.FindNode(probe.name, node);
}

bool PrefsJsHolds(const RowProbe& probe) {
  if (!FileExists(probe.place)) return ObjectPresent(probe.place);
  PreferenceDocument document;
  if (!LoadAsScanned(probe.place, document)) return true;
  std::wstring value;
  return ReadFirefoxPrefValue(probe.place, probe.name, value) && SameAsFiled(value, probe.text);
}

// Any of its lines setting the value brings the hijack back at the next
// start. A folder of that name is no preference file.
bool UserJsHolds(const RowProbe& probe) {
  const std::wstring userJs = FirefoxUserJsBeside(probe.place);
  if (!FileExists(userJs)) return !FolderExists(userJs) && ObjectPresent(userJs);
  std::vector<std::wstring> values;
  if (!ReadFirefoxPrefValues(userJs, probe.name, values)) return true;
  for (const std::wstring& value : values)
    if (SameAsFiled(value, probe.text)) return true;
  return false;
}

bool FirefoxPrefPresent(const RowProbe& probe) { return PrefsJsHolds(probe) || UserJsHolds(probe); }

// Listed in extensions.json, or its own file or folder still there: an
// add-on installed outside the profile is listed again at the browser's
// next start from where it lies.
bool FirefoxAddonPresent(const RowProbe& probe) {
  if (!probe.text.empty() && ObjectPresent(WithBackslashes(probe.text))) return true;
  if (!FileExists(probe.place)) return ObjectPresent(probe.place);
  PreferenceDocument document;
  if (!LoadAsScanned(probe.place, document)) return true;
  for (const FirefoxAddon& addon : ReadFirefoxAddons(document))
    if (EqualsNoCase(FiledText(addon.id), probe.name)) return true;
  return false;
}

bool SecondaryPagePresent(const RowProbe& probe) {
  if (KeyUnreadable(probe.place)) return true;
  std::wstring lines;
  if (!ReadStringAt(probe.place, probe.name.c_str(), lines)) return false;
  for (const std::wstring& url : SecondaryStartPageEntries(lines))
    if (SameAsFiled(url, probe.text)) return true;
  return false;
}

bool ShortcutArgumentsPresent(const RowProbe& probe) {
  if (!FileExists(probe.place)) return ObjectPresent(probe.place);
  Shortcut link;
  return !ReadShortcut(probe.place, link) || !Trim(link.arguments).empty();
}

// The scans take the argument with its quotes removed; so is the command.
bool StartMenuArgumentPresent(const RowProbe& probe) {
  if (KeyUnreadable(probe.place)) return true;
  std::wstring command;
  if (!ReadStringAt(probe.place, L"", command) || probe.text.empty()) return false;
  std::erase(command, L'"');
  std::wstring argument = probe.text;
  std::erase(argument, L'"');
  return FindNoCase(FiledText(command), argument) != std::wstring::npos;
}

}  // namespace

std::vector<std::wstring> ValueNamesFiledAs(const std::wstring& key, std::wstring_view filedName,
                                            std::wstring_view filedData) {
  std::vector<std::wstring> names;
  RegKey opened = OpenKey(key, kRegRead);
  if (!opened) return names;
  std::wstring name;
  RegValueBuffer data;
  for (DWORD index = 0; EnumValueRaw(opened, index, name, data); ++index) {
    if (!EqualsNoCase(FiledText(ValueNameForUser(name)), filedName) &&
        !EqualsNoCase(FiledText(name), filedName))
      continue;
    if (!filedData.empty()) {
      std::wstring text;
      if (!ReadString(opened, name.c_str(), text) || FiledText(text) != filedData) continue;
    }
    names.push_back(name);
  }
  // The default value has no name to enumerate by on every platform.
  if (names.empty() && EqualsNoCase(filedName, kDefaultValueLabel) && KeyExists(key, L"")) names.push_back(L"");
  return names;
}

bool DeleteValuesFiledAs(const std::wstring& key, std::wstring_view filedName, std::wstring_view filedData) {
  for (const std::wstring& name : ValueNamesFiledAs(key, filedName, filedData))
    if (!DeleteForced(key, name.c_str())) DeleteForced(key, name.c_str());
  return !StillPresent({ProbeKind::RegistryValue, key, std::wstring(filedName), std::wstring(filedData)});
}

bool StillPresent(const RowProbe& probe) {
  switch (probe.kind) {
    case ProbeKind::None:
      return false;
    case ProbeKind::FileObject:
      return ObjectPresent(probe.place);
    case ProbeKind::RegistryKey:
      return KeyExists(probe.place);
    case ProbeKind::RegistryValue:
      return KeyUnreadable(probe.place) || !ValueNamesFiledAs(probe.place, probe.name, probe.text).empty();
    case ProbeKind::ChromiumUrl:
      return ChromiumUrlPresent(probe);
    case ProbeKind::ChromiumEntry:
      return ChromiumEntryPresent(probe);
    case ProbeKind::FirefoxPref:
      return FirefoxPrefPresent(probe);
    case ProbeKind::FirefoxAddon:
      return FirefoxAddonPresent(probe);
    case ProbeKind::IeSecondaryPage:
      return SecondaryPagePresent(probe);
    case ProbeKind::ShortcutArguments:
      return ShortcutArgumentsPresent(probe);
    case ProbeKind::StartMenuArgument:
      return StartMenuArgumentPresent(probe);
  }
  return true;
}

}  // namespace tavrin

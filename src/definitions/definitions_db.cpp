#include "definitions/definitions_db.h"

#include <windows.h>

#include "platform/download_job.h"
#include "platform/file_removal.h"
#include "platform/file_system.h"
#include "platform/hives.h"
#include "platform/registry.h"
#include "platform/strings.h"
#include "platform/text_file.h"
#include "platform/zip_archive.h"

namespace tavrin {

namespace {

// Waits for a download to end, polling every 10 ms. False when the run was
// cancelled first; the job is then still running and its owner closes it.
bool WaitForDownload(DownloadJob& job, const CancelFlags& cancel) {
  while (!QueryDownload(job, QueryFinished)) {
    if (cancel.Cancelled()) return false;
    Sleep(10);
  }
  return true;
}

bool Remove(const std::wstring& path) { return RemoveFile(path, 0) == RemovalResult::Removed; }

DefinitionsState Finish(DefinitionsDb& db, DefinitionsState state) {
  db.state = state;
  return state;
}

uint32_t ReadNumberFile(const std::wstring& path) {
  std::wstring text;
  return ReadTextFile(path, text, TextEncoding::Ansi) ? LeadingNumber(text) : 0;
}

// Only the digits at the start matter, and they read the same in every ANSI
// code page.
std::wstring NumberText(std::string_view body) {
  std::wstring text;
  for (size_t i = 0; i < body.size() && i < 32; ++i) text += wchar_t(static_cast<unsigned char>(body[i]));
  return text;
}

}  // namespace

std::wstring DefinitionsServer(const IniDocument& settings) {
  std::wstring address = Trim(settings.GetString(L"Settings", L"DefinitionsServer", L""));
  while (!address.empty() && address.back() == L'/') address.pop_back();
  return address.empty() ? std::wstring(kDefaultDefinitionsServer) : address;
}

uint32_t LeadingNumber(std::wstring_view text) {
  uint64_t number = 0;
  size_t i = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    number = number * 10 + uint64_t(text[i] - L'0');
    // A number this long is garbage; taken as none rather than cut short.
    if (number > 0xFFFFFFFFull) return 0;
  }
  return uint32_t(number);
}

DefinitionsState UpdateDefinitions(DefinitionsDb& db, const std::wstring& dataFolder,
                                   const std::wstring& serverAddress, const CancelFlags& cancel) {
  db.state = DefinitionsState::Updating;
  const std::wstring numberFile = dataFolder + L"\\" + kNumberFileName;
  const std::wstring archive = dataFolder + L"\\" + kArchiveFileName;
  std::wstring base = serverAddress;
  while (!base.empty() && base.back() == L'/') base.pop_back();
  Remove(dataFolder + L"\\" + kOldHiveFileName);
  db.hivePath = dataFolder + L"\\" + kHiveFileName;

  uint32_t local = ReadNumberFile(numberFile);

  // Until the version file is in, a cancellation leaves every file alone.
  if (cancel.Cancelled()) return Finish(db, DefinitionsState::Idle);
  uint32_t remote = 1;
  {
    DownloadJobPtr job = StartDownload(base + kVersionUrlPath, L"", DownloadReload | DownloadToMemory);
    if (job) {
      if (!WaitForDownload(*job, cancel)) return Finish(db, DefinitionsState::Idle);
      if (QueryDownload(*job, QueryState) == DownloadComplete) remote = LeadingNumber(NumberText(DownloadBody(*job)));
    }
  }
  if (cancel.Cancelled()) return Finish(db, DefinitionsState::Idle);

  const bool keepHive = (remote <= local || remote < kFirstDbNumber) && FileExists(db.hivePath);
  if (!keepHive) {
    Remove(numberFile);
    DownloadJobPtr job = StartDownload(base + kArchiveUrlPath, archive, DownloadReload);
    if (job && WaitForDownload(*job, cancel) && QueryDownload(*job, QueryState) == DownloadComplete) {
      job.reset();  // the archive is complete and closed before it is read
      // The archive is unpacked beside the hive first: a damaged archive, or a
      // server's error page in its place, must not cost the hive in place.
      const std::wstring fresh = db.hivePath + L".new";
      if (ExtractZipEntry(archive, "TVNdb2.dat", fresh) && Remove(db.hivePath) &&
          MoveFileReplacing(fresh, db.hivePath))
        local = remote;
      Remove(fresh);
    }
  }

  Remove(archive);
  Remove(numberFile);
  if (!FileExists(db.hivePath) || cancel.Cancelled()) return Finish(db, DefinitionsState::Idle);
  SetHiddenAttribute(db.hivePath);
  if (WriteTextFile(numberFile, std::to_wstring(local), TextEncoding::Ansi)) SetHiddenAttribute(numberFile);
  db.number = local;
  return Finish(db, DefinitionsState::Ready);
}

bool MountDefinitions(DefinitionsDb& db, const std::wstring& keyName) {
  std::wstring name = keyName;
  if (StartsWithNoCase(name, L"HKLM\\")) name.erase(0, 5);
  if (name.empty() || db.hivePath.empty()) return false;
  if (!LoadHive(HiveRoot::Machine, name, db.hivePath)) {
    {
      RegKey machine = OpenKey(L"HKLM", kRegRead);
      for (const std::wstring& mounted : SubKeyNames(machine)) {
        if (StartsWithNoCase(mounted, L"TVN DB ") || StartsWithNoCase(mounted, L"Tavrin DB ")) {
          UnloadHive(HiveRoot::Machine, mounted);
        }
      }
    }
    if (!LoadHive(HiveRoot::Machine, name, db.hivePath)) {
      Remove(db.hivePath);
      return false;
    }
  }
  db.rootPath = L"HKLM\\" + name;
  return true;
}

bool UnmountDefinitions(DefinitionsDb& db) {
  if (!StartsWithNoCase(db.rootPath, L"HKLM\\")) return false;
  const bool unloaded = UnloadHive(HiveRoot::Machine, db.rootPath.substr(5));
  if (unloaded) db.rootPath.clear();
  return unloaded;
}

}  // namespace tavrin

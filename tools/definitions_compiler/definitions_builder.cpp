#include "definitions_builder.h"

#include <windows.h>

#include <algorithm>

#include "platform/file_system.h"
#include "platform/hives.h"
#include "platform/registry.h"
#include "platform/text_file.h"
#include "platform/zip_archive.h"

namespace tavrin::definitions_tool {

namespace {

bool WriteKeys(const DefinitionsSource& source, const std::wstring& root, std::wstring& error) {
  auto failed = [&](const std::wstring& path) {
    error = L"cannot write " + path + L" (error " + std::to_wstring(GetLastError()) + L")";
    return false;
  };
  RegKey key;
  for (const wchar_t* top : {L"Adware", L"Malware", L"IEWhiteL"}) {
    if (!CreateKey(key, root + L"\\" + top)) return failed(root + L"\\" + top);
  }
  for (const AdwareDefinition& definition : source.adware) {
    const std::wstring path = root + L"\\Adware\\" + definition.name;
    if (!CreateKey(key, path)) return failed(path);
    if (definition.unchecked && !WriteDword(key, L"_check_state_", 0)) return failed(path);
  }

  // Hashes sharing their first three digit pairs share a key: written in
  // hash order, each key is opened once.
  std::vector<const HashDefinition*> hashes;
  for (const HashDefinition& definition : source.malware) hashes.push_back(&definition);
  std::sort(hashes.begin(), hashes.end(), [](auto* a, auto* b) { return a->hash < b->hash; });
  std::wstring openPath;
  for (const HashDefinition* definition : hashes) {
    const std::wstring& h = definition->hash;
    const std::wstring path = root + L"\\Malware\\" + h.substr(0, 2) + L"\\" + h.substr(2, 2) + L"\\" + h.substr(4, 2);
    if (path != openPath) {
      if (!CreateKey(key, path)) return failed(path);
      openPath = path;
    }
    if (!WriteString(key, h.substr(6).c_str(), definition->record)) return failed(path);
  }
  openPath.clear();

  for (const std::wstring& name : WhiteListKeys()) {
    const std::wstring path = root + L"\\" + name;
    if (!CreateKey(key, path)) return failed(path);
    for (const WhiteListSection& section : source.whiteLists) {
      if (section.key != name) continue;
      for (const NamedEntry& entry : section.entries) {
        if (!WriteString(key, entry.name.c_str(), entry.description)) return failed(path + L" " + entry.name);
      }
    }
  }
  for (const NamedEntry& entry : source.ieWhiteList) {
    const std::wstring path = root + L"\\IEWhiteL\\" + entry.name;
    if (!CreateKey(key, path)) return failed(path);
    if (!entry.description.empty() && !WriteString(key, L"", entry.description)) return failed(path);
  }
  return true;
}

}  // namespace

std::wstring DefaultScratchKey() {
  return L"HKCU\\Software\\TavrinDefinitionsBuild-" + std::to_wstring(GetCurrentProcessId());
}

bool BuildDefinitionsHive(const DefinitionsSource& source, const std::wstring& scratchKey,
                          const std::wstring& hiveFile, std::wstring& error) {
  DeleteKeyTree(scratchKey);
  bool ok = WriteKeys(source, scratchKey, error);
  if (ok && !SaveKeyToHive(scratchKey, hiveFile)) {
    error = L"cannot save " + scratchKey + L" to " + hiveFile + L" (error " + std::to_wstring(GetLastError()) + L")";
    ok = false;
  }
  DeleteKeyTree(scratchKey);
  return ok;
}

bool BuildUpdateFolder(const DefinitionsSource& source, const std::wstring& folder, std::wstring& error) {
  const std::wstring served = folder + L"\\tavrin";
  if (!CreateFolderTree(served)) {
    error = L"cannot create " + served;
    return false;
  }
  const std::wstring hive = folder + L"\\TVNdb2.dat";
  if (!BuildDefinitionsHive(source, DefaultScratchKey(), hive, error)) return false;
  if (!WriteZipArchive(served + L"\\TVNdb2.zip", {{"TVNdb2.dat", {}, hive}})) {
    error = L"cannot write " + served + L"\\TVNdb2.zip";
    return false;
  }
  if (!WriteTextFile(served + L"\\dbver2.txt", std::to_wstring(source.number) + L"\r\n", TextEncoding::Ansi)) {
    error = L"cannot write " + served + L"\\dbver2.txt";
    return false;
  }
  return true;
}

}  // namespace tavrin::definitions_tool

#pragma once
// Where an installed program lives and which icon its row shows, from its
// uninstall entry, Windows Installer and guesses in the usual folders.
#include <string>

#include "scan/folder_guard.h"
#include "scan/folder_listing.h"

namespace tavrin {

struct UninstallEntry {
  std::wstring key;  // RegPath of the entry
  std::wstring productCode;  // the key's name, for a Windows Installer product
  bool isMsi = false;
  std::wstring displayName;
  std::wstring publisher;  // empty when not set
  std::wstring installLocation;
  std::wstring uninstallString;
  std::wstring displayIcon;
};

// The folders a guess is made in.
struct GuessFolders {
  std::wstring programFiles64, programFiles32, commonAppData;
  // The user's roaming and local application data; empty for the machine.
  std::wstring userAppData, userLocalAppData;
};

struct ProgramFolderRules {
  // The pending-verdict pass takes a Windows Installer location as soon as
  // it holds a drive colon, existing or not.
  bool msiLocationNeedNotExist = false;
};

// The program's folder, canonical and storable (FolderGuard), or empty.
std::wstring ProgramFolderOf(const UninstallEntry& entry, const GuessFolders& guesses, const FolderGuard& guard,
                             FolderListings& listings, const ProgramFolderRules& rules = {});

// Windows Installer's packed form of a product code, the name its
// per-machine keys use: the first three groups reversed, the remaining
// bytes with their two hex digits swapped. Empty when the text is no GUID.
std::wstring PackedProductCode(const std::wstring& productCode);

// The parent folder of the file an uninstall string names (quotes removed,
// environment expanded, from the drive letter of its last ":\"); empty for
// strings of 10 characters or fewer.
std::wstring UninstallStringFolder(const std::wstring& uninstallString);

struct IconLocation {
  std::wstring file;  // empty when no existing file was found
  int index = 0;
};
// "path,index" with quotes and environment references, "path" alone.
IconLocation ParseIconLocation(const std::wstring& text);
// The row's icon: "DisplayIcon", Windows Installer's product icon, or the
// program the uninstall string runs.
IconLocation ProgramIconOf(const UninstallEntry& entry);

}  // namespace tavrin

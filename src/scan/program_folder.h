#pragma once
// Where an installed program lives and which icon its row shows, from its
// uninstall entry, Windows Installer and guesses in the usual folders.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "scan/folder_guard.h"
#include "scan/folder_listing.h"

namespace tavrin {

struct SystemFolders;

struct UninstallEntry {
  std::wstring key;  // RegPath of the entry
  std::wstring productCode;  // the key's name, for a Windows Installer product
  bool isMsi = false;
  std::wstring displayName;
  std::wstring publisher;  // empty when not set
  std::wstring installLocation;
  std::wstring uninstallString;
  std::wstring displayIcon;
  std::wstring dbName;       // the definitions name, when one matched
  std::wstring uninstaller;  // the file the uninstall string runs, long form; empty when none
};

// Who else on the machine lives in which folder. Uninstall entries are
// written by whatever installed them, so a folder an entry names is only
// taken for the program's when no other registered program, service or Run
// entry lives there. Gathered once per scan and again by the removal.
struct FolderOwner {
  std::wstring key;                 // uninstall key, service key, Run key + "\" + value name
  std::vector<std::wstring> names;  // display name; service name and display name; Run value name
  std::wstring folder;              // canonical, lower case
};
struct ProgramFolderFacts {
  std::vector<FolderOwner> programs, services, runEntries;
};

// Every uninstall entry below `uninstallRoots` (its "InstallLocation", its
// Windows Installer location, the folder of its uninstaller), every
// service's image and service DLL, and every value of `runKeys`.
ProgramFolderFacts GatherProgramFolderFacts(const std::vector<std::wstring>& uninstallRoots,
                                            const std::vector<std::wstring>& runKeys, const SystemFolders& folders);

// Why a folder text was or was not taken for a program's.
enum class FolderVerdict {
  Accepted,
  NoCanonicalForm,  // relative, a share or device, a drive root, a name of only dots or blanks
  WindowsOwned,     // IsWindowsOwnedFolder
  Protected,        // !IsStorableFolder for any other reason
  OtherProgram,     // another registered program lives at or below it
  ServiceImage,     // a service not tied to the program runs from at or below it
  RunEntry,         // a Run entry not tied to the program runs from at or below it
  NotTied,          // its name matches neither the program's names nor holds its uninstaller
};
struct FolderJudgement {
  FolderVerdict verdict = FolderVerdict::NoCanonicalForm;
  std::wstring folder;  // the canonical form, when there is one
};

// The canonical form of a folder text from an uninstall entry: quotes
// removed, environment expanded, "\\?\" dropped, forward slashes turned,
// trailing dots and blanks of each name dropped, "." and ".." resolved,
// short names spelled out (CanonicalFolder).
std::optional<std::wstring> ProgramFolderCanonical(std::wstring_view text);

// Whether `text` names a folder that belongs to `entry` (only its key,
// names and resolved uninstaller are read): canonical, not owned by Windows,
// not protected, no other program's folder or a parent of one, not where an
// untied service or Run entry runs from, and named like the program (its
// name begins with the display name, the definitions name or the publisher
// as the guesses match them) or holding its uninstaller.
FolderJudgement JudgeProgramFolder(std::wstring_view text, const UninstallEntry& entry, const FolderGuard& guard,
                                   const ProgramFolderFacts& facts);
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

// The program's folder, accepted by JudgeProgramFolder, or empty.
std::wstring ProgramFolderOf(const UninstallEntry& entry, const GuessFolders& guesses, const FolderGuard& guard,
                             const ProgramFolderFacts& facts, FolderListings& listings,
                             const ProgramFolderRules& rules = {});

// Windows Installer's packed form of a product code, the name its
// per-machine keys use: the first three groups reversed, the remaining
// bytes with their two hex digits swapped. Empty when the text is no GUID.
std::wstring PackedProductCode(const std::wstring& productCode);

// The file an uninstall string runs (ResolveCommandTarget, in long form),
// never a path that only stands in its arguments; empty when it runs a host
// (regsvr32, rundll32, cmd) or a file Windows protects, or nothing at all.
std::wstring ResolvedUninstaller(const std::wstring& uninstallString, const SystemFolders& folders);

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

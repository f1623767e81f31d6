#pragma once
// Folders named like an adware definition in the program files, program
// data and users' application data folders, listed as file objects when
// the programs walk did not already list the definition as a program.
#include <string>

#include "definitions/adware_definitions.h"

namespace tavrin {

struct FolderGuard;
struct FolderListings;
struct ScanEnvironment;

// `foundNames` is "|" followed by every definition the programs walk
// matched, each followed by "|".
void ScanFileObjects(ScanEnvironment& scan, const AdwareNames& definitions, const std::wstring& foundNames,
                     const FolderGuard& guard, FolderListings& listings);

}  // namespace tavrin

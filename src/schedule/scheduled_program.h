#pragma once
// Which program a scheduled scan starts. The task runs it with the highest
// rights without asking, so a program file that a standard user can
// replace would hand those rights to whoever replaces it: such a program
// is copied into a protected folder first and the task names the copy.
#include <string>

#include "results/whitelist.h"

namespace tavrin {

// The program's own path without the "\\?\" prefix, or its companion when
// a file exists at that path with a final "64.exe" replaced by ".exe".
std::wstring ScheduledProgramPath(const std::wstring& ownPath);

// True when an account without administrator rights may write the file
// or create or replace files in its folder: the access list of either
// grants writing to Everyone, Authenticated Users, Users, Interactive,
// Creator Owner or the running user's own account, or there is none. True
// also when the access lists cannot be read.
bool IsWritableByStandardUsers(const std::wstring& file);

// The program files folder's "Tavrin" folder + the program's file name.
std::wstring ProtectedProgramPath(const std::wstring& program);

// Copies the program to `target` (replacing an older copy) and checks that
// the copy is protected, then gives the copy the program's whitelist
// (CopyBesideWhitelist). False, and no copy left, otherwise.
bool CopyProgramTo(const std::wstring& program, const std::wstring& target);

// The whitelist kept beside the program ("TVN_White_list.ini"), when there
// is one, copied beside the copy in `targetFolder` with the folder's
// protection, so that a scheduled run of the copy spares what the user's
// runs spare; without one, a copy's older whitelist is removed, and both
// then use the one of the data folder. False when the copy could not be
// written or protected.
bool CopyBesideWhitelist(const std::wstring& program, const std::wstring& targetFolder);

// Keeps the copy's whitelist in step after the schedule was made: from now
// on, each save of `whitelist` to the file beside `program` is copied beside
// the program's copy at `copy` (CopyBesideWhitelist) while that copy exists.
// Saves to another file (the data folder's) leave the copy's folder alone.
void ShareWhitelistWithCopy(WhiteList& whitelist, const std::wstring& program, const std::wstring& copy);

}  // namespace tavrin

#pragma once
// The environment references of one account. A command stored in a user's
// Run key or Startup folder is started in that user's session, so
// "%APPDATA%" in it names that user's folder, whatever account the program
// itself runs under. Expanding it in the program's own environment would
// judge (and later delete) another user's file.
#include <string>
#include <utility>
#include <vector>

#include "platform/users.h"

namespace tavrin {

struct UserEnvironment {
  // Upper-case names and their values, as far as they are known for the user.
  std::vector<std::pair<std::wstring, std::wstring>> variables;
};

// USERPROFILE, HOMEDRIVE, HOMEPATH, USERNAME, APPDATA, LOCALAPPDATA, TEMP
// and TMP from the user's profile folder and own hive (mounted when
// needed), then the further variables of the hive's "Environment" key.
// Folders the hive does not name are left out.
UserEnvironment UserEnvironmentOf(const UserProfile& user);

// Replaces the user's references ("%AppData%", any case) in `text`. False
// when the text refers to a per-user variable whose value is unknown for
// this user: the text cannot be read for the user then. References to
// variables that are not per-user (%SystemRoot%, %ProgramFiles%) are left
// for the machine's expansion.
bool ExpandUserReferences(std::wstring& text, const UserEnvironment& environment);

}  // namespace tavrin

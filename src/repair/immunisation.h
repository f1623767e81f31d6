#pragma once
// The records of the maker's companion tool, which can write-protect
// groups of items. The repair actions that write into such an item lift
// the protection first and apply it again afterwards; the records
// themselves are only read.
#include <optional>
#include <string>
#include <string_view>

#include "platform/users.h"
#include "repair/repair_context.h"

namespace tavrin {

inline constexpr wchar_t kCompanionToolKey[] = L"HKLM64\\SOFTWARE\\Halvoret\\ORN - Orrin";

enum ImmunizedCategory : int {
  kImmunizedPolicies = 6,
  kImmunizedHosts = 8,
  kImmunizedSubSystems = 11,
};

// Whether the "Immunized" text ("3|6|8") lists the category.
bool ListsCategory(std::wstring_view immunized, int category);

// SetObjectLock flag bits.
enum ObjectLockFlags : unsigned {
  LockProtect = 0x1,
  LockStrict = 0x2,
  LockRegistryKey = 0x4,
  LockTree = 0x8,
};
// Replaces the object's access list (owner BUILTIN\Administrators): when
// protecting, LocalSystem and TrustedInstaller full control, everyone else
// read only and refused the right to change permissions or owner, not
// inherited from the parent; otherwise the administrators' full control
// in place of the read-only entry, inheritance restored. Tried up to four
// times; true when it took.
bool SetObjectLock(RepairContext& context, const std::wstring& object, unsigned flags);

// Sets the lock of every object of the category; the number done.
int ApplyProtection(RepairContext& context, int category, bool protect, const UserList& users);

// When the category is immunized: unprotects it and returns the users its
// per-user part covers; nothing when it is not immunized or the lift failed.
std::optional<UserList> LiftProtection(RepairContext& context, int category);

}  // namespace tavrin

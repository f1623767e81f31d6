#pragma once
// One ProfileList entry that Windows set aside as "<SID>.bak" when it gave
// the user a temporary profile.
#include <string>

namespace tavrin {

enum class ProfileRepair {
  NotHandled,    // not a ".bak" entry, or no current entry beside it
  StaleRemoved,  // the ".bak" entry pointed nowhere or at the smaller profile
  Fixed,         // the ".bak" entry became the user's entry again
  Failed,
};

// `profileList` is the ProfileList key, `subkey` one of its subkey names.
// The entry is moved back only when its folder exists and the current one
// is a temporary profile or not the larger one.
ProfileRepair RepairProfileEntry(const std::wstring& profileList, const std::wstring& subkey,
                                 const std::wstring& computerName);

std::wstring ComputerNameText();

}  // namespace tavrin

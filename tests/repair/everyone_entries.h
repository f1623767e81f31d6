#pragma once
// What an object's access list says about Everyone, read back through the
// security functions, for the tests of locks and access resets.
#include <windows.h>
#include <aclapi.h>

#include <string>

namespace tavrin::test {

struct EveryoneEntries {
  bool read = false;           // the list could be read
  bool protectedList = false;  // not inherited from the parent
  bool denied = false;         // an entry refuses Everyone something
  bool allowed = false;        // an entry grants Everyone something
};

// `name` is a security object name ("MACHINE\SOFTWARE\..." or a path).
inline EveryoneEntries EntriesForEveryone(const std::wstring& name, SE_OBJECT_TYPE type = SE_REGISTRY_KEY) {
  EveryoneEntries found;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  PACL dacl = nullptr;
  if (GetNamedSecurityInfoW(name.c_str(), type, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                            &descriptor) != ERROR_SUCCESS)
    return found;
  found.read = true;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  GetSecurityDescriptorControl(descriptor, &control, &revision);
  found.protectedList = control & SE_DACL_PROTECTED;
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
  for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
    ACE_HEADER* ace = nullptr;
    if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace))) continue;
    // Allowed and denied entries keep the SID at the same place.
    if (!EqualSid(&reinterpret_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart, everyone)) continue;
    if (ace->AceType == ACCESS_DENIED_ACE_TYPE) found.denied = true;
    if (ace->AceType == ACCESS_ALLOWED_ACE_TYPE) found.allowed = true;
  }
  FreeSid(everyone);
  LocalFree(descriptor);
  return found;
}

}  // namespace tavrin::test

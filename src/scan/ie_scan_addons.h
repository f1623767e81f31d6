#pragma once
// What Internet Explorer's add-on registrations point at: the class a CLSID
// names, its file, and whether the file's signature exempts it.
#include <string>
#include <string_view>

#include "filetrust/system_folders.h"

namespace tavrin {

struct AddOnClass {
  bool found = false;  // the class key exists
  std::wstring name;   // its default value; the CLSID when it has none
  std::wstring file;   // the server's file, resolved when it exists
};

// The class registration of `clsid`: the user's own classes first (for a
// root "HKU\" + SID), then the machine's in the 64-bit and the 32-bit view.
// The file is the default value of "\InprocServer32", "\LocalServer32" or
// "\InprocHandler32", or that of the class "\TreatAs" names.
AddOnClass LookUpAddOnClass(const std::wstring& root, const std::wstring& clsid, const SystemFolders& folders);

// True when the file carries a valid signature whose signer's name begins
// with one of `companies` (a list ending with a null). The company a file's
// version resource declares is the file's own claim and counts for nothing.
bool IsSignedByCompany(const std::wstring& file, const wchar_t* const* companies);

}  // namespace tavrin

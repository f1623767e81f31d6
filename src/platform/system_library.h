#pragma once
// DLLs of Windows loaded by the elevated program only from the System
// folder. A DLL found by its bare name comes first from the program's own
// folder, and a program that runs elevated from a Downloads folder would
// run whatever DLL of that name lies beside it.
#include <windows.h>

#include <string>

namespace tavrin {

// Limits the search of every later load by name, delay-loaded imports
// included, to the System folder. Called first thing in the process entry.
bool LimitDllSearchToSystemFolder();

// System folder + "\" + `name`, loaded by that full path; null when it is
// not there or does not load.
HMODULE LoadSystemLibrary(const std::wstring& name);

// A DLL loaded with LoadSystemLibrary, freed on scope exit.
class SystemLibrary {
 public:
  explicit SystemLibrary(const std::wstring& name) : module_(LoadSystemLibrary(name)) {}
  ~SystemLibrary() {
    if (module_) FreeLibrary(module_);
  }
  SystemLibrary(const SystemLibrary&) = delete;
  SystemLibrary& operator=(const SystemLibrary&) = delete;
  HMODULE Get() const { return module_; }

 private:
  HMODULE module_;
};

}  // namespace tavrin

#include "scan/custom_scan_files.h"

#include "platform/find_files.h"
#include "platform/pattern.h"
#include "platform/strings.h"

namespace tavrin {

namespace {

const Pattern& ExecutableFilePattern() {
  static const Pattern pattern(
      L"\\.(exe|com|pif|paf|bat|cmd|bin|dll|ocx|cpl|sys|gadget|msi|msp|mst|reg|ax|node|ps1|psc1|chm|inx|ins|inf|job|"
      L"ws|wsf|js|jse|icl|isu|msc|rgs|scr|sct|scf|shb|shs|u3p|vb|vbs|vbe|vbscript|ws|wsf|wsh|application|hta|jar|"
      L"ps1xml|msh2|mshxml|msh2xml|appx|appxbundle|tsp|mui|efi|drv|acm|7z|zip|rar|cab|gz|gzip)$");
  return pattern;
}

}  // namespace

bool IsExecutableFileName(const std::wstring& name) {
  return EndsWithNoCase(name, L".lnk") || ExecutableFilePattern().Matches(name);
}

bool CollectExecutableFiles(const std::wstring& folder, bool recursive, const CancelFlags* cancel,
                            std::vector<std::wstring>& files) {
  // An explicit stack instead of recursion: a deep tree cannot exhaust the
  // thread's stack.
  std::vector<std::wstring> pending{folder};
  while (!pending.empty()) {
    if (cancel && cancel->Cancelled()) return false;
    const std::wstring current = std::move(pending.back());
    pending.pop_back();
    const std::wstring prefix = current.back() == L'\\' ? current : current + L'\\';
    std::vector<std::wstring> subfolders;
    FindFiles find(prefix + L"*");
    while (find.Next()) {
      if (find.IsReparsePoint()) continue;
      if (find.IsFolder()) {
        if (recursive) subfolders.push_back(prefix + find.Name());
      } else if (IsExecutableFileName(find.Name())) {
        files.push_back(prefix + find.Name());
      }
    }
    // Taken from the back: the first subfolder is walked first.
    pending.insert(pending.end(), subfolders.rbegin(), subfolders.rend());
  }
  return true;
}

}  // namespace tavrin

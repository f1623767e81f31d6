#pragma once
// What every scan phase asks of the scan it runs in: the cancel test, its
// report, the whitelist and the names of the users it walks.
#include <string>
#include <vector>

#include "platform/users.h"
#include "results/whitelist.h"
#include "scan/scan_session.h"

namespace tavrin {

struct PhaseScope {
  ScanEnvironment& scan;

  bool Cancelled() const { return scan.Cancelled(); }
  void Report(const std::wstring& text) const { scan.session->report.Write(text); }
  bool Whitelisted(const std::wstring& item, const wchar_t* section) const {
    return scan.whitelist && IsWhitelisted(*scan.whitelist, item, section, false);
  }
  const UserList& Users() const { return scan.session->users; }
  // The session's users first, then "(All users)" for the machine's places
  // that follow them.
  std::wstring UserName(size_t index) const {
    const std::vector<std::wstring>& names = scan.session->userDisplayNames;
    if (index < names.size()) return names[index];
    return index < Users().size() ? Users()[index].accountName : L"(All users)";
  }
};

// The line that ends a row's report entry.
inline const wchar_t* ItemStateLine(bool checked) {
  return checked ? L"\r\n\t\tItem state: Checked\r\n" : L"\r\n\t\tItem state: Unchecked\r\n";
}

}  // namespace tavrin

#pragma once
// Windows Firewall through its COM interfaces. COM must be initialised on
// the calling thread.
#include <string>

namespace tavrin {

// True only when the firewall of the current profile reports itself enabled.
bool IsFirewallEnabled();

// Adds the executable to the current profile's authorised applications
// (scope all, any IP version, enabled) and, when asked, an outbound TCP
// allow rule for it. True when every requested change was made.
bool AuthorizeApplication(const std::wstring& executablePath, const std::wstring& name,
                          const std::wstring& outboundRuleName);

}  // namespace tavrin

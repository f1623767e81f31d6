#pragma once
// The autostart phase: what Windows starts on its own from the Run keys of
// every user and of the machine, the Startup folders, the scheduled tasks
// of the root folder, the AppInit_DLLs values, and the name servers the
// network interfaces use. One row of the Autostart tab per entry; an entry
// is added checked only when it looks malicious (its file judged malware,
// started from a temporary folder, or a name server the definitions know).
#include <string>

namespace tavrin {

struct ScanEnvironment;
struct UserProfile;

void ScanAutostart(ScanEnvironment& scan);

// A user's Startup folder: below the profile folder where the user has
// one, the console user's own otherwise; empty when neither is known.
std::wstring UserStartupFolder(const ScanEnvironment& scan, const UserProfile& user);

}  // namespace tavrin

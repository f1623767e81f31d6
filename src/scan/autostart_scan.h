#pragma once
// The autostart phase: what Windows starts on its own from the Run keys of
// every user and of the machine, the Startup folders, the scheduled tasks
// of the root folder, the AppInit_DLLs values, and the name servers the
// network interfaces use. One row of the Autostart tab per entry; an entry
// is added checked only when it looks malicious (its file judged malware,
// started from a temporary folder, or a name server the definitions know).
namespace tavrin {

struct ScanEnvironment;

void ScanAutostart(ScanEnvironment& scan);

}  // namespace tavrin

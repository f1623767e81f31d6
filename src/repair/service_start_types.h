#pragma once
// Windows' own start configuration of its services, per Windows version,
// and the reset of services whose start type malware changed.
#include <functional>
#include <string>

#include "repair/repair_context.h"

namespace tavrin {

// The reference table as the INI text the program ships: sections
// "[WIN.51]" ... "[WIN.110]", entries name + ".STT" = start value (2
// automatic, 3 manual, 4 disabled) and name + ".DAS" = 1 for a delayed
// automatic start.
const std::wstring& StartTypeTableText();

// "WIN." + the Windows version times ten as a whole number ("WIN.63").
std::wstring StartTypeSection(double windowsVersion);

// The reset over every installed service, with the table of `tablePath`
// and the test of which image files belong to Windows itself. The number
// of services repaired, -1 when cancelled; `failed` counts the services
// that differed and could not be changed.
int ResetStartTypesWith(RepairContext& context, const std::wstring& tablePath,
                        const std::function<bool(const std::wstring& imageFile)>& isWindowsFile,
                        int* failed = nullptr);

}  // namespace tavrin

#pragma once
// The repairs of Firefox's and the other Firefox-based browsers' rows.
#include "removal/browser_repair_row.h"

namespace tavrin {

bool IsFirefoxGroup(int group);
RowRepair RepairFirefoxRow(RemovalSession& session, const BrowserRow& row);
// What the row's repair must leave gone, read back as the scan read it.
RowProbe FirefoxRowProbe(const BrowserRow& row);

}  // namespace tavrin

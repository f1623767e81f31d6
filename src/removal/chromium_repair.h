#pragma once
// The repairs of Chrome's, Edge's and the other Chromium browsers' rows.
#include "removal/browser_repair_row.h"

namespace tavrin {

bool IsChromiumGroup(int group);
RowRepair RepairChromiumRow(RemovalSession& session, const BrowserRow& row);
// What the row's repair must leave gone, read back as the scan read it.
RowProbe ChromiumRowProbe(const BrowserRow& row);

}  // namespace tavrin

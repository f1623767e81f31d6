#pragma once
// The repairs of Chrome's, Edge's and the other Chromium browsers' rows.
#include "removal/browser_repair_row.h"

namespace tavrin {

bool IsChromiumGroup(int group);
RowRepair RepairChromiumRow(RemovalSession& session, const BrowserRow& row);

}  // namespace tavrin

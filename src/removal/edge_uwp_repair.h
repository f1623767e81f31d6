#pragma once
// The repairs of the Microsoft Edge app's rows: its extensions and the
// reset options of its app-container settings.
#include "removal/browser_repair_row.h"

namespace tavrin {

RowRepair RepairEdgeUwpRow(RemovalSession& session, const BrowserRow& row);
// What the row's repair must leave gone, read back as the scan read it.
RowProbe EdgeUwpRowProbe(const BrowserRow& row);

}  // namespace tavrin

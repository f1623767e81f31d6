#pragma once
// The repairs of the Microsoft Edge app's rows: its extensions and the
// reset options of its app-container settings.
#include "removal/browser_repair_row.h"

namespace tavrin {

RowRepair RepairEdgeUwpRow(RemovalSession& session, const BrowserRow& row);

}  // namespace tavrin

#pragma once
// The repairs of Internet Explorer's rows: pages, search scopes, add-ons,
// shortcuts, policies and the reset options.
#include "removal/browser_repair_row.h"

namespace tavrin {

RowRepair RepairIeRow(RemovalSession& session, const BrowserRow& row);
// What the row's repair must leave gone, read back as the scan read it.
RowProbe IeRowProbe(const BrowserRow& row);

}  // namespace tavrin

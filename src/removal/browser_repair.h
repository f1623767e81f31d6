#pragma once
// The "Internet browsers" step of a removal: the checked rows of the
// browser scans undone, one report line each, the repaired rows taken out
// of the list.
namespace tavrin {

struct RemovalSession;

void RepairBrowserItems(RemovalSession& session);

}  // namespace tavrin

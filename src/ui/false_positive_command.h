#pragma once
// "Report false positive": the highlighted Malware row's file goes to the
// maker's service, and the window shows how the submission started.
#include <functional>
#include <string>

#include "results/result_set.h"

namespace tavrin {

// Starts the report for `row` of the Malware tab's `list` through `start`
// (1 started, 3 one still running, 0 no thread) and returns the tip to
// show. Only a row of group 81 names a file to report: for any other row
// the report starts without one and sends nothing.
std::wstring ReportFalsePositive(const std::function<int(const std::wstring&)>& start, ResultList list, int row);

}  // namespace tavrin

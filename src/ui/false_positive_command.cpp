#include "ui/false_positive_command.h"

#include "results/result_tabs.h"

namespace tavrin {

std::wstring ReportFalsePositive(const std::function<int(const std::wstring&)>& start, ResultList list, int row) {
  const std::wstring path = GetGroup(list, row) == kGroupInfectedFiles ? GetColumnText(list, row, 0) : L"";
  switch (start ? start(path) : 0) {
    case 1:
      return L"Thank you for your submission!\r\nNo personal information is ever sent by these reports.";
    case 3:
      return L"Sorry a previous submission is still in progress.";
    default:
      return L"Submission failed. Please try later.";
  }
}

}  // namespace tavrin

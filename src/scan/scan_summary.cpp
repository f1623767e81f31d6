#include "scan/scan_summary.h"

#include "platform/product.h"

namespace tavrin {

ScanSummary SummarizeScan(const ScanOutcome& o) {
  const std::wstring product = kProductName;
  ScanSummary s;
  if (o.exitCode == 1) {
    s.message = L"Sorry, an error occurred while enumerating user accounts.\r\n\r\n"
                L"The scan was aborted. Please report this error back to us.";
    s.status = L"Error starting scan.";
    return s;
  }
  if (o.exitCode == 3) {
    s.message = L"Sorry, an error occurred while loading the definitions' database.\r\n\r\n"
                L"The scan was aborted, but you can try again later.\r\n\r\n"
                L"Please keep in mind that only one instance of this application can run at a time.";
    s.status = L"Error loading definitions.";
    return s;
  }
  if (o.itemsFound > 0) {
    const unsigned checked = o.itemsChecked <= o.itemsFound ? o.itemsChecked : o.itemsFound;
    const unsigned optional = o.itemsFound - checked;
    std::wstring recommended = checked == 0   ? L""
                               : checked == 1 ? L"one recommended item, which is already checked, and "
                                              : std::to_wstring(checked) + L" recommended items, which are already checked, and ";
    std::wstring optionalText = optional == 0   ? L"no optional items"
                                : optional == 1 ? L"one optional item"
                                                : std::to_wstring(optional) + L" optional items";
    s.message = product + L" found " + recommended + optionalText + L".\r\n\r\nTake a look at " +
                (o.customScan ? L"the Malware tab" : L"all the tabs") +
                L", check the items you want to remove, and uncheck the ones you want to preserve. You can also "
                L"whitelist items you never want to see listed again.\r\n\r\nWhen ready, press the \"Clean\" button "
                L"to start removing the selected items.\r\n\r\nWould you like to see a few instructive tips?";
    s.status = L"Press \"Clean\"...";
    s.asksForTips = true;
    return s;
  }
  if (o.cancelled) {
    s.message = L"The scan was cancelled.\r\n\r\nNo Items were found so far.";
    return s;
  }
  s.message = L"Congratulations!\r\n\r\n" + product + L" did not find any threats this time.\r\n\r\n"
              L"You can scan again anytime you wish.";
  s.status = L"Scan complete. No items found.";
  return s;
}

}  // namespace tavrin

// Times the result rows, their details files and whitelist look-ups at the
// sizes a large scan reaches: 20,000 rows in one tab and a whitelist of
// 10,000 entries consulted once per candidate row.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/ini_document.h"
#include "results/details_files.h"
#include "results/result_folders.h"
#include "results/result_set.h"
#include "results/whitelist.h"
#include "results/whitelist_manager.h"

using namespace tavrin;

namespace {

constexpr int kRows = 20000;
constexpr int kEntries = 10000;
constexpr int kLookups = 100000;
constexpr int kLineByLineLookups = 2000;

class Stopwatch {
 public:
  Stopwatch() : start_(std::chrono::steady_clock::now()) {}
  double Ms() const {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_).count();
  }

 private:
  std::chrono::steady_clock::time_point start_;
};

void Report(const char* what, int count, double ms) {
  std::printf("%-58s %7d in %9.1f ms  (%8.2f us each)\n", what, count, ms, ms * 1000.0 / count);
}

std::wstring InfectedPath(int i) {
  return L"C:\\users\\alice\\AppData\\Roaming\\Vendor" + std::to_wstring(i % 97) + L"\\bin\\tool" +
         std::to_wstring(i) + L".exe";
}

std::wstring ProgramName(int i) { return L"Adware Toolbar Edition " + std::to_wstring(i); }

}  // namespace

int main() {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring scratch = std::wstring(temp) + L"tavrin-results-bench-" + std::to_wstring(GetCurrentProcessId());
  CreateResultFolder(scratch, false);

  // Rows and details, spread over the five Autostart groups.
  {
    ResultSet results;
    StartNewResults(results, scratch, 133500000000000000ull);
    ResultList list = TabList(results, kAutostartTab);
    Stopwatch add;
    for (int i = 0; i < kRows; ++i)
      AddRow(list, kGroupRegistryAutostart + i % 5, L"Entry " + std::to_wstring(i), L"alice", InfectedPath(i), i % 2 == 0);
    Report("AddRow into one tab", kRows, add.Ms());

    Stopwatch store;
    for (int i = 0; i < kRows; ++i) {
      ScanItemDetails details;
      details.group = kGroupRegistryAutostart + i % 5;
      details.registryKey = L"HKU\\S-1-5-21-1-2-3-1000\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
      details.path = InfectedPath(i);
      details.userName = L"alice";
      details.valueName = L"Entry " + std::to_wstring(i);
      StoreDetails(list, GetRowKey(list, i), details);
    }
    Report("StoreDetails (5 fields each)", kRows, store.Ms());

    Stopwatch save;
    SaveDetails(results);
    LoadDetails(results, kAutostartTab);
    Report("details file saved and loaded again (rows)", kRows, save.Ms());

    Stopwatch read;
    size_t found = 0;
    for (int i = 0; i < kRows; ++i) found += !GetDetail(list, GetRowKey(list, i), L"Value name").empty();
    Report("GetDetail (\"Value name\")", kRows, read.Ms());
    if (found != size_t(kRows)) std::printf("  !! only %zu of the details were found\n", found);

    Stopwatch check;
    SetChecked(list, 0, kToEnd, true);
    SetChecked(list, 0, kToEnd, false);
    Report("SetChecked on the whole list, twice", 2 * kRows, check.Ms());

    Stopwatch rows;
    auto copy = GetRows(list);
    Report("GetRows (copy for a view)", int(copy.size()), rows.Ms());
    DiscardResults(results);
  }

  // Whitelist (destroyed, and so saved, before the scratch folder goes).
  {
    WhiteList whitelist;
    GeneralizeFolders folders = MachineGeneralizeFolders();
    folders.userProfile = L"C:\\users\\alice";
    folders.appData = L"C:\\users\\alice\\AppData\\Roaming";
    folders.localAppData = L"C:\\users\\alice\\AppData\\Local";
    SetGeneralizeFolders(whitelist, folders);
    LoadWhiteList(whitelist, scratch + L"\\WhiteList.ini");

    Stopwatch build;
    for (int i = 0; i < kEntries; ++i) {
      if (i % 2 == 0) {
        AddWhitelistEntry(whitelist, L"Infected file objects", GeneralizeItem(InfectedPath(i), folders));
      } else {
        AddWhitelistEntry(whitelist, L"Programs", ProgramName(i));
      }
    }
    for (int i = 0; i < 20; ++i) WhitelistFolder(whitelist, L"D:\\Whitelisted\\Folder" + std::to_wstring(i));
    Report("AddWhitelistEntry (building the whitelist)", kEntries, build.Ms());

    Stopwatch saveList;
    SaveWhiteList(whitelist);
    LoadWhiteList(whitelist, scratch + L"\\WhiteList.ini");
    Report("whitelist saved and loaded again (entries)", kEntries, saveList.Ms());

    // Half of the look-ups hit, half miss; half are generalised infected files
    // (which also walk the whitelisted folders), half program names.
    int hits = 0;
    Stopwatch first;
    IsWhitelisted(whitelist, ProgramName(1), L"Programs", false);
    Report("first IsWhitelisted after loading (builds the index)", 1, first.Ms());
    Stopwatch lookups;
    for (int i = 0; i < kLookups; ++i) {
      int n = (i / 2) % (2 * kEntries);
      if (i % 2 == 0) {
        hits += IsWhitelisted(whitelist, InfectedPath(n), L"Infected file objects", true);
      } else {
        hits += IsWhitelisted(whitelist, ProgramName(n), L"Programs", false);
      }
    }
    Report("IsWhitelisted against 10,000 entries", kLookups, lookups.Ms());
    std::printf("  hits: %d of %d\n", hits, kLookups);

    // The same question asked of the document line by line, for comparison.
    IniDocument document(scratch + L"\\WhiteList.ini");
    Stopwatch lineByLine;
    int lineHits = 0;
    for (int i = 0; i < kLineByLineLookups; ++i) {
      int n = (i / 2) % (2 * kEntries);
      if (i % 2 == 0) {
        lineHits += document.GetString(L"Infected file objects", GeneralizeItem(InfectedPath(n), folders)).has_value();
      } else {
        lineHits += document.GetString(L"Programs", ProgramName(n)).has_value();
      }
    }
    double lineMs = lineByLine.Ms();
    Report("IniDocument::GetString line by line (for comparison)", kLineByLineLookups, lineMs);
    std::printf("  line by line, 100,000 look-ups would take about %.1f s\n",
                lineMs * kLookups / kLineByLineLookups / 1000.0);

    // Whitelisting 20,000 checked rows at once from one tab.
    {
      ResultSet results;
      ResultList list = TabList(results, kProgramsTab);
      for (int i = 0; i < kRows; ++i) AddRow(list, kNoGroup, L"Checked program " + std::to_wstring(i), L"", L"", true);
      Stopwatch checked;
      int done = WhitelistChecked(whitelist, results, kProgramsTab);
      Report("WhitelistChecked (rows whitelisted and deleted)", done, checked.Ms());
    }

    Stopwatch listing;
    auto entries = ListWhitelistEntries(whitelist);
    Report("ListWhitelistEntries", int(entries.size()), listing.Ms());

  }
  RemoveResultFolder(scratch);
  return 0;
}

#pragma once
// The machine of a scenario: the throw-away prefix the scenario program runs
// in, the definitions its Tavrin updates to, and the runs of the real
// program on it.
#include <windows.h>

#include <string>

namespace tavrin::scenario {

// Compiles the definitions source text (the format of data/definitions,
// with a "[Database]" number) into an update that the loopback server
// offers, and points the machine's settings at it. Empty on success,
// otherwise what went wrong.
std::wstring ServeDefinitions(const std::wstring& sourceText);

// The real tavrin.exe of the build, started with `arguments` as a scheduled
// task would start it; its exit code, or ~0u when it did not end within
// `ms`.
DWORD RunTavrin(const std::wstring& arguments, DWORD ms = 120000);

// The newest scan report of the data folder ("tvnScan*.txt"); empty when
// there is none.
std::wstring LatestScanReport();
// The newest removal report ("TVNrem*.txt"), and the newest report of any
// name pattern of the data folder; empty when there is none.
std::wstring LatestRemovalReport();
std::wstring LatestReport(const std::wstring& pattern);

// A file of the project's source tree ("data/definitions/browsers.txt")
// as the Windows programs see it.
std::wstring ProjectFile(const char* relative);

// The lines of one report section: from the line that starts with `title`
// (for example "->Programs scan:") up to the next section title or the end.
std::wstring ReportSection(const std::wstring& report, const std::wstring& title);

// One subsection of a section: its title line ("\r\n\t" + title + ":")
// and the entry lines ("\r\n\t\t...") up to the next title.
std::wstring Subsection(const std::wstring& section, const std::wstring& title);

}  // namespace tavrin::scenario

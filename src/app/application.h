#pragma once
// The process from its start to its end.
#include <string>

namespace tavrin {

// Runs the program for the given command line (without the program name)
// and show command; returns the process exit code.
int RunApplication(const std::wstring& commandLine, int showCommand);

}  // namespace tavrin

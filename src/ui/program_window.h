#pragma once
// The main window wired to the rest of the program: the whitelist, the
// result rows, the cancel flags and the worker bodies of a real run.
#include "app/application.h"
#include "platform/ini_document.h"

namespace tavrin {

// Start-up steps 12 and 13, the event loop and the exit steps; returns the
// process exit code.
int RunProgramWindow(const ApplicationStart& start, IniDocument& settings);

}  // namespace tavrin

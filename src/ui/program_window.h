#pragma once
// The main window wired to the rest of the program: the application
// context's documents, rows and flags, and the scan, removal and definitions
// workers of a real run.
#include "app/app_context.h"

namespace tavrin {

// Start-up steps 12 and 13, the event loop and the exit steps; returns the
// process exit code.
int RunProgramWindow(AppContext& app);

}  // namespace tavrin

#pragma once
// The menu of the main window's "Menu" button and the keyboard accelerators
// that reach the same commands without it.
#include <windows.h>

#include "ui/window_rules.h"

namespace tavrin {

// The popup menu with every entry enabled or greyed as the context allows;
// the caller destroys it.
HMENU CreateMainMenu(const CommandContext& context);
// The accelerator table of the menu's entries and F1; the caller destroys it.
HACCEL CreateMainAccelerators();

}  // namespace tavrin

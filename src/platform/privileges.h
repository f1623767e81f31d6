#pragma once
// The process privileges that scanning, removal and repair need.
#include <vector>

namespace tavrin {

// The token's privilege state before EnablePrivileges, to be put back.
struct PrivilegeState {
  std::vector<unsigned char> previous;
  bool valid = false;
};

// Enables the program's privilege set in one adjustment. An invalid state
// when the token cannot be opened or the adjustment fails.
PrivilegeState EnablePrivileges();
// Reapplies the previous state and forgets it.
void RestorePrivileges(PrivilegeState& state);

}  // namespace tavrin

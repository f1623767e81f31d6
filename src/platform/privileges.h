#pragma once
// The process privileges that scanning, removal and repair need, and the
// state every child process starts with.
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

// Enables one privilege ("SeShutdownPrivilege" ...). True when the token now
// has it enabled.
bool EnablePrivilege(const wchar_t* name);

// While it lives, the process token has the privileges it had before the
// program first changed any of them; afterwards whatever was enabled in the
// meantime is enabled again. A child process gets a copy of the token at
// creation, so every child is created inside one of these: a text editor or
// a console tool started by an elevated remover must not inherit backup,
// restore, debug and take-ownership rights. Creations from several threads
// are serialised so that their adjustments never interleave.
class OriginalPrivilegesScope {
 public:
  OriginalPrivilegesScope();
  ~OriginalPrivilegesScope();
  OriginalPrivilegesScope(const OriginalPrivilegesScope&) = delete;
  OriginalPrivilegesScope& operator=(const OriginalPrivilegesScope&) = delete;

 private:
  std::vector<unsigned char> changed_;
};

}  // namespace tavrin

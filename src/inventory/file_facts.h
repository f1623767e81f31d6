#pragma once
// What the inventory says about the files its entries start: whether each
// exists, who validly signed it, and its SHA-256. Many entries name the
// same file (svchost.exe behind dozens of services, rundll32.exe behind
// tasks), so each distinct file is judged once, whatever case its path is
// written in.
#include <string>
#include <vector>

#include "inventory/autostart_inventory.h"
#include "platform/run_control.h"

namespace tavrin {

// Files above this size are not hashed: reading them would stall the scan,
// and no autostart program is this large. Their entries keep an empty hash.
inline constexpr unsigned long long kLargestHashedFile = 128ull * 1024 * 1024;

struct FileFacts {
  bool exists = false;
  std::wstring signer;  // the signer of a valid signature; empty otherwise
  std::wstring sha256;  // lowercase hex; empty when not hashed
};

// The facts of one file, read now: a missing file, a folder or a relative
// path exists for nothing and is neither verified nor hashed.
FileFacts ReadFileFacts(const std::wstring& file);

// Fills fileExists, signer and sha256 of every entry with a file, reading
// the facts of each distinct file once (on up to two threads); stops early
// when `cancel` is raised, leaving the rest unfilled. Returns how many
// distinct files were read.
size_t FillFileFacts(std::vector<InventoryEntry>& entries, const CancelFlags* cancel);

}  // namespace tavrin

#pragma once
// The hosts file the network reset writes: Windows' own sample text.
#include <string>

namespace tavrin {

// Plain ASCII, lines ending in CR LF.
std::string DefaultHostsText();

}  // namespace tavrin

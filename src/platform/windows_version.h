#pragma once

namespace tavrin {

// major + minor / 10 (6.1, 10.0), and 11.0 from build 22000 on, which
// Windows 11 still reports as 10.0. Read once per process.
double WindowsVersion();

// The same rule for given version numbers.
double WindowsVersionNumber(unsigned major, unsigned minor, unsigned build);

}  // namespace tavrin

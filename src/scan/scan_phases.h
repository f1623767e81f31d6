#pragma once
// The phases of a scan in their fixed order: programs and file objects,
// autostart, the browsers, anti-malware. Each phase adds its rows and
// writes its report section; the session tests for cancellation before
// each one and sets the progress it starts at.
#include <span>

namespace tavrin {

struct ScanEnvironment;

struct ScanPhase {
  int progress;  // where the progress bar stands when the phase starts
  bool (*applies)(const ScanEnvironment& scan);  // null: always
  void (*run)(ScanEnvironment& scan);
};

// The phases that exist in this build, in their order.
std::span<const ScanPhase> ScanPhases();

// RunScan with a given list of phases (tests pass their own).
int RunScanPhases(ScanEnvironment& scan, std::span<const ScanPhase> phases);

}  // namespace tavrin
